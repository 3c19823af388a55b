#include "support/folders.h"

// The shell headers need windows.h (from win.h) before them.
// clang-format off
#include "support/win.h"
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

namespace nxr {
namespace {

constexpr DWORD kPathCapacity = 2048;

}  // namespace

std::u16string workingDirectory() {
  wchar_t buffer[kPathCapacity];
  DWORD length = GetCurrentDirectoryW(kPathCapacity, buffer);
  return length > 0 && length < kPathCapacity ? fromWide(buffer, length) : std::u16string();
}

std::u16string tempFolder() {
  wchar_t buffer[kPathCapacity];
  DWORD length = GetTempPathW(kPathCapacity, buffer);
  return length > 0 && length < kPathCapacity ? fromWide(buffer, length) : std::u16string();
}

std::u16string specialFolder(int csidl) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(GetDesktopWindow(), csidl, &items)) || !items) return {};
  wchar_t buffer[MAX_PATH] = {};
  BOOL found = SHGetPathFromIDListW(items, buffer);
  CoTaskMemFree(items);  // the shell's allocator
  if (!found) return {};
  std::u16string path = fromWide(buffer);
  // Some shells answer a virtual folder with its namespace name ("::{...}"), which is no
  // folder on disk: treat it as missing, as Windows does.
  if (path.starts_with(u"::")) return {};
  return path;
}

bool deleteFolderTree(const std::u16string& folder) {
  // An empty path would make the shell operate on the current folder: refuse it.
  if (folder.empty() || folder.find(u'\0') != std::u16string::npos) return false;
  WIN32_FIND_DATAW entry;
  std::u16string pattern = folder + u"\\*.*";
  ScopedFindHandle find(FindFirstFileW(asWcstr(pattern), &entry));
  if (find) {
    do {
      std::u16string name = fromWide(entry.cFileName);
      if (name == u"." || name == u"..") continue;
      // Folders among the entries fail here and go with the folder in the next step.
      DeleteFileW(asWcstr(folder + u"\\" + name));
    } while (FindNextFileW(find.get(), &entry));
  }
  std::u16string source = folder;
  source.push_back(u'\0');  // the list of paths ends with a second zero
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = asWcstr(source);
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  SHFileOperationW(&operation);
  return GetFileAttributesW(asWcstr(folder)) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace nxr
