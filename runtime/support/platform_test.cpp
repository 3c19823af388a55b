// The platform helpers against the real Windows calls (run under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/folders.h"
#include "support/library.h"
#include "support/message_box.h"
#include "support/resources.h"
#include "support/text.h"
#include "support/win.h"

// clang-format off
#include <shlobj.h>
// clang-format on

namespace nxr {
namespace {

// A fresh folder under the temporary folder, removed with everything in it afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    static int counter = 0;
    path_ = tempFolder() + u"nxrtest" + toHex(GetCurrentProcessId()) + u"_" + toDecimal(++counter);
    CreateDirectoryW(asWcstr(path_), nullptr);
  }
  ~ScratchFolder() { deleteFolderTree(path_); }
  const std::u16string& path() const { return path_; }
  std::u16string operator/(const std::u16string& name) const { return path_ + u"\\" + name; }

 private:
  std::u16string path_;
};

bool exists(const std::u16string& path) {
  return GetFileAttributesW(asWcstr(path)) != INVALID_FILE_ATTRIBUTES;
}

void writeText(const std::u16string& path, const std::string& bytes) {
  ASSERT_TRUE(writeWholeFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

// ---- resources and bitmaps ----

TEST(Resources, BinResourceOfTheExecutable) {
  auto bytes = loadBinResource(201);
  ASSERT_TRUE(bytes.has_value());
  const char expected[] = "nxr test resource\0\x01\x02\xff";
  ASSERT_EQ(bytes->size, sizeof(expected) - 1);
  EXPECT_EQ(std::memcmp(bytes->data, expected, bytes->size), 0);
  EXPECT_FALSE(loadBinResource(202).has_value());
}

// A BMP file of the given pixel rows (bottom row first), 24 bits or 8 bits with a palette.
std::vector<uint8_t> makeBmp(int width, int height, int bitCount,
                             const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& bits) {
  const uint32_t tableSize = static_cast<uint32_t>(palette.size() * 4);
  const uint32_t offset = 14 + 40 + tableSize;
  std::vector<uint8_t> file;
  auto put16 = [&](uint32_t v) {
    file.push_back(static_cast<uint8_t>(v));
    file.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  put16(0x4D42);
  put32(offset + static_cast<uint32_t>(bits.size()));
  put32(0);
  put32(offset);
  put32(40);
  put32(static_cast<uint32_t>(width));
  put32(static_cast<uint32_t>(height));
  put16(1);
  put16(static_cast<uint32_t>(bitCount));
  put32(BI_RGB);
  put32(static_cast<uint32_t>(bits.size()));
  put32(2835);
  put32(2835);
  put32(static_cast<uint32_t>(palette.size()));
  put32(0);
  for (uint32_t colour : palette) put32(colour);
  file.insert(file.end(), bits.begin(), bits.end());
  return file;
}

COLORREF pixelOf(HBITMAP bitmap, int x, int y) {
  ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
  HGDIOBJ old = SelectObject(dc.get(), bitmap);
  COLORREF colour = GetPixel(dc.get(), x, y);
  SelectObject(dc.get(), old);
  return colour;
}

TEST(Bitmap, FromBmpBytes) {
  // 2 x 2, 24 bits, rows padded to 8 bytes, bottom row first; pixels stored blue, green, red.
  std::vector<uint8_t> bits = {
      0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0,  // bottom: red, green
      0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0,  // top: blue, white
  };
  Bitmap bitmap;
  std::vector<uint8_t> bmp = makeBmp(2, 2, 24, {}, bits);
  ASSERT_TRUE(bitmap.createFromBmp(bmp.data(), bmp.size()));
  EXPECT_EQ(bitmap.width(), 2);
  EXPECT_EQ(bitmap.height(), 2);
  EXPECT_EQ(pixelOf(bitmap.get(), 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(pixelOf(bitmap.get(), 1, 0), RGB(255, 255, 255));
  EXPECT_EQ(pixelOf(bitmap.get(), 0, 1), RGB(255, 0, 0));
  EXPECT_EQ(pixelOf(bitmap.get(), 1, 1), RGB(0, 255, 0));

  // 3 x 1 with a colour table.
  std::vector<uint8_t> indexed = makeBmp(3, 1, 8, {0x00112233, 0x00FF8000}, {1, 0, 1, 0});
  ASSERT_TRUE(bitmap.createFromBmp(indexed.data(), indexed.size()));
  EXPECT_EQ(bitmap.width(), 3);
  EXPECT_EQ(bitmap.height(), 1);
  EXPECT_EQ(pixelOf(bitmap.get(), 0, 0), RGB(0xFF, 0x80, 0x00));
  EXPECT_EQ(pixelOf(bitmap.get(), 1, 0), RGB(0x11, 0x22, 0x33));

  bitmap.clear();
  EXPECT_EQ(bitmap.get(), nullptr);
  EXPECT_EQ(bitmap.width(), 0);
}

TEST(Bitmap, RefusesBytesThatAreNotACompleteBmp) {
  std::vector<uint8_t> good = makeBmp(2, 2, 24, {}, std::vector<uint8_t>(16, 0x80));
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"wrong magic", good},
      {"pixel bits cut short", std::vector<uint8_t>(good.begin(), good.end() - 1)},
      {"headers only", std::vector<uint8_t>(good.begin(), good.begin() + 54)},
      {"file header only", std::vector<uint8_t>(good.begin(), good.begin() + 14)},
      {"bits offset past the end", good},
      {"empty", {}},
  };
  cases[0].bytes[0] = 'X';
  cases[4].bytes[10] = 0xF0;
  for (const Case& c : cases) {
    Bitmap bitmap;
    EXPECT_FALSE(bitmap.createFromBmp(c.bytes.data(), c.bytes.size())) << c.what;
    EXPECT_EQ(bitmap.get(), nullptr) << c.what;
  }
}

// ---- message boxes ----

enum class Press { kOk, kCancel, kEscape, kYes, kNo, kRetry };

struct BoxSeen {
  bool found = false;
  HICON icon = nullptr;  // the icon the box shows, null for none
  std::u16string okLabel;
  std::u16string cancelLabel;
};

std::u16string labelOf(HWND box, int id) {
  wchar_t text[64] = {};
  HWND button = GetDlgItem(box, id);
  if (!button) return u"(none)";
  GetWindowTextW(button, text, 64);
  return fromWide(text);
}

HICON shownIcon(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    LONG style = GetWindowLongW(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
      if (HICON icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0))) {
        return icon;
      }
    }
  }
  return nullptr;
}

