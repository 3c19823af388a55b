// A stand-in for the key-lock library for the kiosk module's tests: every entry point records its
// call and locks nothing. Two extra entry points let the test read the record and choose what
// wlIsGinaInstalled answers. Built with KIOSK_TEST_WITHOUT_EXIT it lacks wlExit.
#define DWLGINA2_BUILDING
#include <windows.h>

#include <string>

#include "dwlgina2.h"

namespace {

std::string calls;
int32_t ginaInstalled = 0;

int32_t record(const char* name, std::initializer_list<int32_t> args, int32_t result = 1) {
  calls += name;
  calls += '(';
  bool first = true;
  for (int32_t arg : args) {
    if (!first) calls += ',';
    calls += std::to_string(arg);
    first = false;
  }
  calls += ");";
  return result;
}

}  // namespace

// Copies the record (';'-terminated calls) into the buffer and empties it; the record's length.
extern "C" __declspec(dllexport) int32_t __stdcall kioskTestTakeCalls(char* buffer, int32_t size) {
  const int32_t length = static_cast<int32_t>(calls.size());
  if (buffer && size > length) {
    calls.copy(buffer, calls.size());
    buffer[length] = '\0';
  }
  calls.clear();
  return length;
}

extern "C" __declspec(dllexport) void __stdcall kioskTestSetGinaInstalled(int32_t installed) {
  ginaInstalled = installed;
}

int32_t __stdcall wlVersion() { return record("wlVersion", {}, kWlLibraryVersion); }
int32_t __stdcall wlDisableKey(int32_t window, int32_t virtualKey, int32_t modifiers, int32_t on) {
  return record("wlDisableKey", {window, virtualKey, modifiers, on});
}
int32_t __stdcall wlIsKeyDisabled(int32_t k, int32_t m) {
  return record("wlIsKeyDisabled", {k, m});
}
int32_t __stdcall wlGetDisabledKey(int32_t i) { return record("wlGetDisabledKey", {i}, -1); }
int32_t __stdcall wlSetKeySendMessage(int32_t w, int32_t m) {
  return record("wlSetKeySendMessage", {w, m});
}
int32_t __stdcall wlSetKeyPostMessage(int32_t w, int32_t m) {
  return record("wlSetKeyPostMessage", {w, m});
}
int32_t __stdcall wlSetKeyCallback(intptr_t c) {
  return record("wlSetKeyCallback", {static_cast<int32_t>(c)});
}
int32_t __stdcall wlRestoreAll() { return record("wlRestoreAll", {}); }
int32_t __stdcall wlDisableItem(int32_t item, int32_t on) {
  return record("wlDisableItem", {item, on});
}
int32_t __stdcall wlIsItemDisabled(int32_t item) { return record("wlIsItemDisabled", {item}, 0); }
// Records the current directory too: the library takes its files from there.
int32_t __stdcall wlInstallGina(int32_t code) {
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  calls += std::string("cwd=") + directory + ";";
  return record("wlInstallGina", {code});
}
int32_t __stdcall wlUninstallGina(int32_t code) { return record("wlUninstallGina", {code}); }
int32_t __stdcall wlIsGinaInstalled() { return record("wlIsGinaInstalled", {}, ginaInstalled); }
int32_t __stdcall wlIsNTSystem() { return record("wlIsNTSystem", {}); }
int32_t __stdcall wlNeedGinaInstall() { return record("wlNeedGinaInstall", {}); }
int32_t __stdcall wlExitWindows(int32_t f) { return record("wlExitWindows", {f}, 0); }
int32_t __stdcall wlWinVersion() { return record("wlWinVersion", {}); }
int32_t __stdcall wlGetKeyState(int32_t k) { return record("wlGetKeyState", {k}, 0); }
int32_t __stdcall wlSetKeyState(int32_t k, int32_t on) { return record("wlSetKeyState", {k, on}); }
int32_t __stdcall wlIsAdmin() { return record("wlIsAdmin", {}); }
int32_t __stdcall wlEnableAutologin(int32_t on) { return record("wlEnableAutologin", {on}, 0); }
int32_t __stdcall wlMapScancode(int32_t c, int32_t t) { return record("wlMapScancode", {c, t}); }
int32_t __stdcall wlDisableDesktopIcon(int32_t on) { return record("wlDisableDesktopIcon", {on}); }
int32_t __stdcall wlDesktopIconCount() { return record("wlDesktopIconCount", {}, -1); }
int32_t __stdcall wlRestoreDesktopIcons() { return record("wlRestoreDesktopIcons", {}); }
#ifndef KIOSK_TEST_WITHOUT_EXIT
int32_t __stdcall wlExit() { return record("wlExit", {}); }
#endif
