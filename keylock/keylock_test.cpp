// dwlGina2.dll under real input: the library is loaded by name the way the kiosk module loads it,
// synthetic input (SendInput) goes to a window of this test, and the test checks what the window
// received. Every test loads the library afresh and unloads it at the end, so unloading is
// exercised all the time.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dwlgina2.h"

namespace {

constexpr const char* kEntryPoints[] = {
    "wlVersion",
    "wlDisableKey",
    "wlIsKeyDisabled",
    "wlGetDisabledKey",
    "wlSetKeySendMessage",
    "wlSetKeyPostMessage",
    "wlSetKeyCallback",
    "wlRestoreAll",
    "wlDisableItem",
    "wlIsItemDisabled",
    "wlInstallGina",
    "wlUninstallGina",
    "wlIsGinaInstalled",
    "wlIsNTSystem",
    "wlNeedGinaInstall",
    "wlExitWindows",
    "wlWinVersion",
    "wlGetKeyState",
    "wlSetKeyState",
    "wlIsAdmin",
    "wlEnableAutologin",
    "wlMapScancode",
    "wlDisableDesktopIcon",
    "wlDesktopIconCount",
    "wlRestoreDesktopIcons",
    "wlExit",
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
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case kNotifyMessage:
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
                         WNDPROC procedure = DefWindowProcW, int x = 100) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  DWORD windowStyle = style | (parent ? WS_CHILD : WS_OVERLAPPEDWINDOW);
  return CreateWindowExW(0, className, className, windowStyle, x, 100, 400, 300, parent, nullptr,
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
  for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
    inputs.push_back(keyInput(*m, false));
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

void destroyStandIns();

// One test window for all tests: it records what it receives and has the keyboard focus.
class KeyLock : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    window = createWindowOfClass(L"KeyLockTestWindow", nullptr, 0, testWindowProc);
    ShowWindow(window, SW_SHOW);
  }
  static void TearDownTestSuite() {
    destroyStandIns();
    DestroyWindow(window);
    window = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(window);
    ASSERT_TRUE(library.load()) << "dwlGina2.dll did not load or lacks an entry point";
    focusTestWindow();
  }
  void TearDown() override {
    library.unload();
    pumpMessages();
  }
  static void focusTestWindow() {
    SetForegroundWindow(window);
    SetFocus(window);
    pumpMessages();
  }
  Library library;
  static HWND window;
};
HWND KeyLock::window = nullptr;

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
    {"AltTab",
     VK_TAB,
     kWlModAlt,
     {{VK_TAB, kAlt, true},
      {VK_TAB, kAlt | kShift, true},
      {VK_TAB, kCtrl | kAlt, true},
      {VK_TAB, 0, false},
      {VK_TAB, kCtrl, false}}},
    {"AltF4", VK_F4, kWlModAlt, {{VK_F4, kAlt, true}, {VK_F4, 0, false}, {'X', kAlt, false}}},
    {"AltEsc",
     VK_ESCAPE,
     kWlModAlt,
     {{VK_ESCAPE, kAlt, true}, {VK_ESCAPE, 0, false}, {VK_ESCAPE, kCtrl, false}}},
    {"CtrlEsc",
     VK_ESCAPE,
     kWlModCtrl,
     {{VK_ESCAPE, kCtrl, true}, {VK_ESCAPE, 0, false}, {VK_ESCAPE, kAlt, false}}},
    {"AppKey", VK_APPS, kWlModNone, {{VK_APPS, 0, true}, {VK_APPS, kShift, true}, {'A', 0, false}}},
    {"CtrlAltDel",
     VK_DELETE,
     kWlModCtrlAlt,
     {{VK_DELETE, kCtrl | kAlt, true}, {VK_DELETE, kCtrl, false}, {VK_DELETE, 0, false}}},
    {"WindowsKeys", 0, kWlModWin, {{VK_LWIN, 0, true}, {VK_RWIN, 0, true}, {'A', 0, false}}},
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