// Runs on a second thread: waits for the box with the caption, records what it shows and
// presses a button or a key the way a user would.
void driveBox(const std::u16string& caption, Press press, bool relabelled, BoxSeen& seen) {
  HWND box = nullptr;
  for (int i = 0; i < 500 && !box; ++i) {
    box = FindWindowW(L"#32770", asWcstr(caption));
    if (!box || !IsWindowVisible(box)) {
      box = nullptr;
      Sleep(20);
    }
  }
  if (!box) return;
  seen.found = true;
  // The relabelling happens as the box is activated, which may follow its showing.
  for (int i = 0; i < 100 && relabelled && labelOf(box, IDOK) != u"&Abort"; ++i) Sleep(20);
  seen.icon = shownIcon(box);
  seen.okLabel = labelOf(box, IDOK);
  seen.cancelLabel = labelOf(box, IDCANCEL);
  auto click = [&](int id) { PostMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0); };
  switch (press) {
    case Press::kOk:
      click(IDOK);
      break;
    case Press::kCancel:
      click(IDCANCEL);
      break;
    case Press::kYes:
      click(IDYES);
      break;
    case Press::kNo:
      click(IDNO);
      break;
    case Press::kRetry:
      click(IDRETRY);
      break;
    case Press::kEscape: {
      HWND target = GetWindow(box, GW_CHILD);
      GUITHREADINFO info = {};
      info.cbSize = sizeof(info);
      if (GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info) && info.hwndFocus) {
        target = info.hwndFocus;
      }
      PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
      break;
    }
  }
}

