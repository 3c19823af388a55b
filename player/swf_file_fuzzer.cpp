#include <cstddef>
#include <cstdint>

#include "swf_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nxr::player::SwfMovie movie;
  nxr::player::parseSwf(std::span(data, size), movie);
  return 0;
}
