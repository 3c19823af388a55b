#include "app/payload_reader.h"

#include <algorithm>

#include "app/payload_format.h"
#include "support/text.h"

namespace nxr {

namespace {

constexpr size_t kBufferSize = 64 * 1024;

int64_t fileSize(std::FILE* file) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  const int64_t size = _ftelli64(file);
  if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;
#else
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  const int64_t size = ftello(file);
  if (fseeko(file, 0, SEEK_SET) != 0) return -1;
#endif
  return size;
}

}  // namespace

std::FILE* openFile(const std::u16string& path, const char* mode) {
#ifdef _WIN32
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(reinterpret_cast<const wchar_t*>(path.c_str()), wideMode.c_str());
#else
  return std::fopen(utf16ToUtf8(path).c_str(), mode);
#endif
}

PayloadReader::PayloadReader() = default;

PayloadReader::~PayloadReader() { close(); }

bool PayloadReader::open(const std::u16string& path) {
  close();
  std::FILE* file = openFile(path, "rb");
  if (!file) return false;
  const int64_t size = fileSize(file);
  if (size < 0) {
    std::fclose(file);
    return false;
  }
  file_ = file;
  size_ = size;
  buffer_.resize(kBufferSize);
  return true;
}

void PayloadReader::openMemory(const uint8_t* data, size_t size) {
  close();
  memory_ = true;
  cur_ = data;
  end_ = data + size;
  size_ = static_cast<int64_t>(size);
  delivered_ = size_;
}

void PayloadReader::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  memory_ = false;
  cur_ = end_ = nullptr;
  size_ = delivered_ = 0;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

bool PayloadReader::refill() {
  if (!file_) return false;
  const size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  cur_ = buffer_.data();
  end_ = cur_ + got;
  delivered_ += static_cast<int64_t>(got);
  // A file that grew after opening is read to its new end.
  size_ = std::max(size_, delivered_);
  return got > 0;
}

int64_t PayloadReader::remaining() const {
  return std::max<int64_t>(0, size_ - (delivered_ - static_cast<int64_t>(buffered())));
}

bool PayloadReader::findMarker() {
  const std::array<uint8_t, 8> marker = payloadMarker();
  size_t matched = 0;
  for (;;) {
    if (cur_ == end_ && !refill()) return false;
    // Byte by byte through the buffered bytes.
    while (cur_ != end_) {
      const uint8_t byte = *cur_++;
      if (byte == marker[matched]) {
        if (++matched == marker.size()) return true;
      } else {
        // No proper prefix of the marker is also a suffix of a shorter partial match, so after
        // a mismatch the byte can only begin a new match.
        matched = byte == marker[0] ? 1 : 0;
      }
    }
  }
}

bool PayloadReader::readByte(uint8_t& value) {
  if (cur_ == end_ && !refill()) return false;
  value = *cur_++;
  return true;
}

int32_t PayloadReader::readBytes(uint8_t* dst, int32_t n) {
  int32_t done = 0;
  while (done < n) {
    if (cur_ == end_ && !refill()) break;
    const size_t step = std::min(buffered(), static_cast<size_t>(n - done));
    std::copy(cur_, cur_ + step, dst + done);
    cur_ += step;
    done += static_cast<int32_t>(step);
  }
  return done;
}

bool PayloadReader::readInt(int32_t& value) {
  uint8_t b[4];
  if (readBytes(b, 4) != 4) return false;
  value =
      static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
  return true;
}

bool PayloadReader::readBool(bool& value) {
  int32_t stored = 0;
  if (!readInt(stored)) return false;
  value = stored == 1;
  return true;
}

bool PayloadReader::readBlock(int32_t n, std::vector<uint8_t>& out) {
  out.clear();
  if (n <= 0) return true;
  if (static_cast<int64_t>(n) > remaining()) return false;
  std::vector<uint8_t> block(static_cast<size_t>(n));
  if (readBytes(block.data(), n) != n) return false;
  out = std::move(block);
  return true;
}

bool PayloadReader::skip(int32_t n) {
  if (n <= 0) return true;
  if (static_cast<int64_t>(n) > remaining()) return false;
  uint8_t scratch[256];
  while (n > 0) {
    const int32_t step = std::min<int32_t>(n, sizeof scratch);
    if (readBytes(scratch, step) != step) return false;
    n -= step;
  }
  return true;
}

bool PayloadReader::readText(std::u16string& text) {
  int32_t n = 0;
  if (!readInt(n)) return false;
  if (n <= 0) {
    text.clear();
    return true;
  }
  std::vector<uint8_t> bytes;
  if (!readBlock(n, bytes)) return false;
  scrambleText(bytes.data(), bytes.size());
  const auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  auto converted = utf8ToUtf16(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), zero - bytes.begin()));
  if (!converted) return false;
  text = std::move(*converted);
  return true;
}

}  // namespace nxr