TEST(MessageBoxes, StylesFromTypeFlags) {
  struct Case {
    uint32_t type;
    UINT style;
  } cases[] = {
      {0x0101, MB_ICONQUESTION | MB_OK},
      {0x0202, MB_ICONHAND | MB_OKCANCEL},
      {0x0204, MB_ICONASTERISK | MB_OKCANCEL},
      {0x0108, MB_ICONEXCLAMATION | MB_OK},
      {0x0403, MB_RETRYCANCEL},
      {0x0800, MB_YESNO},
      {0x1010, MB_YESNOCANCEL},
      {0x2004, MB_ICONASTERISK | MB_OKCANCEL},
      {0x0300, MB_OK},
      {0x0000, MB_OK},
      {0x0C0C, MB_OK},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(messageBoxStyle(c.type), c.style) << std::hex << c.type;
  }
}

TEST(MessageBoxes, ResultCodesOfThePressedButton) {
  struct Case {
    uint32_t type;
    int pressed;
    int32_t result;
  } cases[] = {
      {0x0200, IDOK, 16},     {0x0200, IDCANCEL, 2}, {0x0100, IDABORT, 1},  {0x0400, IDRETRY, 32},
      {0x0100, IDIGNORE, 4},  {0x0800, IDYES, 64},   {0x0800, IDNO, 8},     {0x0100, 0, 128},
      {0x0100, IDCLOSE, 128}, {0x2000, IDOK, 1},     {0x2000, IDCANCEL, 4}, {0x2004, IDOK, 1},
      {0x2000, 0, 128},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(messageBoxResult(c.type, c.pressed), c.result)
        << std::hex << c.type << " " << c.pressed;
  }
}

// Each real box costs about two seconds under Wine without a window manager, so the boxes
// shown are the few that need a real one: icons, keys and the relabelling.
TEST(MessageBoxes, ButtonsGiveTheirCodes) {
  const HICON information = LoadIconW(nullptr, IDI_INFORMATION);
  const HICON warning = LoadIconW(nullptr, IDI_WARNING);
  struct Case {
    uint32_t type;
    Press press;
    int32_t result;
    HICON icon;
  } cases[] = {
      {0x0204, Press::kOk, 16, information},    {0x0204, Press::kCancel, 2, information},
      {0x0204, Press::kEscape, 2, information}, {0x0108, Press::kOk, 16, warning},
      {0x0803, Press::kYes, 64, nullptr},       {0x0800, Press::kNo, 8, nullptr},
      {0x1000, Press::kCancel, 2, nullptr},     {0x0400, Press::kRetry, 32, nullptr},
      {0x0003, Press::kOk, 16, nullptr},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::u16string caption = u"nxr box " + toDecimal(++n);
    SCOPED_TRACE("type " + std::to_string(c.type) + " case " + std::to_string(n));
    BoxSeen seen;
    std::thread driver(driveBox, caption, c.press, false, std::ref(seen));
    int32_t result = showMessageBox(u"Press a button.", caption, c.type, nullptr);
    driver.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(seen.icon, c.icon);
  }
}

TEST(MessageBoxes, AbortIgnoreBoxIsRelabelled) {
  struct Case {
    Press press;
    int32_t result;
  } cases[] = {{Press::kOk, 1}, {Press::kEscape, 4}};
  int n = 0;
  for (const Case& c : cases) {
    std::u16string caption = u"nxr relabelled " + toDecimal(++n);
    BoxSeen seen;
    std::thread driver(driveBox, caption, c.press, true, std::ref(seen));
    int32_t result = showMessageBox(u"Abort or ignore?", caption, 0x2000, nullptr);
    driver.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.okLabel, u"&Abort");
    EXPECT_EQ(seen.cancelLabel, u"&Ignore");
    EXPECT_EQ(result, c.result);
  }
  // The hook is gone afterwards: an ordinary box keeps its own labels.
  BoxSeen seen;
  std::thread driver(driveBox, u"nxr after relabelling", Press::kOk, false, std::ref(seen));
  EXPECT_EQ(showMessageBox(u"Plain.", u"nxr after relabelling", 0x0200, nullptr), 16);
  driver.join();
  EXPECT_NE(seen.okLabel, u"&Abort");
  EXPECT_NE(seen.cancelLabel, u"&Ignore");
}

