// The cipher texts this build makes must be the ones the native build recorded in
// testdata/cipher_fixture.inc, so that values enciphered by either build read back in the other.
#include "support/cipher_fixture.h"

#include <gtest/gtest.h>

#include "support/blowfish.h"
#include "support/secure_value.h"
#include "support/testdata/cipher_fixture.inc"

namespace nxr {
namespace {

TEST(CipherFixture, SecureValuesMatchTheRecordedCipherText) {
  for (const fixture::SecureCase& c : kSecureCases) {
    std::u16string text = fixture::textFromLe(fixture::fromHex(c.textHex));
    SCOPED_TRACE(c.textHex);
    SecureValue value;
    value.setText(text);
    EXPECT_EQ(fixture::toHex(value.data()), c.cipherHex);
    SecureValue recorded;
    recorded.setData(fixture::fromHex(c.cipherHex));
    EXPECT_EQ(recorded.getText(), text);
  }
}

TEST(CipherFixture, ModesMatchTheRecordedCipherText) {
  for (const fixture::ModeCase& c : kModeCases) {
    SCOPED_TRACE(std::string(c.keyText) + " " + c.mode + " " + c.ivHex);
    std::vector<uint8_t> iv = fixture::fromHex(c.ivHex);
    const uint8_t* vector = iv.empty() ? nullptr : iv.data();
    std::vector<uint8_t> data = fixture::fromHex(c.plainHex);
    BlowfishCipher cipher;
    cipher.setKeyText(c.keyText);
    ASSERT_EQ(cipher.encryptBuffer(data.data(), data.size(), c.mode, vector), 0);
    EXPECT_EQ(fixture::toHex(data), c.cipherHex);
    ASSERT_EQ(cipher.decryptBuffer(data.data(), data.size(), c.mode, vector), 0);
    EXPECT_EQ(fixture::toHex(data), c.plainHex);
  }
}

}  // namespace
}  // namespace nxr
