#include "app/project_data.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include "app/payload_format.h"
#include "app/payload_reader.h"

namespace nxr {

namespace {

// zlib cannot expand data by more than about 1032 to 1; an unpacked size beyond that bound is
// forged, and allocating it would let a small payload claim a huge buffer.
constexpr int64_t kMaxInflateRatio = 1032;
constexpr int64_t kInflateSlack = 1024;

// Reads the fields of a record in the order of its table, skipping those newer than the record's
// version. The first failed field stops the reading; later fields are not touched.
class RecordReader {
 public:
  explicit RecordReader(PayloadReader& reader) : r_(reader) {}
  bool ok() const { return ok_; }

  void version(const char*, int32_t& v) {
    if (ok_) ok_ = r_.readInt(v);
    version_ = v;
  }
  void integer(int from, const char*, int32_t& v) {
    if (take(from)) ok_ = r_.readInt(v);
  }
  void boolean(int from, const char*, bool& v) {
    if (take(from)) ok_ = r_.readBool(v);
  }
  void text(int from, const char*, std::u16string& v) {
    if (take(from)) ok_ = r_.readText(v);
  }
  void data(int from, const char*, std::vector<uint8_t>& v, int) {
    int32_t size = 0;
    if (take(from)) ok_ = r_.readInt(size) && r_.readBlock(size, v);
  }
  void image(int from, const char*, PackedImage& v, int) {
    if (take(from)) ok_ = v.read(r_);
  }
  void forms(int from, const char*, std::vector<FormRecord>& list) { readList(from, list, 4); }
  void blobList(int from, const char*, std::vector<EmbeddedBlob>& list) { readList(from, list, 8); }
  void valueMap(int from, const char*, std::map<std::u16string, SecureValue>& map) {
    readMap(from, map);
  }
  void blobMap(int from, const char*, std::map<std::u16string, EmbeddedBlob>& map) {
    readMap(from, map);
  }
  void spareInt(int from) {
    int32_t ignored = 0;
    if (take(from)) ok_ = r_.readInt(ignored);
  }
  void spareBool(int from) { spareInt(from); }
  void spareText(int from) {
    std::u16string ignored;
    if (take(from)) ok_ = r_.readText(ignored);
  }
  void spareValueList(int from) {
    int32_t count = 0;
    if (!take(from) || !readCount(count, 4)) return;
    for (int32_t i = 0; i < count && ok_; ++i) {
      SecureValue ignored;
      ok_ = ignored.read(r_);
    }
  }
  void spareData(int from) {
    int32_t size = 0;
    if (take(from)) ok_ = r_.readInt(size) && r_.skip(size);
  }

 private:
  bool take(int from) const { return ok_ && from <= version_; }

  // A count of 0 or less means none. A count that could not fit in what is left of the input,
  // given the smallest stored size of one item, fails at once.
  bool readCount(int32_t& count, int minItemSize) {
    ok_ = r_.readInt(count);
    if (ok_ && count > 0 && static_cast<int64_t>(count) * minItemSize > r_.remaining()) ok_ = false;
    return ok_;
  }

  template <class Item>
  void readList(int from, std::vector<Item>& list, int minItemSize) {
    int32_t count = 0;
    if (!take(from) || !readCount(count, minItemSize)) return;
    for (int32_t i = 0; i < count && ok_; ++i) {
      Item item;
      ok_ = item.read(r_);
      if (ok_) list.push_back(std::move(item));
    }
  }

  template <class Item>
  void readMap(int from, std::map<std::u16string, Item>& map) {
    int32_t count = 0;
    if (!take(from) || !readCount(count, 8)) return;
    for (int32_t i = 0; i < count && ok_; ++i) {
      std::u16string name;
      Item item;
      ok_ = r_.readText(name) && item.read(r_);
      // A later item of the same name replaces the earlier one.
      if (ok_) map.insert_or_assign(std::move(name), std::move(item));
    }
  }