TEST_F(KeyLock, RightMouseButtonIsSwallowedWhileOff) {
  RECT rect;
  GetWindowRect(window, &rect);
  SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  auto click = [&] {
    std::vector<Received> got =
        deliver({mouseInput(MOUSEEVENTF_RIGHTDOWN), mouseInput(MOUSEEVENTF_RIGHTUP)});
    int downs = 0, ups = 0;
    for (const Received& r : got) {
      downs += r.message == WM_RBUTTONDOWN;
      ups += r.message == WM_RBUTTONUP;
    }
    return std::make_pair(downs, ups);
  };
  EXPECT_EQ(click(), std::make_pair(1, 1)) << "a right click must reach the window at all";
  ASSERT_TRUE(library.disableKey(0, VK_RBUTTON, kWlModNone, 1));
  EXPECT_EQ(click(), std::make_pair(0, 0));
  ASSERT_TRUE(library.disableKey(0, VK_RBUTTON, kWlModNone, 0));
  EXPECT_EQ(click(), std::make_pair(1, 1));
}

TEST_F(KeyLock, DisabledCombinationsAreListedAndBadCodesRefused) {
  EXPECT_EQ(library.getDisabledKey(0), -1);
  ASSERT_TRUE(library.disableKey(0, VK_TAB, kWlModAlt, 1));
  ASSERT_TRUE(library.disableKey(0, 0, kWlModWin, 1));
  ASSERT_TRUE(library.disableKey(0, VK_TAB, kWlModAlt, 1));  // twice is still one entry
  EXPECT_EQ(library.getDisabledKey(0), (kWlModAlt << 8) | VK_TAB);
  EXPECT_EQ(library.getDisabledKey(1), kWlModWin << 8);
  EXPECT_EQ(library.getDisabledKey(2), -1);
  EXPECT_EQ(library.getDisabledKey(-1), -1);
  EXPECT_FALSE(library.isKeyDisabled(VK_TAB, kWlModCtrl));

  struct Bad {
    int32_t virtualKey, modifiers;
  };
  for (Bad bad : {Bad{VK_TAB, 4}, Bad{VK_TAB, -1}, Bad{0, kWlModAlt}, Bad{256, 0}, Bad{-5, 0}}) {
    EXPECT_FALSE(library.disableKey(0, bad.virtualKey, bad.modifiers, 1))
        << bad.virtualKey << "/" << bad.modifiers;
  }
  EXPECT_EQ(library.restoreAll(), 1);
  EXPECT_EQ(library.getDisabledKey(0), -1);
  EXPECT_TRUE(pressArrived(deliver(keyStroke(VK_TAB, kAlt)), VK_TAB));
}

// The window is named once with the notification or, when that names none, with the combination.
TEST_F(KeyLock, SwallowedCombinationIsSentOrPostedToTheWindow) {
  const int32_t windowCode = static_cast<int32_t>(reinterpret_cast<intptr_t>(window));
  struct NotifyCase {
    const char* name;
    decltype(&wlSetKeyPostMessage) Library::*setNotification;
    int32_t notifyWindow, comboWindow;
  };
  for (NotifyCase c :
       {NotifyCase{"post, window of the combination", &Library::setKeyPostMessage, 0, windowCode},
        NotifyCase{"post, window of the notification", &Library::setKeyPostMessage, windowCode, 0},
        NotifyCase{"send, window of the combination", &Library::setKeySendMessage, 0,
                   windowCode}}) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE((library.*c.setNotification)(c.notifyWindow, kNotifyMessage));
    ASSERT_TRUE(library.disableKey(c.comboWindow, VK_TAB, kWlModAlt, 1));
    deliver(keyStroke(VK_TAB, kAlt));
    // The notice comes from the library's thread after the key was swallowed; wait for it.
    int heard = 0;
    for (DWORD deadline = GetTickCount() + 5000; !heard && GetTickCount() < deadline;) {
      pumpMessages();
      for (const Received& r : received) {
        if (r.message == kNotifyMessage) {
          EXPECT_EQ(r.wParam, static_cast<WPARAM>(VK_TAB));
          EXPECT_EQ(r.lParam, kWlModAlt);
          ++heard;
        }
      }
      if (!heard) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    EXPECT_EQ(heard, 1);
    ASSERT_TRUE(library.disableKey(0, VK_TAB, kWlModAlt, 0));
  }
  // Message 0 switches the notification off.
  ASSERT_TRUE(library.setKeyPostMessage(windowCode, 0));
  ASSERT_TRUE(library.disableKey(windowCode, VK_TAB, kWlModAlt, 1));
  // Two rounds, the second one giving a late notice time to arrive.
  for (int round = 0; round < 2; ++round) {
    deliver(round == 0 ? keyStroke(VK_TAB, kAlt) : std::vector<INPUT>{});
    for (const Received& r : received) EXPECT_NE(r.message, kNotifyMessage);
  }
}

