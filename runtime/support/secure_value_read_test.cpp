// Reading protected values in their stored form through the project payload reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/payload_reader.h"
#include "support/secure_value.h"

namespace nxr {
namespace {

void putInt(std::vector<uint8_t>& out, int32_t value) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

// A stored text shorter than 512 bytes: its length, then UTF-8 bytes scrambled as the build
// tool stores them.
void putText(std::vector<uint8_t>& out, const std::string& utf8) {
  const int32_t n = static_cast<int32_t>(utf8.size());
  putInt(out, n);
  for (int32_t j = 0; j < n; ++j) {
    out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(utf8[j]) ^ (n - 110 + 33 * j)));
  }
}

TEST(SecureValueRead, StoredForms) {
  SecureValue reference;
  reference.setText(u"abc");
  const std::vector<uint8_t> cipher = reference.data();

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool ok;
    int32_t size;
    std::u16string text;
  };
  std::vector<Case> cases;
  auto add = [&](const char* what, bool ok, int32_t size, std::u16string text, auto fill) {
    Case c{what, {}, ok, size, std::move(text)};
    fill(c.bytes);
    cases.push_back(std::move(c));
  };
  add("cipher bytes kept as they are", true, 8, u"abc", [&](auto& b) {
    putInt(b, 1);
    putInt(b, 8);
    b.insert(b.end(), cipher.begin(), cipher.end());
  });
  add("no cipher bytes", true, 0, u"", [&](auto& b) {
    putInt(b, 1);
    putInt(b, 0);
  });
  add("negative size", true, 0, u"", [&](auto& b) {
    putInt(b, 1);
    putInt(b, -5);
  });
  add("fewer cipher bytes than the size", false, 0, u"", [&](auto& b) {
    putInt(b, 1);
    putInt(b, 16);
    b.insert(b.end(), cipher.begin(), cipher.end());
  });
  add("a size far beyond the input", false, 0, u"", [&](auto& b) {
    putInt(b, 1);
    putInt(b, 0x7FFFFFFF);
    b.insert(b.end(), cipher.begin(), cipher.end());
  });
  add("plain text enciphered at once", true, 16, u"hello", [&](auto& b) {
    putInt(b, 0);
    putText(b, "hello");
  });
  add("any other kind is plain text", true, 8, u"\u00e9t\u00e9", [&](auto& b) {
    putInt(b, 7);
    putText(b, "\xc3\xa9t\xc3\xa9");
  });
  add("size missing", false, 0, u"", [&](auto& b) { putInt(b, 1); });
  add("text missing", false, 0, u"", [&](auto& b) { putInt(b, 0); });
  add("nothing at all", false, 0, u"", [&](auto&) {});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PayloadReader reader;
    reader.openMemory(c.bytes.data(), c.bytes.size());
    SecureValue value;
    ASSERT_EQ(value.read(reader), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(value.size(), c.size);
    EXPECT_EQ(value.getText(), c.text);
  }
}

}  // namespace
}  // namespace nxr
