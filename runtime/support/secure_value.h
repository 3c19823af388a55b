// A protected project value (secure and global variables), kept enciphered in memory and
// deciphered only on use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nxr {

class PayloadReader;

class SecureValue {
 public:
  // Enciphers text (UTF-16LE, terminating zero, zero-padded to a multiple of 8, "cbc" with a
  // zero initialisation vector under the built-in key). An empty text leaves the value as it is.
  void setText(const std::u16string& text);
  // Deciphers a copy; empty when there is no cipher text or it is not a whole number of blocks.
  std::u16string getText() const;
  // Reads the stored form: kind 1 then cipher bytes kept as they are, otherwise a project text
  // that is enciphered at once.
  bool read(PayloadReader& reader);

  const std::vector<uint8_t>& data() const { return data_; }
  void setData(std::vector<uint8_t> cipher) { data_ = std::move(cipher); }
  int32_t size() const { return static_cast<int32_t>(data_.size()); }

 private:
  std::vector<uint8_t> data_;
};

}  // namespace nxr
