#include "modules/kiosk_module.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bridge/script_bridge.h"
#include "bridge/testing/recording_diagnostics.h"
#include "bridge/testing/recording_form.h"
#include "bridge/testing/test_module.h"
#include "support/text.h"
#include "support/win.h"

namespace nxr {
namespace {

std::u16string programFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::u16string text = fromWide(path);
  return text.substr(0, text.find_last_of(u'\\'));
}

std::vector<uint8_t> readFile(const std::u16string& path) {
  std::ifstream in(reinterpret_cast<const wchar_t*>(path.c_str()), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::u16string currentDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, path);
  return fromWide(path);
}

// A form with a window handle, so that the one call that passes the window can be checked.
class WindowForm : public testing::RecordingForm {
 public:
  sdk::WindowHandle NXR_CALL getWindow() override { return reinterpret_cast<HWND>(0x5678); }
};

std::u16string request(const std::u16string& command) {
  return testing::invokeRequest(command, u"000000", u"&lt;{brix}&gt;");
}

class KioskModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    workFolder = fromWide(temp) + u"kiosk_test_" + toDecimal(GetCurrentProcessId());
    CreateDirectoryW(asWcstr(workFolder), nullptr);
    libraryPath = workFolder + u"\\dwlGina2.dll";
    registry.registerForm(0, &form);
  }
  void TearDown() override {
    unloadKioskLibrary();
    DeleteFileW(asWcstr(libraryPath));
    RemoveDirectoryW(asWcstr(workFolder));
  }

  KioskLibrarySource source(const std::u16string& libraryFile) {
    image = readFile(programFolder() + u"\\" + libraryFile);
    return {workFolder, &extracted, [this]() -> std::optional<ResourceBytes> {
              if (image.empty()) return std::nullopt;
              return ResourceBytes{image.data(), image.size()};
            }};
  }

  // The calls the test library recorded since the last look.
  std::string takeCalls() {
    HMODULE handle = GetModuleHandleW(asWcstr(libraryPath));
    if (!handle) return "<not loaded>";
    using Take = int32_t(__stdcall*)(char*, int32_t);
    auto take = reinterpret_cast<Take>(
        reinterpret_cast<void*>(GetProcAddress(handle, "kioskTestTakeCalls")));
    char buffer[1024] = {};
    take(buffer, sizeof buffer);
    return buffer;
  }
  void setGinaInstalled(int32_t installed) {
    HMODULE handle = GetModuleHandleW(asWcstr(libraryPath));
    using Set = void(__stdcall*)(int32_t);
    reinterpret_cast<Set>(
        reinterpret_cast<void*>(GetProcAddress(handle, "kioskTestSetGinaInstalled")))(installed);
  }

  std::u16string workFolder;
  std::u16string libraryPath;
  std::vector<std::u16string> extracted;
  std::vector<uint8_t> image;
  ModuleRegistry registry{[] { return DeclarationEnvironment{}; }};
  testing::RecordingDiagnostics diagnostics;
  ScriptBridge bridge{registry, diagnostics};
  WindowForm form;
};

TEST_F(KioskModuleTest, RegistrationWritesLoadsAndRecordsTheLibrary) {
  KioskModule module(source(u"kiosk_module_test_library.dll"));
  ASSERT_TRUE(module.registerMethods());
  EXPECT_TRUE(kioskLibraryLoaded());
  EXPECT_EQ(readFile(libraryPath), image);
  EXPECT_EQ(extracted, std::vector<std::u16string>{libraryPath});
  EXPECT_EQ(moduleName(module), u"nxr.Application.Kiosk");
  int32_t length = 0;
  EXPECT_EQ(std::u16string(module.getVersion(&length)), u"1.0.0");
  // Loading calls nothing in the library.
  EXPECT_EQ(takeCalls(), "");

  // Teardown frees the library, so that its file can be deleted with the work folder.
  EXPECT_FALSE(DeleteFileW(asWcstr(libraryPath)));
  unloadKioskLibrary();
  EXPECT_FALSE(kioskLibraryLoaded());
  EXPECT_TRUE(DeleteFileW(asWcstr(libraryPath)));
  unloadKioskLibrary();  // twice is harmless
}

TEST_F(KioskModuleTest, FailedLoadingCreatesNoMethod) {
  struct Case {
    const char* what;
    std::u16string libraryFile;
    std::vector<uint8_t> bytes;  // used instead of the file when not empty
    bool folderExists;
  };
  const Case cases[] = {
      {"no image", u"no_such_file.dll", {}, true},
      {"image is not a library", u"", {'M', 'Z', 0, 0, 'n', 'o', 't'}, true},
      {"work folder cannot be written", u"kiosk_module_test_library.dll", {}, false},
      {"an entry point is missing", u"kiosk_module_test_library_noexit.dll", {}, true},
  };
  for (const auto& c : cases) {
    KioskLibrarySource src = source(c.libraryFile);
    if (!c.bytes.empty()) image = c.bytes;
    if (!c.folderExists) src.workFolder += u"\\missing";
    KioskModule module(src);
    EXPECT_FALSE(module.registerMethods()) << c.what;
    EXPECT_FALSE(kioskLibraryLoaded()) << c.what;
    EXPECT_EQ(findMethod(module, u"disableAltTab"), nullptr) << c.what;
    unloadKioskLibrary();
    DeleteFileW(asWcstr(libraryPath));
  }
}

