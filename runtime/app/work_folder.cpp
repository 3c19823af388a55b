#include "app/work_folder.h"

#include "support/text.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: the shell header builds on it.
#include <mmsystem.h>
#include <shellapi.h>

#include "support/win.h"
#endif

namespace nxr {

std::u16string workFolderName(uint32_t timeMs, uint32_t processId, uint32_t threadId) {
  const uint32_t value = ((timeMs ^ processId) & 0xFFFF0000u) | ((threadId ^ processId) & 0xFFFFu);
  return u"wrd" + toHex(value) + u".~lk";
}

#ifdef _WIN32

std::u16string createWorkFolder() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  if (length == 0 || length > MAX_PATH) return {};
  const std::u16string path =
      fromWide(temp, length) +
      workFolderName(timeGetTime(), GetCurrentProcessId(), GetCurrentThreadId());
  if (!CreateDirectoryW(asWcstr(path), nullptr)) return {};
  return path;
}

void removeWorkFolder(const std::u16string& path) {
  if (path.empty()) return;
  WIN32_FIND_DATAW found;
  ScopedFindHandle find(FindFirstFileW(asWcstr(path + u"\\*.*"), &found));
  if (find) {
    do {
      const std::u16string name = fromWide(found.cFileName);
      if (name == u"." || name == u"..") continue;
      // Folders among the entries fail here and go with the folder itself below.
      DeleteFileW(asWcstr(path + u"\\" + name));
    } while (FindNextFileW(find.get(), &found));
  }
  // The shell's delete takes a list ended by two zero characters.
  std::u16string source = path;
  source.push_back(0);
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = asWcstr(source);
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
  SHFileOperationW(&operation);
}

#endif

}  // namespace nxr
