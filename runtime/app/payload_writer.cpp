#include "app/payload_writer.h"

#include <zlib.h>

#include "app/payload_format.h"
#include "support/text.h"

namespace nxr {

namespace {

class RecordWriter {
 public:
  RecordWriter(PayloadWriter& writer, const PlainValues& plain) : w_(writer), plain_(plain) {}

  void version(const char*, const int32_t& v) {
    w_.writeInt(v);
    version_ = v;
  }
  void integer(int from, const char*, const int32_t& v) {
    if (take(from)) w_.writeInt(v);
  }
  void boolean(int from, const char*, const bool& v) {
    if (take(from)) w_.writeBool(v);
  }
  void text(int from, const char*, const std::u16string& v) {
    if (take(from)) w_.writeText(v);
  }
  void data(int from, const char*, const std::vector<uint8_t>& v, int) {
    if (take(from)) w_.writeSized(v);
  }
  void image(int from, const char*, const PackedImage& v, int) {
    if (!take(from)) return;
    w_.writeInt(static_cast<int32_t>(v.stored.size()));
    w_.writeInt(v.unpackedSize);
    w_.writeBytes(v.stored.data(), v.stored.size());
  }
  void forms(int from, const char*, const std::vector<FormRecord>& list) {
    if (!take(from)) return;
    w_.writeInt(static_cast<int32_t>(list.size()));
    for (const FormRecord& form : list) {
      RecordWriter fields(w_, plain_);
      visitFormRecord(fields, form);
    }
  }
  void blobList(int from, const char*, const std::vector<EmbeddedBlob>& list) {
    if (!take(from)) return;
    w_.writeInt(static_cast<int32_t>(list.size()));
    for (const EmbeddedBlob& blob : list) writeBlob(blob);
  }
  void valueMap(int from, const char* name, const std::map<std::u16string, SecureValue>& map) {
    if (!take(from)) return;
    const std::string field = name;
    const auto& plain =
        field == "secureVariables" ? plain_.secureVariables : plain_.globalVariables;
    w_.writeInt(static_cast<int32_t>(map.size()));
    for (const auto& [key, value] : map) {
      w_.writeText(key);
      const auto text = plain.find(key);
      if (text != plain.end()) {
        w_.writeInt(0);
        w_.writeText(text->second);
      } else {
        w_.writeInt(1);
        w_.writeSized(value.data());
      }
    }
  }
  void blobMap(int from, const char*, const std::map<std::u16string, EmbeddedBlob>& map) {
    if (!take(from)) return;
    w_.writeInt(static_cast<int32_t>(map.size()));
    for (const auto& [key, blob] : map) {
      w_.writeText(key);
      writeBlob(blob);
    }
  }
  void spareInt(int from) {
    if (take(from)) w_.writeInt(0);
  }
  void spareBool(int from) { spareInt(from); }
  void spareText(int from) { spareInt(from); }       // an empty text is its zero length
  void spareValueList(int from) { spareInt(from); }  // no items
  void spareData(int from) { spareInt(from); }       // no bytes

 private:
  bool take(int from) const { return from <= version_; }
  void writeBlob(const EmbeddedBlob& blob) {
    w_.writeInt(0);
    w_.writeSized(blob.stored);
  }

  PayloadWriter& w_;
  const PlainValues& plain_;
  int32_t version_ = 0;
};

}  // namespace

void PayloadWriter::writeInt(int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  const uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                        static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
  writeBytes(b, 4);
}

void PayloadWriter::writeText(const std::u16string& text) {
  std::string utf8 = utf16ToUtf8(text);
  writeInt(static_cast<int32_t>(utf8.size()));
  scrambleText(reinterpret_cast<uint8_t*>(utf8.data()), utf8.size());
  writeBytes(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size());
}

void PayloadWriter::writeBytes(const uint8_t* data, size_t size) {
  out_.insert(out_.end(), data, data + size);
}

void PayloadWriter::writeSized(const std::vector<uint8_t>& data) {
  writeInt(static_cast<int32_t>(data.size()));
  writeBytes(data.data(), data.size());
}

void writeProjectRecord(PayloadWriter& writer, const ProjectData& project,
                        const PlainValues& plain) {
  RecordWriter fields(writer, plain);
  visitProjectData(fields, project);
}

std::vector<uint8_t> makePayload(const ProjectData& project, const PlainValues& plain) {
  PayloadWriter writer;
  writer.writeBytes(payloadMarker().data(), payloadMarker().size());
  writeProjectRecord(writer, project, plain);
  return writer.take();
}

PackedImage packImage(const std::vector<uint8_t>& plain, int keyOffset) {
  PackedImage image;
  if (plain.empty()) return image;
  uLongf size = compressBound(static_cast<uLong>(plain.size()));
  std::vector<uint8_t> packed(size);
  if (compress2(packed.data(), &size, plain.data(), static_cast<uLong>(plain.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    return image;
  }
  packed.resize(size);
  image.stored = scrambledData(std::move(packed), keyOffset);
  image.unpackedSize = static_cast<int32_t>(plain.size());
  return image;
}

EmbeddedBlob makeBlob(const std::vector<uint8_t>& plain) {
  EmbeddedBlob blob;
  blob.stored = scrambledData(plain, kBlobKeyOffset);
  return blob;
}

}  // namespace nxr
