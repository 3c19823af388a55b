// Blocking key combinations and mouse buttons for the whole desktop through low-level hooks that
// live on a thread of their own, so that they keep answering whatever the caller's thread does.
#pragma once

#include <stdint.h>
#include <windows.h>

namespace nxr::keylock {

// Blocks (off true) or allows again a combination. False for a modifier or key code that does
// not exist, or when the hooks cannot be installed.
bool disableKey(HWND window, int32_t virtualKey, int32_t modifiers, bool off);
bool isKeyDisabled(int32_t virtualKey, int32_t modifiers);
// The index-th blocked combination as (modifiers << 8) | virtualKey, or -1.
int32_t disabledKey(int32_t index);
void allowAllKeys();

enum class NotifyMode : int32_t { none, sendMessage, postMessage, callback };
// Who hears of a swallowed combination; message 0 (or callback 0) switches it off.
void setNotification(NotifyMode mode, HWND window, UINT message, intptr_t callback);

// Ends the input thread and removes the hooks, waiting for the thread.
void stopInputThread();
// The same while the loader lock is held (the library is being unloaded): the thread removes the
// hooks and parks itself for the rest of the process instead of ending, because a thread's end
// waits for the loader lock that the unloading thread holds.
void stopInputThreadForUnload();

}  // namespace nxr::keylock