std::atomic<int32_t> calledKey{-1}, calledModifiers{-1};
HANDLE calledEvent = nullptr;
void __stdcall onSwallowed(int32_t virtualKey, int32_t modifiers) {
  calledKey = virtualKey;
  calledModifiers = modifiers;
  SetEvent(calledEvent);
}

TEST_F(KeyLock, SwallowedWindowsKeyIsReportedToTheCallback) {
  calledEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(library.setKeyCallback(reinterpret_cast<intptr_t>(&onSwallowed)));
  ASSERT_TRUE(library.disableKey(0, 0, kWlModWin, 1));
  deliver(keyStroke(VK_LWIN, 0));
  EXPECT_EQ(WaitForSingleObject(calledEvent, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(calledKey.load(), 0);
  EXPECT_EQ(calledModifiers.load(), kWlModWin);
  library.setKeyCallback(0);
  CloseHandle(calledEvent);
}

bool shown(HWND window) { return IsWindowVisible(window) && IsWindowEnabled(window); }

// The desktop parts: the system's own windows where they exist, otherwise stand-in windows of
// the same classes made by this test (Wine without a shell desktop has none).
struct StandIns {
  std::vector<HWND> made;
  HWND tray = nullptr, startButton = nullptr, desktop = nullptr, iconList = nullptr;
  bool trayIsStandIn = false, desktopIsStandIn = false;

  // Stand-ins stand beside the test window and never take the focus from it.
  HWND make(const wchar_t* className, HWND parent) {
    HWND window = createWindowOfClass(className, parent, parent ? WS_VISIBLE : 0, DefWindowProcW,
                                      parent ? 0 : 600);
    if (window && !parent) ShowWindow(window, SW_SHOWNA);
    if (window) made.push_back(window);
    return window;
  }
  static HWND startButtonOf(HWND tray) {
    HWND button = FindWindowExW(tray, nullptr, L"Start", nullptr);
    return button ? button : FindWindowExW(tray, nullptr, L"Button", nullptr);
  }
  StandIns() {
    tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    startButton = tray ? startButtonOf(tray) : nullptr;
    if (!tray || !startButton || !shown(tray)) {  // Wine's tray window has no Start button
      trayIsStandIn = true;
      tray = make(L"Shell_TrayWnd", nullptr);
      startButton = make(L"Button", tray);
    }
    desktop = FindWindowW(L"Progman", nullptr);
    if (!desktop) {
      desktopIsStandIn = true;
      desktop = make(L"Progman", nullptr);
      HWND view = make(L"SHELLDLL_DefView", desktop);
      INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
      InitCommonControlsEx(&controls);
      iconList = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_ICON, 0, 0, 300,
                                 200, view, nullptr, GetModuleHandleW(nullptr), nullptr);
      made.push_back(iconList);
      for (int i = 0; i < 3; ++i) {
        wchar_t text[] = L"icon";
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = text;
        SendMessageW(iconList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      }
    }
    // The library must find these windows, not others of the same classes.
    EXPECT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), tray);
    EXPECT_EQ(FindWindowW(L"Progman", nullptr), desktop);
    pumpMessages();
    printf("taskbar: %s, desktop: %s\n", trayIsStandIn ? "stand-in" : "the system's",
           desktopIsStandIn ? "stand-in" : "the system's");
  }
  ~StandIns() {
    for (auto window = made.rbegin(); window != made.rend(); ++window) DestroyWindow(*window);
  }
};

