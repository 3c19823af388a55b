// Turns the syntax tree into AVM1 action bytes, one DoAction body per frame.
#pragma once

#include <cstdint>
#include <vector>

#include "ast.h"

namespace nxr::asc {

// Throws CompileError on a construct that cannot be compiled. Each result ends with the End action.
std::vector<std::vector<uint8_t>> generateFrames(Program& program);

}  // namespace nxr::asc
