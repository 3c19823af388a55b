// Writing the project payload (marker and record) as the runtime reads it. Used by the build tool
// and by the tests; it walks the same field tables as the reader.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/project_data.h"

namespace nxr {

class PayloadWriter {
 public:
  void writeInt(int32_t value);
  void writeBool(bool value) { writeInt(value ? 1 : 0); }
  // Stored as scrambled UTF-8 without a terminating zero; an empty text is a length of 0.
  void writeText(const std::u16string& text);
  void writeBytes(const uint8_t* data, size_t size);
  // An int size followed by the bytes as they are (already scrambled where the format says so).
  void writeSized(const std::vector<uint8_t>& data);

  const std::vector<uint8_t>& bytes() const { return out_; }
  std::vector<uint8_t> take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

// Protected values the build tool stores as plain text (the runtime enciphers them as it reads
// them) instead of the cipher text held in the record, by variable name.
struct PlainValues {
  std::map<std::u16string, std::u16string> secureVariables;
  std::map<std::u16string, std::u16string> globalVariables;
};

// Appends the record's fields in file order, as far as its formatVersion (and each form's
// recordVersion) reaches.
void writeProjectRecord(PayloadWriter& writer, const ProjectData& project,
                        const PlainValues& plain = {});

// The marker followed by the record: what the build tool appends to the runtime image.
std::vector<uint8_t> makePayload(const ProjectData& project, const PlainValues& plain = {});

// Compresses plain with zlib and scrambles it with the field's key offset.
PackedImage packImage(const std::vector<uint8_t>& plain, int keyOffset);

// An embedded file or plug-in holding plain, scrambled as stored.
EmbeddedBlob makeBlob(const std::vector<uint8_t>& plain);

}  // namespace nxr
