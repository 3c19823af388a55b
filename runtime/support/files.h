// Files through the C runtime, whole-file reading and writing, and file search. Windows only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace nxr {

// An open C runtime file, or none. It closes the file only when it owns it.
class File {
 public:
  File() = default;
  // Takes a file that is already open; owned false means someone else closes it.
  File(FILE* file, bool owned) : file_(file), owned_(owned) {}
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { close(); }

  // Opens with the C runtime's wide-character open and a mode such as "rb", "wb" or "wb+";
  // a file held before is closed first.
  bool open(const std::u16string& path, const char16_t* mode);
  // Count of bytes read.
  size_t read(uint8_t* buffer, size_t count);
  bool readByte(uint8_t& value);
  // Count of bytes written.
  size_t write(const uint8_t* buffer, size_t count);
  // A 32-bit little-endian integer; true when all four bytes were read.
  bool readInt(int32_t& value);
  // A boolean stored as a 32-bit integer: true exactly when it is 1.
  bool readBool(bool& value);
  // Closes an owned file, forgets the file and owns again whatever comes next.
  void close();

  bool isOpen() const { return file_ != nullptr; }
  FILE* get() const { return file_; }

 private:
  FILE* file_ = nullptr;
  bool owned_ = true;
};

// Every byte of a file; nullopt unless every byte could be read.
std::optional<std::vector<uint8_t>> readWholeFile(const std::u16string& path);

// Writes the bytes as the whole file; true only when every byte reached the file.
bool writeWholeFile(const std::u16string& path, const uint8_t* bytes, size_t count);

// Appends the names (without folder) of the entries matching the pattern that are not folders,
// in the order the system lists them; false when nothing at all matches.
bool findFiles(const std::u16string& pattern, std::vector<std::u16string>& names);

}  // namespace nxr
