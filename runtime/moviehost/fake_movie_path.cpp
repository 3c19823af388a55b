#include "moviehost/fake_movie_path.h"

#include <algorithm>

#include "support/text.h"

namespace nxr {
namespace {

constexpr std::u16string_view kMarker = u"D7BAED74924D435D84DB8A1E89E7AE3A";

}  // namespace

std::u16string makeFakeMoviePath(int number) {
  return u"Z:\\FromMemory\\" + std::u16string(kMarker) + u"\\" + toDecimal(number) +
         u"\\4BC37A1F293B47169DBC8019C50075F5.swf";
}

std::optional<FakeMoviePathParts> parseFakeMoviePath(std::u16string_view text) {
  std::u16string path(text);
  std::replace(path.begin(), path.end(), u'\\', u'/');
  const size_t marker = path.find(kMarker);
  if (marker == std::u16string::npos) return std::nullopt;
  size_t start = marker + kMarker.size();
  if (start >= path.size() || path[start] != u'/') return std::nullopt;
  ++start;
  const size_t end = path.find(u'/', start);
  if (end == std::u16string::npos) return std::nullopt;
  const std::u16string_view number = std::u16string_view(path).substr(start, end - start);
  if (number.empty() || !std::all_of(number.begin(), number.end(),
                                     [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
    return std::nullopt;
  }
  return FakeMoviePathParts{parseDecimal(number), path.substr(end + 1)};
}

bool sameMovieStream(std::u16string_view a, std::u16string_view b) {
  const auto first = parseFakeMoviePath(a), second = parseFakeMoviePath(b);
  if (first && second)
    return first->number == second->number && first->relative == second->relative;
  if (first || second) return false;
  return a == b;
}

}  // namespace nxr
