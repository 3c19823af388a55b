// The list of display modes taken from DirectDraw at start-up and handed to the module registry.
#pragma once

#ifdef _WIN32
#include <windows.h>

// After windows.h, which it builds on.
#include <ddraw.h>

#include <vector>

#include "support/win.h"

namespace nxr {

struct DisplayMode {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  int refreshRate = 0;
};

class DisplayModeList {
 public:
  static DisplayModeList& instance();

  // Creates the DirectDraw object for the default device, queries its second interface,
  // enumerates the modes with their refresh rates and sets the normal cooperative level.
  bool build();
  // Releases the DirectDraw objects; the list itself stays.
  void release();

  // Keeps modes of at least 640 x 480 at 16 bits per pixel or more; a 32-bit mode replaces a
  // 16-bit entry of the same size and refresh rate.
  void offer(const DisplayMode& mode);
  const std::vector<DisplayMode>& modes() const { return modes_; }

 private:
  ComPtr<IDirectDraw> directDraw_;
  ComPtr<IDirectDraw2> directDraw2_;
  std::vector<DisplayMode> modes_;
};

}  // namespace nxr
#endif
