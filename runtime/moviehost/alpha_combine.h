// Per-pixel alpha from a frame drawn twice, over white and over black. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nxr {

// For `count` pixels: out = (black & 0x00FFFFFF) | (255 - (white.blue - black.blue)) << 24, so the
// colour is the black-background colour (already premultiplied) and the alpha comes from how far
// the background showed through.
void combineAlpha(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count);
// The same, one pixel at a time (the reference for the vector version).
void combineAlphaScalar(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count);
// The same over a rectangle of `rows` rows of `width` pixels, rows `stride` pixels apart in all
// three frames. Rows that follow each other without a gap are combined as one run.
void combineAlphaRect(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t stride,
                      size_t width, size_t rows);

}  // namespace nxr
