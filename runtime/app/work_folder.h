// The per-run work folder "wrd%x.~lk" under the user's temporary folder: plug-ins, the kiosk
// library and older form movies are written there, and it is removed at exit.
#pragma once

#include <cstdint>
#include <string>

namespace nxr {

// The folder name for a start at the given millisecond tick in the given process and thread: the
// high 16 bits come from (time XOR process id), the low 16 bits from (thread id XOR process id).
std::u16string workFolderName(uint32_t timeMs, uint32_t processId, uint32_t threadId);

#ifdef _WIN32
// Creates a fresh work folder in the temporary folder and returns its path without a trailing
// backslash; empty when there is no temporary folder or the folder cannot be created (also when
// it already exists). It is removed at exit with deleteFolderTree (support/folders.h).
std::u16string createWorkFolder();
#endif

}  // namespace nxr
