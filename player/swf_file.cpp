#include "swf_file.h"

#include <zlib.h>

#include <algorithm>

namespace nxr::player {
namespace {

constexpr uint16_t kTagEnd = 0;
constexpr uint16_t kTagShowFrame = 1;
constexpr uint16_t kTagSetBackgroundColor = 9;
constexpr uint16_t kTagFrameLabel = 43;

uint32_t readU32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

// Reads bit fields most significant bit first, as RECT records are stored.
class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool read(unsigned count, uint32_t& value) {
    value = 0;
    for (unsigned i = 0; i < count; ++i) {
      if (bit_ / 8 >= bytes_.size()) return false;
      value = (value << 1) | ((bytes_[bit_ / 8] >> (7 - bit_ % 8)) & 1);
      ++bit_;
    }
    return true;
  }
  bool readSigned(unsigned count, int32_t& value) {
    uint32_t raw;
    if (!read(count, raw)) return false;
    if (count > 0 && count < 32 && (raw & (1u << (count - 1)))) raw |= ~0u << count;
    value = int32_t(raw);
    return true;
  }
  size_t bytesUsed() const { return (bit_ + 7) / 8; }

 private:
  std::span<const uint8_t> bytes_;
  size_t bit_ = 0;
};

// Expands the zlib stream after a "CWS" header as far as the available bytes allow, growing the
// output as it fills instead of trusting the stated length up front.
bool expand(std::span<const uint8_t> packed, size_t limit, std::vector<uint8_t>& out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(packed.data());
  z.avail_in = uInt(packed.size());
  int rc = Z_OK;
  out.clear();
  while (rc == Z_OK && out.size() < limit) {
    const size_t done = out.size();
    out.resize(std::min(limit, std::max<size_t>(done * 2, 64 * 1024)));
    z.next_out = out.data() + done;
    z.avail_out = uInt(out.size() - done);
    rc = inflate(&z, Z_SYNC_FLUSH);
    out.resize(z.total_out);
  }
  inflateEnd(&z);
  // Z_BUF_ERROR: the input ended early (the movie is still loading); what was expanded stays.
  return rc == Z_OK || rc == Z_STREAM_END || rc == Z_BUF_ERROR;
}

void readTags(std::span<const uint8_t> body, SwfMovie& movie) {
  size_t pos = 0;
  while (body.size() - pos >= 2) {
    const uint16_t codeAndLength = readU16(&body[pos]);
    pos += 2;
    const uint16_t code = codeAndLength >> 6;
    uint32_t length = codeAndLength & 0x3F;
    if (length == 0x3F) {
      if (body.size() - pos < 4) return;
      length = readU32(&body[pos]);
      pos += 4;
    }
    if (length > body.size() - pos) return;  // the tag is not all there (yet)
    const uint8_t* data = &body[pos];
    pos += length;
    switch (code) {
      case kTagEnd:
        movie.complete = true;
        return;
      case kTagShowFrame:
        ++movie.framesLoaded;
        break;
      case kTagSetBackgroundColor:
        if (length >= 3 && !movie.backgroundColor) {
          movie.backgroundColor = (uint32_t(data[0]) << 16) | (data[1] << 8) | data[2];
        }
        break;
      case kTagFrameLabel: {
        const auto* end = std::find(data, data + length, 0);
        movie.frameLabels.emplace(std::string(data, end), movie.framesLoaded);
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace

SwfStatus parseSwfSignature(std::span<const uint8_t> bytes, SwfMovie& movie) {
  if (bytes.size() < 8) return SwfStatus::tooShort;
  if (bytes[1] != 'W' || bytes[2] != 'S' || (bytes[0] != 'F' && bytes[0] != 'C')) {
    return SwfStatus::notSwf;
  }
  movie.compressed = bytes[0] == 'C';
  movie.version = bytes[3];
  movie.fileLength = readU32(&bytes[4]);
  return SwfStatus::ok;
}

SwfStatus parseSwf(std::span<const uint8_t> bytes, SwfMovie& movie) {
  movie = SwfMovie{};
  if (const SwfStatus status = parseSwfSignature(bytes, movie); status != SwfStatus::ok) {
    return status;
  }
  std::vector<uint8_t> expanded;
  std::span<const uint8_t> body = bytes.subspan(8);
  if (movie.compressed) {
    const size_t limit =
        std::min<size_t>(movie.fileLength < 8 ? 0 : movie.fileLength - 8, kMaxExpandedLength);
    if (!expand(body, limit, expanded)) return SwfStatus::corrupt;
    body = expanded;
  } else if (movie.fileLength >= 8 && body.size() > movie.fileLength - 8) {
    body = body.first(movie.fileLength - 8);  // bytes after the stated end are not the movie's
  }

  BitReader bits(body);
  uint32_t nbits;
  if (!bits.read(5, nbits) || !bits.readSigned(nbits, movie.xMin) ||
      !bits.readSigned(nbits, movie.xMax) || !bits.readSigned(nbits, movie.yMin) ||
      !bits.readSigned(nbits, movie.yMax)) {
    return SwfStatus::tooShort;
  }
  const size_t rectBytes = bits.bytesUsed();
  if (body.size() < rectBytes + 4) return SwfStatus::tooShort;
  movie.frameRate = readU16(&body[rectBytes]);
  movie.frameCount = readU16(&body[rectBytes + 2]);
  readTags(body.subspan(rectBytes + 4), movie);
  return SwfStatus::ok;
}

}  // namespace nxr::player
