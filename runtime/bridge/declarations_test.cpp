#include "bridge/declarations.h"

#include <gtest/gtest.h>

#include "bridge/module_registry.h"
#include "bridge/testing/recording_form.h"
#include "bridge/testing/test_module.h"
#include "support/text.h"

namespace nxr {
namespace {

#include "bridge/testdata_class_declarations.inc"

DeclarationEnvironment fixedEnvironment() {
  DeclarationEnvironment env;
  env.executablePath = u"C:\\Program Files\\Demo App\\demo.exe";
  env.screenWidth = 1024;
  env.screenHeight = 768;
  env.tempPath = u"C:\\users\\tester\\Temp\\";
  env.specialFolders = {
      {0x02, u"C:\\users\\tester\\Start Menu\\Programs"},
      {0x26, u"C:\\Program Files"},
      {0x24, u"C:\\windows"},
      {0x25, u"C:\\windows\\system32"},
      {0x00, u"C:\\users\\tester\\Desktop"},
      {0x05, u"C:\\users\\tester\\Documents"},
      {0x06, u"C:\\users\\tester\\Favorites"},
      {0x07, u"C:\\users\\tester\\Start Menu\\Programs\\Startup"},
      {0x08, u"C:\\users\\tester\\Recent"},
      {0x14, u"C:\\windows\\Fonts"},
      {0x22, u"C:\\users\\tester\\History"},
      {0x21, u"C:\\users\\tester\\Cookies"},
      {0x13, u"C:\\users\\tester\\NetHood"},
      {0x0B, u"C:\\users\\tester\\Start Menu"},
      {0x1A, u"C:\\users\\tester\\AppData\\Roaming"},
      {0x23, u"C:\\ProgramData"},
      {0x17, u"C:\\ProgramData\\Programs"},
      {0x16, u"C:\\ProgramData\\Start Menu"},
      {0x18, u"C:\\ProgramData\\Startup"},
  };
  return env;
}

// Where two texts first differ, for a readable failure.
std::string firstDifference(const std::u16string& got, const std::u16string& expected) {
  size_t i = 0;
  while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
  size_t from = i < 60 ? 0 : i - 60;
  return "at " + std::to_string(i) + "\n got: ..." + utf16ToUtf8(got.substr(from, 120)) +
         "\nwant: ..." + utf16ToUtf8(expected.substr(from, 120));
}

TEST(ClassDeclarations, FullTextForAFixedMachine) {
  std::u16string expected = kClassDeclarationsFixture;
  std::u16string got = classDeclarationText(
      {u"nxr.Application", u"nxr.Extensions", u"nxr.Extensions.Foo"}, fixedEnvironment());
  EXPECT_EQ(got, expected) << firstDifference(got, expected);
}

TEST(ClassDeclarations, ThroughTheRegistryWithItsModules) {
  ModuleRegistry registry(fixedEnvironment);
  testing::TestModule foo(u"nxr.Extensions.Foo"), app(u"nxr.Application"),
      extensions(u"nxr.Extensions");
  for (testing::TestModule* module : {&foo, &app, &extensions}) {
    registry.registerModule(module->name(), module);
  }
  EXPECT_EQ(registry.classDeclarations(), std::u16string(kClassDeclarationsFixture));
}

TEST(ClassDeclarations, ExtensionBlocksFollowTheFirstBlock) {
  DeclarationEnvironment env = fixedEnvironment();
  std::u16string text =
      classDeclarationText({u"nxr.Extensions", u"nxr.ExtensionsXBar", u"nxr.Other"}, env);
  EXPECT_TRUE(text.starts_with(
      u"Extensions<{!!z!!}><{!z!!}>Extensions.Bar<{!!z!!}><{!z!!}>GlobalVariables"));
  text = classDeclarationText({u"nxr.Extensions"}, env);
  EXPECT_TRUE(text.starts_with(u"Extensions<{!!z!!}><{!z!!}>GlobalVariables"));
}

TEST(ClassDeclarations, ProgramPathValues) {
  struct Case {
    std::u16string executable;
    std::u16string path;
    std::u16string fileName;
  };
  const Case cases[] = {
      {u"C:\\Apps\\run.exe", u"C:\\\\Apps\\\\", u"run.exe"},
      {u"C:\\run.exe", u"C:\\\\", u"run.exe"},
      {u"run.exe", u"\\\\", u"run.exe"},
  };
  for (const auto& c : cases) {
    DeclarationEnvironment env;
    env.executablePath = c.executable;
    std::u16string text = classDeclarationText({}, env);
    std::u16string expected =
        u"Application<{!!z!!}>title<{z}>string<{z}>getset<{z}> <{!z!}>"
        u"isMinimized<{z}>boolean<{z}>get<{z}> <{!z!}>"
        u"path<{z}>string<{z}>ppsv<{z}>" +
        c.path +
        u"<{!z!}>"
        u"pathUnicode<{z}>string<{z}>ppsv<{z}>" +
        c.path +
        u"<{!z!}>"
        u"filename<{z}>string<{z}>ppsv<{z}>" +
        c.fileName +
        u"<{!z!}>"
        u"filenameUnicode<{z}>string<{z}>ppsv<{z}>" +
        c.fileName + u"<{!z!!}>";
    EXPECT_NE(text.find(expected), std::u16string::npos) << utf16ToUtf8(c.executable);
  }
}

TEST(ClassDeclarations, UnavailableFoldersGiveABackslash) {
  DeclarationEnvironment env;
  std::u16string text = classDeclarationText({}, env);
  EXPECT_NE(text.find(u"programs<{z}>string<{z}>ppsv<{z}>\\<{!z!}>"), std::u16string::npos);
  // The temporary folder already ends with a backslash; without one nothing is added.
  EXPECT_NE(text.find(u"temp<{z}>string<{z}>ppsv<{z}><{!z!}>"), std::u16string::npos);
}

TEST(ClassDeclarations, FolderIdsCoverEveryPathEntryOnce) {
  std::vector<int32_t> ids = systemPathFolderIds();
  std::vector<int32_t> expected = {0x02, 0x26, 0x24, 0x25, 0x00, 0x05, 0x06, 0x07, 0x08, 0x14,
                                   0x22, 0x21, 0x13, 0x0B, 0x1A, 0x2F, 0x23, 0x17, 0x16, 0x18};
  EXPECT_EQ(ids, expected);
}

TEST(FormDeclarations, MainAndHelpFromEitherForm) {
  testing::RecordingForm main(0, u"main");
  testing::RecordingForm help(1, u"help", true);
  ModuleRegistry registry;
  EXPECT_EQ(registry.formDeclarations(0), u"");
  // Registered out of order: the text follows the index order.
  registry.registerForm(1, &help);
  registry.registerForm(0, &main);
  EXPECT_EQ(registry.formDeclarations(1),
            u"main<{!z!}>standard<{!z!!}>help<{!z!}>transparent<{!z!}>thisForm<{!z!!}>");
  EXPECT_EQ(registry.formDeclarations(0),
            u"main<{!z!}>standard<{!z!}>thisForm<{!z!!}>help<{!z!}>transparent<{!z!!}>");
  EXPECT_EQ(registry.formDeclarations(7),
            u"main<{!z!}>standard<{!z!!}>help<{!z!}>transparent<{!z!!}>");
}

}  // namespace
}  // namespace nxr
