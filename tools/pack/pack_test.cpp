#include "pack.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "app/payload_format.h"
#include "sha256.h"

namespace nxr::pack {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes asBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// A folder of project inputs and a fake runtime image, removed afterwards.
class PackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("nxrpack_test_" + std::to_string(std::random_device{}() % 100000000));
    fs::create_directories(dir_ / "media");
    put("media/main.swf", "FWS\x08movie");
    put("media/preview.swf", "FWS\x07pv");
    put("media/splash.bmp", "BMsplash");
    put("media/tray.ico", std::string(300, 'i'));
    put("plugin.nxq", "plugin");
    put("readme.txt", "hello");
    put("nxr.exe", "MZ a runtime image");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void put(const std::string& name, std::string_view content) {
    std::ofstream out(dir_ / name, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  Bytes get(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  // Builds project.toml holding text into app.exe.
  bool build(const std::string& text, int32_t formatVersion = kNewestFormatVersion,
             int32_t recordVersion = kNewestFormRecordVersion) {
    put("project.toml", text);
    BuildOptions options;
    options.project = dir_ / "project.toml";
    options.output = dir_ / "app.exe";
    options.runtime = dir_ / "nxr.exe";
    options.formatVersion = formatVersion;
    options.recordVersion = recordVersion;
    warnings_.clear();
    error_.clear();
    return buildApplication(options, warnings_, error_);
  }

  ProjectData readBack() {
    ProjectData project;
    EXPECT_TRUE(readProject((dir_ / "app.exe").u16string(), project));
    return project;
  }

  // Every file of the folder except the inputs: what a build left behind.
  std::vector<std::string> outputs() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = pathToUtf8(entry.path().filename());
      if (name.rfind("app", 0) == 0) names.push_back(name);
    }
    return names;
  }

  fs::path dir_;
  std::vector<std::string> warnings_;
  std::string error_;
};

const char* kFullProject = R"(
title = "Demo ünïcode"
runMode = 2
trayIconAtStart = true
taskbarButtons = true
splash = true
splashWidth = 320
splashHeight = 240
splashTime = 1500
passwordEnabled = true
password = "open sesame"
splashImage = "media/splash.bmp"
trayIconImage = "media/tray.ico"
plugins = ["plugin.nxq"]

[files]
"docs/readme.txt" = "readme.txt"

[secureVariables]
plain = "a plain value"
hidden = { value = "enciphered here", enciphered = true }
stored = { value = "stored as text", enciphered = false }

[globalVariables]
level = "3"

[[forms]]
name = "main"
centered = true
width = 640
height = 480
frameStyle = 1
showMaxButton = true
showSystemMenu = true
movie = "media/main.swf"
previewMovie = "media/preview.swf"
shapeImage = "media/splash.bmp"
backgroundColour = 0x336699
noCaption = false
rightButtonMode = 3
caption = "Main window"
fixedStage = true
stageWidth = 550
stageHeight = 400

[[forms]]
name = "second"
)";

