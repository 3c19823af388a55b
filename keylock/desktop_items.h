// Hiding and disabling the desktop parts (desktop, Start button, taskbar) and the desktop icons,
// remembering how each window was so that it is brought back exactly so.
#pragma once

#include <stdint.h>

namespace nxr::keylock {

// item: 2 the desktop, 3 the Start button, 5 the taskbar. False for another code, or when the
// part cannot be found.
bool disableItem(int32_t item, bool off);
bool isItemDisabled(int32_t item);

bool hideDesktopIcons(bool hide);
int32_t desktopIconCount();  // -1 without an icon view
bool restoreDesktopIcons();

// Brings back every part and the icons. While the library is unloading or the process is
// crashing, nothing waits for another thread's window to answer.
enum class RestoreContext { normal, unloading };
void restoreAllItems(RestoreContext context);

}  // namespace nxr::keylock
