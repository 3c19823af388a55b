// Tests of nxrplayer.dll as a container sees it: the DLL is loaded with LoadLibrary, the control
// created through its class factory, and every check goes through the control's COM interfaces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>
#include <windows.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "player_test_interface.h"
#include "shockwave_flash.h"
#include "support/text.h"
#include "support/win.h"
#include "testing/swf_builder.h"

namespace nxr::player {
namespace {

using testing::buildSwf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::SwfRecipe;

// A BSTR owned by the test.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::u16string& text)
      : b_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), UINT(text.size()))) {}
  explicit Bstr(const char* ascii) : Bstr(asU16(ascii)) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  BSTR* put() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::string utf8() const { return b_ ? utf16ToUtf8(fromWide(b_, SysStringLen(b_))) : ""; }

 private:
  BSTR b_ = nullptr;
};

std::wstring exeDirectory() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

// Runs the thread's messages until done() or a generous limit passes (bindings complete through
// the message loop).
template <typename Done>
bool pumpUntil(Done done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 10000) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

// The event sink: records every event as text and can answer FlashCall.
class EventSink final : public IDispatch {
 public:
  std::vector<std::string> events;
  std::vector<DWORD> threads;       // where each event arrived
  ComPtr<IShockwaveFlash> replyTo;  // answers FlashCall through SetReturnValue when set
  std::u16string reply;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kDiidShockwaveFlashEvents) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    std::string text = std::to_string(id) + ":";
    for (UINT i = params->cArgs; i-- > 0;) {  // in call order
      const VARIANT& v = params->rgvarg[i];
      if (v.vt == VT_BSTR) {
        text += "[" + (v.bstrVal ? utf16ToUtf8(fromWide(v.bstrVal)) : std::string("null")) + "]";
      } else if (v.vt == VT_I4) {
        text += "[" + std::to_string(v.lVal) + "]";
      } else {
        text += "[vt" + std::to_string(v.vt) + "]";
      }
    }
    events.push_back(text);
    threads.push_back(GetCurrentThreadId());
    if (id == kDispidFlashCall && replyTo) {
      Bstr value(reply);
      replyTo->SetReturnValue(value.get());
    }
    return S_OK;
  }
  LONG refs = 0;
};

// A minimal container site: client site, in-place site (windowless when allowed) and the
// records the tests read back.
class TestSite final : public IOleClientSite, public IOleInPlaceSiteWindowless {
 public:
  HWND window = nullptr;
  RECT position{};
  bool offerWindowless = false;
  std::vector<std::string> calls;
  int dcOut = 0;
  int invalidations = 0;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite ||
               iid == IID_IOleInPlaceSiteEx ||
               (iid == IID_IOleInPlaceSiteWindowless && offerWindowless)) {
      *out = static_cast<IOleInPlaceSiteWindowless*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow
  STDMETHODIMP GetWindow(HWND* out) override {
    *out = window;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override {
    calls.push_back("OnInPlaceActivate");
    return S_OK;
  }
  STDMETHODIMP OnUIActivate() override {
    calls.push_back("OnUIActivate");
    return S_OK;
  }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *doc = nullptr;
    *pos = *clip = position;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override {
    calls.push_back("OnUIDeactivate");
    return S_OK;
  }
  STDMETHODIMP OnInPlaceDeactivate() override {
    calls.push_back("OnInPlaceDeactivate");
    return S_OK;
  }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
  // IOleInPlaceSiteEx
  STDMETHODIMP OnInPlaceActivateEx(BOOL*, DWORD flags) override {
    calls.push_back("OnInPlaceActivateEx(" + std::to_string(flags) + ")");
    return S_OK;
  }
  STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override {
    calls.push_back("OnInPlaceDeactivateEx");
    return S_OK;
  }
  STDMETHODIMP RequestUIActivate() override { return S_OK; }
  // IOleInPlaceSiteWindowless
  STDMETHODIMP CanWindowlessActivate() override { return S_OK; }
  STDMETHODIMP GetCapture() override { return S_FALSE; }
  STDMETHODIMP SetCapture(BOOL) override { return S_OK; }
  STDMETHODIMP GetFocus() override { return S_FALSE; }
  STDMETHODIMP SetFocus(BOOL) override { return S_OK; }
  STDMETHODIMP GetDC(LPCRECT, DWORD flags, HDC* dc) override {
    calls.push_back("GetDC(" + std::to_string(flags) + ")");
    if (dcOut) return E_FAIL;
    *dc = ::GetDC(window);
    ++dcOut;
    return S_OK;
  }
  STDMETHODIMP ReleaseDC(HDC dc) override {
    calls.push_back("ReleaseDC");
    --dcOut;
    ::ReleaseDC(window, dc);
    return S_OK;
  }
  STDMETHODIMP InvalidateRect(LPCRECT, BOOL) override {
    ++invalidations;
    return S_OK;
  }
  STDMETHODIMP InvalidateRgn(HRGN, BOOL) override {
    ++invalidations;
    return S_OK;
  }
  STDMETHODIMP ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return S_OK; }
  STDMETHODIMP AdjustRect(LPRECT) override { return S_OK; }
  STDMETHODIMP OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }

  bool called(const std::string& name) const {
    return std::find(calls.begin(), calls.end(), name) != calls.end();
  }
  LONG refs = 0;
};

