#include "bridge/protocol.h"

#include <limits>

namespace nxr {

std::u16string replaceAll(std::u16string_view text, std::u16string_view from,
                          std::u16string_view to) {
  std::u16string out;
  out.reserve(text.size());
  size_t start = 0;
  for (;;) {
    size_t found = from.empty() ? std::u16string_view::npos : text.find(from, start);
    if (found == std::u16string_view::npos) {
      out.append(text.substr(start));
      return out;
    }
    out.append(text.substr(start, found - start));
    out.append(to);
    start = found + from.size();
  }
}

InvokeRequest parseInvokeRequest(std::u16string_view request) {
  constexpr std::u16string_view kOpen = u"<string>";
  constexpr std::u16string_view kClose = u"</string>";
  constexpr auto npos = std::u16string_view::npos;
  InvokeRequest parsed;

  size_t firstQuote = request.find(u'"');
  if (firstQuote != npos) {
    size_t secondQuote = request.find(u'"', firstQuote + 1);
    if (secondQuote != npos) {
      parsed.command = request.substr(firstQuote + 1, secondQuote - firstQuote - 1);
    }
  }

  size_t idOpen = request.find(kOpen);
  if (idOpen == npos) return parsed;
  size_t idStart = idOpen + kOpen.size();
  size_t idClose = request.find(kClose, idStart);
  if (idClose == npos) return parsed;
  parsed.formId = request.substr(idStart, idClose - idStart);

  size_t paramOpen = request.find(kOpen, idClose + kClose.size());
  if (paramOpen == npos) return parsed;
  size_t paramStart = paramOpen + kOpen.size();
  size_t paramClose = request.find(kClose, paramStart);
  if (paramClose == npos) return parsed;
  parsed.parameters = request.substr(paramStart, paramClose - paramStart);
  return parsed;
}

int32_t parseFormId(std::u16string_view formId) {
  size_t i = 0;
  auto isSpace = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
  while (i < formId.size() && isSpace(formId[i])) ++i;
  bool negative = false;
  if (i < formId.size() && (formId[i] == u'+' || formId[i] == u'-')) {
    negative = formId[i] == u'-';
    ++i;
  }
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  while (i < formId.size() && formId[i] >= u'0' && formId[i] <= u'9') {
    value = value * 10 + (formId[i] - u'0');
    if (value > kLimit) value = kLimit;
    ++i;
  }
  if (negative) return static_cast<int32_t>(-value);
  return value >= kLimit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

std::vector<std::u16string> parseArguments(std::u16string_view parameters) {
  constexpr std::u16string_view kEscapedMarker = u"&lt;{brix}&gt;";
  constexpr std::u16string_view kMarker = u"<{brix}>";
  std::vector<std::u16string> arguments;

  size_t start;
  if (size_t at = parameters.find(kEscapedMarker); at != std::u16string_view::npos) {
    start = at + kEscapedMarker.size();
  } else if (at = parameters.find(kMarker); at != std::u16string_view::npos) {
    start = at + kMarker.size();
  } else {
    return arguments;
  }

  std::u16string list = replaceAll(parameters.substr(start), u"&quot;", u"");
  size_t pieceStart = 0;
  for (;;) {
    size_t comma = list.find(u',', pieceStart);
    std::u16string_view piece = std::u16string_view(list).substr(
        pieceStart, comma == std::u16string::npos ? std::u16string::npos : comma - pieceStart);
    std::u16string argument = replaceAll(piece, u"&apos;", u"'");
    argument = replaceAll(argument, u"@co@", u",");
    argument = replaceAll(argument, u"@dq@", u"\"");
    argument = replaceAll(argument, u"@q@c@q@", u"\"c\"");
    argument = replaceAll(argument, u"@c@q@c@", u"\",\"");
    argument = replaceAll(argument, u"@c@", u",");
    argument = replaceAll(argument, u"@q@", u"\"");
    arguments.push_back(std::move(argument));
    if (comma == std::u16string::npos) return arguments;
    pieceStart = comma + 1;
  }
}

std::u16string decodeArgumentMarkup(std::u16string_view argument) {
  std::u16string text = replaceAll(argument, u"&lt;", u"<");
  text = replaceAll(text, u"&gt;", u">");
  return replaceAll(text, u"@amp@", u"&");
}

std::u16string encodeResultText(std::u16string_view result, bool doubleBackslashes) {
  constexpr std::u16string_view kQuot = u"&quot;";
  std::u16string text(result);
  // The outer quotes of a quoted value become "&quot;" and stay out of the next step.
  std::u16string head, tail;
  if (!text.empty() && text.front() == u'"') {
    head = kQuot;
    text.erase(0, 1);
  }
  if (!text.empty() && text.back() == u'"') {
    tail = kQuot;
    text.pop_back();
  }
  // A single double quote is both first and last character: only the first replacement applies.
  bool isList = !result.empty() && (result.front() == u'[' || result.back() == u']');
  if (!result.empty() && !isList) text = replaceAll(text, u"\"", u"@q@");
  text = head + text + tail;
  text = replaceAll(text, u"<", u"&lt;");
  text = replaceAll(text, u">", u"&gt;");
  text = replaceAll(text, u"\"", kQuot);
  if (doubleBackslashes) text = replaceAll(text, u"\\", u"\\\\");
  return text;
}

std::u16string formatHasEiCounter(int32_t counter) {
  std::u16string digits;
  int64_t value = counter;
  bool negative = value < 0;
  if (negative) value = -value;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  while (digits.size() < 6) digits.insert(digits.begin(), u'0');
  if (negative) digits.insert(digits.begin(), u'-');
  return digits;
}

}  // namespace nxr
