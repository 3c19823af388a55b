// Feeds arbitrary request texts through the request, argument and result parsers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "bridge/event_texts.h"
#include "bridge/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i + 1 < size; i += 2) {
    text[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  nxr::InvokeRequest request = nxr::parseInvokeRequest(text);
  nxr::parseFormId(request.formId);
  for (const auto& argument : nxr::parseArguments(request.parameters)) {
    nxr::decodeArgumentMarkup(argument);
  }
  for (const auto& argument : nxr::parseArguments(text)) nxr::decodeArgumentMarkup(argument);
  nxr::encodeResultText(text, size % 2 == 1);
  nxr::splitAt(request.command, request.formId);
  return 0;
}
