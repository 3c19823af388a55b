#include "key_lock.h"

#include <atomic>

namespace nxr::keylock {
namespace {

// The modifier codes, each with a row in the table of blocked combinations.
constexpr int32_t kModifierCodes[] = {0, 1, 2, 3, 8};
constexpr int kModifierRows = 5;
constexpr int kWindowsKeysRow = 4;

int modifierRow(int32_t modifiers) {
  for (int row = 0; row < kModifierRows; ++row) {
    if (kModifierCodes[row] == modifiers) return row;
  }
  return -1;
}

// The blocked combinations: one bit per virtual key in each modifier row. The hook procedures
// only read these words, without a lock; callers change them under tableLock.
std::atomic<uint32_t> blockedBits[kModifierRows][256 / 32];
std::atomic<intptr_t> ownerWindows[kModifierRows][256];
std::atomic<int> blockedCount{0};
SRWLOCK tableLock = SRWLOCK_INIT;

bool isBlocked(int row, uint32_t virtualKey) {
  return (blockedBits[row][virtualKey >> 5].load(std::memory_order_relaxed) >> (virtualKey & 31)) &
         1;
}

// Notification of swallowed combinations; the hook procedures read only notifyActive.
struct Notification {
  NotifyMode mode = NotifyMode::none;
  HWND window = nullptr;
  UINT message = 0;
  intptr_t callback = 0;
};
Notification notification;
std::atomic<bool> notifyActive{false};
SRWLOCK notifyLock = SRWLOCK_INIT;

// The input thread.
constexpr UINT kSwallowedMessage = WM_APP + 1;
SRWLOCK threadLock = SRWLOCK_INIT;
HANDLE inputThread = nullptr;
DWORD inputThreadId = 0;
std::atomic<HANDLE> unloadDone{nullptr};  // set by the input thread when it has let go at unloading

// State of the input thread alone: keys whose press was swallowed, so that their release is
// swallowed too and the application never sees half a key stroke.
bool swallowedDown[256];

bool keyHeld(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

struct HeldModifiers {
  bool alt, ctrl, win;
};

// A swallowed Windows key never reaches the key state, so the swallowed presses count as held.
bool windowsKeyHeld() {
  return keyHeld(VK_LWIN) || keyHeld(VK_RWIN) || swallowedDown[VK_LWIN] || swallowedDown[VK_RWIN];
}
bool ctrlHeld() {
  return keyHeld(VK_CONTROL) || swallowedDown[VK_LCONTROL] || swallowedDown[VK_RCONTROL];
}

// The row of the blocked combination that a press of virtualKey with these modifiers makes, or
// -1. A combination is blocked whenever at least its modifiers are held (Alt+Tab also covers
// Shift+Alt+Tab and Ctrl+Alt+Tab), so that a kiosk cannot be left by adding a modifier.
int blockingRow(uint32_t virtualKey, HeldModifiers held) {
  if (isBlocked(0, virtualKey)) return 0;
  if (held.alt && isBlocked(1, virtualKey)) return 1;
  if (held.ctrl && isBlocked(2, virtualKey)) return 2;
  if (held.ctrl && held.alt && isBlocked(3, virtualKey)) return 3;
  if (held.win && isBlocked(kWindowsKeysRow, virtualKey)) return kWindowsKeysRow;
  return -1;
}

void reportSwallowed(uint32_t virtualKey, int row) {
  if (!notifyActive.load(std::memory_order_relaxed)) return;
  PostThreadMessageW(GetCurrentThreadId(), kSwallowedMessage, virtualKey, kModifierCodes[row]);
}

// Decides one press or release; true swallows it.
bool swallow(uint32_t virtualKey, bool down, HeldModifiers held) {
  if (!down) {
    bool wasSwallowed = swallowedDown[virtualKey];
    swallowedDown[virtualKey] = false;
    return wasSwallowed;
  }
  uint32_t reported = virtualKey;
  int row = blockingRow(virtualKey, held);
  if (row < 0 && (virtualKey == VK_LWIN || virtualKey == VK_RWIN) &&
      isBlocked(kWindowsKeysRow, 0)) {
    row = kWindowsKeysRow;
    reported = 0;
  }
  if (row < 0) return false;
  if (!swallowedDown[virtualKey]) reportSwallowed(reported, row);  // not for auto-repeats
  swallowedDown[virtualKey] = true;
  return true;
}

LRESULT CALLBACK keyboardProc(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION && blockedCount.load(std::memory_order_relaxed) > 0) {
    const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
    uint32_t virtualKey = event->vkCode & 0xFF;
    bool down = (event->flags & LLKHF_UP) == 0;
    HeldModifiers held{(event->flags & LLKHF_ALTDOWN) != 0 || keyHeld(VK_MENU), ctrlHeld(),
                       windowsKeyHeld()};
    if (swallow(virtualKey, down, held)) return 1;
  }
  return CallNextHookEx(nullptr, code, message, data);
}

LRESULT CALLBACK mouseProc(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION && blockedCount.load(std::memory_order_relaxed) > 0) {
    const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(data);
    uint32_t button = 0;
    bool down = false;
    switch (message) {
      case WM_LBUTTONDOWN:
        down = true;
        [[fallthrough]];
      case WM_LBUTTONUP:
        button = VK_LBUTTON;
        break;
      case WM_RBUTTONDOWN:
        down = true;
        [[fallthrough]];
      case WM_RBUTTONUP:
        button = VK_RBUTTON;
        break;
      case WM_MBUTTONDOWN:
        down = true;
        [[fallthrough]];
      case WM_MBUTTONUP:
        button = VK_MBUTTON;
        break;
      case WM_XBUTTONDOWN:
        down = true;
        [[fallthrough]];
      case WM_XBUTTONUP:
        button = HIWORD(event->mouseData) == XBUTTON1 ? VK_XBUTTON1 : VK_XBUTTON2;
        break;
      default:
        break;
    }
    if (button != 0 && swallow(button, down, {keyHeld(VK_MENU), ctrlHeld(), windowsKeyHeld()})) {
      return 1;
    }
  }
  return CallNextHookEx(nullptr, code, message, data);
}

// Tells the chosen listener of a swallowed combination; runs on the input thread, outside the
// hook procedures, so a slow listener never delays the desktop's input.
void deliverSwallowed(uint32_t virtualKey, int32_t modifiers) {
  AcquireSRWLockShared(&notifyLock);
  Notification target = notification;
  ReleaseSRWLockShared(&notifyLock);
  HWND window = target.window;
  int row = modifierRow(modifiers);
  if (!window && row >= 0) {
    window = reinterpret_cast<HWND>(ownerWindows[row][virtualKey].load(std::memory_order_relaxed));
  }
  switch (target.mode) {
    case NotifyMode::sendMessage:
      if (window) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, target.message, virtualKey, modifiers,
                            SMTO_NORMAL | SMTO_ABORTIFHUNG, 1000, &result);
      }
      break;
    case NotifyMode::postMessage:
      if (window) PostMessageW(window, target.message, virtualKey, modifiers);
      break;
    case NotifyMode::callback:
      if (target.callback) {
        reinterpret_cast<void(__stdcall*)(int32_t, int32_t)>(target.callback)(
            static_cast<int32_t>(virtualKey), modifiers);
      }
      break;
    case NotifyMode::none:
      break;
  }
}

