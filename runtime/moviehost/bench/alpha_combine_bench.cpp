// The per-pixel alpha combination of a full-HD frame against a plain copy of the same bytes.
// Compare the ratios of one run: this machine's memory speed changes from run to run.
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <cstring>
#include <random>
#include <vector>

#include "moviehost/alpha_combine.h"

namespace {

constexpr size_t kPixels = 1920 * 1080;

struct Frames {
  std::vector<uint32_t> white, black, out;
  Frames() : white(kPixels), black(kPixels), out(kPixels) {
    std::mt19937 random(7);
    for (size_t i = 0; i < kPixels; ++i) {
      black[i] = random() & 0x00FFFFFF;
      white[i] = black[i] | static_cast<uint32_t>(random() & 0xFF);
    }
  }
};

Frames& frames() {
  static Frames instance;
  return instance;
}

void plainCopy(benchmark::State& state) {
  Frames& f = frames();
  for (auto _ : state) {
    std::memcpy(f.out.data(), f.black.data(), kPixels * sizeof(uint32_t));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kPixels * sizeof(uint32_t));
}

// Only reading the two input frames with 16-byte loads, as the SSE2 loop must. Where the caches
// hold the frames this alone costs more than one and a half copies: the loads, not the memory,
// are the limit, which is why the AVX2 loop runs where the processor has it.
void readBothFrames(benchmark::State& state) {
  Frames& f = frames();
  for (auto _ : state) {
    __m128i sum = _mm_setzero_si128();
    const auto* white = reinterpret_cast<const __m128i*>(f.white.data());
    const auto* black = reinterpret_cast<const __m128i*>(f.black.data());
    for (size_t i = 0; i < kPixels / 4; ++i) {
      sum =
          _mm_add_epi32(sum, _mm_xor_si128(_mm_loadu_si128(white + i), _mm_loadu_si128(black + i)));
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kPixels * sizeof(uint32_t));
}

void combineVector(benchmark::State& state) {
  Frames& f = frames();
  for (auto _ : state) {
    nxr::combineAlpha(f.white.data(), f.black.data(), f.out.data(), kPixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kPixels * sizeof(uint32_t));
}

void combineScalar(benchmark::State& state) {
  Frames& f = frames();
  for (auto _ : state) {
    nxr::combineAlphaScalar(f.white.data(), f.black.data(), f.out.data(), kPixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kPixels * sizeof(uint32_t));
}

BENCHMARK(plainCopy);
BENCHMARK(readBothFrames);
BENCHMARK(combineVector);
BENCHMARK(combineScalar);

}  // namespace

BENCHMARK_MAIN();