TEST_F(PackTest, BuildsEveryKeyIntoTheRecord) {
  ASSERT_TRUE(build(kFullProject)) << error_;
  EXPECT_TRUE(warnings_.empty());
  const Bytes app = get("app.exe");
  const Bytes runtime = get("nxr.exe");
  ASSERT_GT(app.size(), runtime.size() + 8);
  EXPECT_TRUE(std::equal(runtime.begin(), runtime.end(), app.begin()));
  const auto marker = payloadMarker();
  EXPECT_TRUE(std::equal(marker.begin(), marker.end(),
                         app.begin() + static_cast<std::ptrdiff_t>(runtime.size())));

  const ProjectData p = readBack();
  EXPECT_EQ(p.formatVersion, 11);
  EXPECT_EQ(p.title, u"Demo \u00fcn\u00efcode");
  EXPECT_EQ(p.runMode, 2);
  EXPECT_TRUE(p.trayIconAtStart && p.taskbarButtons && p.splash && p.passwordEnabled);
  EXPECT_EQ(p.splashTime, 1500);
  EXPECT_EQ(p.password, u"open sesame");
  EXPECT_EQ(p.unpackSplash(), asBytes("BMsplash"));
  EXPECT_EQ(p.unpackTrayIcon(), Bytes(300, 'i'));
  ASSERT_EQ(p.plugins.size(), 1u);
  EXPECT_EQ(p.plugins[0].bytes(), asBytes("plugin"));
  ASSERT_NE(p.findEmbeddedFile(u"docs/readme.txt"), nullptr);
  EXPECT_EQ(p.findEmbeddedFile(u"docs/readme.txt")->bytes(), asBytes("hello"));
  ASSERT_EQ(p.secureVariables.size(), 3u);
  EXPECT_EQ(p.findSecureVariable(u"plain")->getText(), u"a plain value");
  EXPECT_EQ(p.findSecureVariable(u"hidden")->getText(), u"enciphered here");
  EXPECT_EQ(p.findSecureVariable(u"stored")->getText(), u"stored as text");
  EXPECT_EQ(p.findGlobalVariable(u"level")->getText(), u"3");

  ASSERT_EQ(p.forms.size(), 2u);
  const FormRecord& f = p.forms[0];
  EXPECT_EQ(f.recordVersion, 10);
  EXPECT_EQ(f.name, u"main");
  EXPECT_TRUE(f.centered);
  EXPECT_EQ(f.width, 640);
  EXPECT_EQ(f.frameStyle, 1);
  EXPECT_TRUE(f.showMaxButton);
  EXPECT_FALSE(f.showMinButton);
  EXPECT_TRUE(f.showSystemMenu);
  EXPECT_EQ(f.movieBytes(), asBytes("FWS\x08movie"));
  EXPECT_EQ(f.movieVersion(), 8);
  EXPECT_EQ(f.previewMovieBytes(), asBytes("FWS\x07pv"));
  EXPECT_EQ(f.unpackShapeImage(), asBytes("BMsplash"));
  EXPECT_EQ(f.backgroundColour, 0x336699);
  EXPECT_FALSE(f.noCaption);
  EXPECT_EQ(f.rightButtonMode, 3);
  EXPECT_EQ(f.caption, u"Main window");
  EXPECT_TRUE(f.fixedStage);
  EXPECT_EQ(f.stageHeight, 400);
  // Keys left out keep the record's defaults.
  const FormRecord& second = p.forms[1];
  EXPECT_EQ(second.name, u"second");
  EXPECT_TRUE(second.noCaption);
  EXPECT_EQ(second.caption, u"form");
  EXPECT_TRUE(second.movie.empty());
  EXPECT_EQ(outputs(), std::vector<std::string>{"app.exe"});
}

TEST_F(PackTest, PlainVariablesAreStoredAsTextAndEncipheredOnesAsCipher) {
  ASSERT_TRUE(
      build("[secureVariables]\nplain = \"p\"\nhidden = { value = \"h\", enciphered = true }\n"))
      << error_;
  const Bytes app = get("app.exe");
  // A plain value is stored as kind 0 and a scrambled text, so its cipher bytes are nowhere in
  // the file; the enciphered one's are.
  SecureValue plain, hidden;
  plain.setText(u"p");
  hidden.setText(u"h");
  auto contains = [&](const Bytes& needle) {
    return std::search(app.begin(), app.end(), needle.begin(), needle.end()) != app.end();
  };
  EXPECT_FALSE(contains(plain.data()));
  EXPECT_TRUE(contains(hidden.data()));
}

TEST_F(PackTest, CipherTextIsStoredUnchanged) {
  SecureValue value;
  value.setText(u"from elsewhere");
  std::string hex;
  for (uint8_t b : value.data()) {
    char two[3];
    std::snprintf(two, sizeof two, "%02X", b);
    hex += two;
  }
  ASSERT_TRUE(build("[globalVariables]\nkey = { cipher = \"" + hex + "\" }\n")) << error_;
  const ProjectData p = readBack();
  EXPECT_EQ(p.findGlobalVariable(u"key")->data(), value.data());
  EXPECT_EQ(p.findGlobalVariable(u"key")->getText(), u"from elsewhere");
}

TEST_F(PackTest, OlderVersionsOnRequestWithWarningsForFieldsTheyCannotHold) {
  ASSERT_TRUE(build(kFullProject, 4, 3)) << error_;
  const ProjectData p = readBack();
  EXPECT_EQ(p.formatVersion, 4);
  EXPECT_FALSE(p.passwordEnabled);
  EXPECT_TRUE(p.password.empty());
  EXPECT_TRUE(p.globalVariables.empty());
  EXPECT_EQ(p.files.size(), 1u);
  EXPECT_EQ(p.forms[0].recordVersion, 3);
  EXPECT_EQ(p.forms[0].backgroundColour, 0x336699);
  EXPECT_EQ(p.forms[0].caption, u"form");
  std::string all;
  for (const auto& w : warnings_) all += w + "\n";
  for (const char* key : {"'password'", "'passwordEnabled'", "'globalVariables'", "'splashImage'",
                          "'forms[0].caption'", "'forms[0].noCaption'", "'forms[0].stageWidth'"}) {
    EXPECT_NE(all.find(key), std::string::npos) << key << " in\n" << all;
  }
  EXPECT_EQ(all.find("'forms[0].backgroundColour'"), std::string::npos);
}

