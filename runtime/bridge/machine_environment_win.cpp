#include <shlobj.h>
#include <windows.h>

#include "bridge/machine_environment.h"
#include "support/win.h"

namespace nxr {

namespace {

// The shell's folder for a CSIDL value; empty when the shell cannot report it.
std::u16string specialFolder(int32_t folderId) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(GetDesktopWindow(), folderId, &items)) || !items) {
    return {};
  }
  wchar_t path[MAX_PATH] = {};
  BOOL found = SHGetPathFromIDListW(items, path);
  CoTaskMemFree(items);
  return found ? fromWide(path) : std::u16string();
}

}  // namespace

DeclarationEnvironment readMachineEnvironment() {
  DeclarationEnvironment environment;
  wchar_t modulePath[1024] = {};
  DWORD length = GetModuleFileNameW(nullptr, modulePath, 1024);
  environment.executablePath = fromWide(modulePath, length < 1024 ? length : 1023);
  environment.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  environment.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
  if (tempLength > 0 && tempLength <= MAX_PATH) environment.tempPath = fromWide(temp, tempLength);
  for (int32_t id : systemPathFolderIds()) {
    std::u16string folder = specialFolder(id);
    if (!folder.empty()) environment.specialFolders[id] = folder;
  }
  return environment;
}

}  // namespace nxr
