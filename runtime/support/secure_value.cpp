#include "support/secure_value.h"

#include <cstring>

#include "support/blowfish.h"

namespace nxr {
namespace {

// The built-in key text of protected values (8-bit characters, no terminating zero).
constexpr std::string_view kKeyText = "Quick brown lynx.";

void wipe(std::vector<uint8_t>& bytes) {
  volatile uint8_t* p = bytes.data();
  for (size_t i = 0; i < bytes.size(); ++i) p[i] = 0;
}

}  // namespace

void SecureValue::setText(const std::u16string& text) {
  if (text.empty()) return;
  size_t size = 2 * text.size() + 2;
  size = (size + BlowfishCipher::kBlockSize - 1) / BlowfishCipher::kBlockSize *
         BlowfishCipher::kBlockSize;
  std::vector<uint8_t> buffer(size, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    buffer[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    buffer[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  BlowfishCipher cipher;
  // Without a key the value would be stored in a form no one can read back: keep the old one.
  if (!cipher.setKeyText(kKeyText) ||
      cipher.encryptBuffer(buffer.data(), buffer.size(), "cbc") != BlowfishCipher::kDone) {
    wipe(buffer);
    return;
  }
  cipher.reset();
  data_ = std::move(buffer);
}

std::u16string SecureValue::getText() const {
  if (data_.empty()) return {};
  std::vector<uint8_t> copy = data_;
  BlowfishCipher cipher;
  bool deciphered = cipher.setKeyText(kKeyText) &&
                    cipher.decryptBuffer(copy.data(), copy.size(), "cbc") == BlowfishCipher::kDone;
  cipher.reset();
  std::u16string text;
  // A cipher text that cannot be deciphered (its size is not a whole number of blocks) gives
  // no text rather than its raw bytes read as characters.
  if (deciphered) {
    for (size_t i = 0; i + 1 < copy.size(); i += 2) {
      char16_t c = static_cast<char16_t>(copy[i] | (copy[i + 1] << 8));
      if (c == 0) break;
      text.push_back(c);
    }
  }
  wipe(copy);
  return text;
}

}  // namespace nxr
