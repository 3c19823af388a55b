// Kept apart from the loader: it is the only bridge code that needs the project record.
#include "app/project_data.h"
#include "bridge/plugins.h"

namespace nxr {

bool extractPlugins(const ProjectData& project, const std::u16string& workFolder,
                    std::vector<std::u16string>& extractedFiles) {
  std::vector<std::vector<uint8_t>> libraries;
  libraries.reserve(project.plugins.size());
  for (const EmbeddedBlob& blob : project.plugins) libraries.push_back(blob.bytes());
  return writePluginFiles(libraries, workFolder, extractedFiles);
}

}  // namespace nxr
