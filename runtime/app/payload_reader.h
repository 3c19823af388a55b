// Buffered reading of the project payload: the marker scan and the primitive fields of the record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace nxr {

// Opens a file named by a UTF-16 path (the native path encoding on Windows, UTF-8 elsewhere).
// mode is a C stdio mode such as "rb" or "wb". nullptr on failure.
std::FILE* openFile(const std::u16string& path, const char* mode);

class PayloadReader {
 public:
  PayloadReader();
  ~PayloadReader();
  PayloadReader(const PayloadReader&) = delete;
  PayloadReader& operator=(const PayloadReader&) = delete;

  // Opens path for reading in byte mode; closes whatever was open before.
  bool open(const std::u16string& path);
  // Reads size bytes at data instead of a file; the memory must outlive the reading.
  void openMemory(const uint8_t* data, size_t size);
  void close();
  bool isOpen() const { return file_ != nullptr || memory_; }

  // Reads byte by byte from the current position until the eight marker bytes have matched in a
  // row; the record begins right after them. False when the input ends first.
  bool findMarker();

  bool readByte(uint8_t& value);
  bool readInt(int32_t& value);
  // True only when the stored int is 1.
  bool readBool(bool& value);
  // A scrambled UTF-8 text: ends at its first zero byte; fails on a short read or bad UTF-8.
  bool readText(std::u16string& text);
  // Up to n bytes into dst; returns how many were read (fewer only at the end of the input).
  int32_t readBytes(uint8_t* dst, int32_t n);
  // Exactly n bytes into a fresh buffer (n <= 0: empty). Fails without allocating when fewer than
  // n bytes are left, so a forged size cannot make the reader allocate it.
  bool readBlock(int32_t n, std::vector<uint8_t>& out);
  // Skips exactly n bytes.
  bool skip(int32_t n);

  // Bytes left from the current position to the end of the input.
  int64_t remaining() const;

 private:
  bool refill();
  size_t buffered() const { return static_cast<size_t>(end_ - cur_); }

  std::FILE* file_ = nullptr;
  bool memory_ = false;
  std::vector<uint8_t> buffer_;
  const uint8_t* cur_ = nullptr;
  const uint8_t* end_ = nullptr;
  int64_t size_ = 0;       // total size of the input
  int64_t delivered_ = 0;  // input bytes placed into the buffer so far
};

}  // namespace nxr