struct BadProject {
  const char* label;
  const char* toml;
  const char* message;  // a part of the error
};

class PackErrors : public PackTest, public ::testing::WithParamInterface<BadProject> {};

TEST_P(PackErrors, NameFileAndKeyAndWriteNothing) {
  put("app.exe", "previous output");
  EXPECT_FALSE(build(GetParam().toml));
  EXPECT_NE(error_.find(GetParam().message), std::string::npos) << error_;
  EXPECT_NE(error_.find("project.toml"), std::string::npos) << error_;
  EXPECT_EQ(get("app.exe"), asBytes("previous output"));
  EXPECT_EQ(outputs(), std::vector<std::string>{"app.exe"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackErrors,
    ::testing::Values(
        BadProject{"missing_movie", "[[forms]]\nmovie = \"media/none.swf\"\n",
                   ":2:9: key 'forms[0].movie': cannot read file"},
        BadProject{"missing_plugin", "plugins = [\"a.nxq\"]", "key 'plugins[0]': cannot read file"},
        BadProject{"missing_file", "[files]\n\"x\" = \"nope\"", "key 'files.x': cannot read file"},
        BadProject{"text_as_number", "title = 3", "key 'title': expected a string, got an integer"},
        BadProject{"bool_as_text", "splash = \"yes\"", "key 'splash': expected a boolean"},
        BadProject{"int_as_float", "splashTime = 1.5", "key 'splashTime': expected an integer"},
        BadProject{"int_too_large", "splashTime = 4294967296", "does not fit in 32 bits"},
        BadProject{"forms_not_array", "forms = 1", "key 'forms': expected an array of tables"},
        BadProject{"unknown_key", "titel = \"x\"", ":1:1: key 'titel': unknown key"},
        BadProject{"unknown_form_key", "[[forms]]\nwidht = 3", "key 'forms[0].widht': unknown key"},
        BadProject{"version_key", "formatVersion = 3", "key 'formatVersion': unknown key"},
        BadProject{"bad_cipher_hex", "[secureVariables]\na = { cipher = \"0g\" }",
                   "key 'secureVariables.a.cipher': not a hexadecimal digit"},
        BadProject{"cipher_and_value", "[secureVariables]\na = { cipher = \"00\", value = \"v\" }",
                   "key 'secureVariables.a': give either 'cipher' or 'value'"},
        BadProject{"unknown_value_key", "[globalVariables]\na = { valeu = \"v\" }",
                   "key 'globalVariables.a.valeu': unknown key"},
        BadProject{"syntax", "title = \"unclosed\n", "project.toml:1:"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(PackTest, RefusesRuntimeImagesThatWouldMisleadTheScan) {
  struct Case {
    Bytes image;
    const char* message;
  };
  Bytes withMarker = asBytes("MZ");
  const auto marker = payloadMarker();
  withMarker.insert(withMarker.end(), marker.begin(), marker.end());
  withMarker.push_back(0);
  const std::vector<Case> cases = {{withMarker, "contains the payload marker at offset 2"},
                                   {asBytes("MZ\x14"), "ends in the byte 0x14"},
                                   {{}, "empty"}};
  for (const Case& c : cases) {
    put("nxr.exe", std::string(c.image.begin(), c.image.end()));
    EXPECT_FALSE(build("title = \"t\"")) << c.message;
    EXPECT_NE(error_.find(c.message), std::string::npos) << error_;
    EXPECT_NE(error_.find("nxr.exe"), std::string::npos) << error_;
    EXPECT_TRUE(outputs().empty());
  }
  fs::remove(dir_ / "nxr.exe");
  EXPECT_FALSE(build("title = \"t\""));
  EXPECT_NE(error_.find("cannot read the runtime"), std::string::npos) << error_;
}

TEST_F(PackTest, RefusesVersionsOutsideTheKnownRange) {
  EXPECT_FALSE(build("", 12, 10));
  EXPECT_NE(error_.find("format version must be 1 to 11"), std::string::npos);
  EXPECT_FALSE(build("", 11, 0));
  EXPECT_NE(error_.find("record version must be 1 to 10"), std::string::npos);
}

TEST_F(PackTest, DumpPrintsEveryStoredFieldByName) {
  ASSERT_TRUE(build(R"(
title = "Dump \"me\""
splashImage = "media/splash.bmp"
plugins = ["plugin.nxq"]
[files]
"a.txt" = "readme.txt"
[globalVariables]
g = { value = "global", enciphered = true }
[[forms]]
name = "main"
movie = "media/main.swf"
)",
                    9, 2))
      << error_;
  std::string json, error;
  ASSERT_TRUE(dumpApplication(dir_ / "app.exe", json, error)) << error;
  EXPECT_EQ(json, R"({
  "formatVersion": 9,
  "runMode": 0,
  "title": "Dump \"me\"",
  "trayIconAtStart": false,
  "taskbarButtons": false,
  "splash": false,
  "splashWidth": 0,
  "splashHeight": 0,
  "splashTime": 0,
  "forms": [
    {
      "recordVersion": 2,
      "name": "main",
      "centered": false,
      "x": 0,
      "y": 0,
      "sizeUnit": 0,
      "width": 0,
      "height": 0,
      "windowKind": 0,
      "frameStyle": 0,
      "showMaxButton": false,
      "showMinButton": false,
      "showSystemMenu": false,
      "startState": 0,
      "scaleMovie": false,
      "keepAspect": false,
      "visibleAtStart": false,
      "topmost": false,
      "alpha": 0,
      "fadeStep": 0,
      "fadeIn": 0,
      "fadeOut": 0,
      "escapeCloses": false,
      "altF4Closes": false,
      "movie": {
        "size": 9,
        "sha256": "a6786f6f9be2403085acffce81d193b7678496df808d661a2c9b6979a282ef1d"
      },
      "shapeImage": null
    }
  ],
  "plugins": [
    {
      "size": 6,
      "sha256": "5e689e2b01672bf33996e75d5e372ff60c536ce1599a1458e867cd8f4bef5160"
    }
  ],
  "secureVariables": {},
  "files": {
    "a.txt": {
      "size": 5,
      "sha256": "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824"
    }
  },
  "passwordEnabled": false,
  "splashImage": {
    "storedSize": )" + std::to_string(readBack().splashImage.stored.size()) +
                      R"(,
    "unpackedSize": 8,
    "sha256": "9e600b0af653773f02fe83058a0cf2eaaa36c1176f5595982136a62033eb97a2"
  },
  "password": "",
  "trayIconImage": null,
  "globalVariables": {
    "g": "global"
  }
}
)");

  EXPECT_FALSE(dumpApplication(dir_ / "nxr.exe", json, error));
  EXPECT_NE(error.find("no readable project payload"), std::string::npos) << error;
}

TEST(Sha256, PublishedVectors) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const std::vector<Case> cases = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}};
  for (const Case& c : cases) {
    EXPECT_EQ(sha256Hex(reinterpret_cast<const uint8_t*>(c.message.data()), c.message.size()),
              c.digest);
  }
}

