// Cipher texts written by the native build (tools/cipher_fixture.cpp into
// testdata/cipher_fixture.inc) and checked by every build, so that the native and Windows
// builds are held to the same output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nxr::fixture {

// A protected value: its text as UTF-16LE bytes and its cipher bytes, both in hexadecimal.
struct SecureCase {
  const char* textHex;
  const char* cipherHex;
};

// One buffer enciphered under a key text in a mode with an initialisation vector.
struct ModeCase {
  const char* keyText;
  const char* mode;
  const char* ivHex;  // empty: no vector (zeros)
  const char* plainHex;
  const char* cipherHex;
};

inline std::vector<uint8_t> fromHex(const char* hex) {
  std::vector<uint8_t> bytes;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (; hex[0] && hex[1]; hex += 2) {
    bytes.push_back(static_cast<uint8_t>(nibble(hex[0]) << 4 | nibble(hex[1])));
  }
  return bytes;
}

inline std::string toHex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

inline std::u16string textFromLe(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
  }
  return text;
}

inline std::vector<uint8_t> textToLe(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

}  // namespace nxr::fixture
