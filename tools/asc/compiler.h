// The whole compilation: source text with directives to SWF bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "swf_writer.h"

namespace nxr::asc {

// Settings given on the command line; they win over the source's directives.
struct CompileOverrides {
  std::optional<int> version;
  std::optional<bool> compress;
};

struct CompileResult {
  bool ok = false;
  std::vector<uint8_t> swf;
  std::string error;  // "FILE:LINE:COLUMN: error: MESSAGE" when not ok
};

CompileResult compileSource(std::string_view source, const std::string& fileName,
                            const CompileOverrides& overrides = {});

}  // namespace nxr::asc