// ---- folders ----

TEST(Folders, WorkingAndTemporaryFolders) {
  ScratchFolder scratch;
  std::u16string before = workingDirectory();
  ASSERT_FALSE(before.empty());
  ASSERT_TRUE(SetCurrentDirectoryW(asWcstr(scratch.path())));
  EXPECT_EQ(workingDirectory(), scratch.path());
  SetCurrentDirectoryW(asWcstr(before));

  std::u16string temp = tempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'\\');
  EXPECT_TRUE(exists(temp));
}

TEST(Folders, SpecialFolderTable) {
  // The shell's own constants for each property; the temporary folder has none.
  const std::pair<std::u16string_view, int> expected[] = {
      {u"programs", CSIDL_PROGRAMS},
      {u"programFiles", CSIDL_PROGRAM_FILES},
      {u"windows", CSIDL_WINDOWS},
      {u"system", CSIDL_SYSTEM},
      {u"temp", -1},
      {u"desktop", CSIDL_DESKTOP},
      {u"personal", CSIDL_PERSONAL},
      {u"favorites", CSIDL_FAVORITES},
      {u"startup", CSIDL_STARTUP},
      {u"recent", CSIDL_RECENT},
      {u"fonts", CSIDL_FONTS},
      {u"history", CSIDL_HISTORY},
      {u"cookies", CSIDL_COOKIES},
      {u"network", CSIDL_NETHOOD},
      {u"startMenu", CSIDL_STARTMENU},
      {u"appData", CSIDL_APPDATA},
      {u"commonAdminTools", CSIDL_COMMON_ADMINTOOLS},
      {u"commonAppData", CSIDL_COMMON_APPDATA},
      {u"commonPrograms", CSIDL_COMMON_PROGRAMS},
      {u"commonStartMenu", CSIDL_COMMON_STARTMENU},
      {u"commonStartup", CSIDL_COMMON_STARTUP},
      {u"allUsersAppData", CSIDL_COMMON_APPDATA},
      {u"allUsersPrograms", CSIDL_COMMON_PROGRAMS},
      {u"allUsersStartMenu", CSIDL_COMMON_STARTMENU},
      {u"allUsersStartup", CSIDL_COMMON_STARTUP},
  };
  ASSERT_EQ(std::size(kSpecialFolders), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(std::u16string_view(kSpecialFolders[i].property), expected[i].first);
    EXPECT_EQ(kSpecialFolders[i].csidl, expected[i].second) << i;
  }
}

TEST(Folders, SpecialFolders) {
  for (int csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_APPDATA, CSIDL_PROGRAM_FILES}) {
    std::u16string path = specialFolder(csidl);
    EXPECT_FALSE(path.empty()) << csidl;
    EXPECT_TRUE(exists(path)) << csidl;
    EXPECT_NE(path.back(), u'\\') << csidl;
  }
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(lstrcmpiW(asWcstr(specialFolder(CSIDL_WINDOWS)), windows), 0);
  // A folder number the shell does not know, and a folder with no file-system path.
  EXPECT_EQ(specialFolder(0x7F), u"");
  EXPECT_EQ(specialFolder(CSIDL_NETWORK), u"");
}

TEST(Folders, DeleteFolderTree) {
  ScratchFolder scratch;
  const std::u16string root = scratch / u"tree";
  ASSERT_TRUE(CreateDirectoryW(asWcstr(root), nullptr));
  ASSERT_TRUE(CreateDirectoryW(asWcstr(root + u"\\sub"), nullptr));
  ASSERT_TRUE(CreateDirectoryW(asWcstr(root + u"\\sub\\deeper"), nullptr));
  writeText(root + u"\\a.dll", "one");
  writeText(root + u"\\~swd1.swf", "two");
  writeText(root + u"\\sub\\b.txt", "three");
  writeText(root + u"\\sub\\deeper\\c.txt", "four");
  EXPECT_TRUE(deleteFolderTree(root));
  EXPECT_FALSE(exists(root));
  EXPECT_TRUE(exists(scratch.path()));  // only the named folder goes

  EXPECT_FALSE(deleteFolderTree(u""));
  EXPECT_TRUE(exists(workingDirectory()));
}

