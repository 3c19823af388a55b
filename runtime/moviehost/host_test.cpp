// Host windows against the player control loaded from memory: creation without a control,
// focus, context menu, teardown, events and the host messages.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "moviehost/control_loader.h"
#include "moviehost/host_messages.h"
#include "moviehost/movie_host.h"
#include "moviehost/test_support.h"
#include "player/player_test_interface.h"
#include "support/text.h"
#include "support/win.h"

namespace nxr {
namespace {

using player::IPlayerTest;

const std::vector<uint8_t>& playerImage() {
  static const std::vector<uint8_t> image = test::readFile(test::programFolder() + "nxrplayer.dll");
  return image;
}

std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }
std::string narrow(const wchar_t* text) { return text ? narrow(fromWide(text)) : std::string(); }

// Every notification the parent and the listener saw, as "parent:" or "listener:" + code, and
// the texts of the text notifications.
struct EventLog {
  std::vector<std::string> entries;
  UINT resourceAnswerCode = 0;  // the resource notification that supplies resourceBytes
  std::string resourceBytes;
  std::wstring flashCallReply;  // answered to MHN_FLASHCALL_W when not empty
};
EventLog* eventLog = nullptr;

template <typename C>
struct TwoTextNotification {
  NMHDR header;
  const C* first;
  const C* second;
};
template <typename C>
struct TextNotification {
  NMHDR header;
  const C* text;
};
struct ValueNotification {
  NMHDR header;
  int32_t value;
};
template <typename C>
struct ResourceNotification {
  NMHDR header;
  const C* url;
  IStream* stream;
};
template <typename C>
struct ResourceNotificationEx {
  NMHDR header;
  const C* url;
  IStream* stream;
  BOOL handled;
};

std::string describe(const NMHDR* header) {
  char code[16];
  snprintf(code, sizeof code, "%X", header->code);
  std::string text = code;
  switch (header->code) {
    case MHN_FSCOMMAND_W: {
      auto* block = reinterpret_cast<const TwoTextNotification<wchar_t>*>(header);
      return text + "[" + narrow(block->first) + "|" + narrow(block->second) + "]";
    }
    case MHN_FSCOMMAND_A: {
      auto* block = reinterpret_cast<const TwoTextNotification<char>*>(header);
      return text + "[" + block->first + "|" + block->second + "]";
    }
    case MHN_FLASHCALL_W:
      return text + "[" + narrow(reinterpret_cast<const TextNotification<wchar_t>*>(header)->text) +
             "]";
    case MHN_FLASHCALL_A:
      return text + "[" + reinterpret_cast<const TextNotification<char>*>(header)->text + "]";
    case MHN_LOAD_EXTERNAL_RESOURCE_A:
      return text + "[" + reinterpret_cast<const ResourceNotification<char>*>(header)->url + "]";
    case MHN_LOAD_EXTERNAL_RESOURCE_W:
      return text + "[" +
             narrow(reinterpret_cast<const ResourceNotification<wchar_t>*>(header)->url) + "]";
    case MHN_LOAD_EXTERNAL_RESOURCE_EX_A: {
      auto* block = reinterpret_cast<const ResourceNotificationEx<char>*>(header);
      return text + "[" + block->url + "|" + std::to_string(block->handled) + "]";
    }
    case MHN_LOAD_EXTERNAL_RESOURCE_EX_W: {
      auto* block = reinterpret_cast<const ResourceNotificationEx<wchar_t>*>(header);
      return text + "[" + narrow(block->url) + "|" + std::to_string(block->handled) + "]";
    }
    case MHN_PROGRESS:
    case MHN_READY_STATE_CHANGE:
      return text + "[" +
             std::to_string(reinterpret_cast<const ValueNotification*>(header)->value) + "]";
    default:
      return text;
  }
}

void WINAPI listener(HWND, void* user, NMHDR* header) {
  static_cast<EventLog*>(user)->entries.push_back("listener:" + describe(header));
}

LRESULT CALLBACK parentProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // A child's default processing hands help requests up to its parent.
  if (message == WM_HELP && eventLog) eventLog->entries.push_back("parent:help");
  if (message == WM_NOTIFY && eventLog) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    eventLog->entries.push_back("parent:" + describe(header));
    if (header->code == eventLog->resourceAnswerCode &&
        header->code == MHN_LOAD_EXTERNAL_RESOURCE_EX_A) {
      auto* block = reinterpret_cast<ResourceNotificationEx<char>*>(header);
      ULONG written = 0;
      block->stream->Write(eventLog->resourceBytes.data(),
                           static_cast<ULONG>(eventLog->resourceBytes.size()), &written);
      block->handled = TRUE;
      return 1;
    }
    if (header->code == MHN_FLASHCALL_W && !eventLog->flashCallReply.empty()) {
      setReturnValue(header->hwndFrom, eventLog->flashCallReply.c_str());
      return 1;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void pumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void SetVariableForTest(HWND host, const wchar_t* name, const wchar_t* value) {
  TwoTextBlock<wchar_t> block{name, value, E_FAIL};
  SendMessageW(host, 0x151E, 0, reinterpret_cast<LPARAM>(&block));
  EXPECT_EQ(block.hr, S_OK);
}

// An uncompressed SWF 9 movie of 320 x 240 pixels with a background colour and one frame.
std::vector<uint8_t> smallMovie() {
  // The frame rectangle: 5 bits of field width, then 15-bit fields 0, 6400, 0, 4800 (twips).
  std::vector<uint8_t> body;
  std::vector<int> stream;
  auto put = [&](uint32_t value, int width) {
    for (int b = width - 1; b >= 0; --b) stream.push_back((value >> b) & 1);
  };
  put(15, 5);
  for (uint32_t value : {0u, 6400u, 0u, 4800u}) put(value, 15);
  while (stream.size() % 8) stream.push_back(0);
  for (size_t i = 0; i < stream.size(); i += 8) {
    uint8_t byte = 0;
    for (int b = 0; b < 8; ++b) byte = static_cast<uint8_t>((byte << 1) | stream[i + b]);
    body.push_back(byte);
  }
  const uint8_t rest[] = {0x00, 0x0C, 0x01, 0x00,        // 12 fps, 1 frame
                          0x43, 0x02, 0x33, 0x66, 0x99,  // SetBackgroundColor
                          0x40, 0x00,                    // ShowFrame
                          0x00, 0x00};                   // End
  body.insert(body.end(), std::begin(rest), std::end(rest));
  std::vector<uint8_t> movie(8 + body.size());
  const uint8_t header[] = {'F', 'W', 'S', 9};
  std::copy(std::begin(header), std::end(header), movie.begin());
  std::copy(body.begin(), body.end(), movie.begin() + 8);
  const uint32_t size = static_cast<uint32_t>(movie.size());
  for (int i = 0; i < 4; ++i) movie[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  return movie;
}

class HostTest : public ::testing::Test {
 protected:
  // One parent window for the whole suite: destroying a visible top-level window costs a
  // noticeable wait on some window systems.
  static void SetUpTestSuite() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = parentProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"NxrHostTestParent";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);
    sharedParent =
        CreateWindowExW(0, L"NxrHostTestParent", L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                        10, 400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  static void TearDownTestSuite() {
    if (sharedParent) DestroyWindow(sharedParent);
    sharedParent = nullptr;
  }

  void SetUp() override {
    ASSERT_FALSE(playerImage().empty()) << "nxrplayer.dll beside the test program";
    eventLog = &events_;
    parent_ = sharedParent;
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    if (host_ && IsWindow(host_)) DestroyWindow(host_);
    eventLog = nullptr;
    destroyLoader(loader_);
    pumpMessages();
  }

  void loadPlayer() {
    loader_ = createLoader(playerImage().data(), playerImage().size());
    ASSERT_NE(loader_, nullptr);
  }

  HWND makeHost(DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, HWND parent = nullptr,
                DWORD exStyle = 0) {
    host_ =
        createHostWindow(exStyle, loader_, L"host", style, 0, 0, 320, 240,
                         parent ? parent : parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    return host_;
  }

  ComPtr<IPlayerTest> playerTest() {
    struct {
      IID iid;
      void* object;
      HRESULT hr;
    } block{player::kIidPlayerTest, nullptr, E_FAIL};
    EXPECT_EQ(SendMessageW(host_, MHM_QUERY_INTERFACE, 0, reinterpret_cast<LPARAM>(&block)), 0);
    return ComPtr<IPlayerTest>::attach(static_cast<IPlayerTest*>(block.object));
  }

  MovieHost* hostObject() {
    MovieHost* host = nullptr;
    SendMessageW(host_, RegisterWindowMessageA(kGetObjectPointerMessage), 0,
                 reinterpret_cast<LPARAM>(&host));
    return host;
  }

  // The control's calls since the log was cleared, without the host's version queries.
  std::vector<std::string> calls(IPlayerTest* test, bool withVersionQueries = false) {
    long count = 0;
    test->GetCallCount(&count);
    std::vector<std::string> result;
    for (long i = 0; i < count; ++i) {
      BSTR text = nullptr;
      test->GetCall(i, &text);
      std::string call = narrow(text);
      SysFreeString(text);
      if (withVersionQueries || call != "FlashVersion()") result.push_back(call);
    }
    return result;
  }

  static inline HWND sharedParent = nullptr;
  ScopedComInitializer com_;
  ControlLoader* loader_ = nullptr;
  HWND parent_ = nullptr;
  HWND host_ = nullptr;
  EventLog events_;
};

TEST_F(HostTest, WithoutDllGetClassObjectTheHostIsRedAndAnswersAsWithoutControl) {
  loader_ = createLoader(test::fixtureImage().data(), test::fixtureImage().size());
  ASSERT_NE(loader_, nullptr);
  ASSERT_NE(makeHost(), nullptr);
  UpdateWindow(host_);
  {
    ScopedGetDc dc(host_);
    EXPECT_EQ(GetPixel(dc.get(), 10, 10), RGB(255, 0, 0));
  }
  struct {
    IID iid;
    void* object;
    HRESULT hr;
  } query{IID_IUnknown, nullptr, S_OK};
  EXPECT_EQ(SendMessageW(host_, MHM_QUERY_INTERFACE, 0, reinterpret_cast<LPARAM>(&query)), 0);
  EXPECT_EQ(query.hr, E_POINTER);
  const char movie[] = "FWS";
  PutMovieFromMemoryBlock fromMemory{movie, 3};
  EXPECT_EQ(
      SendMessageW(host_, MHM_PUT_MOVIE_FROM_MEMORY, 0, reinterpret_cast<LPARAM>(&fromMemory)), 0);
  IStream* stream = reinterpret_cast<IStream*>(1);
  EXPECT_EQ(SendMessageW(host_, MHM_PUT_MOVIE_USING_STREAM, 0, reinterpret_cast<LPARAM>(&stream)),
            0);
  EXPECT_EQ(stream, nullptr);
  struct {
    BSTR request;
    BSTR response;
    HRESULT hr;
  } call{nullptr, nullptr, S_OK};
  EXPECT_EQ(SendMessageW(host_, MHM_CALL_FUNCTION, 0, reinterpret_cast<LPARAM>(&call)), 0);
  EXPECT_EQ(call.hr, E_FAIL);
  for (UINT message = MHM_FIRST_CONTROL_MESSAGE; message <= MHM_LAST_CONTROL_MESSAGE; ++message) {
    // A zeroed block big enough for every layout.
    std::vector<uint64_t> block(8, 0);
    EXPECT_EQ(SendMessageW(host_, message, 0, reinterpret_cast<LPARAM>(block.data())), 1)
        << std::hex << message;
  }
  HBITMAP frame = nullptr;
  EXPECT_EQ(SendMessageW(host_, MHM_GET_FRAME_BITMAP, 0, reinterpret_cast<LPARAM>(&frame)), 0);
  EXPECT_EQ(frame, nullptr);
  EXPECT_EQ(getControlWindow(host_), nullptr);
  EXPECT_EQ(putWMode(host_, L"Opaque"), E_FAIL);
}

TEST_F(HostTest, WindowedFocusMovesToTheControlsWindow) {
  loadPlayer();
  ASSERT_NE(makeHost(), nullptr);
  HWND control = getControlWindow(host_);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(GetParent(control), host_);
  SetForegroundWindow(parent_);
  SetFocus(host_);
  EXPECT_EQ(GetFocus(), control);
}

TEST_F(HostTest, WindowlessFocusStaysOnTheHost) {
  loadPlayer();
  ASSERT_NE(makeHost(WS_CHILD | WS_VISIBLE | 0x1), nullptr);
  EXPECT_EQ(getControlWindow(host_), nullptr);
  SetForegroundWindow(parent_);
  SetFocus(host_);
  EXPECT_EQ(GetFocus(), host_);
}

TEST_F(HostTest, ContextMenuIsSwallowedUntilEnabled) {
  loadPlayer();
  for (DWORD mode : {DWORD{0}, DWORD{0x1}}) {
    ASSERT_NE(makeHost(WS_CHILD | WS_VISIBLE | mode), nullptr);
    auto test = playerTest();
    ASSERT_TRUE(test);
    test->SetMenuPopups(FALSE);
    HWND target = mode ? host_ : getControlWindow(host_);
    ASSERT_NE(target, nullptr);
    auto rightClick = [&] {
      test->ClearCallLog();
      SendMessageW(target, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(160, 120));
      SendMessageW(target, WM_RBUTTONUP, 0, MAKELPARAM(160, 120));
      SendMessageW(target, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target), MAKELPARAM(170, 130));
      bool menu = false;
      for (const auto& call : calls(test.get())) menu |= call == "ContextMenu()";
      return menu;
    };
    EXPECT_FALSE(rightClick()) << "mode " << mode;
    uint16_t enable = 1;
    EXPECT_EQ(SendMessageW(host_, MHM_SET_CONTEXT_MENU, 0, reinterpret_cast<LPARAM>(&enable)), 1);
    uint16_t state = 0;
    SendMessageW(host_, MHM_GET_CONTEXT_MENU, 0, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(state, 1);
    EXPECT_TRUE(rightClick()) << "mode " << mode;
    test.reset();
    DestroyWindow(host_);
  }
}

TEST_F(HostTest, DestroyingTwiceTearsDownOnce) {
  loadPlayer();
  ASSERT_NE(makeHost(), nullptr);
  auto test = playerTest();
  ASSERT_TRUE(test);
  test->ClearCallLog();
  SendMessageW(host_, WM_DESTROY, 0, 0);
  DestroyWindow(host_);
  int closes = 0, unadvises = 0;
  for (const auto& call : calls(test.get())) {
    closes += call.rfind("Close(", 0) == 0;
    unadvises += call.rfind("Unadvise(", 0) == 0;
  }
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(unadvises, 1);
}

TEST_F(HostTest, EventsReachTheParentThenTheListenerWideFirst) {
  loadPlayer();
  ASSERT_NE(makeHost(), nullptr);
  EventListenerBlock block{listener, &events_};
  const UINT setListener = RegisterWindowMessageA(kSetEventListenerMessage);
  EXPECT_EQ(SendMessageW(host_, setListener, 0, reinterpret_cast<LPARAM>(&block)), 1);
  auto test = playerTest();
  ASSERT_TRUE(test);
  events_.entries.clear();
  BSTR command = SysAllocString(L"quit");
  test->RaiseFSCommand(command, nullptr);
  SysFreeString(command);
  test->RaiseProgress(42);
  const std::vector<std::string> expected = {"parent:12FD[quit|]", "listener:12FD[quit|]",
                                             "parent:12FE[quit|]", "listener:12FE[quit|]",
                                             "parent:12FF[42]",    "listener:12FF[42]"};
  EXPECT_EQ(events_.entries, expected);

  // The parent answers the call while the W notification is handled.
  events_.entries.clear();
  events_.flashCallReply = L"<string>ok</string>";
  BSTR request = SysAllocString(L"<invoke name=\"x\"/>");
  BSTR reply = nullptr;
  EXPECT_EQ(test->RaiseFlashCall(request, &reply), S_OK);
  EXPECT_EQ(narrow(reply), "<string>ok</string>");
  SysFreeString(request);
  SysFreeString(reply);
  ASSERT_EQ(events_.entries.size(), 4u);
  EXPECT_EQ(events_.entries[0], "parent:13FA[<invoke name=\"x\"/>]");
  EXPECT_EQ(events_.entries[3], "listener:13FB[<invoke name=\"x\"/>]");
}

TEST_F(HostTest, HostWithoutParentCallsOnlyTheListener) {
  loadPlayer();
  // Neither parent nor owner: GetParent answers NULL.
  host_ = createHostWindow(0, loader_, L"host", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(host_, nullptr);
  ASSERT_EQ(GetParent(host_), nullptr);
  EventListenerBlock block{listener, &events_};
  SendMessageW(host_, RegisterWindowMessageA(kSetEventListenerMessage), 0,
               reinterpret_cast<LPARAM>(&block));
  auto test = playerTest();
  ASSERT_TRUE(test);
  events_.entries.clear();
  test->RaiseReadyStateChange(4);
  EXPECT_EQ(events_.entries, std::vector<std::string>{"listener:1300[4]"});
}

// --- keyboard -----------------------------------------------------------------------------------

TEST_F(HostTest, DialogCodeFollowsTheWantAllKeysStyle) {
  loadPlayer();
  struct Case {
    DWORD options;  // the class-specific low style bits
    LRESULT code;
  };
  const Case cases[] = {{0x0, 0}, {0x2, DLGC_WANTALLKEYS}, {0x1, 0}, {0x3, DLGC_WANTALLKEYS}};
  for (const Case& c : cases) {
    ASSERT_NE(makeHost(WS_CHILD | WS_VISIBLE | c.options), nullptr);
    MSG tab{host_, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_EQ(SendMessageW(host_, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&tab)), c.code)
        << "options " << c.options;
    DestroyWindow(host_);
  }
}

TEST_F(HostTest, KeyMessagesAreOfferedToTheControlsAcceleratorsBeforeDispatch) {
  loadPlayer();
  constexpr WPARAM kAccelerator = 'K';
  enum Focus { kElsewhere, kOnHost, kReportedByControl };
  struct Case {
    const char* what;
    bool windowed;
    Focus focus;
    UINT message;
    WPARAM key;
    UINT peek;  // PM_REMOVE or PM_NOREMOVE
    bool offered;
    UINT retrieved;  // the message the thread's loop gets
  };
  const Case cases[] = {
      {"other key", false, kOnHost, WM_KEYDOWN, 'A', PM_REMOVE, true, WM_KEYDOWN},
      {"accelerator", false, kOnHost, WM_KEYDOWN, kAccelerator, PM_REMOVE, true, WM_NULL},
      {"character", false, kOnHost, WM_CHAR, kAccelerator, PM_REMOVE, true, WM_CHAR},
      {"last key message", false, kOnHost, 0x108, kAccelerator, PM_REMOVE, true, 0x108},
      {"past the key messages", false, kOnHost, WM_UNICHAR, 'A', PM_REMOVE, false, WM_UNICHAR},
      {"only peeked at", false, kOnHost, WM_KEYDOWN, kAccelerator, PM_NOREMOVE, false, WM_KEYDOWN},
      {"focus elsewhere", false, kElsewhere, WM_KEYDOWN, kAccelerator, PM_REMOVE, false,
       WM_KEYDOWN},
      {"windowed", true, kReportedByControl, WM_KEYDOWN, kAccelerator, PM_REMOVE, true, WM_NULL},
  };
  bool windowed = true;
  for (const Case& c : cases) {
    if (!host_ || windowed != c.windowed) {
      if (host_) DestroyWindow(host_);
      windowed = c.windowed;
      ASSERT_NE(makeHost(WS_CHILD | WS_VISIBLE | (windowed ? 0 : 0x1)), nullptr);
    }
    auto test = playerTest();
    ASSERT_TRUE(test);
    test->SetAcceleratorKey(kAccelerator);
    SetForegroundWindow(parent_);
    SetFocus(c.focus == kElsewhere ? parent_ : host_);
    // A windowed control has the focus in its own window and tells its site so.
    if (c.focus == kReportedByControl) hostObject()->OnFocus(TRUE);
    HWND target = windowed ? getControlWindow(host_) : host_;
    ASSERT_NE(target, nullptr);
    pumpMessages();
    test->ClearCallLog();
    ASSERT_TRUE(PostMessageW(target, c.message, c.key, 0));
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, target, 0, 0, c.peek)) << c.what;
    EXPECT_EQ(message.message, c.retrieved) << c.what;
    const std::string offer =
        "TranslateAccelerator(" + std::to_string(c.message) + "," + std::to_string(c.key) + ")";
    const auto received = calls(test.get());
    EXPECT_EQ(received, c.offered ? std::vector<std::string>{offer} : std::vector<std::string>{})
        << c.what;
    if (c.peek == PM_NOREMOVE) PeekMessageW(&message, target, 0, 0, PM_REMOVE);
  }
}

TEST_F(HostTest, EveryHostOnTheThreadOffersKeysToItsOwnControlOnly) {
  loadPlayer();
  // Each host hooks the thread's messages; the newer hook must pass them on to the older one.
  HWND hosts[2];
  ComPtr<IPlayerTest> tests[2];
  for (int i = 0; i < 2; ++i) {
    hosts[i] = createHostWindow(0, loader_, L"host", WS_CHILD | WS_VISIBLE | 0x1, 0, i * 120, 320,
                                120, parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hosts[i], nullptr);
    host_ = hosts[i];
    tests[i] = playerTest();
    ASSERT_TRUE(tests[i]);
    tests[i]->SetAcceleratorKey('K');
  }
  SetForegroundWindow(parent_);
  for (int focused = 0; focused < 2; ++focused) {
    SetFocus(hosts[focused]);
    pumpMessages();
    for (auto& test : tests) test->ClearCallLog();
    ASSERT_TRUE(PostMessageW(hosts[focused], WM_KEYDOWN, 'K', 0));
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, hosts[focused], 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, UINT(WM_NULL)) << "focus on host " << focused;
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(calls(tests[i].get()).size(), i == focused ? 1u : 0u)
          << "host " << i << ", focus on host " << focused;
    }
  }
  for (auto& test : tests) test.reset();
  DestroyWindow(hosts[0]);
}

TEST_F(HostTest, WindowlessKeyboardInputIsForwardedWhileTheHostHasFocus) {
  loadPlayer();
  ASSERT_NE(makeHost(WS_CHILD | WS_VISIBLE | 0x1), nullptr);
  auto test = playerTest();
  ASSERT_TRUE(test);
  test->SetMenuPopups(FALSE);
  HELPINFO help{sizeof help, HELPINFO_WINDOW, 0, host_, 0, {}};
  struct Case {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool focus;
    bool forwarded;
  };
  const Case cases[] = {
      {WM_KEYDOWN, 'A', 0, true, true},
      {WM_KEYUP, 'A', 0, true, true},
      {WM_CHAR, 'a', 0, true, true},
      {WM_DEADCHAR, '^', 0, true, true},
      {WM_SYSKEYDOWN, 'A', 0, true, true},
      {WM_SYSKEYUP, 'A', 0, true, true},
      {WM_SYSCHAR, 'a', 0, true, true},
      {WM_SYSDEADCHAR, '^', 0, true, true},
      {WM_HELP, 0, reinterpret_cast<LPARAM>(&help), true, true},
      {WM_CANCELMODE, 0, 0, true, true},
      {WM_IME_SETCONTEXT, 0, 0, true, true},
      {WM_IME_KEYUP, 'A', 0, true, true},
      {0x108, 0, 0, true, false},
      {0x280, 0, 0, true, false},
      {0x292, 0, 0, true, false},
      {WM_KEYDOWN, VK_APPS, 0, true, false},  // the context menu is disabled
      {WM_KEYDOWN, 'A', 0, false, false},
      {WM_CHAR, 'a', 0, false, false},
  };
  for (const Case& c : cases) {
    SetForegroundWindow(parent_);
    SetFocus(c.focus ? host_ : parent_);
    pumpMessages();
    test->ClearCallLog();
    events_.entries.clear();
    SendMessageW(host_, c.message, c.wParam, c.lParam);
    const std::string prefix =
        "OnWindowMessage(" + std::to_string(c.message) + "," + std::to_string(c.wParam) + ",";
    const auto received = calls(test.get());
    if (c.forwarded) {
      ASSERT_EQ(received.size(), 1u) << std::hex << c.message;
      EXPECT_EQ(received[0].rfind(prefix, 0), 0u) << received[0];
    } else {
      EXPECT_EQ(received, std::vector<std::string>{}) << std::hex << c.message;
    }
    // The control leaves help requests alone: default processing hands them to the parent.
    if (c.message == WM_HELP) {
      EXPECT_EQ(events_.entries, std::vector<std::string>{"parent:help"});
    }
  }
}

// --- frame snapshot of a windowed host ----------------------------------------------------------

TEST_F(HostTest, WindowedFrameBitmapIsWhatTheControlsWindowPaints) {
  loadPlayer();
  ASSERT_NE(makeHost(), nullptr);
  struct {
    int32_t color;
    HRESULT hr;
  } background{0x123456, E_FAIL};
  SendMessageW(host_, 0x1539, 0, reinterpret_cast<LPARAM>(&background));
  ASSERT_EQ(background.hr, S_OK);
  HWND control = getControlWindow(host_);
  ASSERT_NE(control, nullptr);
  const auto dibColor = [](COLORREF color) {
    return uint32_t(GetRValue(color)) << 16 | uint32_t(GetGValue(color)) << 8 | GetBValue(color);
  };
  for (SIZE size : {SIZE{320, 240}, SIZE{200, 150}}) {
    SetWindowPos(host_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(SendMessageW(host_, MHM_GET_FRAME_BITMAP, 0, reinterpret_cast<LPARAM>(&bitmap)), 1);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, size.cx);
    EXPECT_EQ(info.bmHeight, size.cy);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof format.bmiHeader, size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint32_t> pixels(size_t(size.cx) * size.cy);
    {
      ScopedGetDc screen(nullptr);
      ASSERT_EQ(GetDIBits(screen.get(), bitmap, 0, size.cy, pixels.data(), &format, DIB_RGB_COLORS),
                size.cy);
    }
    DeleteObject(bitmap);
    const auto at = [&](LONG x, LONG y) { return pixels[size_t(y) * size.cx + x] & 0xFFFFFF; };
    const RECT marker = player::markerRect(RECT{0, 0, size.cx, size.cy});
    EXPECT_EQ(at(2, 2), 0x123456u) << "the stage colour";
    EXPECT_EQ(at(size.cx - 3, size.cy - 3), 0x123456u);
    EXPECT_EQ(at(marker.left + 3, marker.top + 3), dibColor(player::kMarkerColor))
        << "the marker's opaque half at " << size.cx << "x" << size.cy;
  }
  // Nowhere to hand a bitmap to: none is made.
  EXPECT_EQ(SendMessageW(host_, MHM_GET_FRAME_BITMAP, 0, 0), 0);
}

TEST_F(HostTest, StageCursorComesFromTheControlsResourcesThroughTheLoader) {
  loadPlayer();
  ASSERT_NE(makeHost(), nullptr);
  HWND control = getControlWindow(host_);
  ASSERT_NE(control, nullptr);
  // The control registered its stage class with LoadCursorA(own module, 101).
  const auto cursor = reinterpret_cast<HCURSOR>(GetClassLongPtrW(control, GCLP_HCURSOR));
  EXPECT_NE(cursor, nullptr);
  EXPECT_EQ(cursor, loader_->cachedCursor(MAKEINTRESOURCEA(101)));
}

// --- host messages ----------------------------------------------------------------------------

template <typename C>
std::basic_string<C> textOf(const char* ascii) {
  return std::basic_string<C>(ascii, ascii + std::strlen(ascii));
}

// Marks a row whose result depends on the control's state: any result the host wrote.
constexpr HRESULT kAnyResult = static_cast<HRESULT>(0x8000FFFF);

// One row: a message, how to send it, and the call the control must have received.
struct MessageCase {
  UINT message;
  std::function<void(HWND, HRESULT*)> send;
  std::string expectedCall;
  HRESULT expectedHr = kAnyResult;  // the control's own result, passed on unchanged
  size_t sends = 1;                 // text results are asked for twice: length, then text
};

std::vector<MessageCase> messageCases() {
  std::vector<MessageCase> cases;
  auto hrOnly = [&](UINT message, const char* call) {
    cases.push_back({message,
                     [message](HWND host, HRESULT* hr) {
                       struct {
                         HRESULT hr;
                       } b{E_UNEXPECTED};
                       SendMessageW(host, message, 0, reinterpret_cast<LPARAM>(&b));
                       *hr = b.hr;
                     },
                     call});
  };
  auto value = [&](UINT message, int32_t in, const char* call) {
    cases.push_back({message,
                     [message, in](HWND host, HRESULT* hr) {
                       struct {
                         int32_t v;
                         HRESULT hr;
                       } b{in, E_UNEXPECTED};
                       SendMessageW(host, message, 0, reinterpret_cast<LPARAM>(&b));
                       *hr = b.hr;
                     },
                     call});
  };
  // A/W pairs with text arguments: the A variant first.
  auto textIn = [&](UINT first, const char* name) {
    for (int wide = 0; wide < 2; ++wide) {
      const std::string argument = std::string(name) + (wide ? "-w" : "-a");
      cases.push_back({first + wide,
                       [first, wide, argument](HWND host, HRESULT* hr) {
                         auto send = [&]<typename C>(C) {
                           const auto text = textOf<C>(argument.c_str());
                           TextInBlock<C> b{text.c_str(), E_UNEXPECTED};
                           SendMessageW(host, first + wide, 0, reinterpret_cast<LPARAM>(&b));
                           *hr = b.hr;
                         };
                         wide ? send(wchar_t{}) : send(char{});
                       },
                       "put_" + std::string(name) + "(" + argument + ")"});
    }
  };
  // Text results: first the length, then the text; the length counts the terminator.
  auto textOut = [&](UINT first, const char* call) {
    for (int wide = 0; wide < 2; ++wide) {
      cases.push_back({first + wide,
                       [first, wide](HWND host, HRESULT* hr) {
                         auto send = [&]<typename C>(C) {
                           TextOutBlock<C> b{nullptr, -7, E_UNEXPECTED};
                           SendMessageW(host, first + wide, 0, reinterpret_cast<LPARAM>(&b));
                           *hr = b.hr;
                           if (FAILED(b.hr)) {
                             EXPECT_EQ(b.length, -7) << "length untouched on failure";
                             return;
                           }
                           ASSERT_GE(b.length, 1);
                           std::basic_string<C> buffer(b.length + 4, C('#'));
                           b.buffer = buffer.data();
                           SendMessageW(host, first + wide, 0, reinterpret_cast<LPARAM>(&b));
                           EXPECT_EQ(buffer[b.length - 1], C(0));
                           EXPECT_EQ(buffer[b.length], C('#')) << "nothing past the terminator";
                         };
                         wide ? send(wchar_t{}) : send(char{});
                       },
                       call, kAnyResult, 2});
    }
  };
  cases.push_back({0x1500,
                   [](HWND host, HRESULT* hr) {
                     struct {
                       int32_t l, t, r, b;
                       HRESULT hr;
                     } b{1, 2, 3, 4, E_UNEXPECTED};
                     SendMessageW(host, 0x1500, 0, reinterpret_cast<LPARAM>(&b));
                     *hr = b.hr;
                   },
                   "SetZoomRect(1,2,3,4)", E_NOTIMPL});
  value(0x1501, 50, "Zoom(50)");
  cases.back().expectedHr = E_NOTIMPL;
  cases.push_back({0x1502,
                   [](HWND host, HRESULT* hr) {
                     struct {
                       int32_t x, y, mode;
                       HRESULT hr;
                     } b{5, 6, 1, E_UNEXPECTED};
                     SendMessageW(host, 0x1502, 0, reinterpret_cast<LPARAM>(&b));
                     *hr = b.hr;
                   },
                   "Pan(5,6,1)", E_NOTIMPL});
  hrOnly(0x1503, "Play()");
  hrOnly(0x1504, "Stop()");
  hrOnly(0x1505, "Back()");
  hrOnly(0x1506, "Forward()");
  hrOnly(0x1507, "Rewind()");
  hrOnly(0x1508, "StopPlay()");
  value(0x1509, 7, "GotoFrame(7)");
  value(0x150A, 0, "CurrentFrame()");
  value(0x150B, 0, "IsPlaying()");
  value(0x150C, 0, "PercentLoaded()");
  cases.push_back({0x150D,
                   [](HWND host, HRESULT* hr) {
                     struct {
                       int32_t frame, loaded;
                       HRESULT hr;
                     } b{3, 99, E_UNEXPECTED};
                     SendMessageW(host, 0x150D, 0, reinterpret_cast<LPARAM>(&b));
                     *hr = b.hr;
                     EXPECT_TRUE(b.loaded == 0 || b.loaded == 1);
                   },
                   "FrameLoaded(3)"});
  value(0x150E, 0, "FlashVersion()");
  for (int wide = 0; wide < 2; ++wide) {
    cases.push_back({UINT(0x150F + wide),
                     [wide](HWND host, HRESULT* hr) {
                       auto send = [&]<typename C>(C) {
                         const auto url = textOf<C>("http://x.invalid/m.swf");
                         LoadMovieBlock<C> b{2, url.c_str(), E_UNEXPECTED};
                         SendMessageW(host, 0x150F + wide, 0, reinterpret_cast<LPARAM>(&b));
                         *hr = b.hr;
                       };
                       wide ? send(wchar_t{}) : send(char{});
                     },
                     "LoadMovie(2,http://x.invalid/m.swf)"});
  }
  struct TextPair {
    UINT first;
    const char* call;
    int kind;  // 0 target+value, 1 two texts, 2 text+text out, 3 target only, 4 target+out value
  };
  const TextPair textPairs[] = {
      {0x1511, "TGotoFrame(/,9)", 0},
      {0x1513, "TGotoLabel(/,intro)", 1},
      {0x1515, "TCurrentFrame(/)", 4},
      {0x1517, "TCurrentLabel(/)", 2},
      {0x1519, "TPlay(/)", 3},
      {0x151B, "TStopPlay(/)", 3},
      {0x151D, "SetVariable(/,intro)", 1},
      {0x151F, "GetVariable(/)", 2},
      {0x1525, "TCallFrame(/,9)", 0},
      {0x1527, "TCallLabel(/,intro)", 1},
  };
  for (const TextPair& pair : textPairs) {
    for (int wide = 0; wide < 2; ++wide) {
      const UINT message = pair.first + wide;
      const int kind = pair.kind;
      cases.push_back({message,
                       [message, kind, wide](HWND host, HRESULT* hr) {
                         auto send = [&]<typename C>(C) {
                           const auto target = textOf<C>("/"), label = textOf<C>("intro");
                           if (kind == 0 || kind == 4) {
                             TextValueBlock<C> b{target.c_str(), 9, E_UNEXPECTED};
                             SendMessageW(host, message, 0, reinterpret_cast<LPARAM>(&b));
                             *hr = b.hr;
                           } else if (kind == 1) {
                             TwoTextBlock<C> b{target.c_str(), label.c_str(), E_UNEXPECTED};
                             SendMessageW(host, message, 0, reinterpret_cast<LPARAM>(&b));
                             *hr = b.hr;
                           } else if (kind == 2) {
                             TextTextOutBlock<C> b{target.c_str(), nullptr, 0, E_UNEXPECTED};
                             SendMessageW(host, message, 0, reinterpret_cast<LPARAM>(&b));
                             *hr = b.hr;
                             EXPECT_GE(b.length, 1);
                           } else {
                             TextInBlock<C> b{target.c_str(), E_UNEXPECTED};
                             SendMessageW(host, message, 0, reinterpret_cast<LPARAM>(&b));
                             *hr = b.hr;
                           }
                         };
                         wide ? send(wchar_t{}) : send(char{});
                       },
                       pair.call});
    }
  }
  for (int wide = 0; wide < 2; ++wide) {
    cases.push_back({UINT(0x1521 + wide),
                     [wide](HWND host, HRESULT* hr) {
                       auto send = [&]<typename C>(C) {
                         const auto target = textOf<C>("/"), v = textOf<C>("12");
                         PropertyTextBlock<C> b{target.c_str(), 4, v.c_str(), E_UNEXPECTED};
                         SendMessageW(host, 0x1521 + wide, 0, reinterpret_cast<LPARAM>(&b));
                         *hr = b.hr;
                       };
                       wide ? send(wchar_t{}) : send(char{});
                     },
                     "TSetProperty(/,4,12)"});
  }
  value(0x152F, 0, "get_ReadyState()");
  value(0x1530, 0, "get_TotalFrames()");
  value(0x1531, 1, "put_Playing(-1)");
  value(0x1532, 0, "get_Playing()");
  value(0x1533, 2, "put_Quality(2)");
  value(0x1534, 0, "get_Quality()");
  value(0x1535, 1, "put_ScaleMode(1)");
  value(0x1536, 0, "get_ScaleMode()");
  value(0x1537, 3, "put_AlignMode(3)");
  value(0x1538, 0, "get_AlignMode()");
  value(0x1539, 0x123456, "put_BackgroundColor(1193046)");
  value(0x153A, 0, "get_BackgroundColor()");
  value(0x153B, 0, "put_Loop(0)");
  value(0x153C, 0, "get_Loop()");
  textIn(0x153D, "Movie");
  textOut(0x153F, "get_Movie()");
  value(0x1541, 4, "put_FrameNum(4)");
  value(0x1542, 0, "get_FrameNum()");
  textIn(0x1543, "WMode");
  textOut(0x1545, "get_WMode()");
  textIn(0x1547, "SAlign");
  textOut(0x1549, "get_SAlign()");
  value(0x154B, 1, "put_Menu(-1)");
  value(0x154C, 0, "get_Menu()");
  textIn(0x154D, "Base");
  textOut(0x154F, "get_Base()");
  textIn(0x1551, "Scale");
  textOut(0x1553, "get_Scale()");
  value(0x1555, 1, "put_DeviceFont(-1)");
  value(0x1556, 0, "get_DeviceFont()");
  value(0x1557, 0, "put_EmbedMovie(0)");
  value(0x1558, 0, "get_EmbedMovie()");
  textIn(0x1559, "BGColor");
  textOut(0x155B, "get_BGColor()");
  textIn(0x155D, "Quality2");
  textOut(0x155F, "get_Quality2()");
  textIn(0x1561, "SWRemote");
  textOut(0x1563, "get_SWRemote()");
  textIn(0x1569, "FlashVars");
  textOut(0x156B, "get_FlashVars()");
  textIn(0x156D, "AllowScriptAccess");
  textOut(0x156F, "get_AllowScriptAccess()");
  textIn(0x1571, "MovieData");
  textOut(0x1573, "get_MovieData()");
  return cases;
}

TEST_F(HostTest, EveryControlMessageCallsItsMethod) {
  loadPlayer();
  ASSERT_NE(makeHost(), nullptr);
  auto test = playerTest();
  ASSERT_TRUE(test);
  for (const MessageCase& c : messageCases()) {
    test->ClearCallLog();
    HRESULT hr = E_UNEXPECTED;
    c.send(host_, &hr);  // each row presets hr to E_UNEXPECTED in its block
    if (c.expectedHr == kAnyResult) {
      EXPECT_NE(hr, E_UNEXPECTED) << std::hex << c.message << ": hr not written";
    } else {
      EXPECT_EQ(hr, c.expectedHr) << std::hex << c.message;
    }
    // The host asks for the version first; FlashVersion itself then shows up twice.
    const bool versionMessage = c.message == 0x150E;
    const auto received = calls(test.get(), versionMessage);
    ASSERT_EQ(received.size(), versionMessage ? 2u : c.sends) << std::hex << c.message;
    EXPECT_EQ(received.back(), c.expectedCall) << std::hex << c.message;
  }
}

TEST_F(HostTest, VersionGatesAndTextLengthRules) {
  loadPlayer();
  ASSERT_NE(makeHost(), nullptr);
  auto test = playerTest();
  ASSERT_TRUE(test);

  // GetVariable: a NULL buffer gets the length plus one and nothing else.
  SetVariableForTest(host_, L"name", L"value");
  TextTextOutBlock<wchar_t> get{L"name", nullptr, 0, E_FAIL};
  SendMessageW(host_, 0x1520, 0, reinterpret_cast<LPARAM>(&get));
  EXPECT_EQ(get.hr, S_OK);
  EXPECT_EQ(get.length, 6);

  // The version-5 FlashVars pair is never called on a version 9 control; the current one is.
  for (UINT message : {0x1565u, 0x1566u}) {
    TextInBlock<wchar_t> put{L"a=1", S_OK};
    EXPECT_EQ(SendMessageW(host_, message, 0, reinterpret_cast<LPARAM>(&put)), 1);
    EXPECT_EQ(put.hr, E_FAIL) << std::hex << message;
  }
  for (UINT message : {0x1567u, 0x1568u}) {
    TextOutBlock<wchar_t> out{nullptr, -3, S_OK};
    SendMessageW(host_, message, 0, reinterpret_cast<LPARAM>(&out));
    EXPECT_EQ(out.hr, E_FAIL) << std::hex << message;
    EXPECT_EQ(out.length, -3);
  }
  TextInBlock<wchar_t> flashVars{L"a=1", E_FAIL};
  SendMessageW(host_, 0x156A, 0, reinterpret_cast<LPARAM>(&flashVars));
  EXPECT_EQ(flashVars.hr, S_OK);

  // callFunction's buffer rules.
  BSTR answer = SysAllocString(L"<string>abcdef</string>");
  test->SetCallFunctionAnswer(answer);
  SysFreeString(answer);
  int length = 0;
  EXPECT_EQ(callFunction(host_, L"<invoke name=\"f\"/>", nullptr, &length), S_OK);
  EXPECT_EQ(length, 24);
  wchar_t whole[64];
  EXPECT_EQ(callFunction(host_, L"<invoke/>", whole, nullptr), S_OK);
  EXPECT_EQ(narrow(whole), "<string>abcdef</string>");
  wchar_t cut[16];
  std::fill(std::begin(cut), std::end(cut), L'#');
  length = 10;
  EXPECT_EQ(callFunction(host_, L"<invoke/>", cut, &length), S_OK);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(std::wstring(cut, 11), L"<string>ab#");  // cut: exactly 10, no terminator
  length = 64;
  EXPECT_EQ(callFunction(host_, L"<invoke/>", whole, &length), S_OK);
  EXPECT_EQ(length, 24);
  EXPECT_EQ(whole[23], L'\0');

  // A control reporting version 7 has no CallFunction or SetReturnValue.
  test->SetReportedVersion(7 << 16);
  struct {
    BSTR request;
    BSTR response;
    HRESULT hr;
  } call{nullptr, nullptr, S_OK};
  EXPECT_EQ(SendMessageW(host_, MHM_CALL_FUNCTION, 0, reinterpret_cast<LPARAM>(&call)), 0);
  EXPECT_EQ(call.hr, E_NOTIMPL);
  EXPECT_EQ(setReturnValue(host_, L"x"), E_NOTIMPL);
}

TEST_F(HostTest, MovieFromMemoryReachesThePlayerThroughTheInterceptedMoniker) {
  loadPlayer();
  ASSERT_NE(makeHost(), nullptr);
  auto test = playerTest();
  ASSERT_TRUE(test);
  const std::vector<uint8_t> movie = smallMovie();
  PutMovieFromMemoryBlock block{movie.data(), static_cast<uint32_t>(movie.size())};
  EXPECT_EQ(SendMessageW(host_, MHM_PUT_MOVIE_FROM_MEMORY, 0, reinterpret_cast<LPARAM>(&block)), 1);
  for (int i = 0; i < 50; ++i) {
    pumpMessages();
    player::PlayerMovieInfo info{};
    test->GetMovieInfo(&info);
    if (info.loadState == player::kFetchDone || info.loadState == player::kFetchFailed) break;
    Sleep(20);
  }
  player::PlayerMovieInfo info{};
  ASSERT_EQ(test->GetMovieInfo(&info), S_OK);
  EXPECT_EQ(info.loadState, player::kFetchDone);
  EXPECT_EQ(info.swfVersion, 9);
  EXPECT_EQ(info.backgroundColor, 0x336699);
  EXPECT_EQ(info.bytesLoaded, static_cast<long>(movie.size()));
}

TEST_F(HostTest, ResourcesBesideAnInMemoryMovieAreAskedOfTheParent) {
  loadPlayer();
  ASSERT_NE(makeHost(), nullptr);
  auto test = playerTest();
  ASSERT_TRUE(test);
  const std::vector<uint8_t> movie = smallMovie();
  PutMovieFromMemoryBlock block{movie.data(), static_cast<uint32_t>(movie.size())};
  ASSERT_EQ(SendMessageW(host_, MHM_PUT_MOVIE_FROM_MEMORY, 0, reinterpret_cast<LPARAM>(&block)), 1);
  pumpMessages();

  events_.entries.clear();
  events_.resourceAnswerCode = MHN_LOAD_EXTERNAL_RESOURCE_EX_A;
  events_.resourceBytes = "payload";
  BSTR url = SysAllocString(L"data/no_such_file_here.txt");
  EXPECT_EQ(test->FetchResource(url), S_OK);
  SysFreeString(url);
  long state = player::kFetchLoading;
  BSTR bytes = nullptr;
  for (int i = 0; i < 100 && state == player::kFetchLoading; ++i) {
    pumpMessages();
    SysFreeString(bytes);
    bytes = nullptr;
    test->GetFetchedResource(&state, &bytes);
    if (state == player::kFetchLoading) Sleep(10);
  }
  EXPECT_EQ(state, player::kFetchDone);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), SysStringByteLen(bytes)), "payload");
  SysFreeString(bytes);
  // A, then A extended (answered there), then the W pair, whose handled field starts TRUE.
  const std::vector<std::string> expected = {
      "parent:13FD[data/no_such_file_here.txt]", "parent:13F9[data/no_such_file_here.txt|0]",
      "parent:13FC[data/no_such_file_here.txt]", "parent:13F8[data/no_such_file_here.txt|1]"};
  EXPECT_EQ(events_.entries, expected);
}

}  // namespace
}  // namespace nxr