bool hiddenAndDisabled(HWND window) { return !IsWindowVisible(window) && !IsWindowEnabled(window); }

// Made once for the test suite: Wine takes a while to destroy a top-level window.
std::unique_ptr<StandIns> standIns;
StandIns& sharedStandIns() {
  if (!standIns) standIns = std::make_unique<StandIns>();
  return *standIns;
}
void destroyStandIns() { standIns.reset(); }

TEST_F(KeyLock, DesktopPartsAreHiddenWhileOffAndComeBackAsTheyWere) {
  StandIns& parts = sharedStandIns();
  focusTestWindow();
  struct ItemCase {
    int32_t item;
    HWND window;
  };
  ASSERT_TRUE(parts.startButton) << "no Start button found";
  for (ItemCase c : {ItemCase{kWlItemTaskbar, parts.tray}, ItemCase{kWlItemDesktop, parts.desktop},
                     ItemCase{kWlItemStartButton, parts.startButton}}) {
    SCOPED_TRACE(c.item);
    ASSERT_TRUE(shown(c.window));
    EXPECT_EQ(library.disableItem(c.item, 1), 1);
    pumpMessages();
    EXPECT_TRUE(hiddenAndDisabled(c.window));
    EXPECT_EQ(library.isItemDisabled(c.item), 1);
    EXPECT_EQ(library.disableItem(c.item, 0), 1);
    pumpMessages();
    EXPECT_TRUE(shown(c.window));
    EXPECT_EQ(library.isItemDisabled(c.item), 0);

    // A part that was hidden before stays hidden afterwards.
    ShowWindow(c.window, SW_HIDE);
    EXPECT_EQ(library.disableItem(c.item, 1), 1);
    EXPECT_EQ(library.disableItem(c.item, 0), 1);
    pumpMessages();
    EXPECT_FALSE(IsWindowVisible(c.window));
    EXPECT_TRUE(IsWindowEnabled(c.window));
    ShowWindow(c.window, SW_SHOWNA);
  }
  for (int32_t unknown : {0, 1, 4, 6}) {
    EXPECT_EQ(library.disableItem(unknown, 1), 0) << unknown;
    EXPECT_EQ(library.isItemDisabled(unknown), 0) << unknown;
  }
}

TEST_F(KeyLock, DesktopIconsAreCountedHiddenAndRestored) {
  StandIns& parts = sharedStandIns();
  focusTestWindow();
  if (!parts.desktopIsStandIn) GTEST_SKIP() << "the system's desktop is left alone";
  EXPECT_EQ(library.desktopIconCount(), 3);
  EXPECT_EQ(library.disableDesktopIcon(1), 1);
  EXPECT_FALSE(IsWindowVisible(parts.iconList));
  EXPECT_EQ(library.restoreDesktopIcons(), 1);
  EXPECT_TRUE(IsWindowVisible(parts.iconList));
  EXPECT_EQ(library.disableDesktopIcon(1), 1);
  EXPECT_EQ(library.restoreAll(), 1);
  EXPECT_TRUE(IsWindowVisible(parts.iconList));
}

TEST_F(KeyLock, UnloadingRestoresEverything) {
  StandIns& parts = sharedStandIns();
  focusTestWindow();
  ASSERT_TRUE(library.disableKey(0, VK_TAB, kWlModAlt, 1));
  ASSERT_TRUE(library.disableKey(0, VK_RBUTTON, kWlModNone, 1));
  ASSERT_EQ(library.disableItem(kWlItemTaskbar, 1), 1);
  ASSERT_EQ(library.disableItem(kWlItemDesktop, 1), 1);
  if (parts.desktopIsStandIn) {
    ASSERT_EQ(library.disableDesktopIcon(1), 1);
  }
  ASSERT_FALSE(pressArrived(deliver(keyStroke(VK_TAB, kAlt)), VK_TAB));

  library.unload();
  pumpMessages();
  EXPECT_TRUE(shown(parts.tray));
  EXPECT_TRUE(shown(parts.desktop));
  if (parts.iconList) {
    EXPECT_TRUE(IsWindowVisible(parts.iconList));
  }
  EXPECT_TRUE(pressArrived(deliver(keyStroke(VK_TAB, kAlt)), VK_TAB));
  RECT rect;
  GetWindowRect(window, &rect);
  SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  std::vector<Received> got =
      deliver({mouseInput(MOUSEEVENTF_RIGHTDOWN), mouseInput(MOUSEEVENTF_RIGHTUP)});
  bool clicked = false;
  for (const Received& r : got) clicked |= r.message == WM_RBUTTONDOWN;
  EXPECT_TRUE(clicked);

  // The library loads again and works as before.
  ASSERT_TRUE(library.load());
  ASSERT_TRUE(library.disableKey(0, VK_TAB, kWlModAlt, 1));
  EXPECT_FALSE(pressArrived(deliver(keyStroke(VK_TAB, kAlt)), VK_TAB));
}