// ---- files ----

TEST(Files, WholeFileRoundTripAndEmptyFile) {
  ScratchFolder scratch;
  std::vector<uint8_t> bytes(70000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 13);
  ASSERT_TRUE(writeWholeFile(scratch / u"data.bin", bytes.data(), bytes.size()));
  auto read = readWholeFile(scratch / u"data.bin");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(*read, bytes);

  ASSERT_TRUE(writeWholeFile(scratch / u"empty.bin", nullptr, 0));
  auto empty = readWholeFile(scratch / u"empty.bin");
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->size(), 0u);

  EXPECT_FALSE(readWholeFile(scratch / u"missing.bin").has_value());
  EXPECT_FALSE(readWholeFile(scratch.path()).has_value());  // a folder is not a file
  EXPECT_FALSE(writeWholeFile(scratch / u"no\\such\\folder.bin", bytes.data(), 4));
}

TEST(Files, FileObjectReadsIntsAndBooleans) {
  ScratchFolder scratch;
  const std::u16string path = scratch / u"values.bin";
  const uint8_t stored[] = {0x78, 0x56, 0x34, 0x12, 1,    0,    0,    0,    2,    0,    0,   0,
                            0,    0,    0,    0,    0xFE, 0xFF, 0xFF, 0xFF, 0xAB, 0x01, 0x02};
  {
    File file;
    ASSERT_TRUE(file.open(path, u"wb"));
    EXPECT_EQ(file.write(stored, sizeof(stored)), sizeof(stored));
  }
  File file;
  ASSERT_TRUE(file.open(path, u"rb"));
  int32_t value = 0;
  bool flag = false;
  ASSERT_TRUE(file.readInt(value));
  EXPECT_EQ(value, 0x12345678);
  ASSERT_TRUE(file.readBool(flag));
  EXPECT_TRUE(flag);
  ASSERT_TRUE(file.readBool(flag));
  EXPECT_FALSE(flag);  // 2 is not true
  ASSERT_TRUE(file.readBool(flag));
  EXPECT_FALSE(flag);
  ASSERT_TRUE(file.readInt(value));
  EXPECT_EQ(value, -2);
  uint8_t byte = 0;
  ASSERT_TRUE(file.readByte(byte));
  EXPECT_EQ(byte, 0xAB);
  EXPECT_FALSE(file.readInt(value));  // two bytes left
  EXPECT_FALSE(file.readByte(byte));
  file.close();
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(file.read(&byte, 1), 0u);
  EXPECT_FALSE(file.open(scratch / u"missing.bin", u"rb"));
}

TEST(Files, BorrowedFileStaysOpen) {
  ScratchFolder scratch;
  FILE* raw = _wfopen(asWcstr(scratch / u"shared.bin"), L"wb+");
  ASSERT_NE(raw, nullptr);
  {
    File borrowed(raw, false);
    const uint8_t one = 1;
    EXPECT_EQ(borrowed.write(&one, 1), 1u);
    borrowed.close();
    EXPECT_FALSE(borrowed.isOpen());
  }
  // Still open for its owner.
  const uint8_t two = 2;
  EXPECT_EQ(fwrite(&two, 1, 1, raw), 1u);
  {
    File owner(raw, true);  // this one closes it
  }
  auto bytes = readWholeFile(scratch / u"shared.bin");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, (std::vector<uint8_t>{1, 2}));
  EXPECT_TRUE(DeleteFileW(asWcstr(scratch / u"shared.bin")));  // no handle left open
}

