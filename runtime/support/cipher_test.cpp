// The cipher, its digest and protected values. Portable: runs natively and, through the
// system's digest service, in the Windows test program.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "support/blowfish.h"
#include "support/secure_value.h"
#include "support/sha384.h"

namespace nxr {
namespace {

std::vector<uint8_t> fromHex(std::string_view hex) {
  std::vector<uint8_t> bytes;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
  }
  return bytes;
}

std::string toHexText(const uint8_t* bytes, size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

// Eric Young's published Blowfish ECB vectors: key, clear text, cipher text.
struct EcbVector {
  const char* key;
  const char* clear;
  const char* cipher;
};
constexpr EcbVector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

TEST(BlowfishCipher, PublishedEcbVectorsBothWays) {
  for (const EcbVector& v : kEcbVectors) {
    SCOPED_TRACE(v.key);
    std::vector<uint8_t> key = fromHex(v.key);
    std::vector<uint8_t> block = fromHex(v.clear);
    BlowfishCipher cipher;
    cipher.setKeyBytes(key.data(), key.size());
    cipher.encryptBlock(block.data());
    EXPECT_EQ(toHexText(block.data(), 8), toHexText(fromHex(v.cipher).data(), 8));
    cipher.decryptBlock(block.data());
    EXPECT_EQ(toHexText(block.data(), 8), toHexText(fromHex(v.clear).data(), 8));
  }
}

TEST(BlowfishCipher, PublishedCbcVectorWithLongKey) {
  // Eric Young's chaining example: a 16-byte key, 29 bytes of text zero-padded to 32.
  std::vector<uint8_t> key = fromHex("0123456789ABCDEFF0E1D2C3B4A59687");
  std::vector<uint8_t> iv = fromHex("FEDCBA9876543210");
  std::vector<uint8_t> data(32, 0);
  std::memcpy(data.data(), "7654321 Now is the time for ", 29);
  BlowfishCipher cipher;
  cipher.setKeyBytes(key.data(), key.size());
  ASSERT_EQ(cipher.encryptBuffer(data.data(), data.size(), "cbc", iv.data()), 0);
  EXPECT_EQ(toHexText(data.data(), data.size()),
            "6b77b4d63006dee605b156e27403979358deb9e7154616d959f1652bd5ff92cc");
}

TEST(BlowfishCipher, ResetRestoresTheInitialTables) {
  // With the initial tables, the zero block encrypts to the same value every time, and keying
  // then resetting leaves no trace of the key.
  uint8_t fresh[8] = {};
  BlowfishCipher a;
  a.reset();
  a.encryptBlock(fresh);
  BlowfishCipher b;
  uint8_t key[] = {1, 2, 3};
  b.setKeyBytes(key, sizeof(key));
  b.reset();
  uint8_t again[8] = {};
  b.encryptBlock(again);
  EXPECT_EQ(toHexText(fresh, 8), toHexText(again, 8));
  EXPECT_NE(toHexText(fresh, 8), "0000000000000000");
}

TEST(Sha384, FipsVectors) {
  struct Case {
    std::string message;
    const char* digest;
  } cases[] = {
      {"abc",
       "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca1"
       "34c825a7"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
       "mnopqrsmnopqrstnopqrstu",
       "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa"
       "91746039"},
      {std::string(1000000, 'a'),
       "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd8"
       "7f3d8985"},
      {"",
       "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f1"
       "4898b95b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message.substr(0, 10));
    Sha384Digest digest{};
    ASSERT_TRUE(
        sha384(reinterpret_cast<const uint8_t*>(c.message.data()), c.message.size(), digest));
    EXPECT_EQ(toHexText(digest.data(), digest.size()), c.digest);
  }
}

TEST(BlowfishCipher, KeyTextGoesThroughTheDigestsHexText) {
  // The key text's key is the schedule over the lower-case hex digest plus one zero byte.
  Sha384Digest digest{};
  ASSERT_TRUE(sha384(reinterpret_cast<const uint8_t*>("abc"), 3, digest));
  std::string hex = toHexText(digest.data(), digest.size());
  std::vector<uint8_t> key(hex.begin(), hex.end());
  key.push_back(0);
  BlowfishCipher byBytes;
  byBytes.setKeyBytes(key.data(), key.size());
  BlowfishCipher byText;
  EXPECT_TRUE(byText.setKeyText("abc"));
  uint8_t a[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint8_t b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  byBytes.encryptBlock(a);
  byText.encryptBlock(b);
  EXPECT_EQ(toHexText(a, 8), toHexText(b, 8));
  // Upper-case hex would be a different key.
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::vector<uint8_t> upper(hex.begin(), hex.end());
  upper.push_back(0);
  BlowfishCipher byUpper;
  byUpper.setKeyBytes(upper.data(), upper.size());
  uint8_t c8[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  byUpper.encryptBlock(c8);
  EXPECT_NE(toHexText(a, 8), toHexText(c8, 8));
}

TEST(BlowfishCipher, EveryModeRoundTripsAndDiffersFromThePlainText) {
  std::vector<uint8_t> plain(40);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 + 3);
  const uint8_t iv[8] = {9, 8, 7, 6, 5, 4, 3, 2};
  for (const char* mode : {"ecb", "cbc", "cfb", "ofb", "ECB", "Cbc", "cFB", "OFB"}) {
    for (const uint8_t* vector : {static_cast<const uint8_t*>(nullptr), iv}) {
      SCOPED_TRACE(std::string(mode) + (vector ? " with iv" : " zero iv"));
      BlowfishCipher cipher;
      cipher.setKeyText("round trip");
      std::vector<uint8_t> data = plain;
      ASSERT_EQ(cipher.encryptBuffer(data.data(), data.size(), mode, vector), 0);
      EXPECT_NE(data, plain);
      ASSERT_EQ(cipher.decryptBuffer(data.data(), data.size(), mode, vector), 0);
      EXPECT_EQ(data, plain);
    }
  }
}

TEST(BlowfishCipher, ModesChainAsDescribed) {
  // Each mode checked against block operations done by hand on two blocks.
  BlowfishCipher cipher;
  cipher.setKeyText("chaining");
  const uint8_t iv[8] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};
  uint8_t plain[16];
  for (int i = 0; i < 16; ++i) plain[i] = static_cast<uint8_t>(0xA0 + i);
  auto xor8 = [](uint8_t* a, const uint8_t* b) {
    for (int i = 0; i < 8; ++i) a[i] ^= b[i];
  };

  uint8_t expected[16];
  uint8_t reg[8];
  // cbc
  std::memcpy(expected, plain, 16);
  xor8(expected, iv);
  cipher.encryptBlock(expected);
  xor8(expected + 8, expected);
  cipher.encryptBlock(expected + 8);
  uint8_t data[16];
  std::memcpy(data, plain, 16);
  ASSERT_EQ(cipher.encryptBuffer(data, 16, "cbc", iv), 0);
  EXPECT_EQ(toHexText(data, 16), toHexText(expected, 16));
  // cfb: the cipher block feeds back
  std::memcpy(expected, plain, 16);
  std::memcpy(reg, iv, 8);
  cipher.encryptBlock(reg);
  xor8(expected, reg);
  std::memcpy(reg, expected, 8);
  cipher.encryptBlock(reg);
  xor8(expected + 8, reg);
  std::memcpy(data, plain, 16);
  ASSERT_EQ(cipher.encryptBuffer(data, 16, "cfb", iv), 0);
  EXPECT_EQ(toHexText(data, 16), toHexText(expected, 16));
  // ofb: the encrypted register feeds back
  std::memcpy(expected, plain, 16);
  std::memcpy(reg, iv, 8);
  cipher.encryptBlock(reg);
  xor8(expected, reg);
  cipher.encryptBlock(reg);
  xor8(expected + 8, reg);
  std::memcpy(data, plain, 16);
  ASSERT_EQ(cipher.encryptBuffer(data, 16, "ofb", iv), 0);
  EXPECT_EQ(toHexText(data, 16), toHexText(expected, 16));
  // ecb ignores the vector
  std::memcpy(expected, plain, 16);
  cipher.encryptBlock(expected);
  cipher.encryptBlock(expected + 8);
  std::memcpy(data, plain, 16);
  ASSERT_EQ(cipher.encryptBuffer(data, 16, "ecb", iv), 0);
  EXPECT_EQ(toHexText(data, 16), toHexText(expected, 16));
}

TEST(BlowfishCipher, BufferCodesInTheirCheckOrder) {
  BlowfishCipher cipher;
  cipher.setKeyText("codes");
  struct Case {
    bool buffer;
    size_t length;
    const char* mode;
    int32_t code;
  } cases[] = {
      {true, 16, "cbc", 0},    {true, 0, "cbc", 0},    {true, 12, "cbc", -1},
      {true, 16, nullptr, -2}, {true, 16, "cbcx", -3}, {true, 16, "cb", -3},
      {true, 16, "", -3},      {false, 16, "cbc", -4}, {false, 12, nullptr, -4},
      {true, 12, nullptr, -1}, {true, 12, "xyz", -1},  {true, 16, "ctr", -3},
  };
  for (const Case& c : cases) {
    for (bool encrypt : {true, false}) {
      SCOPED_TRACE(std::to_string(c.length) + " " + (c.mode ? c.mode : "(none)") +
                   (encrypt ? " encrypt" : " decrypt"));
      std::vector<uint8_t> data(16);
      for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
      const std::vector<uint8_t> before = data;
      uint8_t* buffer = c.buffer ? data.data() : nullptr;
      int32_t code = encrypt ? cipher.encryptBuffer(buffer, c.length, c.mode)
                             : cipher.decryptBuffer(buffer, c.length, c.mode);
      EXPECT_EQ(code, c.code);
      if (code != 0 || c.length == 0) {
        EXPECT_EQ(data, before);
      }
    }
  }
}

TEST(SecureValue, SizesFollowTheTextLength) {
  struct Case {
    std::u16string text;
    int32_t size;
  } cases[] = {{u"a", 8},         {u"abc", 8},          {u"abcd", 16},        {u"abcdefg", 16},
               {u"abcdefgh", 24}, {u"abcdefghijk", 24}, {u"abcdefghijkl", 32}};
  for (const Case& c : cases) {
    SecureValue value;
    value.setText(c.text);
    EXPECT_EQ(value.size(), c.size) << c.text.size() << " characters";
    EXPECT_EQ(value.getText(), c.text);
  }
}

TEST(SecureValue, SameTextSameCipherText) {
  SecureValue a;
  SecureValue b;
  a.setText(u"secret value");
  b.setText(u"secret value");
  EXPECT_EQ(a.data(), b.data());
  SecureValue c;
  c.setText(u"secret valuf");
  EXPECT_NE(a.data(), c.data());
  // The stored bytes are not the plain UTF-16 text.
  std::u16string plain = u"secret value";
  EXPECT_NE(std::memcmp(a.data().data(), plain.data(), 16), 0);
}

TEST(SecureValue, EmptyTextKeepsTheOldValue) {
  SecureValue value;
  value.setText(u"");
  EXPECT_EQ(value.size(), 0);
  EXPECT_EQ(value.getText(), u"");
  value.setText(u"kept");
  value.setText(u"");
  EXPECT_EQ(value.getText(), u"kept");
}

TEST(SecureValue, TextEndsAtTheFirstZeroOrTheEnd) {
  SecureValue value;
  value.setText(std::u16string(u"ab\0cd", 5));
  EXPECT_EQ(value.getText(), u"ab");
  // A cipher text made elsewhere without a terminating zero: the whole block is the text.
  std::vector<uint8_t> block = {'x', 0, 'y', 0, 'z', 0, 'w', 0};
  BlowfishCipher cipher;
  cipher.setKeyText("Quick brown lynx.");
  ASSERT_EQ(cipher.encryptBuffer(block.data(), block.size(), "cbc"), 0);
  value.setData(block);
  EXPECT_EQ(value.getText(), u"xyzw");
}

TEST(SecureValue, NonAsciiTextRoundTrips) {
  const std::u16string text = u"\u00e9t\u00e9 \u65e5\u672c \U0001F600";
  SecureValue value;
  value.setText(text);
  EXPECT_EQ(value.getText(), text);
}

TEST(SecureValue, CipherTextOfAPartialBlockGivesNoText) {
  SecureValue value;
  value.setText(u"abcdefg");
  std::vector<uint8_t> cut = value.data();
  cut.resize(12);
  value.setData(cut);
  EXPECT_EQ(value.getText(), u"");
}

}  // namespace
}  // namespace nxr
