#include "desktop_items.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>

namespace nxr::keylock {
namespace {

struct SavedWindow {
  HWND window = nullptr;
  bool visible = false;
  bool enabled = false;
};

constexpr int kMaxWindows = 8;
struct ItemState {
  explicit ItemState(int32_t itemCode) : code(itemCode) {}
  int32_t code;
  bool disabled = false;
  int count = 0;
  SavedWindow windows[kMaxWindows];
};

ItemState items[] = {ItemState(2), ItemState(3), ItemState(5)};
ItemState icons(0);
SRWLOCK itemsLock = SRWLOCK_INIT;

LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
bool filterInstalled = false;

ItemState* findItem(int32_t code) {
  for (auto& item : items) {
    if (item.code == code) return &item;
  }
  return nullptr;
}

void add(ItemState& state, HWND window) {
  if (window && state.count < kMaxWindows) state.windows[state.count++].window = window;
}

// Top-level windows of a class, in z-order.
template <typename Visit>
void forEachTopLevel(const wchar_t* className, Visit visit) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, className, nullptr)) != nullptr) visit(window);
}

// The window holding the desktop's icon view: the desktop window itself, or, when the system
// shows a changing wallpaper, a worker window behind it.
HWND iconViewHost() {
  HWND progman = FindWindowW(L"Progman", nullptr);
  if (progman && FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr)) return progman;
  HWND host = nullptr;
  forEachTopLevel(L"WorkerW", [&](HWND worker) {
    if (!host && FindWindowExW(worker, nullptr, L"SHELLDLL_DefView", nullptr)) host = worker;
  });
  return host;
}

HWND iconView() {
  HWND host = iconViewHost();
  HWND view = host ? FindWindowExW(host, nullptr, L"SHELLDLL_DefView", nullptr) : nullptr;
  return view ? FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
}

// The windows that make up a desktop part right now.
void collectWindows(ItemState& state) {
  state.count = 0;
  HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
  switch (state.code) {
    case 2: {
      add(state, FindWindowW(L"Progman", nullptr));
      HWND host = iconViewHost();
      if (host && host != state.windows[0].window) add(state, host);
      break;
    }
    case 3: {
      HWND button = tray ? FindWindowExW(tray, nullptr, L"Start", nullptr) : nullptr;
      if (!button && tray) button = FindWindowExW(tray, nullptr, L"Button", nullptr);
      if (!button && tray) {  // a top-level button belonging to the taskbar's thread
        DWORD trayThread = GetWindowThreadProcessId(tray, nullptr);
        forEachTopLevel(L"Button", [&](HWND candidate) {
          if (!button && GetWindowThreadProcessId(candidate, nullptr) == trayThread) {
            button = candidate;
          }
        });
      }
      add(state, button);
      break;
    }
    case 5:
      add(state, tray);
      forEachTopLevel(L"Shell_SecondaryTrayWnd", [&](HWND window) { add(state, window); });
      break;
    default:
      break;
  }
}

void hideWindows(ItemState& state, bool disable) {
  for (int i = 0; i < state.count; ++i) {
    SavedWindow& saved = state.windows[i];
    // The window's own visibility, not its parent's: a part inside another hidden part is still
    // to be shown again with it.
    saved.visible = (GetWindowLongPtrW(saved.window, GWL_STYLE) & WS_VISIBLE) != 0;
    saved.enabled = IsWindowEnabled(saved.window) != FALSE;
    if (disable) EnableWindow(saved.window, FALSE);
    ShowWindow(saved.window, SW_HIDE);
  }
}

// A window of another thread that has stopped answering is given its state by notification
// only, so that restoring never hangs on it.
void restoreWindows(ItemState& state, RestoreContext context) {
  for (int i = 0; i < state.count; ++i) {
    const SavedWindow& saved = state.windows[i];
    if (!IsWindow(saved.window)) continue;  // the shell has been restarted meanwhile
    bool ownThread = GetWindowThreadProcessId(saved.window, nullptr) == GetCurrentThreadId();
    bool mayWait =
        ownThread || (context == RestoreContext::normal && !IsHungAppWindow(saved.window));
    if (saved.visible) {
      if (mayWait) {
        ShowWindow(saved.window, SW_SHOWNA);
      } else {
        ShowWindowAsync(saved.window, SW_SHOWNA);
      }
    }
    if (saved.enabled && (mayWait || !IsHungAppWindow(saved.window))) {
      EnableWindow(saved.window, TRUE);
    }
  }
  state.count = 0;
  state.disabled = false;
}

void restoreAllLocked(RestoreContext context) {
  for (auto& item : items) {
    if (item.disabled) restoreWindows(item, context);
  }
  if (icons.disabled) restoreWindows(icons, context);
}

// A kiosk that crashes must not leave the desktop without its taskbar: an unhandled exception
// brings every part back before the previous filter (or the system) handles it.
LONG WINAPI restoreOnCrash(EXCEPTION_POINTERS* exception) {
  restoreAllLocked(RestoreContext::unloading);
  return previousFilter ? previousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

void installCrashFilter() {
  if (filterInstalled) return;
  previousFilter = SetUnhandledExceptionFilter(restoreOnCrash);
  filterInstalled = true;
}

void removeCrashFilter() {
  if (!filterInstalled) return;
  LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(previousFilter);
  // Someone installed a filter after this one; theirs stays in place.
  if (current != restoreOnCrash) SetUnhandledExceptionFilter(current);
  filterInstalled = false;
  previousFilter = nullptr;
}

}  // namespace

bool disableItem(int32_t item, bool off) {
  ItemState* state = findItem(item);
  if (!state) return false;
  AcquireSRWLockExclusive(&itemsLock);
  bool ok = true;
  if (off && !state->disabled) {
    collectWindows(*state);
    ok = state->count > 0;
    if (ok) {
      hideWindows(*state, true);
      state->disabled = true;
      installCrashFilter();
    }
  } else if (!off && state->disabled) {
    restoreWindows(*state, RestoreContext::normal);
  }
  ReleaseSRWLockExclusive(&itemsLock);
  return ok;
}

bool isItemDisabled(int32_t item) {
  ItemState* state = findItem(item);
  if (!state) return false;
  AcquireSRWLockShared(&itemsLock);
  bool disabled = state->disabled;
  ReleaseSRWLockShared(&itemsLock);
  return disabled;
}

bool hideDesktopIcons(bool hide) {
  AcquireSRWLockExclusive(&itemsLock);
  bool ok = true;
  if (hide && !icons.disabled) {
    icons.count = 0;
    add(icons, iconView());
    ok = icons.count > 0;
    if (ok) {
      hideWindows(icons, false);
      icons.disabled = true;
      installCrashFilter();
    }
  } else if (!hide && icons.disabled) {
    restoreWindows(icons, RestoreContext::normal);
  }
  ReleaseSRWLockExclusive(&itemsLock);
  return ok;
}

int32_t desktopIconCount() {
  HWND view = iconView();
  if (!view) return -1;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(view, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 2000,
                           &count)) {
    return -1;
  }
  return static_cast<int32_t>(count);
}

bool restoreDesktopIcons() { return hideDesktopIcons(false); }

void restoreAllItems(RestoreContext context) {
  AcquireSRWLockExclusive(&itemsLock);
  restoreAllLocked(context);
  if (context == RestoreContext::unloading) removeCrashFilter();
  ReleaseSRWLockExclusive(&itemsLock);
}

}  // namespace nxr::keylock
