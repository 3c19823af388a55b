// Feeds arbitrary bytes to the compiler as source text: it must report an error or produce a
// movie that the disassembler can read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "compiler.h"
#include "disassembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view source(reinterpret_cast<const char*>(data), size);
  nxr::asc::CompileResult result = nxr::asc::compileSource(source, "fuzz.as");
  if (result.ok) {
    std::string listing, error;
    if (!nxr::asc::disassemble(result.swf, listing, error)) std::abort();
  } else if (!result.swf.empty() || result.error.empty()) {
    std::abort();
  }
  return 0;
}
