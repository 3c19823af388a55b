// The call protocol between a movie and the runtime: ExternalInterface requests, the argument
// encoding and the result encoding. Portable: no Windows API here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nxr {

// Replaces every occurrence of from (non-empty) by to, scanning left to right and continuing
// after the inserted text.
std::u16string replaceAll(std::u16string_view text, std::u16string_view from,
                          std::u16string_view to);

// The three parts of one ExternalInterface request; a part that is not found is empty. The
// texts keep the control's XML escaping.
struct InvokeRequest {
  std::u16string command;
  std::u16string formId;
  std::u16string parameters;

  bool operator==(const InvokeRequest&) const = default;
};

InvokeRequest parseInvokeRequest(std::u16string_view request);

// The form index in a request: base-10 with leading white space and sign; no number gives 0;
// values beyond 32 bits saturate like the C runtime's wcstol.
int32_t parseFormId(std::u16string_view formId);

// The argument list after the "<{brix}>" marker (escaped or not), with the protocol's escapes
// undone. No marker gives no arguments.
std::vector<std::u16string> parseArguments(std::u16string_view parameters);

// What the dispatcher applies to each parsed argument before a method sees it: "&lt;", "&gt;"
// and "@amp@" back to "<", ">" and "&".
std::u16string decodeArgumentMarkup(std::u16string_view argument);

// Encodes a method's result for the reply. doubleBackslashes is set for a registered form whose
// movie is not an ActionScript 3 movie.
std::u16string encodeResultText(std::u16string_view result, bool doubleBackslashes);

// The hasEI reply: the counter as at least six digits, zero-padded ("%.6d").
std::u16string formatHasEiCounter(int32_t counter);

}  // namespace nxr
