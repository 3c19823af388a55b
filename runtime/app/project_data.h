// The project record appended to the runtime by the build tool, as the runtime holds it in memory:
// texts in UTF-16, stored bytes still scrambled, protected values still enciphered.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/secure_value.h"

namespace nxr {

class PayloadReader;

// Scramble offsets of the stored byte fields.
constexpr int kMovieKeyOffset = 122;
constexpr int kBlobKeyOffset = 125;
constexpr int kSplashKeyOffset = -74;
constexpr int kTrayIconKeyOffset = -72;

// Newest versions the runtime knows; higher stored versions are read like these.
constexpr int32_t kNewestFormatVersion = 11;
constexpr int32_t kNewestFormRecordVersion = 10;

// An embedded file or extension plug-in library.
struct EmbeddedBlob {
  std::vector<uint8_t> stored;         // scrambled with kBlobKeyOffset
  std::vector<uint8_t> bytes() const;  // a fresh unscrambled copy
  bool read(PayloadReader& reader);
};

// An image stored zlib-compressed and scrambled with a field-dependent offset.
struct PackedImage {
  std::vector<uint8_t> stored;
  int32_t unpackedSize = 0;
  bool empty() const { return stored.empty(); }
  // Unscrambles a copy and inflates it; nullopt when it is absent or does not inflate.
  std::optional<std::vector<uint8_t>> unpack(int keyOffset) const;
  bool read(PayloadReader& reader);
};

struct FormRecord {
  int32_t recordVersion = kNewestFormRecordVersion;
  std::u16string name;
  bool centered = false;
  int32_t x = 0;
  int32_t y = 0;
  int32_t sizeUnit = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t windowKind = 0;
  int32_t frameStyle = 0;
  bool showMaxButton = false;
  bool showMinButton = false;
  bool showSystemMenu = false;
  int32_t startState = 0;
  bool scaleMovie = false;
  bool keepAspect = false;
  bool visibleAtStart = false;
  bool topmost = false;
  int32_t alpha = 0;
  int32_t fadeStep = 0;
  int32_t fadeIn = 0;
  int32_t fadeOut = 0;
  bool escapeCloses = false;
  bool altF4Closes = false;
  std::vector<uint8_t> movie;  // scrambled with kMovieKeyOffset
  PackedImage shapeImage;      // kMovieKeyOffset
  int32_t backgroundColour = 0;
  bool noCaption = true;
  int32_t leftButtonMode = 0;
  int32_t middleButtonMode = 0;
  int32_t rightButtonMode = 0;
  std::u16string caption = u"form";
  int32_t positionUnit = 0;
  std::vector<uint8_t> previewMovie;  // scrambled with kMovieKeyOffset
  bool fixedStage = false;
  int32_t stageFillColour = 0;
  int32_t stageWidth = 0;
  int32_t stageHeight = 0;

  std::vector<uint8_t> movieBytes() const;
  std::vector<uint8_t> previewMovieBytes() const;
  bool writeMovieToFile(const std::u16string& path) const;
  // The SWF version: the fourth byte of the unscrambled movie; 0 when the movie is shorter.
  int movieVersion() const;
  void setMovieVersion(uint8_t version);
  std::optional<std::vector<uint8_t>> unpackShapeImage() const;
  // Stores plain movie bytes scrambled (forms built at run time).
  void setMovie(const std::vector<uint8_t>& plain);

  bool read(PayloadReader& reader);
};

struct ProjectData {
  int32_t formatVersion = kNewestFormatVersion;
  int32_t runMode = 0;
  std::u16string title;
  bool trayIconAtStart = false;
  bool taskbarButtons = false;
  bool splash = false;
  int32_t splashWidth = 0;
  int32_t splashHeight = 0;
  int32_t splashTime = 0;
  std::vector<FormRecord> forms;
  std::vector<EmbeddedBlob> plugins;
  std::map<std::u16string, SecureValue> secureVariables;
  std::map<std::u16string, EmbeddedBlob> files;
  bool passwordEnabled = false;
  PackedImage splashImage;  // kSplashKeyOffset
  std::u16string password;
  PackedImage trayIconImage;  // kTrayIconKeyOffset
  std::map<std::u16string, SecureValue> globalVariables;

  const EmbeddedBlob* findEmbeddedFile(const std::u16string& name) const;
  const SecureValue* findSecureVariable(const std::u16string& name) const;
  const SecureValue* findGlobalVariable(const std::u16string& name) const;
  std::optional<std::vector<uint8_t>> unpackSplash() const;
  std::optional<std::vector<uint8_t>> unpackTrayIcon() const;

  // Reads the record that follows the marker into a fresh record; fields above formatVersion
  // keep their defaults. On failure the fields and items read before the failure stay.
  bool read(PayloadReader& reader);
};

// Opens path, scans for the marker and reads the record after it into a fresh record.
bool readProject(const std::u16string& path, ProjectData& project);
// The same over an open reader, scanning from its current position.
bool readProject(PayloadReader& reader, ProjectData& project);

}  // namespace nxr
