#include "app/display_modes.h"

namespace nxr {

namespace {

// The second DirectDraw interface the list keeps.
const IID kDirectDraw2Iid = {
    0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};

HRESULT WINAPI onMode(DDSURFACEDESC* description, void* context) {
  DisplayMode mode;
  mode.width = static_cast<int>(description->dwWidth);
  mode.height = static_cast<int>(description->dwHeight);
  mode.bitsPerPixel = static_cast<int>(description->ddpfPixelFormat.dwRGBBitCount);
  mode.refreshRate = static_cast<int>(description->dwRefreshRate);
  static_cast<DisplayModeList*>(context)->offer(mode);
  return DDENUMRET_OK;
}

}  // namespace

DisplayModeList& DisplayModeList::instance() {
  static DisplayModeList list;
  return list;
}

bool DisplayModeList::build() {
  if (FAILED(DirectDrawCreate(nullptr, directDraw_.put(), nullptr))) return false;
  if (FAILED(directDraw_.as(kDirectDraw2Iid, directDraw2_))) return false;
  if (FAILED(directDraw2_->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, this, onMode))) {
    return false;
  }
  return SUCCEEDED(directDraw2_->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
}

void DisplayModeList::release() {
  directDraw2_.reset();
  directDraw_.reset();
}

void DisplayModeList::offer(const DisplayMode& mode) {
  if (mode.width < 640 || mode.height < 480 || mode.bitsPerPixel < 16) return;
  for (DisplayMode& entry : modes_) {
    if (entry.width == mode.width && entry.height == mode.height &&
        entry.refreshRate == mode.refreshRate) {
      if (entry.bitsPerPixel == 16 && mode.bitsPerPixel == 32) entry = mode;
      return;
    }
  }
  modes_.push_back(mode);
}

}  // namespace nxr
