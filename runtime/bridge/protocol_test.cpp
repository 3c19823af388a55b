#include "bridge/protocol.h"

#include <gtest/gtest.h>

#include "support/text.h"

namespace nxr {
namespace {

std::string show(const std::u16string& text) { return utf16ToUtf8(text); }

TEST(InvokeRequest, PartsAreTakenBetweenQuotesAndStringElements) {
  struct Case {
    std::u16string request;
    InvokeRequest expected;
  };
  const Case cases[] = {
      {uR"(<invoke name="nxr.Application.exit" returntype="xml"><arguments><string>000001</string><string>&lt;{brix}&gt;&quot;ask&quot;</string></arguments></invoke>)",
       {u"nxr.Application.exit", u"000001", u"&lt;{brix}&gt;&quot;ask&quot;"}},
      {uR"(<invoke name="nxr.hasEI" returntype="xml"><arguments><string>null</string></arguments></invoke>)",
       {u"nxr.hasEI", u"null", u""}},
      {uR"(<invoke name="nxr.initialise" returntype="xml"><arguments><string>000000</string><string>&lt;{brix}&gt;&quot;&quot;</string></arguments></invoke>)",
       {u"nxr.initialise", u"000000", u"&lt;{brix}&gt;&quot;&quot;"}},
      // No string elements: empty form id and parameters.
      {uR"(<invoke name="nxr.initppsv" returntype="xml"><arguments></arguments></invoke>)",
       {u"nxr.initppsv", u"", u""}},
      // An unterminated second element leaves the parameters empty.
      {uR"(<invoke name="a.b"><arguments><string>2</string><string>x)", {u"a.b", u"2", u""}},
      {u"", {u"", u"", u""}},
      {u"\"only one quote", {u"", u"", u""}},
      {u"<string>7</string>", {u"", u"7", u""}},
  };
  for (const auto& c : cases) {
    InvokeRequest got = parseInvokeRequest(c.request);
    EXPECT_EQ(got, c.expected) << show(c.request) << " got command " << show(got.command) << " id "
                               << show(got.formId) << " params " << show(got.parameters);
  }
}

TEST(InvokeRequest, FormIdReadsLikeWcstol) {
  struct Case {
    std::u16string text;
    int32_t expected;
  };
  const Case cases[] = {{u"000000", 0},
                        {u"000003", 3},
                        {u"null", 0},
                        {u"", 0},
                        {u"  12x", 12},
                        {u"-4", -4},
                        {u"+5", 5},
                        {u"99999999999", INT32_MAX},
                        {u"-99999999999", INT32_MIN}};
  for (const auto& c : cases) EXPECT_EQ(parseFormId(c.text), c.expected) << show(c.text);
}

TEST(Arguments, DecodingTable) {
  struct Case {
    std::u16string parameters;
    std::vector<std::u16string> expected;
  };
  const Case cases[] = {
      {u"", {}},
      {u"no marker at all", {}},
      // Quotes arrive XML-escaped; only "&quot;" is removed.
      {u"<{brix}>\"\"", {u"\"\""}},
      {u"<{brix}>&quot;&quot;", {u""}},
      {u"&lt;{brix}&gt;&quot;&quot;", {u""}},
      {u"&lt;{brix}&gt;&quot;a&quot;,&quot;b&quot;", {u"a", u"b"}},
      {u"&lt;{brix}&gt;&quot;a@co@b&quot;", {u"a,b"}},
      {u"&lt;{brix}&gt;&quot;say @dq@hi@dq@&quot;", {u"say \"hi\""}},
      {u"&lt;{brix}&gt;&quot;it&apos;s&quot;", {u"it's"}},
      // "@amp@" and the XML escapes of < and > are undone later, by the dispatcher.
      {u"&lt;{brix}&gt;&quot;a@amp@b&lt;c&gt;&quot;", {u"a@amp@b&lt;c&gt;"}},
      {u"&lt;{brix}&gt;&quot;x@q@c@q@y&quot;", {u"x\"c\"y"}},
      {u"&lt;{brix}&gt;&quot;x@c@q@c@y&quot;", {u"x\",\"y"}},
      {u"&lt;{brix}&gt;&quot;x@c@y@q@z&quot;", {u"x,y\"z"}},
      // A trailing comma gives a last empty argument; empty pieces stay.
      {u"&lt;{brix}&gt;&quot;a&quot;,", {u"a", u""}},
      {u"&lt;{brix}&gt;,,", {u"", u"", u""}},
      // The escaped marker is looked for first; text before a marker is ignored.
      {u"junk<{brix}>&quot;1&quot;&lt;{brix}&gt;&quot;2&quot;", {u"2"}},
      {u"junk<{brix}>&quot;1&quot;", {u"1"}},
      // Plain double quotes are not removed: only "&quot;" is.
      {u"<{brix}>\"a\"", {u"\"a\""}},
      // Replacements continue after the inserted text, in the listed order.
      {u"<{brix}>@co@co@", {u",co@"}},
      {u"<{brix}>@@dq@q@", {u"@\"q@"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseArguments(c.parameters), c.expected) << show(c.parameters);
  }
}

TEST(Arguments, DispatcherMarkupDecoding) {
  EXPECT_EQ(decodeArgumentMarkup(u"a@amp@b&lt;c&gt;"), u"a&b<c>");
  // "&lt;" is undone before "@amp@", so an encoded "&" followed by "lt;" stays text.
  EXPECT_EQ(decodeArgumentMarkup(u"@amp@lt;"), u"&lt;");
}

TEST(Results, EncodingTable) {
  struct Case {
    std::u16string result;
    bool doubleBackslashes;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"", true, u""},
      {u"true", true, u"true"},
      {u"\"abc\"", false, u"&quot;abc&quot;"},
      {u"\"he\"hi\"", false, u"&quot;he@q@hi&quot;"},
      {u"[\"main\",\"help\"]", false, u"[&quot;main&quot;,&quot;help&quot;]"},
      // One bracket at either end is enough to keep inner quotes.
      {u"[\"a\"", false, u"[&quot;a&quot;"},
      {u"\"a\"]", false, u"&quot;a&quot;]"},
      {u"\"", false, u"&quot;"},
      {u"a\"b", false, u"a@q@b"},
      {u"<b>", false, u"&lt;b&gt;"},
      {u"\"C:\\dir\\x\"", true, u"&quot;C:\\\\dir\\\\x&quot;"},
      {u"\"C:\\dir\\x\"", false, u"&quot;C:\\dir\\x&quot;"},
      {u"\\\\", true, u"\\\\\\\\"},
      // "&" is not escaped.
      {u"a&b", false, u"a&b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encodeResultText(c.result, c.doubleBackslashes), c.expected)
        << show(c.result) << " doubling " << c.doubleBackslashes;
  }
}

TEST(Results, HasEiCounterFormat) {
  EXPECT_EQ(formatHasEiCounter(0), u"000000");
  EXPECT_EQ(formatHasEiCounter(1), u"000001");
  EXPECT_EQ(formatHasEiCounter(123456), u"123456");
  EXPECT_EQ(formatHasEiCounter(1234567), u"1234567");
  EXPECT_EQ(formatHasEiCounter(-1), u"-000001");
  EXPECT_EQ(formatHasEiCounter(INT32_MIN), u"-2147483648");
}

TEST(Text, ReplaceAllContinuesAfterInsertedText) {
  EXPECT_EQ(replaceAll(u"aaa", u"a", u"aa"), u"aaaaaa");
  EXPECT_EQ(replaceAll(u"abc", u"", u"x"), u"abc");
  EXPECT_EQ(replaceAll(u"", u"a", u"b"), u"");
}

}  // namespace
}  // namespace nxr
