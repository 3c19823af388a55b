// Drawing the stage: the background colour (unless the stage is transparent) and the frame
// marker, whose right half is blended over what lies beneath so that a container compositing a
// transparent control sees partial alpha.
#include <algorithm>

#include "flash_control.h"

namespace nxr::player {
namespace {

void fill(HDC dc, const RECT& area, COLORREF color) {
  ScopedGdiObject brush(CreateSolidBrush(color));
  FillRect(dc, &area, static_cast<HBRUSH>(brush.get()));
}

// Blends color with the given alpha over the pixels already in the area. The pixels are copied
// out to a 32-bit DIB, mixed there and copied back, which works on any device context that can
// be read (window, memory and DIB section DCs alike).
void blend(HDC dc, const RECT& area, COLORREF color, BYTE alpha) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  ScopedGdiObject bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ScopedMemoryDc memory(CreateCompatibleDC(dc));
  if (!bitmap || !memory || !bits) return;
  HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
  BitBlt(memory.get(), 0, 0, width, height, dc, area.left, area.top, SRCCOPY);
  GdiFlush();
  const unsigned r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  auto mix = [alpha](unsigned under, unsigned over) {
    return (under * (255u - alpha) + over * alpha + 127u) / 255u;
  };
  auto* pixel = static_cast<uint32_t*>(bits);
  for (size_t i = 0, n = size_t(width) * height; i < n; ++i) {
    const uint32_t p = pixel[i];
    pixel[i] = (mix((p >> 16) & 0xFF, r) << 16) | (mix((p >> 8) & 0xFF, g) << 8) | mix(p & 0xFF, b);
  }
  BitBlt(dc, area.left, area.top, width, height, memory.get(), 0, 0, SRCCOPY);
  SelectObject(memory.get(), old);
}

}  // namespace

void drawStage(HDC dc, const RECT& stage, const StageLook& look) {
  if (!look.transparent) fill(dc, stage, look.background);
  const RECT marker = markerRect(stage);
  const LONG middle = marker.left + (marker.right - marker.left) / 2;
  fill(dc, RECT{marker.left, marker.top, middle, marker.bottom}, kMarkerColor);
  blend(dc, RECT{middle, marker.top, marker.right, marker.bottom}, kMarkerColor, kMarkerAlpha);
  if (look.frames > 0) {
    const LONG barTop = marker.bottom - (marker.bottom - marker.top) / 6;
    const LONG width = marker.right - marker.left;
    const LONG filled =
        LONG(int64_t(width) * std::clamp(look.frame + 1, 1L, look.frames) / look.frames);
    fill(dc, RECT{marker.left, barTop, marker.left + filled, marker.bottom}, kFrameBarColor);
  }
}

}  // namespace nxr::player
