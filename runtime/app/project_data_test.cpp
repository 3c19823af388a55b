#include "app/project_data.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <any>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <sstream>

#include "app/payload_format.h"
#include "app/payload_reader.h"
#include "app/payload_writer.h"
#include "support/text.h"

// The largest single allocation the program has asked for since the last reset, so that tests can
// tell a size check from an allocation that merely happened to succeed.
static std::atomic<size_t> largestAllocation{0};

void* operator new(size_t size) {
  size_t seen = largestAllocation.load();
  while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// The replaced operator new takes its memory from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace nxr {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes asBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// Reads a payload (marker included) from memory.
bool readFromBytes(const Bytes& bytes, ProjectData& project) {
  PayloadReader reader;
  reader.openMemory(bytes.data(), bytes.size());
  return readProject(reader, project);
}

// A text as the format stores it, built by hand from the scrambling rule rather than through
// the shared scrambling function: length, then the bytes.
void putRawText(PayloadWriter& w, const Bytes& plain) {
  const size_t n = plain.size();
  Bytes s = plain;
  for (size_t b = 0; b < n / 512; ++b) {
    if (513 * b < n) s[513 * b] ^= static_cast<uint8_t>((33 * b + 256 - 110) % 256);
  }
  const size_t r = n % 512;
  for (size_t j = 0; j < r; ++j)
    s[512 * (n / 512) + j] ^= static_cast<uint8_t>((r + 33 * j + 256 - 110) % 256);
  w.writeInt(static_cast<int32_t>(n));
  w.writeBytes(s.data(), s.size());
}

// Records the field names and values of a record as text, one line per field, so that two
// records compare with the differing field named in the failure output.
class Describe {
 public:
  std::ostringstream out;
  void version(const char* n, const int32_t& v) { out << n << "=" << v << "\n"; }
  void integer(int, const char* n, const int32_t& v) { out << n << "=" << v << "\n"; }
  void boolean(int, const char* n, const bool& v) { out << n << "=" << v << "\n"; }
  void text(int, const char* n, const std::u16string& v) {
    out << n << "=" << utf16ToUtf8(v) << "\n";
  }
  void data(int, const char* n, const Bytes& v, int) { out << n << "=" << hex(v) << "\n"; }
  void image(int, const char* n, const PackedImage& v, int) {
    out << n << "=" << v.unpackedSize << ":" << hex(v.stored) << "\n";
  }
  void forms(int, const char* n, const std::vector<FormRecord>& v) {
    for (size_t i = 0; i < v.size(); ++i) {
      out << n << "[" << i << "]{\n";
      visitFormRecord(*this, v[i]);
      out << "}\n";
    }
  }
  void blobList(int, const char* n, const std::vector<EmbeddedBlob>& v) {
    for (const auto& b : v) out << n << "[]=" << hex(b.stored) << "\n";
  }
  void valueMap(int, const char* n, const std::map<std::u16string, SecureValue>& v) {
    for (const auto& [k, s] : v) out << n << "[" << utf16ToUtf8(k) << "]=" << hex(s.data()) << "\n";
  }
  void blobMap(int, const char* n, const std::map<std::u16string, EmbeddedBlob>& v) {
    for (const auto& [k, b] : v) out << n << "[" << utf16ToUtf8(k) << "]=" << hex(b.stored) << "\n";
  }
  void spareInt(int) {}
  void spareBool(int) {}
  void spareText(int) {}
  void spareValueList(int) {}
  void spareData(int) {}

 private:
  static std::string hex(const Bytes& b) {
    std::string s;
    for (uint8_t c : b) s += utf16ToUtf8(toHex(c)) + ".";
    return s;
  }
};

std::string describe(const ProjectData& p) {
  Describe d;
  visitProjectData(d, p);
  return d.out.str();
}

// Every field of a form record set to a value other than its default.
FormRecord fullForm(int32_t recordVersion, int seed) {
  FormRecord f;
  f.recordVersion = recordVersion;
  f.name = u"form" + toDecimal(seed);
  f.centered = true;
  f.x = 10 + seed;
  f.y = -20;
  f.sizeUnit = 1;
  f.width = 640;
  f.height = 480;
  f.windowKind = 2;
  f.frameStyle = 5;
  f.showMaxButton = true;
  f.showMinButton = false;
  f.showSystemMenu = true;
  f.startState = 2;
  f.scaleMovie = true;
  f.keepAspect = true;
  f.visibleAtStart = true;
  f.topmost = true;
  f.alpha = 200;
  f.fadeStep = 15;
  f.fadeIn = 1;
  f.fadeOut = 1;
  f.escapeCloses = true;
  f.altF4Closes = true;
  f.setMovie(asBytes("FWS\x08 movie bytes"));
  f.shapeImage = packImage(asBytes("BM shape bitmap"), kMovieKeyOffset);
  f.backgroundColour = 0x123456;
  f.noCaption = false;
  f.leftButtonMode = 1;
  f.middleButtonMode = 2;
  f.rightButtonMode = 3;
  f.caption = u"Caption \u00e9\u4e2d";
  f.positionUnit = 1;
  f.previewMovie = scrambledData(asBytes("FWS\x07 preview"), kMovieKeyOffset);
  f.fixedStage = true;
  f.stageFillColour = 0x00ccbbaa;
  f.stageWidth = 550;
  f.stageHeight = 400;
  return f;
}

SecureValue cipherValue(Bytes cipher) {
  SecureValue v;
  v.setData(std::move(cipher));
  return v;
}

// Every field of a project record set to a value other than its default.
ProjectData fullProject(int32_t formatVersion, int32_t recordVersion) {
  ProjectData p;
  p.formatVersion = formatVersion;
  p.runMode = 2;
  p.title = u"T\u00eftle";
  p.trayIconAtStart = true;
  p.taskbarButtons = true;
  p.splash = true;
  p.splashWidth = 300;
  p.splashHeight = 200;
  p.splashTime = 1500;
  p.forms = {fullForm(recordVersion, 1), fullForm(recordVersion, 2)};
  p.plugins = {makeBlob(asBytes("MZ plugin one")), makeBlob(asBytes("MZ plugin two"))};
  p.secureVariables[u"key"] = cipherValue({1, 2, 3, 4, 5, 6, 7, 8});
  p.secureVariables[u"empty"] = SecureValue{};
  p.files[u"data/readme.txt"] = makeBlob(asBytes("hello"));
  p.files[u"b.bin"] = makeBlob(Bytes(1000, 0x5a));
  p.passwordEnabled = true;
  p.splashImage = packImage(asBytes("BM splash"), kSplashKeyOffset);
  p.password = u"secret";
  p.trayIconImage = packImage(asBytes("icon image"), kTrayIconKeyOffset);
  p.globalVariables[u"g1"] = cipherValue(Bytes(16, 0xee));
  return p;
}

// Walks a record and applies op(from, field) to each named field, whatever its type.
template <class Op>
class EachField {
 public:
  explicit EachField(Op op) : op_(op) {}
  void version(const char*, int32_t&) {}
  template <class T>
  void integer(int from, const char*, T& v) {
    op_(from, v);
  }
  template <class T>
  void boolean(int from, const char*, T& v) {
    op_(from, v);
  }
  template <class T>
  void text(int from, const char*, T& v) {
    op_(from, v);
  }
  template <class T>
  void data(int from, const char*, T& v, int) {
    op_(from, v);
  }
  template <class T>
  void image(int from, const char*, T& v, int) {
    op_(from, v);
  }
  template <class T>
  void forms(int from, const char*, T& v) {
    op_(from, v);
  }
  template <class T>
  void blobList(int from, const char*, T& v) {
    op_(from, v);
  }
  template <class T>
  void valueMap(int from, const char*, T& v) {
    op_(from, v);
  }
  template <class T>
  void blobMap(int from, const char*, T& v) {
    op_(from, v);
  }
  void spareInt(int) {}
  void spareBool(int) {}
  void spareText(int) {}
  void spareValueList(int) {}
  void spareData(int) {}

 private:
  Op op_;
};

// Sets every field newer than version back to the value it has in a default record: what a
// reader of a record of that version must produce.
template <class Record, class VisitFn>
void maskNewer(Record& record, int32_t version, VisitFn visit) {
  Record defaults;
  std::vector<std::any> values;
  auto collect = [&](int, auto& field) { values.emplace_back(field); };
  EachField<decltype(collect)> collector(collect);
  visit(collector, defaults);
  size_t i = 0;
  auto reset = [&](int from, auto& field) {
    using T = std::remove_reference_t<decltype(field)>;
    if (from > version) field = std::any_cast<T>(values[i]);
    ++i;
  };
  EachField<decltype(reset)> resetter(reset);
  visit(resetter, record);
}

ProjectData expectedAfterRead(ProjectData p) {
  for (FormRecord& f : p.forms) {
    maskNewer(f, f.recordVersion, [](auto& v, auto& r) { visitFormRecord(v, r); });
  }
  maskNewer(p, p.formatVersion, [](auto& v, auto& r) { visitProjectData(v, r); });
  return p;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Writer to reader, for every format version and every form record version.

class RoundTrip : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(RoundTrip, ReadsWhatWasWrittenAndDefaultsTheNewerFields) {
  const auto [formatVersion, recordVersion] = GetParam();
  const ProjectData written = fullProject(formatVersion, recordVersion);
  ProjectData read;
  ASSERT_TRUE(readFromBytes(makePayload(written), read));
  EXPECT_EQ(describe(read), describe(expectedAfterRead(written)));
}

std::vector<std::pair<int, int>> allVersions() {
  std::vector<std::pair<int, int>> v;
  for (int f = 1; f <= kNewestFormatVersion; ++f) {
    for (int r = 1; r <= kNewestFormRecordVersion; ++r) v.emplace_back(f, r);
  }
  v.emplace_back(12, 11);  // newer versions are read like the newest ones
  return v;
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, RoundTrip, ::testing::ValuesIn(allVersions()),
                         [](const auto& info) {
                           return "format" + std::to_string(info.param.first) + "_record" +
                                  std::to_string(info.param.second);
                         });

TEST(RoundTripDefaults, OldRecordsKeepTheDocumentedDefaults) {
  ProjectData read;
  ASSERT_TRUE(readFromBytes(makePayload(fullProject(4, 3)), read));
  ASSERT_EQ(read.forms.size(), 2u);
  EXPECT_TRUE(read.forms[0].noCaption);
  EXPECT_EQ(read.forms[0].caption, u"form");
  EXPECT_EQ(read.forms[0].backgroundColour, 0x123456);  // version 3 has the colour
  EXPECT_FALSE(read.passwordEnabled);                   // version 4 has no password flag
  EXPECT_TRUE(read.password.empty());
  EXPECT_EQ(read.files.size(), 2u);
}

// ---------------------------------------------------------------------------------------------
// Records built byte by byte from the field tables, independent of the shared description.

// The fields 2 to 13 of a project record with no forms.
void putProjectHead(PayloadWriter& w, int32_t version) {
  w.writeInt(version);
  w.writeInt(0);                 // runMode
  putRawText(w, asBytes("Ti"));  // title
  putRawText(w, {});             // spare
  w.writeInt(1);                 // tray icon at start
  w.writeInt(2);                 // taskbar buttons: 2 is not true
  w.writeInt(1);                 // splash
  putRawText(w, {});             // spare
  w.writeInt(320);               // splash width, height, time
  w.writeInt(240);
  w.writeInt(900);
}

// A form record of version 3: fields 1 to 31.
void putFormV3(PayloadWriter& w, const Bytes& movie) {
  w.writeInt(3);
  putRawText(w, asBytes("main"));
  w.writeInt(1);  // centered
  w.writeInt(5);  // x
  w.writeInt(6);  // y
  w.writeInt(0);  // sizeUnit
  w.writeInt(400);
  w.writeInt(300);
  w.writeInt(1);                              // windowKind
  w.writeInt(4);                              // frameStyle
  w.writeInt(1);                              // max
  w.writeInt(0);                              // min
  w.writeInt(1);                              // system menu
  w.writeInt(2);                              // startState
  for (int i = 0; i < 4; ++i) w.writeInt(1);  // scale, aspect, visible, topmost
  w.writeInt(77);                             // spare
  w.writeInt(78);                             // spare
  w.writeInt(128);                            // alpha
  w.writeInt(10);
  w.writeInt(1);
  w.writeInt(0);
  putRawText(w, asBytes("spare"));
  w.writeInt(1);  // escape
  w.writeInt(0);  // alt-F4
  Bytes stored = movie;
  for (size_t i = 0; i < stored.size(); ++i) {
    stored[i] ^= static_cast<uint8_t>((33 * i + stored.size() + 122) % 256);
  }
  w.writeInt(static_cast<int32_t>(stored.size()));
  w.writeBytes(stored.data(), stored.size());
  w.writeInt(0);  // shape image: stored size, unpacked size
  w.writeInt(0);
  w.writeInt(0x00ff00);  // backgroundColour
}

TEST(HandBuiltRecord, Version4WithAVersion3FormReadsEveryField) {
  PayloadWriter w;
  w.writeBytes(payloadMarker().data(), payloadMarker().size());
  putProjectHead(w, 4);
  w.writeInt(1);
  putFormV3(w, asBytes("FWS\x06xyz"));
  w.writeInt(0);  // plug-ins
  w.writeInt(0);  // secure variables
  w.writeInt(1);  // files
  putRawText(w, asBytes("a.txt"));
  w.writeInt(0);
  w.writeInt(2);
  const uint8_t stored[2] = {static_cast<uint8_t>('o' ^ ((2 + 125) % 256)),
                             static_cast<uint8_t>('k' ^ ((33 + 2 + 125) % 256))};
  w.writeBytes(stored, 2);

  ProjectData p;
  ASSERT_TRUE(readFromBytes(w.bytes(), p));
  EXPECT_EQ(p.formatVersion, 4);
  EXPECT_EQ(p.title, u"Ti");
  EXPECT_TRUE(p.trayIconAtStart);
  EXPECT_FALSE(p.taskbarButtons);
  EXPECT_TRUE(p.splash);
  EXPECT_EQ(p.splashTime, 900);
  EXPECT_FALSE(p.passwordEnabled);
  ASSERT_EQ(p.forms.size(), 1u);
  const FormRecord& f = p.forms[0];
  EXPECT_EQ(f.name, u"main");
  EXPECT_TRUE(f.centered);
  EXPECT_EQ(f.width, 400);
  EXPECT_EQ(f.windowKind, 1);
  EXPECT_EQ(f.frameStyle, 4);
  EXPECT_TRUE(f.showMaxButton);
  EXPECT_FALSE(f.showMinButton);
  EXPECT_TRUE(f.showSystemMenu);
  EXPECT_EQ(f.startState, 2);
  EXPECT_TRUE(f.topmost);
  EXPECT_EQ(f.alpha, 128);
  EXPECT_EQ(f.fadeStep, 10);
  EXPECT_TRUE(f.escapeCloses);
  EXPECT_FALSE(f.altF4Closes);
  EXPECT_EQ(f.movieBytes(), asBytes("FWS\x06xyz"));
  EXPECT_EQ(f.movieVersion(), 6);
  EXPECT_EQ(f.backgroundColour, 0x00ff00);
  EXPECT_TRUE(f.noCaption);
  EXPECT_EQ(f.caption, u"form");
  ASSERT_NE(p.findEmbeddedFile(u"a.txt"), nullptr);
  EXPECT_EQ(p.findEmbeddedFile(u"a.txt")->bytes(), asBytes("ok"));
  EXPECT_EQ(p.findEmbeddedFile(u"A.txt"), nullptr);
}

TEST(HandBuiltRecord, LaterGlobalVariableOfTheSameNameWins) {
  PayloadWriter w;
  w.writeBytes(payloadMarker().data(), payloadMarker().size());
  putProjectHead(w, 9);
  w.writeInt(0);  // forms
  w.writeInt(0);  // plug-ins
  w.writeInt(0);  // secure variables
  w.writeInt(0);  // files
  w.writeInt(0);  // spare list
  for (int i = 0; i < 4; ++i) w.writeInt(0);
  w.writeInt(0);
  putRawText(w, {});
  w.writeInt(1);  // password enabled
  w.writeInt(0);
  w.writeInt(0);  // splash image
  w.writeInt(0);
  putRawText(w, asBytes("pw"));
  w.writeInt(0);  // tray icon image
  w.writeInt(0);
  w.writeInt(3);
  for (uint8_t fill : {0x11, 0x22}) {
    putRawText(w, asBytes("dup"));
    w.writeInt(1);
    w.writeInt(8);
    const Bytes cipher(8, fill);
    w.writeBytes(cipher.data(), cipher.size());
  }
  putRawText(w, asBytes("Dup"));
  w.writeInt(1);
  w.writeInt(0);

  ProjectData p;
  ASSERT_TRUE(readFromBytes(w.bytes(), p));
  EXPECT_TRUE(p.passwordEnabled);
  EXPECT_EQ(p.password, u"pw");
  ASSERT_EQ(p.globalVariables.size(), 2u);
  ASSERT_NE(p.findGlobalVariable(u"dup"), nullptr);
  EXPECT_EQ(p.findGlobalVariable(u"dup")->data(), Bytes(8, 0x22));
  EXPECT_EQ(p.globalVariables.begin()->first, u"Dup");  // ordinal order: upper case first
}

// ---------------------------------------------------------------------------------------------
// Primitive fields.

struct TextCase {
  const char* label;
  Bytes plain;
  std::u16string expected;
};

class TextReading : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextReading, UnscramblesAndStopsAtZero) {
  PayloadWriter w;
  putRawText(w, GetParam().plain);
  w.writeInt(0x7b);  // the next field follows the text's bytes
  PayloadReader r;
  r.openMemory(w.bytes().data(), w.bytes().size());
  std::u16string text = u"old";
  ASSERT_TRUE(r.readText(text));
  EXPECT_EQ(text, GetParam().expected);
  int32_t next = 0;
  ASSERT_TRUE(r.readInt(next));
  EXPECT_EQ(next, 0x7b);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextReading,
    ::testing::Values(TextCase{"empty", {}, u""}, TextCase{"short", asBytes("abc"), u"abc"},
                      TextCase{"zero_inside", asBytes(std::string_view("ab\0cd", 5)), u"ab"},
                      TextCase{"utf8", asBytes("\xc3\xa9\xe4\xb8\xad"), u"\u00e9\u4e2d"},
                      TextCase{"one_block", Bytes(512, 'a'), std::u16string(512, u'a')},
                      TextCase{"block_and_tail", Bytes(1100, 'q'), std::u16string(1100, u'q')}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(TextScrambling, A512ByteTextChangesOnlyItsFirstByteBy146) {
  Bytes b(512, 0);
  scrambleText(b.data(), b.size());
  EXPECT_EQ(b[0], 146);
  EXPECT_EQ(std::count(b.begin(), b.end(), 0), 511);
}

TEST(TextScrambling, BlockPositionsAndTailKeys) {
  Bytes b(1030, 0);  // two whole blocks (positions 0 and 513), a tail of 6 from 1024
  scrambleText(b.data(), b.size());
  EXPECT_EQ(b[0], 146);
  EXPECT_EQ(b[513], static_cast<uint8_t>(33 - 110));
  EXPECT_EQ(b[512], 0);
  EXPECT_EQ(b[1024], static_cast<uint8_t>(6 - 110));
  EXPECT_EQ(b[1029], static_cast<uint8_t>(6 - 110 + 33 * 5));
}

TEST(DataScrambling, NegativeKeyOffsetWrapsModulo256) {
  Bytes b(3, 0);
  scrambleData(b.data(), b.size(), kSplashKeyOffset);
  EXPECT_EQ(b, (Bytes{static_cast<uint8_t>(3 - 74), static_cast<uint8_t>(33 + 3 - 74),
                      static_cast<uint8_t>(66 + 3 - 74)}));
}

TEST(PrimitiveReading, NegativeOrZeroTextLengthConsumesOnlyTheLength) {
  for (int32_t length : {0, -1, INT32_MIN}) {
    PayloadWriter w;
    w.writeInt(length);
    w.writeInt(42);
    PayloadReader r;
    r.openMemory(w.bytes().data(), w.bytes().size());
    std::u16string text = u"x";
    int32_t next = 0;
    ASSERT_TRUE(r.readText(text));
    EXPECT_TRUE(text.empty());
    ASSERT_TRUE(r.readInt(next));
    EXPECT_EQ(next, 42);
  }
}

TEST(PrimitiveReading, BoolIsTrueOnlyForOne) {
  PayloadWriter w;
  for (int32_t v : {1, 2, 0, -1, 0x101}) w.writeInt(v);
  PayloadReader r;
  r.openMemory(w.bytes().data(), w.bytes().size());
  std::vector<bool> got;
  bool b = false;
  while (r.readBool(b)) got.push_back(b);
  EXPECT_EQ(got, (std::vector<bool>{true, false, false, false, false}));
}

TEST(PrimitiveReading, ShortReadsFail) {
  const Bytes three = {1, 2, 3};
  PayloadReader r;
  r.openMemory(three.data(), three.size());
  int32_t v = 0;
  EXPECT_FALSE(r.readInt(v));

  PayloadWriter w;
  w.writeInt(10);
  w.writeBytes(three.data(), three.size());
  r.openMemory(w.bytes().data(), w.bytes().size());
  std::u16string text;
  EXPECT_FALSE(r.readText(text));

  r.openMemory(three.data(), three.size());
  uint8_t buf[8];
  EXPECT_EQ(r.readBytes(buf, 8), 3);
  uint8_t byte = 0;
  EXPECT_FALSE(r.readByte(byte));
}

TEST(PrimitiveReading, InvalidUtf8FailsTheText) {
  PayloadWriter w;
  putRawText(w, {0xc3, 0x28});
  PayloadReader r;
  r.openMemory(w.bytes().data(), w.bytes().size());
  std::u16string text;
  EXPECT_FALSE(r.readText(text));
}

// Fields 3 to 11 of a project record, all zero.
void putProjectTail(PayloadWriter& w) {
  putRawText(w, {});
  putRawText(w, {});
  for (int i = 0; i < 3; ++i) w.writeInt(0);
  putRawText(w, {});
  for (int i = 0; i < 3; ++i) w.writeInt(0);
}

// A declared size far beyond the input fails at once instead of allocating it first; with the
// allocation these cases would each claim about 2 GB.
TEST(ForgedSizes, FailWithoutAllocating) {
  struct Case {
    const char* label;
    std::function<void(PayloadWriter&)> tail;
  };
  const std::vector<Case> cases = {
      {"title", [](PayloadWriter& w) { w.writeInt(INT32_MAX); }},
      {"spare text",
       [](PayloadWriter& w) {
         putRawText(w, {});
         w.writeInt(INT32_MAX - 3);
       }},
      {"form count",
       [](PayloadWriter& w) {
         putProjectTail(w);
         w.writeInt(INT32_MAX);
       }},
      {"movie size",
       [](PayloadWriter& w) {
         putProjectTail(w);
         w.writeInt(1);
         w.writeInt(1);  // record version 1: 26 fields before the movie
         putRawText(w, {});
         for (int i = 0; i < 22; ++i) w.writeInt(0);
         putRawText(w, {});
         w.writeInt(0);
         w.writeInt(0);
         w.writeInt(INT32_MAX - 7);
       }},
  };
  for (const Case& c : cases) {
    PayloadWriter w;
    w.writeBytes(payloadMarker().data(), payloadMarker().size());
    w.writeInt(1);  // format version
    w.writeInt(0);  // run mode
    c.tail(w);
    const Bytes padding(1024, 0);
    w.writeBytes(padding.data(), padding.size());
    ProjectData p;
    largestAllocation = 0;
    EXPECT_FALSE(readFromBytes(w.bytes(), p)) << c.label;
    EXPECT_LT(largestAllocation.load(), 64u * 1024) << c.label;
  }
}

// ---------------------------------------------------------------------------------------------
// Finding the marker.

struct MarkerCase {
  const char* label;
  Bytes before;     // bytes in front of the marker
  bool withMarker;  // the marker and a minimal record follow
  bool found;
};

class MarkerScan : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(MarkerScan, FindsTheFirstCompleteMarker) {
  Bytes file = GetParam().before;
  if (GetParam().withMarker) {
    ProjectData p;
    p.formatVersion = 1;
    p.title = u"found";
    const Bytes payload = makePayload(p);
    file.insert(file.end(), payload.begin(), payload.end());
  }
  ProjectData read;
  EXPECT_EQ(readFromBytes(file, read), GetParam().found);
  if (GetParam().found) {
    EXPECT_EQ(read.title, u"found");
  }
}

Bytes partialMarker(size_t n) {
  const auto marker = payloadMarker();
  return Bytes(marker.begin(), marker.begin() + n);
}

Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MarkerScan,
    ::testing::Values(
        MarkerCase{"none", Bytes(100, 0x14), false, false},
        MarkerCase{"empty_file", {}, false, false},
        MarkerCase{"ends_inside_marker", concat(Bytes(10, 0), partialMarker(7)), false, false},
        MarkerCase{"marker_at_end", concat(Bytes(10, 0), partialMarker(8)), false, false},
        MarkerCase{"at_start", {}, true, true},
        MarkerCase{"after_image", asBytes("MZ image bytes"), true, true},
        MarkerCase{"after_broken_partial", concat(partialMarker(5), {0x00}), true, true},
        MarkerCase{"partial_broken_by_first_byte", partialMarker(6), true, true},
        // Seven marker bytes and the marker: the first complete marker ends one byte into the
        // second, and what follows it is no record.
        MarkerCase{"overlapping_first_marker_wins", partialMarker(7), true, false},
        MarkerCase{"doubled_first_byte", {0x14}, true, true},
        // Across the reader's 64 KiB buffer boundary.
        MarkerCase{"across_buffer", Bytes(65536 - 3, 0x90), true, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(MarkerScan, FromAFileWithAMultiBufferImage) {
  const auto path = std::filesystem::temp_directory_path() / "nxr_project_test_payload.bin";
  Bytes file(300000);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 7 + 1);
  const ProjectData written = fullProject(kNewestFormatVersion, kNewestFormRecordVersion);
  const Bytes payload = makePayload(written);
  file.insert(file.end(), payload.begin(), payload.end());
  file.push_back(0x55);  // bytes after the record are ignored
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
  }
  ProjectData read;
  const std::u16string name = path.u16string();
  ASSERT_TRUE(readProject(name, read));
  EXPECT_EQ(describe(read), describe(written));

  // A form's movie written out unscrambled.
  const auto moviePath = std::filesystem::temp_directory_path() / "nxr_project_test_movie.swf";
  ASSERT_TRUE(read.forms[0].writeMovieToFile(moviePath.u16string()));
  std::ifstream in(moviePath, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), read.forms[0].movieBytes());
  in.close();
  std::filesystem::remove(moviePath);
  std::filesystem::remove(path);

  EXPECT_FALSE(readProject(u"/nonexistent/nxr/file.exe", read));
}

// ---------------------------------------------------------------------------------------------
// Stored items.

TEST(PackedImages, UnpackWhatWasPacked) {
  const Bytes plain = asBytes("BM a bitmap file image with some repetition repetition repetition");
  ProjectData p;
  p.splashImage = packImage(plain, kSplashKeyOffset);
  p.trayIconImage = packImage(plain, kTrayIconKeyOffset);
  EXPECT_EQ(p.unpackSplash(), plain);
  EXPECT_EQ(p.unpackTrayIcon(), plain);
  // The wrong key offset does not inflate.
  EXPECT_EQ(p.splashImage.unpack(kTrayIconKeyOffset), std::nullopt);
}

TEST(PackedImages, BadImagesAreAbsent) {
  const Bytes plain(5000, 'x');
  PackedImage empty;
  EXPECT_EQ(empty.unpack(kSplashKeyOffset), std::nullopt);

  PackedImage corrupt = packImage(plain, kSplashKeyOffset);
  corrupt.stored[corrupt.stored.size() / 2] ^= 0xff;
  EXPECT_EQ(corrupt.unpack(kSplashKeyOffset), std::nullopt);

  PackedImage tooSmall = packImage(plain, kSplashKeyOffset);
  tooSmall.unpackedSize = 100;  // the output buffer cannot hold the image
  EXPECT_EQ(tooSmall.unpack(kSplashKeyOffset), std::nullopt);

  PackedImage forged = packImage(plain, kSplashKeyOffset);
  forged.unpackedSize = INT32_MAX;  // beyond any zlib expansion of the stored bytes
  EXPECT_EQ(forged.unpack(kSplashKeyOffset), std::nullopt);
}

TEST(FormMovies, VersionIsTheFourthUnscrambledByte) {
  FormRecord f;
  EXPECT_EQ(f.movieVersion(), 0);
  f.setMovie(asBytes("FWS"));
  EXPECT_EQ(f.movieVersion(), 0);  // too short to hold a version
  f.setMovie(asBytes("FWS\x09rest of movie"));
  EXPECT_EQ(f.movieVersion(), 9);
  // The stored byte XORed with (n - 35) mod 256.
  EXPECT_EQ(f.movie[3] ^ static_cast<uint8_t>(f.movie.size() - 35), 9);
  f.setMovieVersion(8);
  EXPECT_EQ(f.movieVersion(), 8);
  EXPECT_EQ(f.movieBytes(), asBytes("FWS\x08rest of movie"));
}

TEST(FormRecords, ReadingReplacesWhatTheRecordHeld) {
  FormRecord f = fullForm(10, 1);
  PayloadWriter w;
  putFormV3(w, {});
  PayloadReader r;
  r.openMemory(w.bytes().data(), w.bytes().size());
  ASSERT_TRUE(f.read(r));
  EXPECT_TRUE(f.movie.empty());
  EXPECT_TRUE(f.previewMovie.empty());
  EXPECT_TRUE(f.shapeImage.empty());
  EXPECT_EQ(f.caption, u"form");
  EXPECT_EQ(f.stageWidth, 0);
}

}  // namespace nxr