// A 32-bit top-down DIB selected into a memory DC, filled with one colour.
class Canvas {
 public:
  Canvas(int width, int height, uint32_t fill) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
    dc_.reset(CreateCompatibleDC(nullptr));
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    old_ = SelectObject(dc_.get(), bitmap_.get());
    std::fill_n(static_cast<uint32_t*>(bits_), size_t(width) * height, fill);
  }
  ~Canvas() { SelectObject(dc_.get(), old_); }
  HDC dc() const { return dc_.get(); }
  uint32_t pixel(int x, int y) const {
    GdiFlush();
    return static_cast<const uint32_t*>(bits_)[size_t(y) * width_ + x] & 0xFFFFFF;
  }

 private:
  int width_, height_;
  ScopedMemoryDc dc_;
  ScopedGdiObject bitmap_;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

constexpr uint32_t bgr(COLORREF c) {  // a COLORREF as a DIB pixel (0x00RRGGBB)
  return (uint32_t(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.succeeded());
    const std::wstring path = exeDirectory() + L"nxrplayer.dll";
    module_ = LoadLibraryW(path.c_str());
    ASSERT_NE(module_, nullptr) << "cannot load " << utf16ToUtf8(fromWide(path.c_str()));
    getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ = reinterpret_cast<decltype(canUnloadNow_)>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    ASSERT_NE(getClassObject_, nullptr);
    ASSERT_NE(canUnloadNow_, nullptr);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject_(kClsidShockwaveFlash, IID_IClassFactory, factory.putVoid()), S_OK);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, unknown.putVoid()), S_OK);
    ASSERT_EQ(unknown.as(kIidShockwaveFlash, flash_), S_OK);
    ASSERT_EQ(unknown.as(kIidPlayerTest, test_), S_OK);
    unknown.as(IID_IOleObject, ole_);

    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PlayerTestContainer";
    RegisterClassW(&wc);
    container_.reset(CreateWindowExW(0, L"PlayerTestContainer", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                     300, nullptr, nullptr, wc.hInstance, nullptr));
    site_.window = container_.get();
    site_.position = RECT{0, 0, 200, 100};
  }
  void TearDown() override {
    if (ole_) ole_->Close(OLECLOSE_NOSAVE), ole_->SetClientSite(nullptr);
    ole_.reset();
    test_.reset();
    flash_.reset();
    container_.reset();
    if (module_) FreeLibrary(module_);
  }

  std::vector<std::string> callLog() {
    std::vector<std::string> out;
    long count = 0;
    test_->GetCallCount(&count);
    for (long i = 0; i < count; ++i) {
      Bstr text;
      test_->GetCall(i, text.put());
      out.push_back(text.utf8());
    }
    return out;
  }
  std::string lastCall() {
    const auto log = callLog();
    return log.empty() ? std::string() : log.back();
  }

  // A movie file in the temporary folder, removed with the test.
  std::wstring writeMovie(const std::wstring& name, const std::vector<uint8_t>& bytes) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir =
        std::wstring(temp) + L"nxrplayer_test_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring path = dir + L"\\" + name;
    ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
    files_.push_back(path);
    return path;
  }
  void removeFiles() {
    for (const auto& f : files_) DeleteFileW(f.c_str());
  }
  ~PlayerTest() override { removeFiles(); }

  long readyState() {
    long state = -1;
    flash_->get_ReadyState(&state);
    return state;
  }
  PlayerMovieInfo movieInfo() {
    PlayerMovieInfo info{};
    test_->GetMovieInfo(&info);
    return info;
  }
  void loadAndWait(const std::wstring& url) {
    Bstr text(asU16cstr(url.c_str()));
    ASSERT_EQ(flash_->put_Movie(text.get()), S_OK);
    ASSERT_TRUE(pumpUntil([&] { return readyState() == kReadyStateComplete; }))
        << "state " << readyState();
  }
  void advise(EventSink& sink, DWORD& cookie) {
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(flash_.as(IID_IConnectionPointContainer, container), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(kDiidShockwaveFlashEvents, point.put()), S_OK);
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  }
  void unadvise(DWORD cookie) {
    ComPtr<IConnectionPointContainer> container;
    flash_.as(IID_IConnectionPointContainer, container);
    ComPtr<IConnectionPoint> point;
    container->FindConnectionPoint(kDiidShockwaveFlashEvents, point.put());
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
  }
  HRESULT activate(bool windowless) {
    site_.offerWindowless = windowless;
    if (windowless) {
      Bstr mode("Transparent");
      flash_->put_WMode(mode.get());
    }
    ole_->SetClientSite(&site_);
    return ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site_, 0, container_.get(),
                        &site_.position);
  }

  ScopedComInitializer com_;
  HMODULE module_ = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow_)() = nullptr;
  ComPtr<IShockwaveFlash> flash_;
  ComPtr<IPlayerTest> test_;
  ComPtr<IOleObject> ole_;
  ScopedWindow container_;
  TestSite site_;
  std::vector<std::wstring> files_;
};

