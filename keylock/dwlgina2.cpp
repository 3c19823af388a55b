// The exported entry points of the key-lock library and its load and unload handling.
#define DWLGINA2_BUILDING
#include "dwlgina2.h"

#include <windows.h>

#include "desktop_items.h"
#include "key_lock.h"

namespace {

using namespace nxr::keylock;

HWND asWindow(int32_t window) {  // window handles carry 32 significant bits on every system
  return reinterpret_cast<HWND>(static_cast<intptr_t>(window));
}

// The running system's version, as the kernel reports it (GetVersionEx answers what the
// program's manifest claims to support instead).
OSVERSIONINFOW systemVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (!rtlGetVersion || rtlGetVersion(&info) != 0) {
    DWORD packed = GetVersion();
    info.dwMajorVersion = LOBYTE(LOWORD(packed));
    info.dwMinorVersion = HIBYTE(LOWORD(packed));
    info.dwBuildNumber = packed < 0x80000000 ? HIWORD(packed) : 0;
    info.dwPlatformId = packed < 0x80000000 ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
  }
  return info;
}

bool isToggleKey(int32_t virtualKey) {
  return virtualKey == VK_CAPITAL || virtualKey == VK_NUMLOCK || virtualKey == VK_SCROLL;
}

int32_t notSupported() {
  SetLastError(ERROR_NOT_SUPPORTED);
  return 0;
}

bool enableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool ok = LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
            GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return ok;
}

}  // namespace

int32_t __stdcall wlVersion() { return kWlLibraryVersion; }

int32_t __stdcall wlDisableKey(int32_t window, int32_t virtualKey, int32_t modifiers, int32_t on) {
  return disableKey(asWindow(window), virtualKey, modifiers, on != 0);
}

int32_t __stdcall wlIsKeyDisabled(int32_t virtualKey, int32_t modifiers) {
  return isKeyDisabled(virtualKey, modifiers);
}

int32_t __stdcall wlGetDisabledKey(int32_t index) { return disabledKey(index); }

int32_t __stdcall wlSetKeySendMessage(int32_t window, int32_t message) {
  setNotification(NotifyMode::sendMessage, asWindow(window), static_cast<UINT>(message), 0);
  return 1;
}

int32_t __stdcall wlSetKeyPostMessage(int32_t window, int32_t message) {
  setNotification(NotifyMode::postMessage, asWindow(window), static_cast<UINT>(message), 0);
  return 1;
}

int32_t __stdcall wlSetKeyCallback(intptr_t callback) {
  setNotification(NotifyMode::callback, nullptr, 0, callback);
  return 1;
}

int32_t __stdcall wlRestoreAll() {
  allowAllKeys();
  restoreAllItems(RestoreContext::normal);
  return 1;
}

int32_t __stdcall wlDisableItem(int32_t item, int32_t on) { return disableItem(item, on != 0); }

int32_t __stdcall wlIsItemDisabled(int32_t item) { return isItemDisabled(item); }

// A replacement login library is not loaded by current systems at all, and this library carries
// none: nothing is installed, removed or changed.
int32_t __stdcall wlInstallGina(int32_t) { return notSupported(); }
int32_t __stdcall wlUninstallGina(int32_t) { return notSupported(); }
int32_t __stdcall wlIsGinaInstalled() { return 0; }
int32_t __stdcall wlEnableAutologin(int32_t) { return notSupported(); }

int32_t __stdcall wlIsNTSystem() { return systemVersion().dwPlatformId == VER_PLATFORM_WIN32_NT; }

// On NT systems Ctrl+Alt+Del reaches no hook; only a login library could block it.
int32_t __stdcall wlNeedGinaInstall() { return wlIsNTSystem(); }

int32_t __stdcall wlExitWindows(int32_t flags) {
  enableShutdownPrivilege();
  return ExitWindowsEx(static_cast<UINT>(flags),
                       SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED) != FALSE;
}

int32_t __stdcall wlWinVersion() {
  OSVERSIONINFOW info = systemVersion();
  return static_cast<int32_t>((info.dwMajorVersion << 24) | ((info.dwMinorVersion & 0xFF) << 16) |
                              (info.dwBuildNumber & 0xFFFF));
}

int32_t __stdcall wlGetKeyState(int32_t virtualKey) {
  if (virtualKey <= 0 || virtualKey > 0xFF) return 0;
  int32_t state = (GetKeyState(virtualKey) & 1) ? 1 : 0;
  if (GetAsyncKeyState(virtualKey) & 0x8000) state |= 2;
  return state;
}

int32_t __stdcall wlSetKeyState(int32_t virtualKey, int32_t on) {
  if (!isToggleKey(virtualKey)) return 0;
  if (((GetKeyState(virtualKey) & 1) != 0) == (on != 0)) return 1;
  INPUT strokes[2]{};
  for (INPUT& stroke : strokes) {
    stroke.type = INPUT_KEYBOARD;
    stroke.ki.wVk = static_cast<WORD>(virtualKey);
    stroke.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  }
  if (virtualKey == VK_NUMLOCK)
    strokes[0].ki.dwFlags = strokes[1].ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
  strokes[1].ki.dwFlags |= KEYEVENTF_KEYUP;
  return SendInput(2, strokes, sizeof(INPUT)) == 2;
}

int32_t __stdcall wlIsAdmin() {
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                0, 0, 0, 0, 0, 0, &administrators)) {
    return 0;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

int32_t __stdcall wlMapScancode(int32_t code, int32_t mapType) {
  return static_cast<int32_t>(MapVirtualKeyW(static_cast<UINT>(code), static_cast<UINT>(mapType)));
}

int32_t __stdcall wlDisableDesktopIcon(int32_t on) { return hideDesktopIcons(on != 0); }

int32_t __stdcall wlDesktopIconCount() { return desktopIconCount(); }

int32_t __stdcall wlRestoreDesktopIcons() { return restoreDesktopIcons(); }

int32_t __stdcall wlExit() {
  allowAllKeys();
  stopInputThread();
  restoreAllItems(RestoreContext::normal);
  return 1;
}

// Everything this library changed goes back when it is unloaded or the process ends, whether or
// not the caller switched it on again. At process end the system has already ended the input
// thread (and its hooks with it); on FreeLibrary the thread is told to end without needing the
// loader lock that this thread holds here.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
  } else if (reason == DLL_PROCESS_DETACH) {
    allowAllKeys();
    if (!reserved) stopInputThreadForUnload();
    restoreAllItems(RestoreContext::unloading);
  }
  return TRUE;
}
