// Lists the tags of a SWF file and the actions of its scripts, with their operands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nxr::asc {

// Returns false with a message for a file that is not a readable SWF; the listing made so far
// is kept in out.
bool disassemble(const std::vector<uint8_t>& file, std::string& out, std::string& error);

}  // namespace nxr::asc
