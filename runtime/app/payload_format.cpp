#include "app/payload_format.h"

namespace nxr {

void scrambleText(uint8_t* bytes, size_t n) {
  const size_t blocks = n / 512;
  const size_t tail = n % 512;
  for (size_t b = 0; b < blocks; ++b) {
    const size_t pos = 513 * b;
    if (pos < n) bytes[pos] ^= static_cast<uint8_t>(33 * b - 110);
  }
  uint8_t* t = bytes + 512 * blocks;
  for (size_t j = 0; j < tail; ++j) t[j] ^= static_cast<uint8_t>(tail - 110 + 33 * j);
}

void scrambleData(uint8_t* bytes, size_t n, int keyOffset) {
  // Unsigned arithmetic wraps modulo a power of two, so the low byte is the value mod 256.
  const uint32_t base = static_cast<uint32_t>(n) + static_cast<uint32_t>(keyOffset);
  for (size_t i = 0; i < n; ++i) {
    bytes[i] ^= static_cast<uint8_t>(33u * static_cast<uint32_t>(i) + base);
  }
}

}  // namespace nxr
