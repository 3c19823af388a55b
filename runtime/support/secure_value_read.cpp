// Reading a protected value from the project record; kept apart from the cipher so that the
// cipher builds without the payload reader.
#include <algorithm>

#include "app/payload_reader.h"
#include "support/secure_value.h"

namespace nxr {

bool SecureValue::read(PayloadReader& reader) {
  int32_t kind = 0;
  if (!reader.readInt(kind)) return false;
  if (kind != 1) {
    std::u16string text;
    if (!reader.readText(text)) return false;
    setText(text);
    return true;
  }
  int32_t size = 0;
  if (!reader.readInt(size)) return false;
  if (size <= 0) {
    data_.clear();
    return true;
  }
  // The cipher bytes are read in pieces, so a damaged size cannot make a huge allocation
  // before the file runs out.
  constexpr int32_t kPiece = 64 * 1024;
  std::vector<uint8_t> cipher;
  while (static_cast<int32_t>(cipher.size()) < size) {
    int32_t want = std::min(kPiece, size - static_cast<int32_t>(cipher.size()));
    size_t at = cipher.size();
    cipher.resize(at + want);
    if (reader.readBytes(cipher.data() + at, want) != want) return false;
  }
  data_ = std::move(cipher);
  return true;
}

}  // namespace nxr
