// The Application's start-up and teardown in this process, against a packed project offered as
// the fallback payload file of the current directory (this test program carries no payload).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/application.h"
#include "bridge/module_registry.h"
#include "driver.h"

namespace nxr::e2e {
namespace {

bool folderExists(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(asWcstr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Offers apps\NAME.exe as the fallback payload file of a scratch folder made current for the
// object's life.
class FallbackProject {
 public:
  explicit FallbackProject(const wchar_t* name) {
    GetCurrentDirectoryW(MAX_PATH, saved_);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    scratch_ = std::wstring(temp) + L"nxr-wf-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(scratch_.c_str(), nullptr);
    fallback_ = scratch_ + L"\\~~~~,~b3.exe";
    ready_ = CopyFileW((appsFolder() + L"\\" + name + L".exe").c_str(), fallback_.c_str(), FALSE);
    SetCurrentDirectoryW(scratch_.c_str());
  }
  ~FallbackProject() {
    SetCurrentDirectoryW(saved_);
    DeleteFileW(fallback_.c_str());
    RemoveDirectoryW(scratch_.c_str());
  }
  bool ready() const { return ready_; }

 private:
  wchar_t saved_[MAX_PATH];
  std::wstring scratch_;
  std::wstring fallback_;
  bool ready_ = false;
};

TEST(WorkFolder, ExistsDuringTheRunAndIsGoneAfterShutdown) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  FallbackProject project(L"plain");
  ASSERT_TRUE(project.ready());

  std::u16string folder;
  {
    Application application;
    ASSERT_TRUE(application.init(GetModuleHandleW(nullptr)));
    EXPECT_EQ(application.title(), u"Plain App");
    folder = application.workFolder();
    ASSERT_TRUE(folderExists(folder));
    // Under the temporary folder, named wrd<hex>.~lk, no trailing backslash.
    const std::u16string tempFolder = asU16cstr(temp);
    ASSERT_EQ(folder.rfind(tempFolder, 0), 0u);
    const std::u16string name = folder.substr(tempFolder.size());
    EXPECT_EQ(name.substr(0, 3), u"wrd");
    EXPECT_EQ(name.substr(name.size() - 4), u".~lk");
    EXPECT_EQ(name.find_first_not_of(u"0123456789abcdef", 3), name.size() - 4);
    // Whatever the run leaves inside goes with the folder, files and folders alike.
    ASSERT_TRUE(CreateDirectoryW(asWcstr(folder + u"\\sub"), nullptr));
    HANDLE file = CreateFileW(asWcstr(folder + u"\\sub\\x.bin"), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    application.shutdown();
    EXPECT_FALSE(folderExists(folder));
    application.shutdown();  // a second teardown does nothing
  }
}

// The built-in modules each run mode registers (the registry keeps them by name).
TEST(BuiltinModules, RegisteredByRunMode) {
  using Names = std::vector<std::u16string>;
  struct Case {
    const wchar_t* project;
    Names modules;
  };
  const Case cases[] = {
      {L"plain", {u"nxr.Application", u"nxr.Application.Library", u"nxr.Application.Timer"}},
      {L"screensaver",
       {u"nxr.Application", u"nxr.Application.Library", u"nxr.Application.Screensaver",
        u"nxr.Application.Timer"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.project);
    FallbackProject project(c.project);
    ASSERT_TRUE(project.ready());
    Application application;
    ASSERT_TRUE(application.init(GetModuleHandleW(nullptr)));
    EXPECT_EQ(ModuleRegistry::instance().moduleNames(), c.modules);
    ASSERT_NE(application.applicationModule(), nullptr);
    EXPECT_EQ(ModuleRegistry::instance().findModule(u"nxr.Application"),
              application.applicationModule());
    application.shutdown();
    EXPECT_TRUE(ModuleRegistry::instance().moduleNames().empty());
  }
}

}  // namespace
}  // namespace nxr::e2e
