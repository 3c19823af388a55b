// The fake paths under which in-memory movies are offered to the control, and the URL loaded
// before each of them. Portable.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nxr {

// Loaded before every in-memory movie; binding it always fails, which resets the control.
inline constexpr char16_t kResetMovieUrl[] = u"file://AGKJGSAKLHASKLASKLSAKLKLSAKLAKLL.swf";

// "Z:\FromMemory\<marker>\<number>\<movie file name>".
std::u16string makeFakeMoviePath(int number);

struct FakeMoviePathParts {
  int number = 0;
  std::u16string relative;  // with "/" separators
};

// Splits any text that contains the marker (a fake path, a URL made from one, or a resource
// relative to one): the movie number, then everything after the separator that follows it.
std::optional<FakeMoviePathParts> parseFakeMoviePath(std::u16string_view text);

// Whether two texts name the same pending stream: both parse with equal numbers and relative
// parts, or neither parses and the texts are equal.
bool sameMovieStream(std::u16string_view a, std::u16string_view b);

}  // namespace nxr
