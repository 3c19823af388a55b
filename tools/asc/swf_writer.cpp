#include "swf_writer.h"

#include <zlib.h>

#include <cmath>

namespace nxr::asc {
namespace {

void appendU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void appendU32(std::vector<uint8_t>& out, uint32_t v) {
  appendU16(out, v & 0xFFFF);
  appendU16(out, v >> 16);
}

void appendTag(std::vector<uint8_t>& out, int code, const std::vector<uint8_t>& body) {
  // Short header for bodies under 63 bytes, long header otherwise.
  if (body.size() < 0x3F) {
    appendU16(out, static_cast<uint32_t>(code << 6) | static_cast<uint32_t>(body.size()));
  } else {
    appendU16(out, static_cast<uint32_t>(code << 6) | 0x3F);
    appendU32(out, static_cast<uint32_t>(body.size()));
  }
  out.insert(out.end(), body.begin(), body.end());
}

// The stage rectangle in twips: four signed fields of a common bit width.
void appendRect(std::vector<uint8_t>& out, int32_t xmax, int32_t ymax) {
  int32_t values[4] = {0, xmax, 0, ymax};
  int bits = 1;
  for (int32_t v : values) {
    int need = 1;
    while (need < 31 && (v >= (1 << (need - 1)) || v < -(1 << (need - 1)))) ++need;
    bits = std::max(bits, need);
  }
  uint64_t acc = 0;
  int accBits = 0;
  auto put = [&](uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc = (acc << 1) | ((value >> i) & 1);
      if (++accBits == 8) {
        out.push_back(static_cast<uint8_t>(acc));
        acc = 0;
        accBits = 0;
      }
    }
  };
  put(static_cast<uint32_t>(bits), 5);
  for (int32_t v : values) put(static_cast<uint32_t>(v), bits);
  if (accBits > 0) out.push_back(static_cast<uint8_t>(acc << (8 - accBits)));
}

}  // namespace

bool writeSwf(const MovieSettings& s, const std::vector<FrameContent>& frames,
              std::vector<uint8_t>& out, std::string& error) {
  if (s.version < 6 || s.version > 10) {
    error = "SWF version must be 6 to 10";
    return false;
  }
  if (s.width < 1 || s.width > 8191 || s.height < 1 || s.height > 8191) {
    error = "stage size must be 1 to 8191 pixels";
    return false;
  }
  if (!(s.frameRate > 0 && s.frameRate < 256)) {
    error = "frame rate must be above 0 and below 256";
    return false;
  }
  if (frames.empty() || frames.size() > 0xFFFF) {
    error = "a movie has 1 to 65535 frames";
    return false;
  }
  std::vector<uint8_t> body;  // everything after the 8-byte file header
  appendRect(body, s.width * 20, s.height * 20);
  appendU16(body, static_cast<uint32_t>(std::lround(s.frameRate * 256)));  // 8.8 fixed point
  appendU16(body, static_cast<uint32_t>(frames.size()));
  if (s.version >= 8) {
    std::vector<uint8_t> attrs;
    appendU32(attrs, s.useNetwork ? 0x01 : 0x00);
    appendTag(body, tag::FileAttributes, attrs);
  }
  appendTag(body, tag::SetBackgroundColor,
            {static_cast<uint8_t>(s.background >> 16), static_cast<uint8_t>(s.background >> 8),
             static_cast<uint8_t>(s.background)});
  for (const auto& f : frames) {
    if (!f.label.empty()) {
      std::vector<uint8_t> label(f.label.begin(), f.label.end());
      label.push_back(0);
      appendTag(body, tag::FrameLabel, label);
    }
    if (!f.actions.empty()) appendTag(body, tag::DoAction, f.actions);
    appendTag(body, tag::ShowFrame, {});
  }
  appendTag(body, tag::End, {});

  uint64_t total = body.size() + 8;
  if (total > 0xFFFFFFFFu) {
    error = "movie too large";
    return false;
  }
  out.clear();
  out.push_back(s.compress ? 'C' : 'F');
  out.push_back('W');
  out.push_back('S');
  out.push_back(static_cast<uint8_t>(s.version));
  appendU32(out, static_cast<uint32_t>(total));  // the uncompressed length, for CWS too
  if (!s.compress) {
    out.insert(out.end(), body.begin(), body.end());
    return true;
  }
  uLongf packedSize = compressBound(static_cast<uLong>(body.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, body.data(), static_cast<uLong>(body.size()), 9) !=
      Z_OK) {
    error = "compression failed";
    return false;
  }
  out.insert(out.end(), packed.begin(), packed.begin() + static_cast<long>(packedSize));
  return true;
}

}  // namespace nxr::asc
