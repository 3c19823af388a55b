#include "moviehost/alpha_combine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nxr {

void combineAlphaScalar(const uint32_t* white, const uint32_t* black, uint32_t* out,
                        size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t shown = (white[i] & 0xFF) - (black[i] & 0xFF);
    out[i] = (black[i] & 0x00FFFFFF) | ((~shown & 0xFF) << 24);
  }
}

void combineAlpha(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i blueMask = _mm_set1_epi32(0xFF);
  const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
  for (; i + 4 <= count; i += 4) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(white + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(black + i));
    // ~(wb - bb) & 0xFF == 255 - (wb - bb) modulo 256
    const __m128i shown = _mm_sub_epi32(_mm_and_si128(w, blueMask), _mm_and_si128(b, blueMask));
    const __m128i alpha = _mm_slli_epi32(_mm_andnot_si128(shown, blueMask), 24);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_or_si128(_mm_and_si128(b, colourMask), alpha));
  }
#endif
  combineAlphaScalar(white + i, black + i, out + i, count - i);
}

}  // namespace nxr
