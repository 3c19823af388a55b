// Start-up of packed applications as separate processes: payload lookup, the password dialog,
// the exit codes and the work folder's removal.
#include <gtest/gtest.h>

#include "driver.h"

namespace nxr::e2e {
namespace {

constexpr DWORD kFailed = 0xFFFFFFFFu;  // exit code -1

std::wstring app(const wchar_t* name) { return appsFolder() + L"\\" + name + L".exe"; }

// A fresh empty folder under the temporary folder, removed with the object.
class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"nxr-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter_++);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    for (const auto& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW(path_.c_str());
  }
  const std::wstring& path() const { return path_; }
  void copyIn(const std::wstring& from, const std::wstring& name) {
    files_.push_back(path_ + L"\\" + name);
    ASSERT_TRUE(CopyFileW(from.c_str(), files_.back().c_str(), FALSE));
  }

 private:
  static inline int counter_ = 0;
  std::wstring path_;
  std::vector<std::wstring> files_;
};

TEST(Startup, WithoutPayloadExitsWithMinusOneAndShowsNothing) {
  ScratchFolder empty;
  AppProcess process(appsFolder() + L"\\nxr.exe", empty.path());
  ASSERT_TRUE(process.started());
  bool sawWindow = false;
  for (int i = 0; i < 400 && !process.hasExited(50); ++i) {
    sawWindow = sawWindow || process.hasVisibleWindow();
  }
  EXPECT_EQ(process.waitForExit(), kFailed);
  EXPECT_FALSE(sawWindow);
}

TEST(Startup, RunsTheFallbackPayloadInTheCurrentDirectory) {
  ScratchFolder folder;
  folder.copyIn(app(L"plain"), L"~~~~,~b3.exe");
  AppProcess process(appsFolder() + L"\\nxr.exe", folder.path());
  ASSERT_TRUE(process.started());
  EXPECT_EQ(process.waitForExit(), 0u);
}

TEST(Startup, PlainProjectExitsWithZeroAndRemovesItsWorkFolder) {
  const auto before = workFolders();
  AppProcess process(app(L"plain"));
  ASSERT_TRUE(process.started());
  EXPECT_EQ(process.waitForExit(), 0u);
  EXPECT_EQ(workFolders(), before);
}

TEST(Startup, EmbeddedPluginIsUnloadedBeforeTheWorkFolderGoes) {
  // The plug-in file is loaded from the work folder; if it were still loaded at removal, the
  // folder would be left behind.
  const auto before = workFolders();
  AppProcess process(app(L"with_plugin"));
  ASSERT_TRUE(process.started());
  EXPECT_EQ(process.waitForExit(), 0u);
  EXPECT_EQ(workFolders(), before);
}

TEST(Startup, KioskBuildLoadsTheKeyLockLibraryAndRemovesItAtExit) {
  const auto before = workFolders();
  AppProcess process(app(L"kiosk"));
  ASSERT_TRUE(process.started());
  EXPECT_EQ(process.waitForExit(), 0u);
  EXPECT_EQ(workFolders(), before);
}

TEST(Startup, OldFormatRecordNeverAsksForThePassword) {
  AppProcess process(app(L"old_format"));
  ASSERT_TRUE(process.started());
  EXPECT_EQ(process.waitForExit(), 0u);
}

enum class Press { Ok, Cancel, CloseBox };

struct PasswordCase {
  const wchar_t* app;
  const wchar_t* title;
  const wchar_t* typed;
  Press press;
  bool wrongMessage;
  DWORD exitCode;
};

class PasswordDialog : public ::testing::TestWithParam<PasswordCase> {};

// A visible message box of the process with the given caption that says text.
HWND waitForMessage(AppProcess& process, const std::wstring& caption, const std::wstring& text) {
  for (int i = 0; i < 200; ++i) {
    HWND box = process.waitForWindow(L"#32770", caption, 100);
    if (box && hasChildText(box, text)) return box;
  }
  return nullptr;
}

TEST_P(PasswordDialog, AcceptsOnlyTheExactPassword) {
  const PasswordCase& c = GetParam();
  const auto before = workFolders();
  AppProcess process(app(c.app));
  ASSERT_TRUE(process.started());
  HWND dialog = process.waitForWindow(L"#32770", c.title);
  ASSERT_NE(dialog, nullptr) << "no password dialog captioned with the project title";
  HWND edit = GetDlgItem(dialog, 1000);
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(hasChildText(dialog, L"Password:"));
  typeText(edit, c.typed);
  switch (c.press) {
    case Press::Ok:
      pressButton(dialog, IDOK);
      break;
    case Press::Cancel:
      pressButton(dialog, IDCANCEL);
      break;
    case Press::CloseBox:
      PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
  }
  if (c.wrongMessage) {
    HWND box = waitForMessage(process, c.title, L"Password is incorrect!");
    ASSERT_NE(box, nullptr) << "no \"Password is incorrect!\" box";
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  // Without the wrong-password box nothing waits for the user: the process ends by itself.
  EXPECT_EQ(process.waitForExit(), c.exitCode);
  EXPECT_EQ(workFolders(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Startup, PasswordDialog,
    ::testing::Values(
        PasswordCase{L"locked", L"Locked App", L"s3cret", Press::Ok, false, 0},
        PasswordCase{L"locked", L"Locked App", L"S3cret", Press::Ok, true, kFailed},
        PasswordCase{L"locked", L"Locked App", L"s3cret ", Press::Ok, true, kFailed},
        PasswordCase{L"locked", L"Locked App", L"", Press::Ok, true, kFailed},
        PasswordCase{L"locked", L"Locked App", L"s3cret", Press::Cancel, false, kFailed},
        PasswordCase{L"locked", L"Locked App", L"s3cret", Press::CloseBox, false, kFailed},
        PasswordCase{L"locked_empty", L"Empty Lock", L"", Press::Ok, false, 0},
        PasswordCase{L"locked_empty", L"Empty Lock", L"x", Press::Ok, true, kFailed}));

}  // namespace
}  // namespace nxr::e2e
