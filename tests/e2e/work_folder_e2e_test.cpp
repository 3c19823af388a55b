// The Application's start-up and teardown in this process, against a packed project offered as
// the fallback payload file of the current directory (this test program carries no payload).
#include <gtest/gtest.h>

#include "app/application.h"
#include "driver.h"

namespace nxr::e2e {
namespace {

bool folderExists(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(asWcstr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(WorkFolder, ExistsDuringTheRunAndIsGoneAfterShutdown) {
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  // apps\ holds plain.exe; offer it as the fallback file from a scratch folder.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring scratch =
      std::wstring(temp) + L"nxr-wf-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(scratch.c_str(), nullptr));
  const std::wstring fallback = scratch + L"\\~~~~,~b3.exe";
  ASSERT_TRUE(CopyFileW((appsFolder() + L"\\plain.exe").c_str(), fallback.c_str(), FALSE));
  SetCurrentDirectoryW(scratch.c_str());

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
  SetCurrentDirectoryW(saved);
  DeleteFileW(fallback.c_str());
  RemoveDirectoryW(scratch.c_str());
}

}  // namespace
}  // namespace nxr::e2e