TEST_F(KeyLock, ExitEndsTheInputThreadAndTheLibraryStaysUsable) {
  ASSERT_TRUE(library.disableKey(0, VK_TAB, kWlModAlt, 1));
  EXPECT_EQ(library.exit(), 1);
  EXPECT_FALSE(library.isKeyDisabled(VK_TAB, kWlModAlt));
  EXPECT_TRUE(pressArrived(deliver(keyStroke(VK_TAB, kAlt)), VK_TAB));
  ASSERT_TRUE(library.disableKey(0, VK_TAB, kWlModAlt, 1));
  EXPECT_FALSE(pressArrived(deliver(keyStroke(VK_TAB, kAlt)), VK_TAB));
}

TEST_F(KeyLock, LoginScreenCannotBeInstalledAndNothingPretendsOtherwise) {
  auto isInstalled = library.entry<decltype(&wlIsGinaInstalled)>("wlIsGinaInstalled");
  auto install = library.entry<decltype(&wlInstallGina)>("wlInstallGina");
  auto uninstall = library.entry<decltype(&wlUninstallGina)>("wlUninstallGina");
  auto autologin = library.entry<decltype(&wlEnableAutologin)>("wlEnableAutologin");
  auto needInstall = library.entry<decltype(&wlNeedGinaInstall)>("wlNeedGinaInstall");
  EXPECT_EQ(isInstalled(), 0);
  SetLastError(0);
  EXPECT_EQ(install(25), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(isInstalled(), 0);
  EXPECT_EQ(uninstall(26), 0);
  EXPECT_EQ(autologin(1), 0);
  EXPECT_EQ(needInstall(), 1);  // an NT system: Ctrl+Alt+Del reaches no hook
}

TEST_F(KeyLock, InformationalEntryPointsReportTheSystem) {
  EXPECT_EQ(library.entry<decltype(&wlVersion)>("wlVersion")(), kWlLibraryVersion);
  EXPECT_EQ(library.entry<decltype(&wlIsNTSystem)>("wlIsNTSystem")(), 1);
  EXPECT_EQ(library.entry<decltype(&wlIsAdmin)>("wlIsAdmin")(), IsUserAnAdmin() ? 1 : 0);

  OSVERSIONINFOEXW expected{};
  expected.dwOSVersionInfoSize = sizeof(expected);
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  ASSERT_TRUE(rtlGetVersion);
  rtlGetVersion(&expected);
  int32_t version = library.entry<decltype(&wlWinVersion)>("wlWinVersion")();
  EXPECT_EQ(static_cast<DWORD>(version) >> 24, expected.dwMajorVersion);
  EXPECT_EQ((version >> 16) & 0xFF, static_cast<int32_t>(expected.dwMinorVersion));
  EXPECT_EQ(version & 0xFFFF, static_cast<int32_t>(expected.dwBuildNumber & 0xFFFF));
  EXPECT_GE(expected.dwMajorVersion, 6u);

  auto mapScancode = library.entry<decltype(&wlMapScancode)>("wlMapScancode");
  EXPECT_EQ(mapScancode('A', MAPVK_VK_TO_VSC), 0x1E);  // the US layout of the test display
  EXPECT_EQ(mapScancode(0x1E, MAPVK_VSC_TO_VK), 'A');
  EXPECT_EQ(mapScancode(VK_ESCAPE, MAPVK_VK_TO_VSC), 0x01);
}

TEST_F(KeyLock, ToggleKeysAreSetAndRead) {
  auto getState = library.entry<decltype(&wlGetKeyState)>("wlGetKeyState");
  auto setState = library.entry<decltype(&wlSetKeyState)>("wlSetKeyState");
  for (int on : {1, 0}) {
    SCOPED_TRACE(on);
    EXPECT_EQ(setState(VK_CAPITAL, on), 1);
    deliver({});  // the strokes sent by the library have arrived
    EXPECT_EQ(getState(VK_CAPITAL) & 1, on);
  }
  EXPECT_EQ(setState('A', 1), 0) << "only toggle keys have a state to set";
  std::vector<INPUT> hold = {keyInput(VK_LSHIFT, true)};
  SendInput(1, hold.data(), sizeof(INPUT));
  deliver({});
  EXPECT_EQ(getState(VK_SHIFT) & 2, 2);
  hold[0] = keyInput(VK_LSHIFT, false);
  SendInput(1, hold.data(), sizeof(INPUT));
  deliver({});
  EXPECT_EQ(getState(VK_SHIFT) & 2, 0);
}

// A kiosk process that switches the taskbar and Alt+Tab off and then ends without switching them
// on again, by ending normally or by crashing; run by ProcessEndRestoresEverything.
constexpr wchar_t kChildReady[] = L"KeyLockTestChildReady";
constexpr wchar_t kChildGo[] = L"KeyLockTestChildGo";

LONG WINAPI endOnCrash(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

int runKioskChild(const std::string& mode) {
  // The kiosk's own crash handling, installed before the library: it ends the process without a
  // debugger (Wine ignores SEM_NOGPFAULTERRORBOX). The library's filter must run before it.
  if (mode == "crash") SetUnhandledExceptionFilter(endOnCrash);
  Library library;
  if (!library.load() || library.disableItem(kWlItemTaskbar, 1) != 1 ||
      !library.disableKey(0, VK_TAB, kWlModAlt, 1)) {
    return 3;
  }
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, kChildReady);
  HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, kChildGo);
  if (!ready || !go) return 4;
  SetEvent(ready);
  WaitForSingleObject(go, 20000);
  if (mode == "crash") RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
  ExitProcess(0);
}

