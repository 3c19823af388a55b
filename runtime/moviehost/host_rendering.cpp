// Painting of host windows: the red area of a host without a control, windowless composition
// for child hosts, per-pixel alpha for layered hosts, the windowless site's DCs and
// invalidations, and frame snapshots.
#include <algorithm>
#include <cstring>

#include "moviehost/alpha_combine.h"
#include "moviehost/movie_host.h"

namespace nxr {
namespace {

constexpr COLORREF kNoControlColour = 0x000000FF;  // red

struct PaintStage {
  NMHDR header;
  int32_t stage;
  HDC dc;
};
struct InvalidateNotification {
  NMHDR header;
  RECT rect;
};
struct FrameBitsNotification {
  NMHDR header;
  uint32_t* pixels;
};

HBITMAP createFrame(int width, int height, uint32_t** pixels) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  *pixels = bitmap ? static_cast<uint32_t*>(bits) : nullptr;
  return bitmap;
}

void fill(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

bool emptyRect(const RECT& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

}  // namespace

bool MovieHost::ensureFrames(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  if (output_.bitmap && white_.bitmap && black_.bitmap && frameSize_.cx == width &&
      frameSize_.cy == height) {
    return true;
  }
  for (Frame* frame : {&output_, &white_, &black_}) {
    frame->bitmap.reset(createFrame(width, height, &frame->pixels));
    if (!frame->bitmap) return false;
  }
  frameSize_ = {width, height};
  return true;
}

// Draws the control over white and over black into the frames and combines the update rectangle
// into the output frame; with `updateWindow`, hands the output to UpdateLayeredWindow.
bool MovieHost::renderLayered(const RECT& requested, bool updateWindow) {
  RECT client;
  GetClientRect(window_, &client);
  RECT update = requested;
  if (emptyRect(update)) update = client;
  IntersectRect(&update, &update, &client);
  if (!ensureFrames(client.right, client.bottom) || emptyRect(update)) return false;

  HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HRGN clip = CreateRectRgnIndirect(&update);
  SelectClipRgn(memory, clip);
  RECTL bounds{client.left, client.top, client.right, client.bottom};

  HGDIOBJ previous = SelectObject(memory, white_.bitmap.get());
  fill(memory, update, RGB(255, 255, 255));
  viewObject_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr,
                    nullptr, 0);
  SelectObject(memory, black_.bitmap.get());
  fill(memory, update, RGB(0, 0, 0));
  viewObject_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr,
                    nullptr, 0);
  GdiFlush();

  // Rows are stored bottom-up: the lowest row of the update comes first in memory.
  const size_t width = static_cast<size_t>(frameSize_.cx);
  const size_t first = static_cast<size_t>(frameSize_.cy - update.bottom) * width + update.left;
  combineAlphaRect(white_.pixels + first, black_.pixels + first, output_.pixels + first, width,
                   static_cast<size_t>(update.right - update.left),
                   static_cast<size_t>(update.bottom - update.top));
  FrameBitsNotification bits{{}, output_.pixels};
  raiseNotification(&bits.header, MHN_FRAME_BITS);

  if (updateWindow && updateLayeredWindow_) {
    SelectObject(memory, output_.bitmap.get());
    RECT windowRect;
    GetWindowRect(window_, &windowRect);
    POINT position{windowRect.left, windowRect.top};
    SIZE size = frameSize_;
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity_, AC_SRC_ALPHA};
    updateLayeredWindow_(window_, screen, &position, &size, memory, &origin, 0, &blend, ULW_ALPHA);
  }
  SelectObject(memory, previous);
  SelectClipRgn(memory, nullptr);
  DeleteObject(clip);
  DeleteDC(memory);
  DeleteDC(screen);
  return true;
}

LRESULT MovieHost::onPaint() {
  PAINTSTRUCT paint;
  if (!viewObject_) {
    HDC dc = BeginPaint(window_, &paint);
    RECT client;
    GetClientRect(window_, &client);
    fill(dc, client, kNoControlColour);
    EndPaint(window_, &paint);
    return 0;
  }
  if (!windowless_) return defaultProcessing(WM_PAINT, 0, 0);

  const bool child = (GetWindowLongA(window_, GWL_STYLE) & WS_CHILD) != 0;
  if (!child && updateLayeredWindow_) {
    RECT update{};
    GetUpdateRect(window_, &update, FALSE);
    BeginPaint(window_, &paint);
    renderLayered(update, true);
    EndPaint(window_, &paint);
    return 0;
  }

  // Opaque composition over the movie's background colour.
  HDC dc = BeginPaint(window_, &paint);
  RECT client;
  GetClientRect(window_, &client);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP target = nullptr;
  uint32_t* pixels = nullptr;
  const bool useFrame = updateLayeredWindow_ && ensureFrames(client.right, client.bottom);
  if (useFrame) {
    target = static_cast<HBITMAP>(output_.bitmap.get());
    pixels = output_.pixels;
  } else {
    target = CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1),
                                    std::max<LONG>(client.bottom, 1));
  }
  HGDIOBJ previous = SelectObject(memory, target);
  ValueBlock colour{0, E_FAIL};
  SendMessageW(window_, MHM_GET_BACKGROUND_COLOR, 0, reinterpret_cast<LPARAM>(&colour));
  const uint32_t rgb = static_cast<uint32_t>(colour.value);
  fill(memory, client, RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  PaintStage before{{}, 0, memory};
  raiseNotification(&before.header, MHN_PAINT_STAGE);
  RECTL bounds{position_.left, position_.top, position_.right, position_.bottom};
  viewObject_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr,
                    nullptr, 0);
  if (pixels) {
    GdiFlush();
    FrameBitsNotification bits{{}, pixels};
    raiseNotification(&bits.header, MHN_FRAME_BITS);
  }
  PaintStage after{{}, 1, memory};
  raiseNotification(&after.header, MHN_PAINT_STAGE);
  BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  if (!useFrame) DeleteObject(target);
  DeleteDC(memory);
  EndPaint(window_, &paint);
  return 0;
}