TEST_F(PlayerTest, ClassFactoryServesOnlyItsClassAndTracksObjects) {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(getClassObject_(IID_IUnknown, IID_IClassFactory, factory.putVoid()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);  // the fixture's control is alive
  ole_.reset();
  test_.reset();
  flash_.reset();
  EXPECT_EQ(canUnloadNow_(), S_OK);
  ASSERT_EQ(getClassObject_(kClsidShockwaveFlash, IID_IClassFactory, factory.putVoid()), S_OK);
  ComPtr<IUnknown> aggregated;
  EXPECT_EQ(factory->CreateInstance(static_cast<IOleClientSite*>(&site_), IID_IUnknown,
                                    aggregated.putVoid()),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);  // the factory is held
  factory.reset();
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

// Every slot of the automation interface, called through the raw vtable: the control must log
// the method that sits in that slot, with the arguments given.
struct Slot {
  int index;
  const char* name;
  const char* args;  // l: 32-bit in, s: text in, d: double in, u: object in, o: value out,
                     // S: text out, U: object out
};
constexpr Slot kSlots[] = {
    {7, "get_ReadyState", "o"},
    {8, "get_TotalFrames", "o"},
    {9, "get_Playing", "o"},
    {10, "put_Playing", "l"},
    {11, "get_Quality", "o"},
    {12, "put_Quality", "l"},
    {13, "get_ScaleMode", "o"},
    {14, "put_ScaleMode", "l"},
    {15, "get_AlignMode", "o"},
    {16, "put_AlignMode", "l"},
    {17, "get_BackgroundColor", "o"},
    {18, "put_BackgroundColor", "l"},
    {19, "get_Loop", "o"},
    {20, "put_Loop", "l"},
    {21, "get_Movie", "S"},
    {22, "put_Movie", "s"},
    {23, "get_FrameNum", "o"},
    {24, "put_FrameNum", "l"},
    {25, "SetZoomRect", "llll"},
    {26, "Zoom", "l"},
    {27, "Pan", "lll"},
    {28, "Play", ""},
    {29, "Stop", ""},
    {30, "Back", ""},
    {31, "Forward", ""},
    {32, "Rewind", ""},
    {33, "StopPlay", ""},
    {34, "GotoFrame", "l"},
    {35, "CurrentFrame", "o"},
    {36, "IsPlaying", "o"},
    {37, "PercentLoaded", "o"},
    {38, "FrameLoaded", "lo"},
    {39, "FlashVersion", "o"},
    {40, "get_WMode", "S"},
    {41, "put_WMode", "s"},
    {42, "get_SAlign", "S"},
    {43, "put_SAlign", "s"},
    {44, "get_Menu", "o"},
    {45, "put_Menu", "l"},
    {46, "get_Base", "S"},
    {47, "put_Base", "s"},
    {48, "get_Scale", "S"},
    {49, "put_Scale", "s"},
    {50, "get_DeviceFont", "o"},
    {51, "put_DeviceFont", "l"},
    {52, "get_EmbedMovie", "o"},
    {53, "put_EmbedMovie", "l"},
    {54, "get_BGColor", "S"},
    {55, "put_BGColor", "s"},
    {56, "get_Quality2", "S"},
    {57, "put_Quality2", "s"},
    {58, "LoadMovie", "ls"},
    {59, "TGotoFrame", "sl"},
    {60, "TGotoLabel", "ss"},
    {61, "TCurrentFrame", "so"},
    {62, "TCurrentLabel", "sS"},
    {63, "TPlay", "s"},
    {64, "TStopPlay", "s"},
    {65, "SetVariable", "ss"},
    {66, "GetVariable", "sS"},
    {67, "TSetProperty", "sls"},
    {68, "TGetProperty", "slS"},
    {69, "TCallFrame", "sl"},
    {70, "TCallLabel", "ss"},
    {71, "TSetPropertyNum", "sld"},
    {72, "TGetPropertyNum", "slo"},
    {73, "TGetPropertyAsNumber", "slo"},
    {74, "get_SWRemote", "S"},
    {75, "put_SWRemote", "s"},
    {76, "get_FlashVars", "S"},
    {77, "put_FlashVars", "s"},
    {78, "get_AllowScriptAccess", "S"},
    {79, "put_AllowScriptAccess", "s"},
    {80, "get_MovieData", "S"},
    {81, "put_MovieData", "s"},
    {82, "get_InlineData", "U"},
    {83, "put_InlineData", "u"},
    {84, "get_SeamlessTabbing", "o"},
    {85, "put_SeamlessTabbing", "l"},
    {86, "EnforceLocalSecurity", ""},
    {87, "get_Profile", "o"},
    {88, "put_Profile", "l"},
    {89, "get_ProfileAddress", "S"},
    {90, "put_ProfileAddress", "s"},
    {91, "get_ProfilePort", "o"},
    {92, "put_ProfilePort", "l"},
    {93, "CallFunction", "sS"},
    {94, "SetReturnValue", "s"},
    {95, "DisableLocalSecurity", ""},
    {96, "get_AllowNetworking", "S"},
    {97, "put_AllowNetworking", "s"},
    {98, "get_AllowFullScreen", "S"},
    {99, "put_AllowFullScreen", "s"},
};

HRESULT callSlot(void* object, const Slot& slot, BSTR text, std::string& expected) {
  void* fn = (*static_cast<void***>(object))[slot.index];
  const std::string a = slot.args;
  expected = std::string(slot.name) + "(";
  for (char c : a) {
    if (c == 'l') expected += "7,";
    if (c == 's') expected += "x,";
    if (c == 'd') expected += "2.5,";
  }
  if (expected.back() == ',') expected.pop_back();
  expected += ")";
  uint64_t out[2] = {};
  BSTR outText = nullptr;
  IUnknown* outObject = nullptr;
  using L = long;
  using P = void*;
  HRESULT hr = E_UNEXPECTED;
#define CALL(...) reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, __VA_ARGS__)>(fn)
  if (a.empty()) {
    hr = reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*)>(fn)(object);
  } else if (a == "o") {
    hr = CALL(P)(object, out);
  } else if (a == "S") {
    hr = CALL(BSTR*)(object, &outText);
  } else if (a == "U") {
    hr = CALL(IUnknown**)(object, &outObject);
  } else if (a == "u") {
    hr = CALL(IUnknown*)(object, nullptr);
  } else if (a == "l") {
    hr = CALL(L)(object, 7);
  } else if (a == "s") {
    hr = CALL(BSTR)(object, text);
  } else if (a == "lll") {
    hr = CALL(L, L, L)(object, 7, 7, 7);
  } else if (a == "llll") {
    hr = CALL(L, L, L, L)(object, 7, 7, 7, 7);
  } else if (a == "lo") {
    hr = CALL(L, P)(object, 7, out);
  } else if (a == "ls") {
    hr = CALL(L, BSTR)(object, 7, text);
  } else if (a == "sl") {
    hr = CALL(BSTR, L)(object, text, 7);
  } else if (a == "ss") {
    hr = CALL(BSTR, BSTR)(object, text, text);
  } else if (a == "so") {
    hr = CALL(BSTR, P)(object, text, out);
  } else if (a == "sS") {
    hr = CALL(BSTR, BSTR*)(object, text, &outText);
  } else if (a == "sls") {
    hr = CALL(BSTR, L, BSTR)(object, text, 7, text);
  } else if (a == "slS") {
    hr = CALL(BSTR, L, BSTR*)(object, text, 7, &outText);
  } else if (a == "sld") {
    hr = CALL(BSTR, L, double)(object, text, 7, 2.5);
  } else if (a == "slo") {
    hr = CALL(BSTR, L, P)(object, text, 7, out);
  } else {
    ADD_FAILURE() << "no caller for " << a;
  }
#undef CALL
  SysFreeString(outText);
  if (outObject) outObject->Release();
  return hr;
}

TEST_F(PlayerTest, EverySlotReachesItsMethod) {
  ASSERT_EQ(std::size(kSlots), 93u);
  Bstr text("x");
  for (const Slot& slot : kSlots) {
    std::string expected;
    callSlot(flash_.get(), slot, text.get(), expected);
    EXPECT_EQ(lastCall(), expected) << "slot " << slot.index;
  }
}

TEST_F(PlayerTest, UnsupportedMethodsSayNotImplemented) {
  Bstr text("x");
  for (const Slot& slot : kSlots) {
    const std::string name = slot.name;
    const bool unsupported = name == "SetZoomRect" || name == "Zoom" || name == "Pan" ||
                             name.find("InlineData") != std::string::npos ||
                             name.find("Profile") != std::string::npos ||
                             name.find("LocalSecurity") != std::string::npos;
    std::string expected;
    const HRESULT hr = callSlot(flash_.get(), slot, text.get(), expected);
    EXPECT_EQ(hr == E_NOTIMPL, unsupported) << name << " " << std::hex << hr;
  }
}

TEST_F(PlayerTest, VersionIsNineUnlessTheTestSetsAnother) {
  long version = 0;
  ASSERT_EQ(flash_->FlashVersion(&version), S_OK);
  EXPECT_EQ(version, 9 << 16);
  test_->SetReportedVersion(7 << 16);
  flash_->FlashVersion(&version);
  EXPECT_EQ(version, 7 << 16);
  Bstr name("$version"), value;
  ASSERT_EQ(flash_->GetVariable(name.get(), value.put()), S_OK);
  EXPECT_EQ(value.utf8(), "WIN 7,0,0,0");
}

TEST_F(PlayerTest, DispatchNamesAndInvokeReachTheSameMethods) {
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(flash_.as(IID_IDispatch, dispatch), S_OK);
  struct {
    const wchar_t* name;
    DISPID id;
  } const names[] = {{L"FlashVersion", 132},
                     {L"setvariable", 151},
                     {L"Movie", 102},
                     {L"CallFunction", 198},
                     {L"ReadyState", -525}};
  for (const auto& n : names) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(n.name);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, n.id);
  }
  DISPID id = 0;
  LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);

  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  ASSERT_EQ(
      dispatch->Invoke(132, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 9 << 16);

  // SetVariable("a", 12): arguments reversed, the number converted to text.
  VARIANT args[2];
  args[0].vt = VT_I4;
  args[0].lVal = 12;
  args[1].vt = VT_BSTR;
  args[1].bstrVal = SysAllocString(L"a");
  DISPPARAMS two{args, nullptr, 2, 0};
  EXPECT_EQ(dispatch->Invoke(151, IID_NULL, 0, DISPATCH_METHOD, &two, nullptr, nullptr, nullptr),
            S_OK);
  SysFreeString(args[1].bstrVal);
  EXPECT_EQ(lastCall(), "SetVariable(a,12)");

  // Property put of BackgroundColor.
  VARIANT color;
  color.vt = VT_I4;
  color.lVal = 0x102030;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put{&color, &named, 1, 1};
  EXPECT_EQ(
      dispatch->Invoke(123, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
      S_OK);
  long value = 0;
  flash_->get_BackgroundColor(&value);
  EXPECT_EQ(value, 0x102030);

  EXPECT_EQ(dispatch->Invoke(4242, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(dispatch->Invoke(151, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
}

TEST_F(PlayerTest, EventsReachAdvisedSinksOnly) {
  EventSink sink;
  DWORD cookie = 0;
  advise(sink, cookie);
  Bstr command("quit"), args("now");
  test_->RaiseFSCommand(command.get(), args.get());
  test_->RaiseFSCommand(command.get(), nullptr);
  test_->RaiseProgress(42);
  test_->RaiseReadyStateChange(3);
  Bstr request("<invoke name=\"f\"/>");
  Bstr reply;
  test_->RaiseFlashCall(request.get(), reply.put());
  EXPECT_THAT(sink.events, ElementsAre("150:[quit][now]", "150:[quit][null]", "1958:[42]",
                                       "-609:[3]", "197:[<invoke name=\"f\"/>]"));
  EXPECT_EQ(reply.utf8(), "");  // nobody answered

  unadvise(cookie);
  test_->RaiseProgress(50);
  EXPECT_EQ(sink.events.size(), 5u);
  EXPECT_EQ(sink.refs, 0);

  ComPtr<IConnectionPointContainer> container;
  flash_.as(IID_IConnectionPointContainer, container);
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, point.put()),
            CONNECT_E_NOCONNECTION);
}

TEST_F(PlayerTest, FlashCallReplyComesFromSetReturnValueDuringTheEvent) {
  EventSink sink;
  sink.replyTo = flash_;
  sink.reply = u"<string>pong</string>";
  DWORD cookie = 0;
  advise(sink, cookie);
  Bstr request("<invoke name=\"ping\" returntype=\"xml\"><arguments></arguments></invoke>");
  Bstr reply;
  ASSERT_EQ(test_->RaiseFlashCall(request.get(), reply.put()), S_OK);
  EXPECT_EQ(reply.utf8(), "<string>pong</string>");
  EXPECT_EQ(lastCall(), "SetReturnValue(<string>pong</string>)");
  // The next call starts without the old reply.
  sink.replyTo.reset();
  test_->RaiseFlashCall(request.get(), reply.put());
  EXPECT_EQ(reply.utf8(), "");
  unadvise(cookie);
}

TEST_F(PlayerTest, VariablesAndCallFunction) {
  Bstr name("score"), value("12"), got;
  EXPECT_EQ(flash_->GetVariable(name.get(), got.put()), E_FAIL);
  ASSERT_EQ(flash_->SetVariable(name.get(), value.get()), S_OK);
  ASSERT_EQ(flash_->GetVariable(name.get(), got.put()), S_OK);
  EXPECT_EQ(got.utf8(), "12");

  Bstr request(
      "<invoke name=\"f\" returntype=\"xml\"><arguments><string>a</string></arguments></invoke>");
  Bstr response;
  ASSERT_EQ(flash_->CallFunction(request.get(), response.put()), S_OK);
  EXPECT_EQ(response.utf8(), "");
  Bstr answer("<string>yes</string>");
  test_->SetCallFunctionAnswer(answer.get());
  ASSERT_EQ(flash_->CallFunction(request.get(), response.put()), S_OK);
  EXPECT_EQ(response.utf8(), "<string>yes</string>");
  EXPECT_EQ(lastCall(), "CallFunction(" + request.utf8() + ")");
}

TEST_F(PlayerTest, CallLogRecordsArgumentsInOrder) {
  test_->ClearCallLog();
  Bstr url("http://example.invalid/a.swf"), scale("NoScale");
  flash_->put_Scale(scale.get());
  flash_->put_BackgroundColor(0xFF00);
  flash_->TSetPropertyNum(url.get(), 3, 1.5);
  int mode = -1;
  flash_->get_ScaleMode(&mode);
  EXPECT_EQ(mode, 3);
  EXPECT_THAT(callLog(), ElementsAre("put_Scale(NoScale)", "put_BackgroundColor(65280)",
                                     "TSetPropertyNum(http://example.invalid/a.swf,3,1.5)",
                                     "get_ScaleMode()"));
}

struct MovieCase {
  const char* name;
  SwfRecipe recipe;
  bool viaUrl;
};

TEST_F(PlayerTest, MoviesLoadFromPathsAndFileUrls) {
  const MovieCase cases[] = {
      {"plain path", SwfRecipe{.version = 8, .frameCount = 3, .backgroundColor = 0x336699}, false},
      {"compressed path", SwfRecipe{.version = 9, .compressed = true, .frameCount = 5}, false},
      {"plain url", SwfRecipe{.version = 6, .frameCount = 2, .backgroundColor = 0x00FF00}, true},
      {"compressed url",
       SwfRecipe{.version = 10, .compressed = true, .frameCount = 4, .backgroundColor = 0x102030},
       true},
      {"large path", SwfRecipe{.frameCount = 2, .paddingBytes = 300000}, false},
      {"large url", SwfRecipe{.compressed = true, .frameCount = 2, .paddingBytes = 300000}, true},
  };
  EventSink sink;
  DWORD cookie = 0;
  advise(sink, cookie);
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path =
        writeMovie(L"movie" + std::to_wstring(index++) + L".swf", buildSwf(c.recipe));
    std::wstring url = path;
    if (c.viaUrl) {
      wchar_t buffer[2 * MAX_PATH];
      DWORD size = DWORD(std::size(buffer));
      ASSERT_EQ(UrlCreateFromPathW(path.c_str(), buffer, &size, 0), S_OK);
      url = buffer;
      ASSERT_EQ(url.rfind(L"file:", 0), 0u);
    }
    sink.events.clear();
    loadAndWait(url);
    const PlayerMovieInfo info = movieInfo();
    EXPECT_EQ(info.swfVersion, c.recipe.version);
    EXPECT_EQ(info.compressed, c.recipe.compressed ? 1 : 0);
    EXPECT_EQ(info.frameCount, c.recipe.frameCount);
    EXPECT_EQ(info.framesLoaded, c.recipe.frameCount);
    EXPECT_EQ(info.widthTwips, c.recipe.widthTwips);
    EXPECT_EQ(info.heightTwips, c.recipe.heightTwips);
    EXPECT_EQ(info.frameRate, c.recipe.frameRate);
    EXPECT_EQ(info.backgroundColor, long(c.recipe.backgroundColor));
    long frames = 0, percent = 0;
    flash_->get_TotalFrames(&frames);
    flash_->PercentLoaded(&percent);
    EXPECT_EQ(frames, c.recipe.frameCount);
    EXPECT_EQ(percent, 100);
    // Loading reports its states and ends with full progress.
    ASSERT_GE(sink.events.size(), 3u);
    EXPECT_EQ(sink.events.front(), "-609:[0]");
    EXPECT_THAT(sink.events, ::testing::Contains("-609:[3]"));
    EXPECT_EQ(sink.events[sink.events.size() - 2], "1958:[100]");
    EXPECT_EQ(sink.events.back(), "-609:[4]");
    if (c.recipe.paddingBytes) {  // arrives in parts: progress in between
      EXPECT_TRUE(std::any_of(sink.events.begin(), sink.events.end(), [](const std::string& e) {
        return e.rfind("1958:", 0) == 0 && e != "1958:[100]" && e != "1958:[0]";
      }));
    }
  }
  unadvise(cookie);
}

TEST_F(PlayerTest, EventsOfLoadsOnOtherThreadsArriveOnTheControlsThread) {
  EventSink sink;
  DWORD cookie = 0;
  advise(sink, cookie);
  const std::wstring path = writeMovie(L"threaded.swf", buildSwf(SwfRecipe{.frameCount = 2}));
  Bstr url(asU16cstr(path.c_str()));
  // The control is called directly from a second thread, as a transfer callback would be.
  std::thread([&] { flash_->put_Movie(url.get()); }).join();
  EXPECT_TRUE(sink.events.empty());  // nothing yet: the work waits for this thread's messages
  ASSERT_TRUE(pumpUntil([&] { return readyState() == kReadyStateComplete; }));
  ASSERT_FALSE(sink.threads.empty());
  for (DWORD thread : sink.threads) EXPECT_EQ(thread, GetCurrentThreadId());
  EXPECT_EQ(sink.events.back(), "-609:[4]");
  EXPECT_EQ(movieInfo().frameCount, 2);
  unadvise(cookie);
}

TEST_F(PlayerTest, RelativeUrlsResolveBesideTheMovie) {
  const std::wstring first = writeMovie(L"first.swf", buildSwf(SwfRecipe{.frameCount = 2}));
  writeMovie(L"second.swf", buildSwf(SwfRecipe{.version = 7, .frameCount = 6}));
  writeMovie(L"data.txt", {'h', 'e', 'l', 'l', 'o'});
  loadAndWait(first);

  Bstr resource("data.txt");
  ASSERT_EQ(test_->FetchResource(resource.get()), S_OK);
  long state = 0;
  Bstr bytes;
  ASSERT_TRUE(pumpUntil([&] {
    test_->GetFetchedResource(&state, bytes.put());
    return state != kFetchLoading;
  }));
  ASSERT_EQ(state, kFetchDone);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.get()), SysStringByteLen(bytes.get())),
            "hello");

  Bstr second("second.swf");
  ASSERT_EQ(flash_->LoadMovie(0, second.get()), S_OK);
  ASSERT_TRUE(pumpUntil([&] { return readyState() == kReadyStateComplete; }));
  EXPECT_EQ(movieInfo().frameCount, 6);
  Bstr movie;
  flash_->get_Movie(movie.put());
  EXPECT_THAT(movie.utf8(), HasSubstr("second.swf"));
}

