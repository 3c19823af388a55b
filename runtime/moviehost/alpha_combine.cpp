#include "moviehost/alpha_combine.h"

#include "moviehost/alpha_combine_kernels.h"

#if defined(NXR_ALPHA_VECTOR_KERNELS)
#include <emmintrin.h>
#endif

namespace nxr {

namespace {

// Outputs from this size on are written past the caches: they are far larger than what the
// caches keep for the next paint, and skipping the read of every output line before it is
// overwritten saves a third of the memory traffic.
constexpr size_t kStreamingThreshold = 1024 * 1024;

// Combines count pixels; stream says whether aligned output goes past the caches.
void combineRun(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count,
                bool stream) {
  size_t i = 0;
#if defined(NXR_ALPHA_VECTOR_KERNELS)
  // Reach a 64-byte boundary of the output, then whole lines.
  for (; i < count && (reinterpret_cast<uintptr_t>(out + i) & 63) != 0; ++i) {
    combineAlphaScalar(white + i, black + i, out + i, 1);
  }
  static const bool avx2 = processorHasAvx2();
  i += avx2 ? combineLinesAvx2(white + i, black + i, out + i, count - i, stream)
            : combineLinesSse2(white + i, black + i, out + i, count - i, stream);
#else
  (void)stream;
#endif
  combineAlphaScalar(white + i, black + i, out + i, count - i);
}

void finishStreaming(bool stream) {
#if defined(NXR_ALPHA_VECTOR_KERNELS)
  if (stream) _mm_sfence();  // the streamed pixels are visible before the frame is used
#else
  (void)stream;
#endif
}

}  // namespace

#if defined(NXR_ALPHA_VECTOR_KERNELS)
bool processorHasAvx2() {
  // The check includes the system's support for the wider registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

size_t combineLinesSse2(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count,
                        bool stream) {
  const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i allOnes = _mm_set1_epi32(-1);
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    for (size_t k = 0; k < 16; k += 4) {
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(white + i + k));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(black + i + k));
      // The low byte of a 32-bit difference depends on the low bytes only, so the shift by 24
      // leaves exactly ~(wb - bb) & 0xFF, which is 255 - (wb - bb) modulo 256.
      const __m128i alpha = _mm_slli_epi32(_mm_xor_si128(_mm_sub_epi32(w, b), allOnes), 24);
      const __m128i pixels = _mm_or_si128(_mm_and_si128(b, colourMask), alpha);
      __m128i* const dst = reinterpret_cast<__m128i*>(out + i + k);
      if (stream) {
        _mm_stream_si128(dst, pixels);
      } else {
        _mm_store_si128(dst, pixels);
      }
    }
  }
  return i;
}
#endif

void combineAlphaScalar(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t shown = (white[i] & 0xFF) - (black[i] & 0xFF);
    out[i] = (black[i] & 0x00FFFFFF) | ((~shown & 0xFF) << 24);
  }
}

void combineAlpha(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count) {
  const bool stream = count * sizeof(uint32_t) >= kStreamingThreshold;
  combineRun(white, black, out, count, stream);
  finishStreaming(stream);
}

void combineAlphaRect(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t stride,
                      size_t width, size_t rows) {
  if (width == 0 || rows == 0) return;
  if (width == stride) {
    combineAlpha(white, black, out, width * rows);
    return;
  }
  const bool stream = width * rows * sizeof(uint32_t) >= kStreamingThreshold;
  for (size_t row = 0; row < rows; ++row) {
    const size_t at = row * stride;
    combineRun(white + at, black + at, out + at, width, stream);
  }
  finishStreaming(stream);
}

}  // namespace nxr
