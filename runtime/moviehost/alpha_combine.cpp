#include "moviehost/alpha_combine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nxr {

namespace {
// Outputs from this size on are written past the caches.
constexpr size_t kStreamingThreshold = 1024 * 1024;
}  // namespace

void combineAlphaScalar(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t shown = (white[i] & 0xFF) - (black[i] & 0xFF);
    out[i] = (black[i] & 0x00FFFFFF) | ((~shown & 0xFF) << 24);
  }
}

void combineAlpha(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i allOnes = _mm_set1_epi32(-1);
  auto combine = [&](const __m128i w, const __m128i b) {
    // The low byte of a 32-bit difference depends on the low bytes only, so the shift by 24
    // leaves exactly ~(wb - bb) & 0xFF, which is 255 - (wb - bb) modulo 256.
    const __m128i alpha = _mm_slli_epi32(_mm_xor_si128(_mm_sub_epi32(w, b), allOnes), 24);
    return _mm_or_si128(_mm_and_si128(b, colourMask), alpha);
  };
  // Reach a 16-byte boundary of the output, then eight pixels per round. A whole frame is far
  // larger than the caches and is not read again here, so it is written with streaming stores:
  // that saves reading every output line into the cache before it is overwritten.
  const bool stream = count * sizeof(uint32_t) >= kStreamingThreshold;
  for (; i < count && (reinterpret_cast<uintptr_t>(out + i) & 15) != 0; ++i) {
    combineAlphaScalar(white + i, black + i, out + i, 1);
  }
  for (; i + 8 <= count; i += 8) {
    const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(white + i));
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(black + i));
    const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(white + i + 4));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(black + i + 4));
    __m128i* const dst = reinterpret_cast<__m128i*>(out + i);
    if (stream) {
      _mm_stream_si128(dst, combine(w0, b0));
      _mm_stream_si128(dst + 1, combine(w1, b1));
    } else {
      _mm_store_si128(dst, combine(w0, b0));
      _mm_store_si128(dst + 1, combine(w1, b1));
    }
  }
  if (stream) _mm_sfence();  // the streamed pixels are visible before the frame is used
#endif
  combineAlphaScalar(white + i, black + i, out + i, count - i);
}

}  // namespace nxr