TEST_F(PlayerTest, MissingOrBrokenMoviesNeverComplete) {
  std::vector<uint8_t> broken = buildSwf(SwfRecipe{.compressed = true});
  broken[9] ^= 0xFF;
  const std::wstring paths[] = {
      writeMovie(L"broken.swf", broken),
      writeMovie(L"text.swf", {'n', 'o', 't', ' ', 'a', ' ', 's', 'w', 'f'}),
      exeDirectory() + L"no_such_movie.swf"};
  for (const auto& path : paths) {
    Bstr url(asU16cstr(path.c_str()));
    ASSERT_EQ(flash_->put_Movie(url.get()), S_OK);
    ASSERT_TRUE(pumpUntil([&] { return movieInfo().loadState != kFetchLoading; }));
    const PlayerMovieInfo info = movieInfo();
    EXPECT_EQ(info.loadState, kFetchFailed);
    EXPECT_EQ(info.swfVersion, 0);
    EXPECT_NE(readyState(), kReadyStateComplete);
    long frames = -1;
    flash_->get_TotalFrames(&frames);
    EXPECT_EQ(frames, 0);
  }
}

TEST_F(PlayerTest, TimelineFollowsGotoPlayAndLabels) {
  loadAndWait(
      writeMovie(L"timeline.swf", buildSwf(SwfRecipe{.frameCount = 4, .labels = {{2, "middle"}}})));
  flash_->Stop();
  ASSERT_EQ(flash_->GotoFrame(3), S_OK);
  long frame = -1;
  flash_->CurrentFrame(&frame);
  EXPECT_EQ(frame, 3);
  Bstr root("/"), label("middle"), missing("nowhere");
  ASSERT_EQ(flash_->TGotoLabel(root.get(), label.get()), S_OK);
  flash_->CurrentFrame(&frame);
  EXPECT_EQ(frame, 2);
  Bstr current;
  ASSERT_EQ(flash_->TCurrentLabel(root.get(), current.put()), S_OK);
  EXPECT_EQ(current.utf8(), "middle");
  EXPECT_EQ(flash_->TGotoLabel(root.get(), missing.get()), E_FAIL);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  flash_->FrameLoaded(3, &loaded);
  EXPECT_EQ(loaded, VARIANT_TRUE);
  flash_->FrameLoaded(4, &loaded);
  EXPECT_EQ(loaded, VARIANT_FALSE);
  double number = 0;
  ASSERT_EQ(flash_->TGetPropertyNum(root.get(), 5, &number), S_OK);  // _totalframes
  EXPECT_EQ(number, 4.0);

  // Playing advances frames on the timer.
  ASSERT_EQ(flash_->Play(), S_OK);
  VARIANT_BOOL playing = VARIANT_FALSE;
  flash_->IsPlaying(&playing);
  EXPECT_EQ(playing, VARIANT_TRUE);
  EXPECT_TRUE(pumpUntil([&] {
    flash_->CurrentFrame(&frame);
    return frame != 2;
  }));
}

