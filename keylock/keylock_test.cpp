// dwlGina2.dll under real input: the library is loaded by name the way the kiosk module loads it,
// synthetic input (SendInput) goes to a window of this test, and the test checks what the window
// received. Every test loads the library afresh and unloads it at the end, so unloading is
// exercised all the time.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "dwlgina2.h"

namespace {

constexpr const char* kEntryPoints[] = {
    "wlVersion",          "wlDisableKey",         "wlIsKeyDisabled",      "wlGetDisabledKey",
    "wlSetKeySendMessage", "wlSetKeyPostMessage", "wlSetKeyCallback",     "wlRestoreAll",
    "wlDisableItem",      "wlIsItemDisabled",     "wlInstallGina",        "wlUninstallGina",
    "wlIsGinaInstalled",  "wlIsNTSystem",         "wlNeedGinaInstall",    "wlExitWindows",
    "wlWinVersion",       "wlGetKeyState",        "wlSetKeyState",        "wlIsAdmin",
    "wlEnableAutologin",  "wlMapScancode",        "wlDisableDesktopIcon", "wlDesktopIconCount",
    "wlRestoreDesktopIcons", "wlExit",
};

std::wstring libraryPath() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"dwlGina2.dll";
}

// The entry points the tests call, resolved by name from a freshly loaded library.
struct Library {
  HMODULE module = nullptr;
  decltype(&wlDisableKey) disableKey = nullptr;
  decltype(&wlIsKeyDisabled) isKeyDisabled = nullptr;
  decltype(&wlGetDisabledKey) getDisabledKey = nullptr;
  decltype(&wlSetKeyPostMessage) setKeyPostMessage = nullptr;
  decltype(&wlSetKeySendMessage) setKeySendMessage = nullptr;
  decltype(&wlSetKeyCallback) setKeyCallback = nullptr;
  decltype(&wlRestoreAll) restoreAll = nullptr;
  decltype(&wlDisableItem) disableItem = nullptr;
  decltype(&wlIsItemDisabled) isItemDisabled = nullptr;
  decltype(&wlDisableDesktopIcon) disableDesktopIcon = nullptr;
  decltype(&wlDesktopIconCount) desktopIconCount = nullptr;
  decltype(&wlRestoreDesktopIcons) restoreDesktopIcons = nullptr;
  decltype(&wlExit) exit = nullptr;

