#include "modules/library_module.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/payload_writer.h"
#include "app/project_data.h"
#include "bridge/testing/recording_form.h"
#include "support/files.h"
#include "support/folders.h"
#include "support/text.h"
#include "support/win.h"

namespace nxr {
namespace {

std::vector<uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

std::optional<std::string> fileText(const std::u16string& path) {
  auto bytes = readWholeFile(path);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

// A project with a few embedded files, the module over it and a fresh folder for its output.
class LibraryModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    project_.files[u"a.txt"] = makeBlob(bytesOf("first file"));
    project_.files[u"empty.bin"] = makeBlob({});
    project_.files[u"zero.bin"] = makeBlob({0x61, 0x62, 0x00, 0x63});
    project_.files[u"quote.txt"] = makeBlob(bytesOf("say \"hi\" \xE9"));
    project_.files[u"sub\\inner.txt"] = makeBlob(bytesOf("inner"));
    module_.registerMethods();

    folder_ = tempFolder() + u"nxr_library_test_" + toDecimal(GetCurrentProcessId());
    deleteFolderTree(folder_);
    ASSERT_TRUE(CreateDirectoryW(asWcstr(folder_), nullptr));
    wchar_t previous[2048];
    GetCurrentDirectoryW(2048, previous);
    previousDirectory_ = fromWide(previous);
  }
  void TearDown() override {
    SetCurrentDirectoryW(asWcstr(previousDirectory_));
    deleteFolderTree(folder_);
    module_.releaseMethods();
  }

  std::u16string call(const std::u16string& method, const std::vector<std::u16string>& args) {
    sdk::ModuleMethod* found = findMethod(module_, method);
    EXPECT_NE(found, nullptr) << "no method " << utf16ToUtf8(method);
    return found ? invokeMethod(*found, &form_, args) : u"<missing>";
  }
  std::u16string path(const std::u16string& name) const { return folder_ + u"\\" + name; }
  void makeFolder(const std::u16string& name) {
    ASSERT_TRUE(CreateDirectoryW(asWcstr(path(name)), nullptr));
  }
  void expectAllWrittenIn(const std::u16string& folder) {
    EXPECT_EQ(fileText(folder + u"\\a.txt"), "first file");
    EXPECT_EQ(fileText(folder + u"\\empty.bin"), "");
    EXPECT_EQ(fileText(folder + u"\\zero.bin"), std::string("ab\0c", 4));
    EXPECT_EQ(fileText(folder + u"\\quote.txt"), "say \"hi\" \xE9");
    EXPECT_EQ(fileText(folder + u"\\sub\\inner.txt"), "inner");
  }

