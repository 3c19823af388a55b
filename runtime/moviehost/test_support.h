// Helpers shared by the movie host's Windows tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "moviehost/executable_code.h"
#include "moviehost/memory_module.h"

namespace nxr::test {

// The folder of the running test program, with a trailing backslash.
std::string programFolder();
// The whole content of a file; empty when it cannot be read.
std::vector<uint8_t> readFile(const std::string& path);
// The loader fixture DLL built beside the test program.
const std::vector<uint8_t>& fixtureImage();
// Clears and reads back the fixture's entry point log.
void clearFixtureEvents();
std::string fixtureEvents();

// An export of a module loaded from memory, as a function of the given type.
template <typename Procedure>
Procedure exportOf(const MemoryModule& module, const char* name) {
  return procedureCast<Procedure>(module.getProcAddress(name));
}

}  // namespace nxr::test