  template <typename F>
  void resolve(F& function, const char* name) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
  bool load() {
    module = LoadLibraryW(libraryPath().c_str());
    if (!module) return false;
    resolve(disableKey, "wlDisableKey");
    resolve(isKeyDisabled, "wlIsKeyDisabled");
    resolve(getDisabledKey, "wlGetDisabledKey");
    resolve(setKeyPostMessage, "wlSetKeyPostMessage");
    resolve(setKeySendMessage, "wlSetKeySendMessage");
    resolve(setKeyCallback, "wlSetKeyCallback");
    resolve(restoreAll, "wlRestoreAll");
    resolve(disableItem, "wlDisableItem");
    resolve(isItemDisabled, "wlIsItemDisabled");
    resolve(disableDesktopIcon, "wlDisableDesktopIcon");
    resolve(desktopIconCount, "wlDesktopIconCount");
    resolve(restoreDesktopIcons, "wlRestoreDesktopIcons");
    resolve(exit, "wlExit");
    return disableKey && isKeyDisabled && getDisabledKey && setKeyPostMessage &&
           setKeySendMessage && setKeyCallback && restoreAll && disableItem && isItemDisabled &&
           disableDesktopIcon && desktopIconCount && restoreDesktopIcons && exit;
  }
  void unload() {
    if (module) FreeLibrary(module);
    module = nullptr;
  }
  template <typename F>
  F entry(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

// What the test window received.
struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Received> received;
constexpr UINT kNotifyMessage = WM_APP + 5;
constexpr WORD kMarkerKey = VK_F24;  // ends every input sequence

bool isRecorded(UINT message) {
  switch (message) {
    case WM_KEYDOWN: case WM_KEYUP: case WM_SYSKEYDOWN: case WM_SYSKEYUP:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case kNotifyMessage:
      return true;
    default:
      return false;
  }
}

// Key messages are recorded and not handed on, so that Alt+F4 or Ctrl+Esc cannot close anything.
LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (isRecorded(message)) {
    received.push_back({message, wParam, lParam});
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND createWindowOfClass(const wchar_t* className, HWND parent = nullptr, DWORD style = 0,
                         WNDPROC procedure = DefWindowProcW) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  DWORD windowStyle = style | (parent ? WS_CHILD : WS_OVERLAPPEDWINDOW);
  return CreateWindowExW(0, className, className, windowStyle, 100, 100, 400, 300, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

void pumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

INPUT keyInput(WORD virtualKey, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  if (virtualKey == VK_LWIN || virtualKey == VK_RWIN || virtualKey == VK_APPS ||
      virtualKey == VK_DELETE) {
    input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  }
  return input;
}

INPUT mouseInput(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  return input;
}

// Sends the inputs followed by a marker key stroke and collects what the window receives up to
// the marker's release; input is delivered in order, so everything sent before has arrived.
std::vector<Received> deliver(std::vector<INPUT> inputs) {
  inputs.push_back(keyInput(kMarkerKey, true));
  inputs.push_back(keyInput(kMarkerKey, false));
  received.clear();
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  EXPECT_EQ(sent, inputs.size());
  DWORD deadline = GetTickCount() + 5000;  // only against a hang; reaching it is a failure
  for (;;) {
    pumpMessages();
    for (const Received& r : received) {
      if ((r.message == WM_KEYUP || r.message == WM_SYSKEYUP) && r.wParam == kMarkerKey) {
        std::vector<Received> got;
        for (const Received& e : received) {
          if (e.wParam != kMarkerKey || e.message == kNotifyMessage) got.push_back(e);
        }
        return got;
      }
    }
    if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
      ADD_FAILURE() << "the marker key never arrived";
      return received;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

// Held modifiers of a key stroke, as flags.
enum : int { kAlt = 1, kCtrl = 2, kWin = 8, kShift = 16 };

std::vector<INPUT> keyStroke(WORD virtualKey, int held) {
  std::vector<WORD> modifiers;
  if (held & kCtrl) modifiers.push_back(VK_LCONTROL);
  if (held & kAlt) modifiers.push_back(VK_LMENU);
  if (held & kShift) modifiers.push_back(VK_LSHIFT);
  if (held & kWin) modifiers.push_back(VK_LWIN);
  std::vector<INPUT> inputs;
  for (WORD m : modifiers) inputs.push_back(keyInput(m, true));
  inputs.push_back(keyInput(virtualKey, true));
  inputs.push_back(keyInput(virtualKey, false));
  for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) inputs.push_back(keyInput(*m, false));
  return inputs;
}

bool pressArrived(const std::vector<Received>& got, WPARAM virtualKey) {
  for (const Received& r : got) {
    if ((r.message == WM_KEYDOWN || r.message == WM_SYSKEYDOWN) && r.wParam == virtualKey) {
      return true;
    }
  }
  return false;
}
bool releaseArrived(const std::vector<Received>& got, WPARAM virtualKey) {
  for (const Received& r : got) {
    if ((r.message == WM_KEYUP || r.message == WM_SYSKEYUP) && r.wParam == virtualKey) return true;
  }
  return false;
}

std::string describe(const std::vector<Received>& got) {
  std::string text;
  char line[64];
  for (const Received& r : got) {
    snprintf(line, sizeof(line), "[%04x %02x] ", r.message, static_cast<unsigned>(r.wParam));
    text += line;
  }
  return text;
}

class KeyLock : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library.load()) << "dwlGina2.dll did not load or lacks an entry point";
    window = createWindowOfClass(L"KeyLockTestWindow", nullptr, 0, testWindowProc);
    ASSERT_TRUE(window);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(window);
    pumpMessages();
  }
  void TearDown() override {
    library.unload();
    if (window) DestroyWindow(window);
    pumpMessages();
  }
  Library library;
  HWND window = nullptr;
};

TEST(KeyLockExports, AllEntryPointsResolveByPlainName) {
  HMODULE module = LoadLibraryW(libraryPath().c_str());
  ASSERT_TRUE(module) << "error " << GetLastError();
  for (const char* name : kEntryPoints) {
    EXPECT_TRUE(GetProcAddress(module, name)) << name;
  }
  FreeLibrary(module);
}

// One combination switched off, and key strokes that it must swallow or let through.
struct Stroke {
  WORD virtualKey;
  int held;
  bool swallowed;
};
struct KeyCase {
  const char* name;
  int32_t virtualKey;
  int32_t modifiers;
  std::vector<Stroke> strokes;
};

const std::vector<KeyCase> kKeyCases = {
    {"AltTab", VK_TAB, kWlModAlt,
     {{VK_TAB, kAlt, true}, {VK_TAB, kAlt | kShift, true}, {VK_TAB, kCtrl | kAlt, true},
      {VK_TAB, 0, false}, {VK_TAB, kCtrl, false}}},
    {"AltF4", VK_F4, kWlModAlt, {{VK_F4, kAlt, true}, {VK_F4, 0, false}, {'X', kAlt, false}}},
    {"AltEsc", VK_ESCAPE, kWlModAlt,
     {{VK_ESCAPE, kAlt, true}, {VK_ESCAPE, 0, false}, {VK_ESCAPE, kCtrl, false}}},
    {"CtrlEsc", VK_ESCAPE, kWlModCtrl,
     {{VK_ESCAPE, kCtrl, true}, {VK_ESCAPE, 0, false}, {VK_ESCAPE, kAlt, false}}},
    {"AppKey", VK_APPS, kWlModNone,
     {{VK_APPS, 0, true}, {VK_APPS, kShift, true}, {'A', 0, false}}},
    {"CtrlAltDel", VK_DELETE, kWlModCtrlAlt,
     {{VK_DELETE, kCtrl | kAlt, true}, {VK_DELETE, kCtrl, false}, {VK_DELETE, 0, false}}},
    {"WindowsKeys", 0, kWlModWin,
     {{VK_LWIN, 0, true}, {VK_RWIN, 0, true}, {'A', 0, false}}},
    {"WinD", 'D', kWlModWin, {{'D', kWin, true}, {'D', 0, false}, {'D', kCtrl, false}}},
};

TEST_F(KeyLock, CombinationsAreSwallowedWhileOffAndPassWhenOnAgain) {
  for (const KeyCase& c : kKeyCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(library.disableKey(0, c.virtualKey, c.modifiers, 1));
    EXPECT_TRUE(library.isKeyDisabled(c.virtualKey, c.modifiers));
    for (const Stroke& stroke : c.strokes) {
      std::vector<Received> got = deliver(keyStroke(stroke.virtualKey, stroke.held));
      EXPECT_EQ(pressArrived(got, stroke.virtualKey), !stroke.swallowed)
          << "key " << stroke.virtualKey << " held " << stroke.held << ": " << describe(got);
      // A swallowed press takes its release with it; a stroke that passes arrives whole.
      EXPECT_EQ(releaseArrived(got, stroke.virtualKey), !stroke.swallowed) << describe(got);
    }
    ASSERT_TRUE(library.disableKey(0, c.virtualKey, c.modifiers, 0));
    EXPECT_FALSE(library.isKeyDisabled(c.virtualKey, c.modifiers));
    for (const Stroke& stroke : c.strokes) {
      std::vector<Received> got = deliver(keyStroke(stroke.virtualKey, stroke.held));
      EXPECT_TRUE(pressArrived(got, stroke.virtualKey))
          << "key " << stroke.virtualKey << " held " << stroke.held << ": " << describe(got);
    }
  }
}

}  // namespace
