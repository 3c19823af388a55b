// The marker scan reads the runtime image byte by byte through the reader's buffer; compare it
// with a plain chunked read of the same multi-megabyte file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "app/payload_reader.h"
#include "app/payload_writer.h"

namespace {

constexpr size_t kImageSize = 8 * 1024 * 1024;

const std::filesystem::path& testFile() {
  static const std::filesystem::path path = [] {
    auto p = std::filesystem::temp_directory_path() / "nxr_payload_bench.bin";
    std::vector<uint8_t> bytes(kImageSize);
    std::mt19937 random(1);
    for (auto& b : bytes) b = static_cast<uint8_t>(random() % 0x13);  // never a marker byte 0x14
    nxr::ProjectData project;
    const std::vector<uint8_t> payload = nxr::makePayload(project);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return p;
  }();
  return path;
}

void markerScan(benchmark::State& state) {
  const std::u16string path = testFile().u16string();
  for (auto _ : state) {
    nxr::PayloadReader reader;
    if (!reader.open(path) || !reader.findMarker()) state.SkipWithError("marker not found");
    benchmark::DoNotOptimize(reader.remaining());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageSize);
}

void plainRead(benchmark::State& state) {
  std::vector<uint8_t> buffer(64 * 1024);
  for (auto _ : state) {
    std::FILE* f = std::fopen(testFile().c_str(), "rb");
    size_t total = 0;
    while (size_t got = std::fread(buffer.data(), 1, buffer.size(), f)) total += got;
    std::fclose(f);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageSize);
}

BENCHMARK(markerScan)->Unit(benchmark::kMillisecond);
BENCHMARK(plainRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
