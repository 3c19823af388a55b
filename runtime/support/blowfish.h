// Blowfish (64-bit blocks, 16 rounds) with the runtime's key derivation and its four block modes.
// One context per operation: construct, key, use, reset. Portable: builds in every tree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nxr {

class BlowfishCipher {
 public:
  // Codes of encryptBuffer and decryptBuffer; the checks run in the order listed here.
  static constexpr int32_t kDone = 0;
  static constexpr int32_t kNoBuffer = -4;
  static constexpr int32_t kBadLength = -1;
  static constexpr int32_t kNoMode = -2;
  static constexpr int32_t kUnknownMode = -3;

  static constexpr size_t kBlockSize = 8;

  // The tables stay unset until reset, setKeyText or setKeyBytes.
  BlowfishCipher() = default;
  ~BlowfishCipher() { reset(); }
  BlowfishCipher(const BlowfishCipher&) = delete;
  BlowfishCipher& operator=(const BlowfishCipher&) = delete;

  // Back to the initial tables (the hexadecimal digits of pi), leaving no key behind.
  void reset();

  // Key from an 8-bit text: SHA-384 of its bytes, written as 96 lower-case hexadecimal
  // characters plus a zero byte, through the standard key schedule. False only when the
  // platform's digest fails; the tables are then left at their initial values.
  bool setKeyText(std::string_view text);

  // The standard key schedule over raw key bytes (1 or more), starting from the initial tables.
  // setKeyText uses it; tests feed it the published test keys.
  void setKeyBytes(const uint8_t* key, size_t length);

  // One 8-byte block in place; the two halves are big-endian 32-bit words.
  void encryptBlock(uint8_t* block) const;
  void decryptBlock(uint8_t* block) const;

  // The buffer in place in mode "ecb", "cbc", "cfb" or "ofb" (any letter case); iv is 8 bytes or
  // null for zeros. Returns one of the codes above; on a failure nothing is changed.
  int32_t encryptBuffer(uint8_t* buffer, size_t length, const char* mode,
                        const uint8_t* iv = nullptr) const;
  int32_t decryptBuffer(uint8_t* buffer, size_t length, const char* mode,
                        const uint8_t* iv = nullptr) const;

 private:
  enum class Mode { kEcb, kCbc, kCfb, kOfb };
  int32_t processBuffer(uint8_t* buffer, size_t length, const char* mode, const uint8_t* iv,
                        bool encrypt) const;
  uint32_t feistel(uint32_t x) const;
  void encryptWords(uint32_t& left, uint32_t& right) const;
  void decryptWords(uint32_t& left, uint32_t& right) const;

  std::array<uint32_t, 18> p_{};
  std::array<std::array<uint32_t, 256>, 4> s_{};
};

}  // namespace nxr