struct ThreadStart {
  HANDLE ready;
  bool hooked;
};

DWORD WINAPI inputThreadMain(void* parameter) {
  auto* start = static_cast<ThreadStart*>(parameter);
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&keyboardProc), &self);
  for (bool& key : swallowedDown) key = false;
  HHOOK keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardProc, self, 0);
  HHOOK mouseHook = SetWindowsHookExW(WH_MOUSE_LL, mouseProc, self, 0);
  start->hooked = keyboardHook && mouseHook;
  bool hooked = start->hooked;
  SetEvent(start->ready);  // start is gone after this
  if (hooked) {
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == kSwallowedMessage) {
        deliverSwallowed(static_cast<uint32_t>(msg.wParam), static_cast<int32_t>(msg.lParam));
      }
    }
  }
  if (keyboardHook) UnhookWindowsHookEx(keyboardHook);
  if (mouseHook) UnhookWindowsHookEx(mouseHook);
  if (HANDLE done = unloadDone.load()) {
    // The library is being unloaded and the unloading thread holds the loader lock, which ending
    // this thread would wait for. Instead the thread tells it that the hooks are gone and, in the
    // same call, starts waiting for the end of the process: not one more instruction of this
    // library runs on it once it has been unmapped. The thread stays parked until the process
    // ends; a normal end (wlExit) lets it go entirely.
    SignalObjectAndWait(done, GetCurrentProcess(), INFINITE, FALSE);
  }
  return 0;
}

