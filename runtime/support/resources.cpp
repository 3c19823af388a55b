#include "support/resources.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace nxr {

std::optional<ResourceBytes> loadBinResource(int id) {
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"BIN");
  if (!info) return std::nullopt;
  HGLOBAL loaded = LoadResource(nullptr, info);
  if (!loaded) return std::nullopt;
  const void* bytes = LockResource(loaded);
  if (!bytes) return std::nullopt;
  return ResourceBytes{static_cast<const uint8_t*>(bytes), SizeofResource(nullptr, info)};
}

namespace {

constexpr size_t kFileHeaderSize = 14;  // BITMAPFILEHEADER as stored, without padding

uint32_t readLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Checks that the information header, the colour table and the pixel bits that
// CreateDIBitmap will read all lie inside the bytes, so that damaged data is refused rather
// than read past its end.
// On success infoEnd is where the information header and colour table end.
bool bmpIsComplete(const uint8_t* data, size_t size, const BITMAPINFOHEADER& info,
                   size_t& infoEnd) {
  if (info.biSize < sizeof(BITMAPINFOHEADER) || info.biWidth <= 0 || info.biHeight == 0 ||
      info.biPlanes != 1) {
    return false;
  }
  if (kFileHeaderSize + uint64_t{info.biSize} > size) return false;
  uint64_t colours = info.biClrUsed;
  if (colours == 0 && info.biBitCount <= 8) colours = uint64_t{1} << info.biBitCount;
  uint64_t tableBytes = colours * sizeof(RGBQUAD);
  if (info.biCompression == BI_BITFIELDS && info.biSize == sizeof(BITMAPINFOHEADER)) {
    tableBytes += 3 * sizeof(DWORD);
  }
  uint64_t tableEnd = kFileHeaderSize + uint64_t{info.biSize} + tableBytes;
  uint64_t bitsOffset = readLe32(data + 10);
  if (tableEnd > size || bitsOffset > size) return false;
  uint64_t bitsSize;
  if (info.biCompression == BI_RGB || info.biCompression == BI_BITFIELDS) {
    uint64_t stride =
        (uint64_t{static_cast<uint32_t>(info.biWidth)} * info.biBitCount + 31) / 32 * 4;
    bitsSize = stride * static_cast<uint64_t>(std::abs(static_cast<int64_t>(info.biHeight)));
  } else {
    bitsSize = info.biSizeImage;
  }
  if (bitsSize == 0 || bitsOffset + bitsSize > size) return false;
  infoEnd = static_cast<size_t>(tableEnd);
  return true;
}

}  // namespace

bool Bitmap::createFromBmp(const uint8_t* data, size_t size) {
  clear();
  if (!data || size < kFileHeaderSize + sizeof(BITMAPINFOHEADER)) return false;
  if ((data[0] | data[1] << 8) != 0x4D42) return false;  // "BM"
  // The headers are copied out: the bytes need not be aligned for the structures.
  BITMAPINFOHEADER header;
  std::memcpy(&header, data + kFileHeaderSize, sizeof(header));
  size_t infoEnd = 0;
  if (!bmpIsComplete(data, size, header, infoEnd)) return false;
  std::vector<uint8_t> info(data + kFileHeaderSize, data + infoEnd);
  const void* bits = data + readLe32(data + 10);
  ScopedGetDc screen(nullptr);
  if (!screen.get()) return false;
  bitmap_ =
      CreateDIBitmap(screen.get(), reinterpret_cast<const BITMAPINFOHEADER*>(info.data()), CBM_INIT,
                     bits, reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
  return bitmap_ != nullptr;
}

int Bitmap::width() const {
  BITMAP object = {};
  return bitmap_ && GetObjectW(bitmap_, sizeof(object), &object) ? object.bmWidth : 0;
}

int Bitmap::height() const {
  BITMAP object = {};
  return bitmap_ && GetObjectW(bitmap_, sizeof(object), &object) ? object.bmHeight : 0;
}

void Bitmap::clear() {
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
}

}  // namespace nxr
