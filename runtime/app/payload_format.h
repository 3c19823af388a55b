// The byte format of the project payload, described once for every party that handles it: the
// runtime's reader, the build tool's writer, its TOML loader and its JSON dump all walk the same
// field tables below, so the field order, the version each field appears in and the field names
// cannot drift apart.
//
// Encodings (little-endian): int = 4 bytes signed; bool = an int that is true only when it is 1;
// text = int length n, then n scrambled UTF-8 bytes (n <= 0: empty, nothing follows);
// data = int size n, then n bytes scrambled with a key offset.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/project_data.h"

namespace nxr {

// The eight bytes in front of the project record. The runtime image itself must not contain them
// (its own scan would stop there), so the program keeps them masked and unmasks them on use.
std::array<uint8_t, 8> payloadMarker();

// Text scrambling (its own inverse). Whole 512-byte blocks have one byte changed each, at
// position 513 * b; the bytes of the last partial block are all changed.
void scrambleText(uint8_t* bytes, size_t n);

// Data scrambling (its own inverse): byte i is XORed with (33 i + n + keyOffset) mod 256.
void scrambleData(uint8_t* bytes, size_t n, int keyOffset);
inline std::vector<uint8_t> scrambledData(std::vector<uint8_t> bytes, int keyOffset) {
  scrambleData(bytes.data(), bytes.size(), keyOffset);
  return bytes;
}

// Field kinds a visitor handles. Every call carries the lowest record version that contains the
// field ("from") and the field's name (the key of the build tool's project description and of
// its dump). A visitor implements:
//   version(name, int32_t&)                    the record's own version number, first field
//   integer(from, name, int32_t&)
//   boolean(from, name, bool&)
//   text(from, name, std::u16string&)
//   data(from, name, std::vector<uint8_t>&, keyOffset)    size, then scrambled bytes
//   image(from, name, PackedImage&, keyOffset)
//   forms(from, name, std::vector<FormRecord>&)           count, then form records
//   blobList(from, name, std::vector<EmbeddedBlob>&)      count, then blobs
//   valueMap(from, name, std::map<std::u16string, SecureValue>&)      count, (text, value) pairs
//   blobMap(from, name, std::map<std::u16string, EmbeddedBlob>&)      count, (text, blob) pairs
//   spareInt(from), spareBool(from), spareText(from)      present in the layout, meaning unused
//   spareValueList(from)                                  count, then that many secure values
//   spareData(from)                                       size, then that many bytes
// The record type is a template parameter so that writers can visit a const record.

template <class Visitor, class Form>
void visitFormRecord(Visitor& v, Form& f) {
  v.version("recordVersion", f.recordVersion);
  v.text(1, "name", f.name);
  v.boolean(1, "centered", f.centered);
  v.integer(1, "x", f.x);
  v.integer(1, "y", f.y);
  v.integer(1, "sizeUnit", f.sizeUnit);
  v.integer(1, "width", f.width);
  v.integer(1, "height", f.height);
  v.integer(1, "windowKind", f.windowKind);
  v.integer(1, "frameStyle", f.frameStyle);
  v.boolean(1, "showMaxButton", f.showMaxButton);
  v.boolean(1, "showMinButton", f.showMinButton);
  v.boolean(1, "showSystemMenu", f.showSystemMenu);
  v.integer(1, "startState", f.startState);
  v.boolean(1, "scaleMovie", f.scaleMovie);
  v.boolean(1, "keepAspect", f.keepAspect);
  v.boolean(1, "visibleAtStart", f.visibleAtStart);
  v.boolean(1, "topmost", f.topmost);
  v.spareInt(1);
  v.spareInt(1);
  v.integer(1, "alpha", f.alpha);
  v.integer(1, "fadeStep", f.fadeStep);
  v.integer(1, "fadeIn", f.fadeIn);
  v.integer(1, "fadeOut", f.fadeOut);
  v.spareText(1);
  v.boolean(1, "escapeCloses", f.escapeCloses);
  v.boolean(1, "altF4Closes", f.altF4Closes);
  v.data(1, "movie", f.movie, kMovieKeyOffset);
  v.image(2, "shapeImage", f.shapeImage, kMovieKeyOffset);
  v.integer(3, "backgroundColour", f.backgroundColour);
  v.boolean(4, "noCaption", f.noCaption);
  v.integer(5, "leftButtonMode", f.leftButtonMode);
  v.integer(5, "middleButtonMode", f.middleButtonMode);
  v.integer(5, "rightButtonMode", f.rightButtonMode);
  v.text(6, "caption", f.caption);
  v.integer(7, "positionUnit", f.positionUnit);
  v.data(8, "previewMovie", f.previewMovie, kMovieKeyOffset);
  v.spareData(8);
  v.boolean(9, "fixedStage", f.fixedStage);
  v.integer(9, "stageFillColour", f.stageFillColour);
  v.integer(10, "stageWidth", f.stageWidth);
  v.integer(10, "stageHeight", f.stageHeight);
}

template <class Visitor, class Project>
void visitProjectData(Visitor& v, Project& p) {
  v.version("formatVersion", p.formatVersion);
  v.integer(1, "runMode", p.runMode);
  v.text(1, "title", p.title);
  v.spareText(1);
  v.boolean(1, "trayIconAtStart", p.trayIconAtStart);
  v.boolean(1, "taskbarButtons", p.taskbarButtons);
  v.boolean(1, "splash", p.splash);
  v.spareText(1);
  v.integer(1, "splashWidth", p.splashWidth);
  v.integer(1, "splashHeight", p.splashHeight);
  v.integer(1, "splashTime", p.splashTime);
  v.forms(1, "forms", p.forms);
  v.blobList(2, "plugins", p.plugins);
  v.valueMap(3, "secureVariables", p.secureVariables);
  v.blobMap(4, "files", p.files);
  v.spareValueList(5);
  for (int i = 0; i < 4; ++i) v.spareInt(5);
  v.spareBool(5);
  v.spareText(5);
  v.boolean(5, "passwordEnabled", p.passwordEnabled);
  v.spareInt(5);
  v.image(6, "splashImage", p.splashImage, kSplashKeyOffset);
  v.text(7, "password", p.password);
  v.image(8, "trayIconImage", p.trayIconImage, kTrayIconKeyOffset);
  v.valueMap(9, "globalVariables", p.globalVariables);
  for (int i = 0; i < 7; ++i) v.spareText(10);
  v.spareBool(11);
}

}  // namespace nxr
