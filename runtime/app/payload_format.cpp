#include "app/payload_format.h"

namespace nxr {

namespace {
// The marker XORed with 0xA5. The mask is read through a volatile so that the compiler cannot
// fold the plain marker back into the image.
constexpr std::array<uint8_t, 8> kMaskedMarker = {0xB1, 0xAC, 0xB6, 0xEC, 0xEC, 0xB6, 0xAC, 0xB1};
volatile uint8_t markerMask = 0xA5;
}  // namespace

std::array<uint8_t, 8> payloadMarker() {
  std::array<uint8_t, 8> marker;
  const uint8_t mask = markerMask;
  for (size_t i = 0; i < marker.size(); ++i) marker[i] = kMaskedMarker[i] ^ mask;
  return marker;
}

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
