#include "support/files.h"

#include <new>

#include "support/win.h"

namespace nxr {

bool File::open(const std::u16string& path, const char16_t* mode) {
  close();
  file_ = _wfopen(asWcstr(path), reinterpret_cast<const wchar_t*>(mode));
  return file_ != nullptr;
}

size_t File::read(uint8_t* buffer, size_t count) {
  return file_ && count > 0 ? fread(buffer, 1, count, file_) : 0;
}

bool File::readByte(uint8_t& value) { return read(&value, 1) == 1; }

size_t File::write(const uint8_t* buffer, size_t count) {
  return file_ && count > 0 ? fwrite(buffer, 1, count, file_) : 0;
}

bool File::readInt(int32_t& value) {
  uint8_t bytes[4];
  if (read(bytes, 4) != 4) return false;
  value = static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                               uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24);
  return true;
}

bool File::readBool(bool& value) {
  int32_t stored = 0;
  if (!readInt(stored)) return false;
  value = stored == 1;
  return true;
}

void File::close() {
  if (file_ && owned_) fclose(file_);
  file_ = nullptr;
  owned_ = true;
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::u16string& path) {
  File file;
  if (!file.open(path, u"rb")) return std::nullopt;
  if (_fseeki64(file.get(), 0, SEEK_END) != 0) return std::nullopt;
  int64_t size = _ftelli64(file.get());
  if (size < 0 || static_cast<uint64_t>(size) > SIZE_MAX || _fseeki64(file.get(), 0, SEEK_SET)) {
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (file.read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
  return bytes;
}

bool writeWholeFile(const std::u16string& path, const uint8_t* bytes, size_t count) {
  FILE* raw = _wfopen(asWcstr(path), L"wb");
  if (!raw) return false;
  bool written = count == 0 || fwrite(bytes, 1, count, raw) == count;
  // Buffered bytes reach the file only at the close, which can fail too.
  bool closed = fclose(raw) == 0;
  return written && closed;
}

bool findFiles(const std::u16string& pattern, std::vector<std::u16string>& names) {
  WIN32_FIND_DATAW entry;
  ScopedFindHandle find(FindFirstFileW(asWcstr(pattern), &entry));
  if (!find) return false;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      names.push_back(fromWide(entry.cFileName));
    }
  } while (FindNextFileW(find.get(), &entry));
  return true;
}

}  // namespace nxr
