// The entry points of dwlGina2.dll, the kiosk key-lock library. Every argument and result is a
// 32-bit integer and every entry point uses the __stdcall convention with an undecorated name, so
// that a caller resolving the names with GetProcAddress needs nothing but these prototypes. The
// only pointer-sized argument is the callback address of wlSetKeyCallback (32 bits in the shipped
// i686 build).
#pragma once

#include <stdint.h>

#ifdef DWLGINA2_BUILDING
#define DWLGINA2_API extern "C" __declspec(dllexport)
#else
#define DWLGINA2_API extern "C" __declspec(dllimport)
#endif

// Modifier codes of wlDisableKey and friends. Virtual key 0 with kWlModWin means the Windows keys.
enum : int32_t {
  kWlModNone = 0,
  kWlModAlt = 1,
  kWlModCtrl = 2,
  kWlModCtrlAlt = 3,
  kWlModWin = 8,
};

// Item codes of wlDisableItem and wlIsItemDisabled.
enum : int32_t {
  kWlItemDesktop = 2,
  kWlItemStartButton = 3,
  kWlItemTaskbar = 5,
};

// wlVersion: (major << 16) | minor of this library.
inline constexpr int32_t kWlLibraryVersion = (2 << 16) | 0;

// Called on the library's own input thread when a blocked combination is pressed. The hooks are
// served by the same thread, so the callback must return promptly.
typedef void(__stdcall* WlKeyCallback)(int32_t virtualKey, int32_t modifiers);

// (major << 16) | minor of this library.
DWLGINA2_API int32_t __stdcall wlVersion();
// Blocks (on 1) or allows again (on 0) a key combination for the whole desktop. A blocked
// combination is swallowed whenever at least its modifiers are held (Alt+Tab also takes
// Shift+Alt+Tab). Virtual keys 1, 2, 4, 5 and 6 are the mouse buttons. The window, when not 0,
// receives the notifications of wlSetKeySendMessage/wlSetKeyPostMessage given without a window.
// Nonzero on success, 0 for an unknown modifier code or key. The hooks see every key stroke
// except the secure attention sequence: the real Ctrl+Alt+Del always reaches the system.
DWLGINA2_API int32_t __stdcall wlDisableKey(int32_t window, int32_t virtualKey, int32_t modifiers,
                                            int32_t on);
// Nonzero when exactly this combination is blocked.
DWLGINA2_API int32_t __stdcall wlIsKeyDisabled(int32_t virtualKey, int32_t modifiers);
// The index-th blocked combination as (modifiers << 8) | virtualKey, or -1 past the last one.
DWLGINA2_API int32_t __stdcall wlGetDisabledKey(int32_t index);
// When a blocked combination is pressed, the window (or, for window 0, the window given with the
// combination) is sent (SendMessageTimeout) or posted the message with wParam the virtual key and
// lParam the modifier code. Message 0 switches the notification off. Nonzero on success.
DWLGINA2_API int32_t __stdcall wlSetKeySendMessage(int32_t window, int32_t message);
DWLGINA2_API int32_t __stdcall wlSetKeyPostMessage(int32_t window, int32_t message);
// The same notification as a call of a WlKeyCallback (0 switches it off).
DWLGINA2_API int32_t __stdcall wlSetKeyCallback(intptr_t callback);
// Allows every key combination again and brings back every desktop part and the desktop icons.
DWLGINA2_API int32_t __stdcall wlRestoreAll();
// Hides and disables (on 1) or brings back as it was (on 0) a desktop part. Nonzero on success.
DWLGINA2_API int32_t __stdcall wlDisableItem(int32_t item, int32_t on);
DWLGINA2_API int32_t __stdcall wlIsItemDisabled(int32_t item);
// The replacement login screen cannot be installed on current systems: wlInstallGina and
// wlUninstallGina fail (0, last error ERROR_NOT_SUPPORTED) and change nothing, wlIsGinaInstalled
// is 0. wlNeedGinaInstall is nonzero on NT systems, where only a login library could block
// Ctrl+Alt+Del. wlEnableAutologin fails the same way.
DWLGINA2_API int32_t __stdcall wlInstallGina(int32_t code);
DWLGINA2_API int32_t __stdcall wlUninstallGina(int32_t code);
DWLGINA2_API int32_t __stdcall wlIsGinaInstalled();
DWLGINA2_API int32_t __stdcall wlIsNTSystem();
DWLGINA2_API int32_t __stdcall wlNeedGinaInstall();
// ExitWindowsEx with the given EWX_ flags (the shutdown privilege is enabled first).
DWLGINA2_API int32_t __stdcall wlExitWindows(int32_t flags);
// (major << 24) | (minor << 16) | (build & 0xFFFF) of the running system.
DWLGINA2_API int32_t __stdcall wlWinVersion();
// Bit 0: the key is toggled on (Caps Lock, Num Lock, Scroll Lock); bit 1: the key is down.
DWLGINA2_API int32_t __stdcall wlGetKeyState(int32_t virtualKey);
// Switches a toggle key (Caps Lock, Num Lock, Scroll Lock) on or off. Nonzero on success.
DWLGINA2_API int32_t __stdcall wlSetKeyState(int32_t virtualKey, int32_t on);
// Nonzero when the process runs with the administrators group enabled.
DWLGINA2_API int32_t __stdcall wlIsAdmin();
DWLGINA2_API int32_t __stdcall wlEnableAutologin(int32_t on);
// MapVirtualKey: translates a virtual key or scan code as mapType (MAPVK_*) says.
DWLGINA2_API int32_t __stdcall wlMapScancode(int32_t code, int32_t mapType);
// Hides (on 1) or shows again (on 0) the icons of the desktop. Nonzero on success.
DWLGINA2_API int32_t __stdcall wlDisableDesktopIcon(int32_t on);
// The number of icons on the desktop, or -1 when there is no icon view.
DWLGINA2_API int32_t __stdcall wlDesktopIconCount();
// Shows the desktop icons again if this library hid them.
DWLGINA2_API int32_t __stdcall wlRestoreDesktopIcons();
// Restores everything and ends the library's input thread; the library stays usable.
DWLGINA2_API int32_t __stdcall wlExit();
