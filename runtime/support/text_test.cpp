#include "support/text.h"

#include <gtest/gtest.h>

namespace nxr {
namespace {

TEST(Utf8ToUtf16, DecodesValidAndRejectsMalformed) {
  struct Case {
    std::string in;
    std::optional<std::u16string> out;
  };
  const Case cases[] = {
      {"", u""},
      {"abc", u"abc"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xC3", std::nullopt},              // truncated
      {"\xC0\xAF", std::nullopt},          // overlong
      {"\xED\xA0\x80", std::nullopt},      // surrogate
      {"\xF4\x90\x80\x80", std::nullopt},  // beyond U+10FFFF
      {"\x80", std::nullopt},              // stray continuation
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8ToUtf16(c.in), c.out) << c.in;
  }
}

TEST(Utf16ToUtf8, RoundTripsAndReplacesLoneSurrogates) {
  const std::u16string text = u"a\u00E9\u20AC\U0001F600";
  EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
  EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(ByteTexts, ConvertByteForByte) {
  EXPECT_EQ(bytesToWide(std::string("A\xE9\0B", 4)), u"A\u00E9");
  EXPECT_EQ(wideToBytes(u"A\u00E9"), std::string("A\xE9"));
  EXPECT_EQ(wideToBytes(u"\u20AC"), std::nullopt);
}

TEST(ParseDecimal, ReadsLikeTheScriptProtocol) {
  const std::pair<std::u16string, int32_t> cases[] = {
      {u"3", 3},   {u"  -42", -42}, {u"+7x", 7},           {u"", 0},
      {u"abc", 0}, {u"-", 0},       {u"\t12 3", 12},       {u"2147483647", 2147483647},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(parseDecimal(in), out);
  }
}

TEST(Numbers, FormatDecimalAndHex) {
  EXPECT_EQ(toDecimal(-5), u"-5");
  EXPECT_EQ(toHex(0), u"0");
  EXPECT_EQ(toHex(0x1a2b), u"1a2b");
  EXPECT_EQ(toHex(0xffffffffu), u"ffffffff");
}

}  // namespace
}  // namespace nxr
