// Feeds arbitrary bytes to the disassembler as a movie.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "disassembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> movie(data, data + size);
  std::string listing, error;
  nxr::asc::disassemble(movie, listing, error);
  return 0;
}
