#include "moviehost/movie_host.h"

namespace nxr {

LRESULT MovieHost::createForWindow(ControlLoader*, HWND, const CREATESTRUCTW*) {
  // No control is hosted yet: the window stays empty.
  return 0;
}

}  // namespace nxr
