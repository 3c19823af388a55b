// Reading the parts of a SWF movie the player needs: the header (version, frame size and rate,
// frame count), the background colour, frame labels and how many frames the bytes hold.
// Portable: built in every tree and tested natively.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace nxr::player {

struct SwfMovie {
  bool compressed = false;  // "CWS": everything after the first 8 bytes is zlib data
  uint8_t version = 0;
  uint32_t fileLength = 0;  // length of the whole movie once expanded, from the header
  int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;  // frame size in twips
  uint16_t frameRate = 0;                          // 8.8 fixed point
  uint16_t frameCount = 0;
  uint32_t framesLoaded = 0;                    // ShowFrame tags found
  bool complete = false;                        // the End tag was reached
  std::optional<uint32_t> backgroundColor;      // 0x00RRGGBB of the first SetBackgroundColor
  std::map<std::string, uint32_t> frameLabels;  // FrameLabel name -> frame index (0-based)
};

enum class SwfStatus {
  ok,        // header read; tags read as far as the bytes go
  tooShort,  // not enough bytes for the header yet
  notSwf,    // no "FWS"/"CWS" signature, or an unsupported one
  corrupt,   // the compressed data cannot be expanded
};

// Reads what the bytes hold so far. Compressed movies are expanded up to the length the header
// gives and never beyond kMaxExpandedLength.
SwfStatus parseSwf(std::span<const uint8_t> bytes, SwfMovie& movie);

// Only the first 8 bytes: signature, version and file length.
SwfStatus parseSwfSignature(std::span<const uint8_t> bytes, SwfMovie& movie);

inline constexpr uint32_t kMaxExpandedLength = 64u << 20;

}  // namespace nxr::player
