// SHA-256 (FIPS 180-4), for the fingerprints nxrpack prints of movies and files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace nxr::pack {

class Sha256 {
 public:
  Sha256();
  void update(const uint8_t* data, size_t size);
  std::array<uint8_t, 32> finish();

 private:
  void block(const uint8_t* p);
  std::array<uint32_t, 8> h_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;
};

// The digest of data as 64 lower-case hexadecimal digits.
std::string sha256Hex(const uint8_t* data, size_t size);

}  // namespace nxr::pack
