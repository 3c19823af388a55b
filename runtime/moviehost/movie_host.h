// The object behind one host window: the player control's site, event sink and window procedure.
#pragma once

#include <windows.h>

namespace nxr {

class ControlLoader;

class MovieHost {
 public:
  // WM_CREATE of a loader's host window: creates the host and its control. 1 when a control was
  // created, 0 otherwise; the window is made in both cases.
  static LRESULT createForWindow(ControlLoader* loader, HWND window, const CREATESTRUCTW* create);
};

}  // namespace nxr