  ProjectData project_;
  LibraryModule module_{project_};
  testing::RecordingForm form_;
  std::u16string folder_;
  std::u16string previousDirectory_;
};

TEST_F(LibraryModuleTest, ReadsFilesAsQuotedText) {
  struct Case {
    std::vector<std::u16string> args;
    std::u16string result;
  };
  const Case cases[] = {
      {{u"a.txt"}, u"\"first file\""},
      {{u"zero.bin"}, u"\"ab\""},                  // stops at the first zero byte
      {{u"quote.txt"}, u"\"say \"hi\" \u00E9\""},  // no escaping; bytes keep their values
      {{u"empty.bin"}, u"\"\""},
      {{u"missing.txt"}, u"\"\""},
      {{u"A.TXT"}, u"\"\""},  // names compare exactly
      {{}, u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(call(u"extractToVar", c.args), c.result)
        << (c.args.empty() ? "no argument" : utf16ToUtf8(c.args[0]));
  }
}

TEST_F(LibraryModuleTest, ExtractsAllToAFolderWithOrWithoutTrailingBackslash) {
  for (const std::u16string sub : {u"plain", u"slash"}) {
    makeFolder(sub);
    makeFolder(sub + u"\\sub");
  }
  EXPECT_EQ(call(u"extractAllToDir", {path(u"plain")}), u"");
  EXPECT_EQ(call(u"extractAllToDir", {path(u"slash") + u"\\"}), u"");
  expectAllWrittenIn(path(u"plain"));
  expectAllWrittenIn(path(u"slash"));
}

TEST_F(LibraryModuleTest, ExtractingAllGoesOnPastAFileThatCannotBeWritten) {
  // No "sub" folder: that one file fails, the ones after it are still written.
  EXPECT_EQ(call(u"extractAllToDir", {folder_}), u"");
  EXPECT_EQ(fileText(path(u"a.txt")), "first file");
  EXPECT_EQ(fileText(path(u"quote.txt")), "say \"hi\" \xE9");
  EXPECT_FALSE(fileText(path(u"sub\\inner.txt")));
}

TEST_F(LibraryModuleTest, ExtractsAllToTheWorkingDirectoryOfTheMoment) {
  makeFolder(u"later");
  makeFolder(u"later\\sub");
  ASSERT_TRUE(SetCurrentDirectoryW(asWcstr(path(u"later"))));
  EXPECT_EQ(call(u"extractAllToExecPath", {}), u"");
  expectAllWrittenIn(path(u"later"));
  EXPECT_FALSE(fileText(path(u"a.txt")));
}

TEST_F(LibraryModuleTest, ExtractsOneFile) {
  ASSERT_TRUE(SetCurrentDirectoryW(asWcstr(folder_)));
  struct Case {
    const char* what;
    std::u16string method;
    std::vector<std::u16string> args;
    std::u16string probe;
    std::optional<std::string> content;
  };
  const Case cases[] = {
      {"to a path", u"extractToFile", {u"a.txt", u"<dir>\\out.txt"}, u"out.txt", "first file"},
      {"an empty file", u"extractToFile", {u"empty.bin", u"<dir>\\empty.out"}, u"empty.out", ""},
      {"into a missing folder",
       u"extractToFile",
       {u"a.txt", u"<dir>\\none\\out.txt"},
       u"none\\out.txt",
       std::nullopt},
      {"an unknown name",
       u"extractToFile",
       {u"missing", u"<dir>\\missing.out"},
       u"missing.out",
       std::nullopt},
      {"to the working directory",
       u"extractToExecPath",
       {u"zero.bin", u"copy.bin"},
       u"copy.bin",
       std::string("ab\0c", 4)},
      {"without a target name", u"extractToExecPath", {u"a.txt", u""}, u"a.txt", std::nullopt},
      {"without a file name",
       u"extractToExecPath",
       {u"", u"blank.out"},
       u"blank.out",
       std::nullopt},
  };
  for (const Case& c : cases) {
    std::vector<std::u16string> args = c.args;
    for (auto& arg : args) {
      if (arg.starts_with(u"<dir>")) arg = folder_ + arg.substr(5);
    }
    EXPECT_EQ(call(c.method, args), u"") << c.what;
    EXPECT_EQ(fileText(path(c.probe)), c.content) << c.what;
  }
}

TEST_F(LibraryModuleTest, OverwritesAnExistingFile) {
  ASSERT_TRUE(writeWholeFile(path(u"old.txt"), bytesOf("a much longer old content").data(), 25));
  call(u"extractToFile", {u"a.txt", path(u"old.txt")});
  EXPECT_EQ(fileText(path(u"old.txt")), "first file");
}

TEST(LibraryModuleRegistration, EntersTheModuleUnlessTheNameIsTaken) {
  ProjectData project;
  ModuleRegistry registry;
  auto module = registerLibraryModule(registry, project);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(registry.findModule(u"nxr.Application.Library"), module.get());
  EXPECT_EQ(module->methodCount(), 5u);
  for (const char16_t* name : {u"extractAllToDir", u"extractAllToExecPath", u"extractToExecPath",
                               u"extractToFile", u"extractToVar"}) {
    EXPECT_NE(findMethod(*module, name), nullptr) << utf16ToUtf8(name);
  }
  EXPECT_EQ(registerLibraryModule(registry, project), nullptr);
  EXPECT_EQ(registry.findModule(u"nxr.Application.Library"), module.get());
  module->releaseMethods();
}

}  // namespace
}  // namespace nxr