TEST_F(PlayerTest, FlashVarsBecomeVariablesWhenTheMovieStarts) {
  Bstr vars("a=1&b=two%20words&c");
  flash_->put_FlashVars(vars.get());
  loadAndWait(writeMovie(L"vars.swf", buildSwf(SwfRecipe{})));
  struct {
    const char* name;
    const char* value;
  } const expected[] = {{"a", "1"}, {"b", "two words"}, {"c", ""}};
  for (const auto& e : expected) {
    Bstr name(e.name), value;
    ASSERT_EQ(flash_->GetVariable(name.get(), value.put()), S_OK) << e.name;
    EXPECT_EQ(value.utf8(), e.value);
  }
}

TEST_F(PlayerTest, WindowedActivationCreatesTheStageWindow) {
  loadAndWait(writeMovie(L"windowed.swf", buildSwf(SwfRecipe{.backgroundColor = 0x204060})));
  ASSERT_EQ(activate(false), S_OK);
  EXPECT_TRUE(site_.called("OnInPlaceActivateEx(0)"));
  ComPtr<IOleWindow> window;
  ASSERT_EQ(flash_.as(IID_IOleWindow, window), S_OK);
  HWND stage = nullptr;
  ASSERT_EQ(window->GetWindow(&stage), S_OK);
  ASSERT_NE(stage, nullptr);
  EXPECT_EQ(GetParent(stage), container_.get());
  char className[64] = {};
  GetClassNameA(stage, className, sizeof className);
  EXPECT_STREQ(className, "NxrPlayerStage");
  EXPECT_EQ(reinterpret_cast<HMODULE>(GetClassLongPtrA(stage, GCLP_HMODULE)), module_);
  EXPECT_NE(GetClassLongPtrA(stage, GCLP_HCURSOR), 0);  // the control's own cursor resource
  RECT client;
  GetClientRect(stage, &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 100);

  // The window draws into a device context handed with WM_PAINT: background and marker.
  Canvas canvas(200, 100, 0xFFFFFFFF);
  SendMessageW(stage, WM_PAINT, reinterpret_cast<WPARAM>(canvas.dc()), 0);
  const RECT marker = markerRect(client);
  EXPECT_EQ(canvas.pixel(2, 2), 0x204060u);
  EXPECT_EQ(canvas.pixel(marker.left + 2, marker.top + 2), bgr(kMarkerColor));

  // Moving the object moves the window; UI activation and closing reach the site.
  RECT moved{10, 20, 110, 70};
  ComPtr<IOleInPlaceObject> inPlace;
  ASSERT_EQ(flash_.as(IID_IOleInPlaceObject, inPlace), S_OK);
  inPlace->SetObjectRects(&moved, &moved);
  GetClientRect(stage, &client);
  EXPECT_EQ(client.right, 100);
  EXPECT_EQ(client.bottom, 50);
  ASSERT_EQ(ole_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site_, 0, container_.get(), &moved), S_OK);
  EXPECT_TRUE(site_.called("OnUIActivate"));
  ASSERT_EQ(ole_->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_FALSE(IsWindow(stage));
  EXPECT_TRUE(site_.called("OnInPlaceDeactivate"));

  // Input reaching the window is logged; the context menu request too (popups off).
  ASSERT_EQ(activate(false), S_OK);
  window->GetWindow(&stage);
  test_->SetMenuPopups(FALSE);
  SendMessageW(stage, WM_RBUTTONUP, 0, MAKELPARAM(5, 6));
  const auto log = callLog();
  EXPECT_THAT(log, ::testing::Contains("WindowMessage(517,0,393221)"));
  EXPECT_EQ(log.back(), "ContextMenu()");

  // A container that destroys the window first leaves the control without one.
  DestroyWindow(stage);
  EXPECT_EQ(window->GetWindow(&stage), E_FAIL);
}