#ifdef NXRPACK_PATH
// The command line: build with the runtime from NXR_RUNTIME, then dump.
TEST_F(PackTest, CommandLine) {
  put("project.toml", "title = \"cli\"\n");
  const std::string exe = NXRPACK_PATH;
  const std::string d = pathToUtf8(dir_);
  const std::string build = "NXR_RUNTIME='" + d + "/nxr.exe' '" + exe + "' build '" + d +
                            "/project.toml' -o '" + d + "/app.exe'";
  ASSERT_EQ(std::system(build.c_str()), 0);
  const std::string dump = "'" + exe + "' dump '" + d + "/app.exe' > '" + d + "/dump.json'";
  ASSERT_EQ(std::system(dump.c_str()), 0);
  const Bytes json = get("dump.json");
  EXPECT_NE(std::string(json.begin(), json.end()).find("\"title\": \"cli\""), std::string::npos);
  const std::string bad = "'" + exe + "' build '" + d + "/project.toml' -o '" + d +
                          "/app2.exe' --runtime '" + d + "/none.exe' 2>/dev/null";
  EXPECT_NE(std::system(bad.c_str()), 0);
  const std::string badVersion = "'" + exe + "' build '" + d + "/project.toml' -o '" + d +
                                 "/app2.exe' --format-version 12 2>/dev/null";
  EXPECT_NE(std::system(badVersion.c_str()), 0);
  EXPECT_FALSE(fs::exists(dir_ / "app2.exe"));
}
#endif

}  // namespace
}  // namespace nxr::pack
