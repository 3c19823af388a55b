// The plug-in loader under the real API, with small test libraries built beside the program.
#include <gtest/gtest.h>
#include <windows.h>

#include "bridge/plugins.h"
#include "bridge/script_bridge.h"
#include "bridge/testing/recording_diagnostics.h"
#include "bridge/testing/recording_form.h"
#include "bridge/testing/test_module.h"
#include "support/text.h"
#include "support/win.h"

namespace nxr {
namespace {

using testing::RecordingForm;
using testing::TestModule;

std::u16string programFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::u16string text = fromWide(path);
  return text.substr(0, text.rfind(u'\\'));
}

std::vector<uint8_t> readFile(const std::u16string& path) {
  ScopedFileHandle file(CreateFileW(asWcstr(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  std::vector<uint8_t> bytes;
  if (!file.valid()) return bytes;
  bytes.resize(GetFileSize(file.get(), nullptr));
  DWORD read = 0;
  ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

std::vector<uint8_t> testPlugin(const char16_t* name) {
  return readFile(programFolder() + u"\\test_plugin_" + name + u".dll");
}

bool isLoaded(const std::u16string& path) { return GetModuleHandleW(asWcstr(path)) != nullptr; }

// A fresh folder under the temporary folder, removed with its files at the end.
class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ =
        fromWide(temp) + u"nxrplug" + toHex(GetCurrentProcessId()) + u"_" + toDecimal(counter_++);
    CreateDirectoryW(asWcstr(path_), nullptr);
  }
  ~TempFolder() {
    WIN32_FIND_DATAW entry = {};
    ScopedFindHandle search(FindFirstFileW(asWcstr(path_ + u"\\*"), &entry));
    if (search.valid()) {
      do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
          DeleteFileW(asWcstr(path_ + u"\\" + fromWide(entry.cFileName)));
        }
      } while (FindNextFileW(search.get(), &entry));
    }
    search.reset();
    RemoveDirectoryW(asWcstr(path_));
  }
  const std::u16string& path() const { return path_; }
  std::u16string put(const std::u16string& name, const std::vector<uint8_t>& bytes) {
    std::vector<std::u16string> written;
    std::u16string target = path_ + u"\\" + name;
    ScopedFileHandle file(
        CreateFileW(asWcstr(target), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD count = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr);
    return target;
  }

 private:
  static inline int counter_ = 0;
  std::u16string path_;
};

std::u16string call(ModuleRegistry& registry, const std::u16string& command) {
  testing::RecordingDiagnostics diagnostics;
  ScriptBridge bridge(registry, diagnostics);
  std::u16string reply = bridge.handleInvoke(u"<invoke name=\"" + command +
                                             u"\"><arguments><string>000000</string>"
                                             u"</arguments></invoke>");
  return diagnostics.boxes.empty() ? reply : u"box: " + diagnostics.boxes[0];
}

TEST(Plugins, EmbeddedPluginsAreWrittenAsNumberedFilesAndRegistered) {
  TempFolder work;
  std::vector<std::u16string> written;
  ASSERT_TRUE(writePluginFiles({testPlugin(u"filesystem"), testPlugin(u"application")},
                               work.path() + u"\\", written));
  EXPECT_EQ(written,
            (std::vector<std::u16string>{work.path() + u"\\0.nxq", work.path() + u"\\1.nxq"}));
  EXPECT_EQ(readFile(written[1]), testPlugin(u"application"));

  ModuleRegistry registry;
  RecordingForm form;
  registry.registerForm(0, &form);
  ASSERT_TRUE(scanPlugins(registry, work.path()));
  EXPECT_TRUE(registry.hasCommandThread());
  EXPECT_EQ(registry.pluginLibraryCount(), 2u);
  EXPECT_EQ(call(registry, u"nxr.FileSystem.whoami"), u"&quot;nxr.FileSystem&quot;");

  // The plug-in took the name "nxr.Application": the built-in module is not entered.
  TestModule builtIn(u"nxr.Application", {u"whoami"});
  builtIn.answer = [](const std::vector<std::u16string>&) { return u"\"built-in\""; };
  builtIn.registerMethods();
  EXPECT_FALSE(registry.registerModule(builtIn.name(), &builtIn));
  EXPECT_EQ(call(registry, u"nxr.Application.whoami"), u"&quot;nxr.Application&quot;");

  registry.shutdown();
  EXPECT_FALSE(isLoaded(written[0]));
  EXPECT_FALSE(isLoaded(written[1]));
  EXPECT_EQ(registry.findModule(u"nxr.FileSystem"), nullptr);
}

TEST(Plugins, WritingFailsWhenTheFolderIsMissing) {
  std::vector<std::u16string> written;
  EXPECT_FALSE(writePluginFiles({{1, 2}}, u"C:\\no\\such\\folder", written));
  EXPECT_TRUE(written.empty());
  EXPECT_TRUE(writePluginFiles({}, u"C:\\no\\such\\folder", written));
}

TEST(Plugins, LibraryResultsTable) {
  struct Case {
    const char16_t* variant;
    bool loads;
    bool kept;
    std::vector<std::u16string> modules;
  };
  const Case cases[] = {
      {u"filesystem", true, true, {u"nxr.FileSystem"}},
      {u"zero", true, true, {}},
      {u"minus", false, false, {}},
      {u"noinstance", false, false, {}},
      // The first module registers, the second fails: nothing of the library stays.
      {u"failing", false, false, {}},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    std::u16string path = folder.put(u"lib.nxq", testPlugin(c.variant));
    ModuleRegistry registry;
    EXPECT_EQ(loadPluginLibrary(registry, path), c.loads) << utf16ToUtf8(c.variant);
    EXPECT_EQ(isLoaded(path), c.kept) << utf16ToUtf8(c.variant);
    EXPECT_EQ(registry.moduleNames(), c.modules) << utf16ToUtf8(c.variant);
    EXPECT_EQ(registry.pluginLibraryCount(), c.kept ? 1u : 0u) << utf16ToUtf8(c.variant);
    EXPECT_FALSE(registry.hasCommandThread());
    registry.shutdown();
    EXPECT_FALSE(isLoaded(path));
  }
  ModuleRegistry registry;
  EXPECT_FALSE(loadPluginLibrary(registry, u"C:\\no\\such.nxq"));
}

TEST(Plugins, AFailedLibraryStopsTheScanWithoutCommandThread) {
  TempFolder folder;
  folder.put(u"a.nxq", testPlugin(u"minus"));
  ModuleRegistry registry;
  EXPECT_FALSE(scanPlugins(registry, folder.path()));
  EXPECT_FALSE(registry.hasCommandThread());
  TempFolder empty;
  EXPECT_FALSE(scanPlugins(registry, empty.path()));
  EXPECT_FALSE(scanPlugins(registry, empty.path() + u"\\missing"));
  EXPECT_FALSE(registry.hasCommandThread());
}

TEST(Plugins, CurrentDirectoryIsScannedWhenTheWorkFolderHasNone) {
  TempFolder work, current;
  current.put(u"fs.nxq", testPlugin(u"filesystem"));
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(asWcstr(current.path())));
  ModuleRegistry registry;
  bool scanned = scanPluginFolders(registry, work.path());
  SetCurrentDirectoryW(saved);
  EXPECT_TRUE(scanned);
  EXPECT_NE(registry.findModule(u"nxr.FileSystem"), nullptr);
  EXPECT_TRUE(registry.hasCommandThread());
  registry.shutdown();

  // Neither folder holds a plug-in: no command thread.
  TempFolder none;
  ASSERT_TRUE(SetCurrentDirectoryW(asWcstr(none.path())));
  ModuleRegistry bare;
  scanned = scanPluginFolders(bare, work.path());
  SetCurrentDirectoryW(saved);
  EXPECT_FALSE(scanned);
  EXPECT_FALSE(bare.hasCommandThread());
}

TEST(Plugins, CommandThreadTicksAPluginModuleOnlyAfterReady) {
  TempFolder work;
  work.put(u"0.nxq", testPlugin(u"filesystem"));
  ModuleRegistry registry;
  RecordingForm form;
  registry.registerForm(0, &form);
  ASSERT_TRUE(scanPlugins(registry, work.path()));
  Sleep(200);  // several tick periods
  EXPECT_EQ(call(registry, u"nxr.FileSystem.ticks"), u"0");
  registry.setReady(nullptr);
  bool ticked = false;
  for (int i = 0; i < 500 && !ticked; ++i) {
    Sleep(10);
    ticked = call(registry, u"nxr.FileSystem.ticks") != u"0";
  }
  EXPECT_TRUE(ticked);
  registry.shutdown();
}

}  // namespace
}  // namespace nxr