HBITMAP MovieHost::frameBitmap() {
  RECT client;
  GetClientRect(window_, &client);
  if (windowless_ && viewObject_) {
    if (!renderLayered(client, false)) return nullptr;
    uint32_t* pixels = nullptr;
    HBITMAP copy = createFrame(frameSize_.cx, frameSize_.cy, &pixels);
    if (copy) {
      GdiFlush();
      std::memcpy(pixels, output_.pixels,
                  static_cast<size_t>(frameSize_.cx) * frameSize_.cy * sizeof(uint32_t));
    }
    return copy;
  }
  HWND controlWindow = ::GetWindow(window_, GW_CHILD);
  if (!controlWindow) return nullptr;
  RECT area;
  GetClientRect(controlWindow, &area);
  ScopedGetDc screen(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen.get(), std::max<LONG>(area.right, 1),
                                          std::max<LONG>(area.bottom, 1));
  if (!bitmap) return nullptr;
  HDC memory = CreateCompatibleDC(screen.get());
  HGDIOBJ previous = SelectObject(memory, bitmap);
  SendMessageW(controlWindow, WM_PAINT, reinterpret_cast<WPARAM>(memory), 0);
  SelectObject(memory, previous);
  DeleteDC(memory);
  return bitmap;
}

// --- windowless site drawing ------------------------------------------------------------------

STDMETHODIMP MovieHost::GetDC(LPCRECT, DWORD flags, HDC* dc) {
  if (!dc) return E_POINTER;
  *dc = nullptr;
  if (!dcAvailable_) return E_FAIL;
  HDC windowDc = ::GetDC(window_);
  if (!windowDc) return E_FAIL;
  dcAvailable_ = false;
  RECT client;
  GetClientRect(window_, &client);
  if (flags & OLEDC_OFFSCREEN) {
    HDC memory = CreateCompatibleDC(windowDc);
    offscreenBitmap_.reset(CreateCompatibleBitmap(windowDc, std::max<LONG>(client.right, 1),
                                                  std::max<LONG>(client.bottom, 1)));
    offscreenPrevious_ = SelectObject(memory, offscreenBitmap_.get());
    offscreenWindowDc_ = windowDc;
    handedOutDc_ = memory;
  } else {
    handedOutDc_ = windowDc;
  }
  if ((flags & OLEDC_PAINTBKGND) && !(flags & OLEDC_NODRAW)) {
    FillRect(handedOutDc_, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  }
  *dc = handedOutDc_;
  return S_OK;
}

STDMETHODIMP MovieHost::ReleaseDC(HDC dc) {
  if (dcAvailable_ || dc != handedOutDc_) return E_FAIL;
  dcAvailable_ = true;
  if (offscreenWindowDc_) {
    RECT client;
    GetClientRect(window_, &client);
    BitBlt(offscreenWindowDc_, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, offscreenPrevious_);
    DeleteDC(dc);
    offscreenBitmap_.reset();
    ::ReleaseDC(window_, offscreenWindowDc_);
    offscreenWindowDc_ = nullptr;
  } else {
    ::ReleaseDC(window_, dc);
  }
  handedOutDc_ = nullptr;
  return S_OK;
}

STDMETHODIMP MovieHost::InvalidateRect(LPCRECT rect, BOOL erase) {
  ::InvalidateRect(window_, rect, erase);
  InvalidateNotification block{};
  if (rect) {
    block.rect = *rect;
  } else {
    GetClientRect(window_, &block.rect);
  }
  raiseNotification(&block.header, MHN_INVALIDATE);
  return S_OK;
}

STDMETHODIMP MovieHost::InvalidateRgn(HRGN region, BOOL erase) {
  ::InvalidateRgn(window_, region, erase);
  InvalidateNotification block{};
  if (!region || GetRgnBox(region, &block.rect) == ERROR) GetClientRect(window_, &block.rect);
  raiseNotification(&block.header, MHN_INVALIDATE);
  return S_OK;
}

bool isLayeredRenderingSupported() {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  const int bits = display ? GetDeviceCaps(display, BITSPIXEL) : 0;
  if (display) DeleteDC(display);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  return bits > 15 && user32 && GetProcAddress(user32, "UpdateLayeredWindow");
}

}  // namespace nxr
