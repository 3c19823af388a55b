#include "app/work_folder.h"

#include "support/text.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: the multimedia header builds on it.
#include <mmsystem.h>

#include "support/folders.h"
#include "support/win.h"
#endif

namespace nxr {

std::u16string workFolderName(uint32_t timeMs, uint32_t processId, uint32_t threadId) {
  const uint32_t value = ((timeMs ^ processId) & 0xFFFF0000u) | ((threadId ^ processId) & 0xFFFFu);
  return u"wrd" + toHex(value) + u".~lk";
}

#ifdef _WIN32

std::u16string createWorkFolder() {
  const std::u16string temp = tempFolder();
  if (temp.empty()) return {};
  const std::u16string path =
      temp + workFolderName(timeGetTime(), GetCurrentProcessId(), GetCurrentThreadId());
  if (!CreateDirectoryW(asWcstr(path), nullptr)) return {};
  return path;
}

#endif

}  // namespace nxr