TEST_F(KioskModuleTest, StartUpRegistrationFailsWithoutTheResource) {
  // The test program carries no resource BIN 140.
  std::vector<std::u16string> files;
  EXPECT_FALSE(registerKioskModule(registry, workFolder, files));
  EXPECT_EQ(registry.findModule(u"nxr.Application.Kiosk"), nullptr);
  EXPECT_TRUE(files.empty());
}

TEST_F(KioskModuleTest, MethodsCallTheLibrary) {
  KioskModule module(source(u"kiosk_module_test_library.dll"));
  ASSERT_TRUE(module.registerMethods());
  ASSERT_TRUE(registry.registerModule(module.name(), &module));

  // The reply to a call whose result is empty, as the bridge writes it.
  testing::TestModule probe(u"nxr.Probe", {u"empty"});
  probe.registerMethods();
  registry.registerModule(probe.name(), &probe);
  const std::u16string emptyReply = bridge.handleInvoke(request(u"nxr.Probe.empty"));

  struct Case {
    const char16_t* method;
    int32_t ginaInstalled;
    std::string calls;
  };
  const Case cases[] = {
      {u"disableAltEsc", 0, "wlDisableKey(22136,27,1,1);"},
      {u"disableAltF4", 0, "wlDisableKey(0,115,1,1);"},
      {u"disableAltTab", 0, "wlDisableKey(0,9,1,1);"},
      {u"disableAppKey", 0, "wlDisableKey(0,93,0,1);"},
      {u"disableCtrlAltDel", 0, "wlIsGinaInstalled();"},
      {u"disableCtrlAltDel", 1, "wlIsGinaInstalled();wlDisableKey(0,46,3,1);"},
      {u"disableCtrlEsc", 0, "wlDisableKey(0,27,2,1);"},
      {u"disableRMouseButton", 0, "wlDisableKey(0,2,0,1);"},
      {u"disableWinKey", 0, "wlDisableKey(0,0,8,1);"},
      {u"disableWindowsDesktop", 0, "wlDisableItem(2,1);"},
      {u"disableWindowsStartButton", 0, "wlDisableItem(3,1);"},
      {u"disableWindowsTaskbar", 0, "wlDisableItem(5,1);"},
      {u"enableAltEsc", 0, "wlDisableKey(0,27,1,0);"},
      {u"enableAltF4", 0, "wlDisableKey(0,115,1,0);"},
      {u"enableAltTab", 0, "wlDisableKey(0,9,1,0);"},
      {u"enableAppKey", 0, "wlDisableKey(0,93,0,0);"},
      {u"enableCtrlAltDel", 0, "wlIsGinaInstalled();"},
      {u"enableCtrlAltDel", 1, "wlIsGinaInstalled();wlDisableKey(0,46,3,0);"},
      {u"enableCtrlEsc", 0, "wlDisableKey(0,27,2,0);"},
      {u"enableRMouseButton", 0, "wlDisableKey(0,2,0,0);"},
      {u"enableWinKey", 0, "wlDisableKey(0,0,8,0);"},
      {u"enableWindowsDesktop", 0, "wlDisableItem(2,0);"},
      {u"enableWindowsStartButton", 0, "wlDisableItem(3,0);"},
      {u"enableWindowsTaskbar", 0, "wlDisableItem(5,0);"},
      {u"installLoginScreen", 1, "wlIsGinaInstalled();"},
      {u"uninstallLoginScreen", 0, "wlIsGinaInstalled();"},
      {u"uninstallLoginScreen", 1, "wlIsGinaInstalled();wlUninstallGina(26);"},
  };
  for (const auto& c : cases) {
    setGinaInstalled(c.ginaInstalled);
    takeCalls();
    EXPECT_EQ(bridge.handleInvoke(request(u"nxr.Application.Kiosk." + std::u16string(c.method))),
              emptyReply)
        << utf16ToUtf8(c.method);
    EXPECT_EQ(takeCalls(), c.calls) << utf16ToUtf8(c.method) << " gina " << c.ginaInstalled;
  }
  EXPECT_TRUE(diagnostics.boxes.empty());

  // After teardown has freed the library the methods do nothing.
  unloadKioskLibrary();
  EXPECT_EQ(bridge.handleInvoke(request(u"nxr.Application.Kiosk.disableAltTab")), emptyReply);
}

TEST_F(KioskModuleTest, InstallLoginScreenRunsInTheWorkFolder) {
  KioskModule module(source(u"kiosk_module_test_library.dll"));
  ASSERT_TRUE(module.registerMethods());
  sdk::ModuleMethod* install = findMethod(module, u"installLoginScreen");
  ASSERT_NE(install, nullptr);
  const std::u16string before = currentDirectory();
  takeCalls();
  invokeMethod(*install, &form, {});
  EXPECT_EQ(takeCalls(),
            "wlIsGinaInstalled();cwd=" + utf16ToUtf8(workFolder) + ";wlInstallGina(25);");
  EXPECT_EQ(currentDirectory(), before);
}

// The shipped key-lock library exports every entry point the module resolves; the calls made here
// ask only whether the login screen is installed, which it never is, and so change nothing.
TEST_F(KioskModuleTest, LoadsTheRealLibrary) {
  KioskModule module(source(u"dwlGina2.dll"));
  ASSERT_FALSE(image.empty());
  ASSERT_TRUE(module.registerMethods());
  for (const char16_t* name :
       {u"disableCtrlAltDel", u"enableCtrlAltDel", u"uninstallLoginScreen"}) {
    sdk::ModuleMethod* method = findMethod(module, name);
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(invokeMethod(*method, &form, {}), u"");
  }
}

}  // namespace
}  // namespace nxr