// Waits for a handle while serving this thread's windows, which the other process changes.
bool waitPumping(HANDLE handle) {
  DWORD deadline = GetTickCount() + 20000;  // only against a hang
  while (static_cast<LONG>(GetTickCount() - deadline) < 0) {
    if (MsgWaitForMultipleObjects(1, &handle, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) {
      pumpMessages();
      return true;
    }
    pumpMessages();
  }
  return false;
}

TEST_F(KeyLock, ProcessEndRestoresEverything) {
  StandIns& parts = sharedStandIns();
  focusTestWindow();
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  for (const char* mode : {"exit", "crash"}) {
    SCOPED_TRACE(mode);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, kChildReady);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, kChildGo);
    std::wstring command =
        L"\"" + std::wstring(exe) + L"\" --kiosk-child=" + std::wstring(mode, mode + strlen(mode));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &child));
    ASSERT_TRUE(waitPumping(ready));
    EXPECT_FALSE(IsWindowVisible(parts.tray));
    EXPECT_FALSE(IsWindowEnabled(parts.tray));
    EXPECT_FALSE(pressArrived(deliver(keyStroke(VK_TAB, kAlt)), VK_TAB));

    SetEvent(go);
    ASSERT_TRUE(waitPumping(child.hProcess));
    DWORD exitCode = 0;
    GetExitCodeProcess(child.hProcess, &exitCode);
    EXPECT_EQ(exitCode == 0, strcmp(mode, "exit") == 0) << exitCode;
    EXPECT_TRUE(shown(parts.tray));
    EXPECT_TRUE(pressArrived(deliver(keyStroke(VK_TAB, kAlt)), VK_TAB));
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(ready);
    CloseHandle(go);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.rfind("--kiosk-child=", 0) == 0) return runKioskChild(argument.substr(14));
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
