// The per-pixel alpha combination of a full-HD frame against a plain copy of the same bytes.
// Compare the ratios of one run: this machine's memory speed changes from run to run.
#include <benchmark/benchmark.h>

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
BENCHMARK(combineVector);
BENCHMARK(combineScalar);

}  // namespace

BENCHMARK_MAIN();
