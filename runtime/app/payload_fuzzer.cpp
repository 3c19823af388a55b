// Reads arbitrary bytes as a payload file: the marker scan, the record and its items, and the
// accessors that unscramble and inflate what was read.
#include <cstddef>
#include <cstdint>

#include "app/payload_reader.h"
#include "app/project_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nxr::PayloadReader reader;
  reader.openMemory(data, size);
  nxr::ProjectData project;
  nxr::readProject(reader, project);
  project.unpackSplash();
  project.unpackTrayIcon();
  for (const nxr::FormRecord& form : project.forms) {
    form.movieVersion();
    form.unpackShapeImage();
    form.previewMovieBytes();
  }
  for (const auto& [name, file] : project.files) file.bytes();
  return 0;
}