// Starts the input thread once; false when its hooks could not be installed.
bool ensureInputThread() {
  AcquireSRWLockExclusive(&threadLock);
  if (!inputThread) {
    ThreadStart start{CreateEventW(nullptr, TRUE, FALSE, nullptr), false};
    if (start.ready) {
      DWORD id = 0;
      HANDLE thread = CreateThread(nullptr, 0, inputThreadMain, &start, 0, &id);
      if (thread) {
        HANDLE waits[] = {start.ready, thread};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (start.hooked) {
          inputThread = thread;
          inputThreadId = id;
        } else {
          WaitForSingleObject(thread, INFINITE);
          CloseHandle(thread);
        }
      }
      CloseHandle(start.ready);
    }
  }
  bool running = inputThread != nullptr;
  ReleaseSRWLockExclusive(&threadLock);
  return running;
}

}  // namespace

bool disableKey(HWND window, int32_t virtualKey, int32_t modifiers, bool off) {
  int row = modifierRow(modifiers);
  if (row < 0 || virtualKey < 0 || virtualKey > 0xFF) return false;
  if (virtualKey == 0 && row != kWindowsKeysRow) return false;
  if (off && !ensureInputThread()) return false;
  AcquireSRWLockExclusive(&tableLock);
  uint32_t bit = 1u << (virtualKey & 31);
  auto& word = blockedBits[row][virtualKey >> 5];
  bool was = (word.load() & bit) != 0;
  if (off) {
    ownerWindows[row][virtualKey].store(reinterpret_cast<intptr_t>(window));
    if (!was) {
      word.fetch_or(bit);
      blockedCount.fetch_add(1);
    }
  } else if (was) {
    word.fetch_and(~bit);
    blockedCount.fetch_sub(1);
    ownerWindows[row][virtualKey].store(0);
  }
  ReleaseSRWLockExclusive(&tableLock);
  return true;
}

bool isKeyDisabled(int32_t virtualKey, int32_t modifiers) {
  int row = modifierRow(modifiers);
  if (row < 0 || virtualKey < 0 || virtualKey > 0xFF) return false;
  return isBlocked(row, static_cast<uint32_t>(virtualKey));
}

int32_t disabledKey(int32_t index) {
  if (index < 0) return -1;
  for (int row = 0; row < kModifierRows; ++row) {
    for (uint32_t key = 0; key < 256; ++key) {
      if (isBlocked(row, key) && index-- == 0) {
        return (kModifierCodes[row] << 8) | static_cast<int32_t>(key);
      }
    }
  }
  return -1;
}

void allowAllKeys() {
  AcquireSRWLockExclusive(&tableLock);
  for (auto& row : blockedBits) {
    for (auto& word : row) word.store(0);
  }
  for (auto& row : ownerWindows) {
    for (auto& window : row) window.store(0);
  }
  blockedCount.store(0);
  ReleaseSRWLockExclusive(&tableLock);
}

void setNotification(NotifyMode mode, HWND window, UINT message, intptr_t callback) {
  bool active = mode == NotifyMode::callback ? callback != 0 : mode != NotifyMode::none && message;
  AcquireSRWLockExclusive(&notifyLock);
  notification = active ? Notification{mode, window, message, callback} : Notification{};
  notifyActive.store(active);
  ReleaseSRWLockExclusive(&notifyLock);
}

void stopInputThread() {
  AcquireSRWLockExclusive(&threadLock);
  HANDLE thread = inputThread;
  DWORD id = inputThreadId;
  inputThread = nullptr;
  inputThreadId = 0;
  ReleaseSRWLockExclusive(&threadLock);
  if (!thread) return;
  PostThreadMessageW(id, WM_QUIT, 0, 0);
  // A listener called back on the input thread may end the library itself; it cannot wait for
  // its own end.
  if (id != GetCurrentThreadId()) WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

void stopInputThreadForUnload() {
  HANDLE thread = inputThread;
  if (!thread) return;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (done) {
    unloadDone.store(done);
    PostThreadMessageW(inputThreadId, WM_QUIT, 0, 0);
    // The bound only guards against a key listener that hangs on the input thread.
    WaitForSingleObject(done, 5000);
    CloseHandle(done);
  }
  CloseHandle(thread);
  inputThread = nullptr;
  inputThreadId = 0;
}

}  // namespace nxr::keylock
