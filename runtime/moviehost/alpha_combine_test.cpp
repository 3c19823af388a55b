#include "moviehost/alpha_combine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "moviehost/alpha_combine_kernels.h"

namespace nxr {
namespace {

// Two passes of count pseudo-random pixels that differ only in blue, as a movie drawn over white
// and over black would.
void drawPasses(size_t count, uint32_t seed, std::vector<uint32_t>& white,
                std::vector<uint32_t>& black) {
  white.resize(count);
  black.resize(count);
  for (size_t i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    black[i] = seed & 0x00FFFFFF;
    white[i] = black[i] | ((seed >> 8) & 0xFF);
  }
}

TEST(AlphaCombine, AlphaComesFromTheBlueDifference) {
  struct Case {
    uint32_t white, black, expected;
  };
  const Case cases[] = {
      {0x00FFFFFF, 0x00000000, 0x00000000},  // background shows fully: transparent
      {0x00123456, 0x00123456, 0xFF123456},  // equal in both passes: opaque
      {0x00A0A0FF, 0x00202080, 0x80202080},  // half: alpha 255 - (0xFF - 0x80) = 0x80
      {0xAB102030, 0xCD102030, 0xFF102030},  // the passes' own top bytes are ignored
  };
  // Odd lengths exercise both the vector body and the tail.
  for (size_t count : {1u, 3u, 4u, 7u, 33u}) {
    for (const Case& c : cases) {
      std::vector<uint32_t> white(count, c.white), black(count, c.black), out(count, 0x5A5A5A5A);
      combineAlpha(white.data(), black.data(), out.data(), count);
      for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(out[i], c.expected) << std::hex << c.white << " " << c.black << " n " << count;
      }
    }
  }
}

TEST(AlphaCombine, VectorAndScalarAgreeOnEveryBluePair) {
  std::vector<uint32_t> white, black;
  for (uint32_t w = 0; w < 256; ++w) {
    for (uint32_t b = 0; b < 256; b += 5) {
      white.push_back(0x00806000 | w);
      black.push_back(0x00102000 | b);
    }
  }
  std::vector<uint32_t> vector(white.size()), scalar(white.size());
  combineAlpha(white.data(), black.data(), vector.data(), white.size());
  combineAlphaScalar(white.data(), black.data(), scalar.data(), white.size());
  EXPECT_EQ(vector, scalar);
}

TEST(AlphaCombine, WholeFramesWrittenPastTheCacheAgreeWithTheScalarLoop) {
  // A full-HD frame is large enough for the streaming stores; start one pixel into the buffer so
  // that the unaligned head and the tail are covered too.
  constexpr size_t kPixels = 1920 * 1080 + 5;
  std::vector<uint32_t> white, black;
  drawPasses(kPixels + 1, 12345, white, black);
  std::vector<uint32_t> vector(kPixels + 1), scalar(kPixels + 1);
  combineAlpha(white.data() + 1, black.data() + 1, vector.data() + 1, kPixels);
  combineAlphaScalar(white.data() + 1, black.data() + 1, scalar.data() + 1, kPixels);
  EXPECT_EQ(vector, scalar);
}

// An update rectangle inside a larger frame: only its pixels change, whether its rows are
// combined one by one, as one run, or streamed past the caches.
TEST(AlphaCombine, RectangleChangesOnlyItsOwnPixels) {
  struct Case {
    size_t stride, width, rows;
  };
  const Case cases[] = {{10, 4, 3}, {10, 10, 3}, {37, 21, 5}, {1000, 700, 600}, {640, 640, 480}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stride << " " << c.width << " " << c.rows);
    const size_t total = c.stride * (c.rows + 2);
    std::vector<uint32_t> white, black;
    drawPasses(total, 99, white, black);
    // The rectangle starts one row and one pixel in (when there is room), so both ends of each
    // row border untouched pixels.
    const size_t start = c.stride + (c.width < c.stride ? 1 : 0);
    std::vector<uint32_t> out(total, 0x5A5A5A5A), expected(total, 0x5A5A5A5A);
    combineAlphaRect(white.data() + start, black.data() + start, out.data() + start, c.stride,
                     c.width, c.rows);
    for (size_t row = 0; row < c.rows; ++row) {
      const size_t at = start + row * c.stride;
      combineAlphaScalar(white.data() + at, black.data() + at, expected.data() + at, c.width);
    }
    EXPECT_EQ(out, expected);
  }
}

#if defined(NXR_ALPHA_VECTOR_KERNELS)
// Each vector loop on its own (combineAlpha uses only the one the processor allows), with and
// without streaming: whole 64-byte lines only, and the same pixels as the scalar loop.
TEST(AlphaCombine, EachVectorLoopAgreesWithTheScalarLoop) {
  using Kernel = size_t (*)(const uint32_t*, const uint32_t*, uint32_t*, size_t, bool);
  struct Case {
    const char* name;
    Kernel kernel;
    bool available;
  };
  const Case kernels[] = {{"sse2", combineLinesSse2, true},
                          {"avx2", combineLinesAvx2, processorHasAvx2()}};
  constexpr size_t kPixels = 16 * 40 + 9;  // the last 9 are no whole line
  std::vector<uint32_t> white, black;
  drawPasses(kPixels, 7, white, black);
  std::vector<uint32_t> expected(kPixels);
  combineAlphaScalar(white.data(), black.data(), expected.data(), kPixels);
  for (const Case& k : kernels) {
    if (!k.available) continue;
    for (bool stream : {false, true}) {
      SCOPED_TRACE(testing::Message() << k.name << (stream ? " streamed" : ""));
      alignas(64) static uint32_t out[kPixels];
      std::fill(std::begin(out), std::end(out), 0x5A5A5A5Au);
      EXPECT_EQ(k.kernel(white.data(), black.data(), out, kPixels, stream), 16u * 40);
      EXPECT_TRUE(std::equal(out, out + 16 * 40, expected.begin()));
      EXPECT_EQ(out[16 * 40], 0x5A5A5A5Au) << "past the last whole line";
    }
  }
}
#endif

}  // namespace
}  // namespace nxr
