#include "swf_file.h"

#include <gtest/gtest.h>

#include "testing/swf_builder.h"

namespace nxr::player {
namespace {

using testing::buildSwf;
using testing::SwfRecipe;

struct HeaderCase {
  const char* name;
  SwfRecipe recipe;
};

TEST(SwfFile, ReadsHeaderOfPlainAndCompressedMovies) {
  const HeaderCase cases[] = {
      {"plain", SwfRecipe{}},
      {"compressed", SwfRecipe{.version = 9, .compressed = true, .frameCount = 7}},
      {"odd size", SwfRecipe{.widthTwips = 12345, .heightTwips = 1, .frameRate = 0x0C80}},
      {"with colour", SwfRecipe{.frameCount = 1, .backgroundColor = 0x123456}},
      {"compressed colour",
       SwfRecipe{.version = 10, .compressed = true, .frameCount = 2, .backgroundColor = 0xFF0080}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto bytes = buildSwf(c.recipe);
    SwfMovie movie;
    ASSERT_EQ(parseSwf(bytes, movie), SwfStatus::ok);
    EXPECT_EQ(movie.compressed, c.recipe.compressed);
    EXPECT_EQ(movie.version, c.recipe.version);
    EXPECT_EQ(movie.xMin, 0);
    EXPECT_EQ(movie.xMax, c.recipe.widthTwips);
    EXPECT_EQ(movie.yMax, c.recipe.heightTwips);
    EXPECT_EQ(movie.frameRate, c.recipe.frameRate);
    EXPECT_EQ(movie.frameCount, c.recipe.frameCount);
    EXPECT_EQ(movie.framesLoaded, c.recipe.frameCount);
    EXPECT_TRUE(movie.complete);
    if (c.recipe.backgroundColor >= 0) {
      ASSERT_TRUE(movie.backgroundColor.has_value());
      EXPECT_EQ(*movie.backgroundColor, uint32_t(c.recipe.backgroundColor));
    } else {
      EXPECT_FALSE(movie.backgroundColor.has_value());
    }
  }
}

TEST(SwfFile, FrameLabelsNameTheirFrame) {
  SwfRecipe recipe{.frameCount = 4, .labels = {{0, "start"}, {2, "middle"}}};
  SwfMovie movie;
  ASSERT_EQ(parseSwf(buildSwf(recipe), movie), SwfStatus::ok);
  EXPECT_EQ(movie.frameLabels.at("start"), 0u);
  EXPECT_EQ(movie.frameLabels.at("middle"), 2u);
}

TEST(SwfFile, PartialBytesReportWhatIsThere) {
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed);
    const auto bytes = buildSwf(SwfRecipe{.compressed = compressed, .frameCount = 5});
    // Every prefix, as a movie arrives chunk by chunk: never an error, frames only grow, the
    // header is known once its bytes are there.
    uint32_t frames = 0;
    bool headerSeen = false;
    for (size_t n = 0; n <= bytes.size(); ++n) {
      SwfMovie movie;
      const SwfStatus status = parseSwf(std::span(bytes).first(n), movie);
      ASSERT_TRUE(status == SwfStatus::ok || status == SwfStatus::tooShort) << n;
      if (status == SwfStatus::tooShort) {
        ASSERT_FALSE(headerSeen) << n;
        continue;
      }
      headerSeen = true;
      EXPECT_EQ(movie.frameCount, 5) << n;
      EXPECT_GE(movie.framesLoaded, frames) << n;
      frames = movie.framesLoaded;
      if (!compressed) {
        EXPECT_EQ(movie.complete, n == bytes.size()) << n;
      }
    }
    EXPECT_TRUE(headerSeen);
    EXPECT_EQ(frames, 5u);
  }
}

TEST(SwfFile, RejectsWhatIsNotAMovie) {
  std::vector<uint8_t> bytes = buildSwf(SwfRecipe{});
  SwfMovie movie;
  bytes[0] = 'Z';  // LZMA movies are not read
  EXPECT_EQ(parseSwf(bytes, movie), SwfStatus::notSwf);
  bytes = buildSwf(SwfRecipe{.compressed = true});
  bytes[9] ^= 0xFF;  // damage the zlib stream's header
  EXPECT_EQ(parseSwf(bytes, movie), SwfStatus::corrupt);
}

TEST(SwfFile, TagLengthsBeyondTheDataStopTheWalk) {
  std::vector<uint8_t> bytes = buildSwf(SwfRecipe{.frameCount = 1});
  // Replace the ShowFrame tag with a long-form tag claiming 4 GB.
  const size_t tagAt = bytes.size() - 4;
  bytes.resize(tagAt);
  testing::putU16(bytes, (1 << 6) | 0x3F);
  testing::putU32(bytes, 0xFFFFFFFF);
  SwfMovie movie;
  ASSERT_EQ(parseSwf(bytes, movie), SwfStatus::ok);
  EXPECT_EQ(movie.framesLoaded, 0u);
  EXPECT_FALSE(movie.complete);
}

TEST(SwfFile, CompressedLengthIsCapped) {
  std::vector<uint8_t> bytes = buildSwf(SwfRecipe{.compressed = true});
  bytes[4] = bytes[5] = bytes[6] = bytes[7] = 0xFF;  // claims 4 GB once expanded
  SwfMovie movie;
  ASSERT_EQ(parseSwf(bytes, movie), SwfStatus::ok);
  EXPECT_EQ(movie.fileLength, 0xFFFFFFFFu);
  EXPECT_TRUE(movie.complete);
}

}  // namespace
}  // namespace nxr::player
