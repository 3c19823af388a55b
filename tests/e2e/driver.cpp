#include "driver.h"

#include <algorithm>

namespace nxr::e2e {

std::wstring appsFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.resize(folder.find_last_of(L'\\'));
  return folder + L"\\apps";
}

AppProcess::AppProcess(const std::wstring& exe, const std::wstring& cwd) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  const std::wstring folder = cwd.empty() ? appsFolder() : cwd;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     folder.c_str(), &startup, &info)) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
  }
}

AppProcess::~AppProcess() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
  CloseHandle(process_);
}

DWORD AppProcess::waitForExit(DWORD timeoutMs) {
  if (!process_) return STILL_ACTIVE;
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
    return STILL_ACTIVE;
  }
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_, &code);
  return code;
}

bool AppProcess::hasExited(DWORD waitMs) const {
  return !process_ || WaitForSingleObject(process_, waitMs) == WAIT_OBJECT_0;
}

namespace {

struct WindowSearch {
  DWORD processId;
  const std::wstring* className;
  const std::wstring* caption;
  HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (search->className) {
    wchar_t name[256];
    GetClassNameW(window, name, 256);
    if (*search->className != name) return TRUE;
  }
  if (search->caption) {
    wchar_t text[256];
    GetWindowTextW(window, text, 256);
    if (*search->caption != text) return TRUE;
  }
  search->found = window;
  return FALSE;
}

BOOL CALLBACK matchChildText(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<std::pair<const std::wstring*, bool>*>(param);
  wchar_t text[512];
  GetWindowTextW(child, text, 512);
  if (*search->first == text) {
    search->second = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND AppProcess::waitForWindow(const std::wstring& className, const std::wstring& caption,
                               DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    WindowSearch search{id_, &className, &caption, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (WaitForSingleObject(process_, 50) == WAIT_OBJECT_0) return nullptr;
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

bool AppProcess::hasVisibleWindow() const {
  WindowSearch search{id_, nullptr, nullptr, nullptr};
  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found != nullptr;
}

void typeText(HWND control, const std::wstring& text) {
  for (wchar_t c : text) SendMessageW(control, WM_CHAR, c, 1);
}

void pressButton(HWND dialog, int id) {
  // Posted, as a click is: the dialog may run a nested box before the click returns.
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool hasChildText(HWND window, const std::wstring& text) {
  std::pair<const std::wstring*, bool> search{&text, false};
  EnumChildWindows(window, matchChildText, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

std::vector<std::wstring> workFolders() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((std::wstring(temp) + L"wrd*.~lk").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace nxr::e2e