  PayloadReader& r_;
  bool ok_ = true;
  int32_t version_ = 0;
};

std::vector<uint8_t> unscrambledCopy(const std::vector<uint8_t>& stored, int keyOffset) {
  return scrambledData(stored, keyOffset);
}

}  // namespace

// EmbeddedBlob

std::vector<uint8_t> EmbeddedBlob::bytes() const { return unscrambledCopy(stored, kBlobKeyOffset); }

bool EmbeddedBlob::read(PayloadReader& reader) {
  int32_t reserved = 0;
  int32_t size = 0;
  return reader.readInt(reserved) && reader.readInt(size) && reader.readBlock(size, stored);
}

// PackedImage

std::optional<std::vector<uint8_t>> PackedImage::unpack(int keyOffset) const {
  if (stored.empty() || unpackedSize < 0) return std::nullopt;
  if (unpackedSize > static_cast<int64_t>(stored.size()) * kMaxInflateRatio + kInflateSlack) {
    return std::nullopt;
  }
  const std::vector<uint8_t> packed = unscrambledCopy(stored, keyOffset);
  std::vector<uint8_t> out(std::max<size_t>(1, static_cast<size_t>(unpackedSize)));
  uLongf outSize = static_cast<uLongf>(unpackedSize);
  if (uncompress(out.data(), &outSize, packed.data(), static_cast<uLong>(packed.size())) != Z_OK) {
    return std::nullopt;
  }
  out.resize(outSize);
  return out;
}

bool PackedImage::read(PayloadReader& reader) {
  int32_t storedSize = 0;
  return reader.readInt(storedSize) && reader.readInt(unpackedSize) &&
         reader.readBlock(storedSize, stored);
}

// FormRecord

std::vector<uint8_t> FormRecord::movieBytes() const {
  return unscrambledCopy(movie, kMovieKeyOffset);
}

std::vector<uint8_t> FormRecord::previewMovieBytes() const {
  return unscrambledCopy(previewMovie, kMovieKeyOffset);
}

bool FormRecord::writeMovieToFile(const std::u16string& path) const {
  std::FILE* file = openFile(path, "wb");
  if (!file) return false;
  const std::vector<uint8_t> plain = movieBytes();
  const bool written = std::fwrite(plain.data(), 1, plain.size(), file) == plain.size();
  return std::fclose(file) == 0 && written;
}

namespace {

// The scramble byte of the movie's fourth byte, where the SWF version is stored.
uint8_t versionKey(size_t movieSize) {
  return static_cast<uint8_t>(33 * 3 + movieSize + kMovieKeyOffset);
}

}  // namespace

int FormRecord::movieVersion() const {
  if (movie.size() < 4) return 0;
  return movie[3] ^ versionKey(movie.size());
}

void FormRecord::setMovieVersion(uint8_t version) {
  if (movie.size() < 4) return;
  movie[3] = version ^ versionKey(movie.size());
}

std::optional<std::vector<uint8_t>> FormRecord::unpackShapeImage() const {
  return shapeImage.unpack(kMovieKeyOffset);
}

void FormRecord::setMovie(const std::vector<uint8_t>& plain) {
  movie = scrambledData(plain, kMovieKeyOffset);
}

bool FormRecord::read(PayloadReader& reader) {
  *this = FormRecord{};
  RecordReader fields(reader);
  visitFormRecord(fields, *this);
  return fields.ok();
}

// ProjectData

const EmbeddedBlob* ProjectData::findEmbeddedFile(const std::u16string& name) const {
  const auto it = files.find(name);
  return it == files.end() ? nullptr : &it->second;
}

const SecureValue* ProjectData::findSecureVariable(const std::u16string& name) const {
  const auto it = secureVariables.find(name);
  return it == secureVariables.end() ? nullptr : &it->second;
}

const SecureValue* ProjectData::findGlobalVariable(const std::u16string& name) const {
  const auto it = globalVariables.find(name);
  return it == globalVariables.end() ? nullptr : &it->second;
}

std::optional<std::vector<uint8_t>> ProjectData::unpackSplash() const {
  return splashImage.unpack(kSplashKeyOffset);
}

std::optional<std::vector<uint8_t>> ProjectData::unpackTrayIcon() const {
  return trayIconImage.unpack(kTrayIconKeyOffset);
}

bool ProjectData::read(PayloadReader& reader) {
  *this = ProjectData{};
  RecordReader fields(reader);
  visitProjectData(fields, *this);
  return fields.ok();
}

bool readProject(PayloadReader& reader, ProjectData& project) {
  project = ProjectData{};  // a record without a marker is fresh as well
  return reader.findMarker() && project.read(reader);
}

bool readProject(const std::u16string& path, ProjectData& project) {
  PayloadReader reader;
  if (!reader.open(path)) return false;
  return readProject(reader, project);
}

}  // namespace nxr
