// Built with AVX2 enabled; called only when the processor has it. The loop keeps every vector in
// a register and calls nothing: the Windows compiler cannot align 32-byte stack slots, so a
// spilled vector would fault (the build checks the machine code for such accesses).
#include "moviehost/alpha_combine_kernels.h"

#if defined(NXR_ALPHA_VECTOR_KERNELS)
#include <immintrin.h>

namespace nxr {

size_t combineLinesAvx2(const uint32_t* white, const uint32_t* black, uint32_t* out, size_t count,
                        bool stream) {
  const __m256i colourMask = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i allOnes = _mm256_set1_epi32(-1);
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i w0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(white + i));
    const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(black + i));
    const __m256i w1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(white + i + 8));
    const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(black + i + 8));
    // As in the SSE2 loop: the shifted low byte of ~(white - black) is the alpha.
    const __m256i r0 =
        _mm256_or_si256(_mm256_and_si256(b0, colourMask),
                        _mm256_slli_epi32(_mm256_xor_si256(_mm256_sub_epi32(w0, b0), allOnes), 24));
    const __m256i r1 =
        _mm256_or_si256(_mm256_and_si256(b1, colourMask),
                        _mm256_slli_epi32(_mm256_xor_si256(_mm256_sub_epi32(w1, b1), allOnes), 24));
    __m256i* const dst = reinterpret_cast<__m256i*>(out + i);
    if (stream) {
      _mm256_stream_si256(dst, r0);
      _mm256_stream_si256(dst + 1, r1);
    } else {
      _mm256_store_si256(dst, r0);
      _mm256_store_si256(dst + 1, r1);
    }
  }
  return i;
}

}  // namespace nxr
#endif