TEST(Files, FindFiles) {
  ScratchFolder scratch;
  ASSERT_TRUE(CreateDirectoryW(asWcstr(scratch / u"only"), nullptr));
  ASSERT_TRUE(CreateDirectoryW(asWcstr(scratch / u"only\\sub1"), nullptr));
  ASSERT_TRUE(CreateDirectoryW(asWcstr(scratch / u"only\\sub2.nxq"), nullptr));
  ASSERT_TRUE(CreateDirectoryW(asWcstr(scratch / u"mixed"), nullptr));
  writeText(scratch / u"mixed\\0.nxq", "x");
  writeText(scratch / u"mixed\\1.nxq", "y");
  writeText(scratch / u"mixed\\notes.txt", "z");
  ASSERT_TRUE(CreateDirectoryW(asWcstr(scratch / u"mixed\\dir.nxq"), nullptr));

  struct Case {
    std::u16string pattern;
    bool result;
    std::vector<std::u16string> names;  // in any order
  } cases[] = {
      {scratch / u"only\\*", true, {}},
      {scratch / u"only\\*.nxq", true, {}},
      {scratch / u"mixed\\*.nxq", true, {u"0.nxq", u"1.nxq"}},
      {scratch / u"mixed\\*.*", true, {u"0.nxq", u"1.nxq", u"notes.txt"}},
      {scratch / u"mixed\\*.none", false, {}},
      {scratch / u"absent\\*", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::u16string> names = {u"kept"};
    EXPECT_EQ(findFiles(c.pattern, names), c.result) << utf16ToUtf8(c.pattern);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), u"kept");  // appended, not replaced
    std::vector<std::u16string> found(names.begin() + 1, names.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, c.names) << utf16ToUtf8(c.pattern);
  }
}

// ---- libraries ----

TEST(Library, LoadsFindsEntryPointsAndFrees) {
  ASSERT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr) << "the test needs a library not in use";
  Library library;
  ASSERT_TRUE(library.load(u"msimg32.dll"));
  EXPECT_NE(library.entryPoint("AlphaBlend"), nullptr);
  EXPECT_EQ(library.entryPoint("NoSuchEntryPoint"), nullptr);
  EXPECT_NE(GetModuleHandleW(L"msimg32.dll"), nullptr);
  EXPECT_TRUE(library.free());
  EXPECT_EQ(library.get(), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);

  EXPECT_FALSE(library.load(u"no_such_library_nxr.dll"));
  EXPECT_EQ(library.entryPoint("AlphaBlend"), nullptr);
}

TEST(Library, BorrowedHandleIsNeverFreed) {
  HMODULE module = LoadLibraryW(L"msimg32.dll");
  ASSERT_NE(module, nullptr);
  {
    Library borrowed(module, true);
    EXPECT_NE(borrowed.entryPoint("AlphaBlend"), nullptr);
    EXPECT_TRUE(borrowed.free());
    EXPECT_EQ(borrowed.get(), nullptr);
  }
  {
    Library borrowed(module, true);
    // Loading another library lets the borrowed one go without freeing it.
    EXPECT_TRUE(borrowed.load(u"version.dll"));
    EXPECT_FALSE(borrowed.borrowed());
  }
  EXPECT_NE(GetModuleHandleW(L"msimg32.dll"), nullptr);
  {
    Library owner(module, false);  // takes the reference and frees it at its end
  }
  EXPECT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);
}

// ---- text conversion ----

TEST(TextConversion, ByteTextsAsTheCRuntimeConvertsThem) {
  // The runtime never changes the C runtime's locale, so "C" holds.
  ASSERT_STREQ(setlocale(LC_ALL, nullptr), "C");
  const char bytes[] = "\x41\xE9";
  EXPECT_EQ(bytesToWide(bytes), u"A\u00E9");
  wchar_t wide[8] = {};
  ASSERT_EQ(mbstowcs(wide, bytes, 8), 2u);
  EXPECT_EQ(fromWide(wide), u"A\u00E9");

  EXPECT_EQ(wideToBytes(u"A\u00E9\u00FF"), std::optional<std::string>("A\xE9\xFF"));
  char narrow[8] = {};
  ASSERT_EQ(wcstombs(narrow, L"A\u00E9\u00FF", 8), 3u);
  EXPECT_STREQ(narrow, "A\xE9\xFF");

  // A character above 255 cannot be converted, by either.
  EXPECT_FALSE(wideToBytes(u"A\u0100").has_value());
  EXPECT_EQ(wcstombs(narrow, L"A\u0100", 8), static_cast<size_t>(-1));
}

}  // namespace
}  // namespace nxr
