// Writes small SWF movies for tests: a header with the given frame size, rate and frame count,
// optional SetBackgroundColor and FrameLabel tags, one ShowFrame per frame and the End tag.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nxr::player::testing {

struct SwfRecipe {
  uint8_t version = 8;
  bool compressed = false;
  int32_t widthTwips = 200 * 20, heightTwips = 100 * 20;
  uint16_t frameRate = 24 << 8;  // 8.8 fixed point
  uint16_t frameCount = 3;
  int64_t backgroundColor = -1;                          // 0xRRGGBB, or -1 for none
  std::vector<std::pair<uint16_t, std::string>> labels;  // frame index, label
  uint32_t paddingBytes = 0;  // size of an unknown tag of noise before the frames
};

inline void putU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
inline void putU32(std::vector<uint8_t>& out, uint32_t v) {
  putU16(out, v & 0xFFFF);
  putU16(out, v >> 16);
}
inline void putTag(std::vector<uint8_t>& out, uint16_t code, const std::vector<uint8_t>& data) {
  if (data.size() < 0x3F) {
    putU16(out, (code << 6) | uint16_t(data.size()));
  } else {
    putU16(out, (code << 6) | 0x3F);
    putU32(out, uint32_t(data.size()));
  }
  out.insert(out.end(), data.begin(), data.end());
}

// A RECT record with 16-bit fields: (0, width, 0, height).
inline void putRect(std::vector<uint8_t>& out, int32_t width, int32_t height) {
  const uint32_t nbits = 16;
  uint64_t acc = 0;
  int used = 0;
  auto put = [&](uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc = (acc << 1) | ((value >> i) & 1);
      if (++used == 8) {
        out.push_back(uint8_t(acc));
        acc = 0;
        used = 0;
      }
    }
  };
  put(nbits, 5);
  put(0, 16);
  put(uint32_t(width), 16);
  put(0, 16);
  put(uint32_t(height), 16);
  if (used) out.push_back(uint8_t(acc << (8 - used)));
}

inline std::vector<uint8_t> buildSwf(const SwfRecipe& recipe) {
  std::vector<uint8_t> body;
  putRect(body, recipe.widthTwips, recipe.heightTwips);
  putU16(body, recipe.frameRate);
  putU16(body, recipe.frameCount);
  if (recipe.backgroundColor >= 0) {
    putTag(body, 9,
           {uint8_t(recipe.backgroundColor >> 16), uint8_t(recipe.backgroundColor >> 8),
            uint8_t(recipe.backgroundColor)});
  }
  if (recipe.paddingBytes) {
    std::vector<uint8_t> noise(recipe.paddingBytes);
    uint32_t x = 2463534242u;  // xorshift: incompressible, the same every time
    for (auto& byte : noise) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      byte = uint8_t(x);
    }
    putTag(body, 1000, noise);
  }
  for (uint16_t frame = 0; frame < recipe.frameCount; ++frame) {
    for (const auto& [at, label] : recipe.labels) {
      if (at != frame) continue;
      std::vector<uint8_t> text(label.begin(), label.end());
      text.push_back(0);
      putTag(body, 43, text);
    }
    putTag(body, 1, {});
  }
  putTag(body, 0, {});

  std::vector<uint8_t> out = {uint8_t(recipe.compressed ? 'C' : 'F'), 'W', 'S', recipe.version};
  putU32(out, uint32_t(8 + body.size()));
  if (!recipe.compressed) {
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }
  uLongf packedSize = compressBound(uLong(body.size()));
  std::vector<uint8_t> packed(packedSize);
  compress(packed.data(), &packedSize, body.data(), uLong(body.size()));
  out.insert(out.end(), packed.begin(), packed.begin() + packedSize);
  return out;
}

}  // namespace nxr::player::testing