TEST_F(PlayerTest, WindowlessDrawingLeavesTheStageAndBlendsHalfTheMarker) {
  loadAndWait(writeMovie(L"windowless.swf", buildSwf(SwfRecipe{.backgroundColor = 0x00FF00})));
  ASSERT_EQ(activate(true), S_OK);
  EXPECT_TRUE(site_.called("OnInPlaceActivateEx(1)"));  // ACTIVATE_WINDOWLESS
  ComPtr<IOleWindow> window;
  flash_.as(IID_IOleWindow, window);
  HWND stage = nullptr;
  EXPECT_EQ(window->GetWindow(&stage), E_FAIL);

  ComPtr<IViewObjectEx> view;
  ASSERT_EQ(flash_.as(IID_IViewObjectEx, view), S_OK);
  const RECTL bounds{0, 0, 200, 100};
  Canvas white(200, 100, 0xFFFFFF), black(200, 100, 0);
  for (Canvas* canvas : {&white, &black}) {
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas->dc(), &bounds,
                         nullptr, nullptr, 0),
              S_OK);
  }
  const RECT marker = markerRect(RECT{0, 0, 200, 100});
  const int middle = (marker.left + marker.right) / 2;
  // Outside the marker: untouched, fully transparent once composed.
  EXPECT_EQ(white.pixel(2, 2), 0xFFFFFFu);
  EXPECT_EQ(black.pixel(2, 2), 0u);
  EXPECT_EQ(black.pixel(marker.right + 1, marker.bottom + 1), 0u);
  // Opaque half: the same colour over both backgrounds.
  EXPECT_EQ(white.pixel(marker.left + 3, marker.top + 3), bgr(kMarkerColor));
  EXPECT_EQ(black.pixel(marker.left + 3, marker.top + 3), bgr(kMarkerColor));
  // Blended half: alpha from the difference of the two passes, colour premultiplied.
  const uint32_t w = white.pixel(middle + 10, marker.top + 3),
                 b = black.pixel(middle + 10, marker.top + 3);
  const int alpha = 255 - int((w & 0xFF) - (b & 0xFF));
  EXPECT_NEAR(alpha, kMarkerAlpha, 1);
  EXPECT_NEAR(int(b & 0xFF), GetBValue(kMarkerColor) * kMarkerAlpha / 255, 1);
  EXPECT_NEAR(int((b >> 16) & 0xFF), GetRValue(kMarkerColor) * kMarkerAlpha / 255, 1);

  // Hits only on the marker; invalidation goes through the site.
  DWORD hit = 0;
  const RECT stageRect{0, 0, 200, 100};
  ASSERT_EQ(view->QueryHitPoint(DVASPECT_CONTENT, &stageRect, POINT{100, 50}, 0, &hit), S_OK);
  EXPECT_EQ(hit, DWORD(HITRESULT_HIT));
  ASSERT_EQ(view->QueryHitPoint(DVASPECT_CONTENT, &stageRect, POINT{3, 3}, 0, &hit), S_OK);
  EXPECT_EQ(hit, DWORD(HITRESULT_OUTSIDE));
  const int before = site_.invalidations;
  flash_->GotoFrame(0);
  EXPECT_GT(site_.invalidations, before);

  // Input arrives through OnWindowMessage.
  ComPtr<IOleInPlaceObjectWindowless> windowless;
  ASSERT_EQ(flash_.as(IID_IOleInPlaceObjectWindowless, windowless), S_OK);
  LRESULT result = 0;
  EXPECT_EQ(
      windowless->OnWindowMessage(WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), &result),
      S_OK);
  EXPECT_EQ(result, TRUE);
  EXPECT_EQ(windowless->OnWindowMessage(WM_MOUSEMOVE, 0, MAKELPARAM(100, 50), &result), S_OK);
  EXPECT_EQ(lastCall(), "OnWindowMessage(512,0,3276900)");
  EXPECT_EQ(windowless->OnWindowMessage(WM_KEYDOWN, 'A', 0, &result), S_FALSE);

  // No accelerators of its own; the test's key is reported as translated.
  ComPtr<IOleInPlaceActiveObject> active;
  ASSERT_EQ(flash_.as(IID_IOleInPlaceActiveObject, active), S_OK);
  MSG key{nullptr, WM_KEYDOWN, 'K', 0, 0, {}};
  EXPECT_EQ(active->TranslateAccelerator(&key), S_FALSE);
  test_->SetAcceleratorKey('K');
  EXPECT_EQ(active->TranslateAccelerator(&key), S_OK);
  key.message = WM_CHAR;
  EXPECT_EQ(active->TranslateAccelerator(&key), S_FALSE);

  // Drawing through the site's device context.
  ASSERT_EQ(test_->PaintThroughSite(OLEDC_PAINTBKGND), S_OK);
  EXPECT_TRUE(site_.called("GetDC(2)"));
  EXPECT_TRUE(site_.called("ReleaseDC"));
  EXPECT_EQ(site_.dcOut, 0);
  ASSERT_EQ(ole_->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_TRUE(site_.called("OnInPlaceDeactivateEx"));
}

TEST_F(PlayerTest, LibrariesComeThroughTheImportTable) {
  HMODULE module = nullptr;
  ASSERT_EQ(test_->LoadLibraryThroughImports("user32.dll", &module), S_OK);
  EXPECT_EQ(module, GetModuleHandleW(L"user32.dll"));
  FreeLibrary(module);
  ASSERT_EQ(test_->GetModuleHandleThroughImports("kernel32.dll", &module), S_OK);
  EXPECT_EQ(module, GetModuleHandleW(L"kernel32.dll"));
  EXPECT_NE(test_->LoadLibraryThroughImports("no_such_library_here.dll", &module), S_OK);
}

}  // namespace
}  // namespace nxr::player
