// Resources carried in the executable and bitmaps made from BMP file bytes. Windows only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "support/win.h"

namespace nxr {

// The bytes of a resource: valid for the life of the process, never freed or written.
struct ResourceBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// The resource of type "BIN" with the numeric id in the executable itself (135 the control,
// 137 the bridge movie, 140 the kiosk library).
std::optional<ResourceBytes> loadBinResource(int id);

// A bitmap handle with one owner; clearing or destroying it deletes the bitmap.
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  ~Bitmap() { clear(); }

  // Makes a screen-compatible bitmap from the bytes of a BMP file; false when the bytes are not
  // a complete BMP file or no bitmap could be made (the old one is gone either way).
  bool createFromBmp(const uint8_t* data, size_t size);
  int width() const;
  int height() const;
  void clear();
  HBITMAP get() const { return bitmap_; }

 private:
  HBITMAP bitmap_ = nullptr;
};

}  // namespace nxr
