#include "support/blowfish.h"

#include <cstring>

#include "support/sha384.h"

namespace nxr {
namespace {

constexpr uint32_t kInitialTables[18 + 4 * 256] = {
#include "support/blowfish_tables.inc"
};

uint32_t loadBigEndian(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

void storeBigEndian(uint32_t word, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(word >> 24);
  bytes[1] = static_cast<uint8_t>(word >> 16);
  bytes[2] = static_cast<uint8_t>(word >> 8);
  bytes[3] = static_cast<uint8_t>(word);
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(const char* text, const char* lowerName) {
  for (; *lowerName; ++text, ++lowerName) {
    if (lowerAscii(*text) != *lowerName) return false;
  }
  return *text == '\0';
}

void xorBlock(uint8_t* target, const uint8_t* source) {
  for (size_t i = 0; i < BlowfishCipher::kBlockSize; ++i) target[i] ^= source[i];
}

}  // namespace

void BlowfishCipher::reset() {
  std::memcpy(p_.data(), kInitialTables, sizeof(p_));
  for (size_t box = 0; box < 4; ++box) {
    std::memcpy(s_[box].data(), kInitialTables + 18 + 256 * box, sizeof(s_[box]));
  }
}

bool BlowfishCipher::setKeyText(std::string_view text) {
  reset();
  Sha384Digest digest;
  if (!sha384(reinterpret_cast<const uint8_t*>(text.data()), text.size(), digest)) {
    // No key can be made; the tables stay at their initial values rather than a wrong key.
    return false;
  }
  static constexpr char kHexDigits[] = "0123456789abcdef";
  uint8_t key[2 * sizeof(digest) + 1];
  for (size_t i = 0; i < digest.size(); ++i) {
    key[2 * i] = static_cast<uint8_t>(kHexDigits[digest[i] >> 4]);
    key[2 * i + 1] = static_cast<uint8_t>(kHexDigits[digest[i] & 0x0F]);
  }
  key[sizeof(key) - 1] = 0;
  setKeyBytes(key, sizeof(key));
  std::memset(key, 0, sizeof(key));
  return true;
}

void BlowfishCipher::setKeyBytes(const uint8_t* key, size_t length) {
  reset();
  if (key == nullptr || length == 0) return;
  size_t index = 0;
  for (uint32_t& subkey : p_) {
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
      word = (word << 8) | key[index];
      index = (index + 1) % length;
    }
    subkey ^= word;
  }
  uint32_t left = 0;
  uint32_t right = 0;
  for (size_t i = 0; i < p_.size(); i += 2) {
    encryptWords(left, right);
    p_[i] = left;
    p_[i + 1] = right;
  }
  for (auto& box : s_) {
    for (size_t i = 0; i < box.size(); i += 2) {
      encryptWords(left, right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

uint32_t BlowfishCipher::feistel(uint32_t x) const {
  return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void BlowfishCipher::encryptWords(uint32_t& left, uint32_t& right) const {
  uint32_t l = left ^ p_[0];
  uint32_t r = right;
  for (size_t i = 1; i <= 16; i += 2) {
    r ^= feistel(l) ^ p_[i];
    l ^= feistel(r) ^ p_[i + 1];
  }
  r ^= p_[17];
  left = r;
  right = l;
}

void BlowfishCipher::decryptWords(uint32_t& left, uint32_t& right) const {
  uint32_t l = left ^ p_[17];
  uint32_t r = right;
  for (size_t i = 16; i >= 1; i -= 2) {
    r ^= feistel(l) ^ p_[i];
    l ^= feistel(r) ^ p_[i - 1];
  }
  r ^= p_[0];
  left = r;
  right = l;
}

void BlowfishCipher::encryptBlock(uint8_t* block) const {
  uint32_t left = loadBigEndian(block);
  uint32_t right = loadBigEndian(block + 4);
  encryptWords(left, right);
  storeBigEndian(left, block);
  storeBigEndian(right, block + 4);
}

void BlowfishCipher::decryptBlock(uint8_t* block) const {
  uint32_t left = loadBigEndian(block);
  uint32_t right = loadBigEndian(block + 4);
  decryptWords(left, right);
  storeBigEndian(left, block);
  storeBigEndian(right, block + 4);
}

int32_t BlowfishCipher::encryptBuffer(uint8_t* buffer, size_t length, const char* mode,
                                      const uint8_t* iv) const {
  return processBuffer(buffer, length, mode, iv, true);
}

int32_t BlowfishCipher::decryptBuffer(uint8_t* buffer, size_t length, const char* mode,
                                      const uint8_t* iv) const {
  return processBuffer(buffer, length, mode, iv, false);
}

int32_t BlowfishCipher::processBuffer(uint8_t* buffer, size_t length, const char* modeText,
                                      const uint8_t* iv, bool encrypt) const {
  if (buffer == nullptr) return kNoBuffer;
  if (length % kBlockSize != 0) return kBadLength;
  if (modeText == nullptr) return kNoMode;
  Mode mode;
  if (equalsIgnoringCase(modeText, "ecb")) {
    mode = Mode::kEcb;
  } else if (equalsIgnoringCase(modeText, "cbc")) {
    mode = Mode::kCbc;
  } else if (equalsIgnoringCase(modeText, "cfb")) {
    mode = Mode::kCfb;
  } else if (equalsIgnoringCase(modeText, "ofb")) {
    mode = Mode::kOfb;
  } else {
    return kUnknownMode;
  }

  uint8_t reg[kBlockSize] = {};
  if (iv != nullptr) std::memcpy(reg, iv, kBlockSize);
  for (uint8_t* block = buffer; block != buffer + length; block += kBlockSize) {
    switch (mode) {
      case Mode::kEcb:
        encrypt ? encryptBlock(block) : decryptBlock(block);
        break;
      case Mode::kCbc:
        if (encrypt) {
          xorBlock(block, reg);
          encryptBlock(block);
          std::memcpy(reg, block, kBlockSize);
        } else {
          uint8_t kept[kBlockSize];
          std::memcpy(kept, block, kBlockSize);
          decryptBlock(block);
          xorBlock(block, reg);
          std::memcpy(reg, kept, kBlockSize);
        }
        break;
      case Mode::kCfb: {
        uint8_t input[kBlockSize];
        std::memcpy(input, block, kBlockSize);
        encryptBlock(reg);
        xorBlock(block, reg);
        std::memcpy(reg, encrypt ? block : input, kBlockSize);
        break;
      }
      case Mode::kOfb:
        encryptBlock(reg);
        xorBlock(block, reg);
        break;
    }
  }
  std::memset(reg, 0, sizeof(reg));
  return kDone;
}

}  // namespace nxr
