#include "moviehost/fake_movie_path.h"

#include <gtest/gtest.h>

namespace nxr {
namespace {

TEST(FakeMoviePath, MadePathsParseBack) {
  const std::u16string path = makeFakeMoviePath(123);
  EXPECT_EQ(path,
            u"Z:\\FromMemory\\D7BAED74924D435D84DB8A1E89E7AE3A\\123\\"
            u"4BC37A1F293B47169DBC8019C50075F5.swf");
  const auto parts = parseFakeMoviePath(path);
  ASSERT_TRUE(parts.has_value());
  EXPECT_EQ(parts->number, 123);
  EXPECT_EQ(parts->relative, u"4BC37A1F293B47169DBC8019C50075F5.swf");
}

TEST(FakeMoviePath, ParsingAndMatching) {
  struct Case {
    const char16_t* text;
    bool parses;
    int number;
    const char16_t* relative;
  };
  const Case cases[] = {
      {u"file:///Z:/FromMemory/D7BAED74924D435D84DB8A1E89E7AE3A/101/img/a.jpg", true, 101,
       u"img/a.jpg"},
      {u"Z:\\FromMemory\\D7BAED74924D435D84DB8A1E89E7AE3A\\7\\x\\y.txt", true, 7, u"x/y.txt"},
      {u"Z:/FromMemory/D7BAED74924D435D84DB8A1E89E7AE3A/7", false, 0, u""},
      {u"Z:/FromMemory/D7BAED74924D435D84DB8A1E89E7AE3A/abc/x", false, 0, u""},
      {u"http://example.invalid/movie.swf", false, 0, u""},
  };
  for (const Case& c : cases) {
    const auto parts = parseFakeMoviePath(c.text);
    ASSERT_EQ(parts.has_value(), c.parses);
    if (parts) {
      EXPECT_EQ(parts->number, c.number);
      EXPECT_EQ(parts->relative, c.relative);
    }
  }
  EXPECT_TRUE(sameMovieStream(makeFakeMoviePath(5),
                              u"file:///Z:/FromMemory/D7BAED74924D435D84DB8A1E89E7AE3A/5/"
                              u"4BC37A1F293B47169DBC8019C50075F5.swf"));
  EXPECT_FALSE(sameMovieStream(makeFakeMoviePath(5), makeFakeMoviePath(6)));
  EXPECT_TRUE(sameMovieStream(u"http://a/b", u"http://a/b"));
  EXPECT_FALSE(sameMovieStream(u"http://a/b", makeFakeMoviePath(5)));
}

}  // namespace
}  // namespace nxr
