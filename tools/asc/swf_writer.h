// Assembles a SWF file from frames of action code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nxr::asc {

struct MovieSettings {
  int version = 8;        // 6 to 10
  bool compress = false;  // CWS (zlib) instead of FWS
  int width = 550;        // stage size in pixels
  int height = 400;
  double frameRate = 24;           // frames per second
  uint32_t background = 0xFFFFFF;  // RGB
  bool useNetwork = false;         // FileAttributes: network access instead of local files
};

struct FrameContent {
  std::string label;             // FrameLabel, when not empty
  std::vector<uint8_t> actions;  // DoAction body, when not empty
};

// Returns false with a message when the movie cannot be written (e.g. compression failed).
bool writeSwf(const MovieSettings& settings, const std::vector<FrameContent>& frames,
              std::vector<uint8_t>& out, std::string& error);

namespace tag {
constexpr int End = 0;
constexpr int ShowFrame = 1;
constexpr int SetBackgroundColor = 9;
constexpr int DoAction = 12;
constexpr int DefineSprite = 39;
constexpr int FrameLabel = 43;
constexpr int DoInitAction = 59;
constexpr int FileAttributes = 69;
}  // namespace tag

}  // namespace nxr::asc
