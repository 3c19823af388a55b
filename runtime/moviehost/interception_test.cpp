// The control's intercepted imports, exercised through the fixture DLL's own import table, and
// the movie registry's streams, monikers and handlers.
#include <gtest/gtest.h>
#include <urlmon.h>

#include <string>
#include <vector>

#include "moviehost/control_loader.h"
#include "moviehost/fake_movie_path.h"
#include "moviehost/host_messages.h"
#include "moviehost/movie_registry.h"
#include "moviehost/test_support.h"
#include "support/text.h"
#include "support/win.h"

namespace nxr {
namespace {

using test::exportOf;
using test::fixtureImage;

std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// A window that plays the part of a host: records the movie messages, answers the Base
// property and the external resource requests as the test sets up.
struct FakeHost {
  std::vector<std::u16string> movies;  // Movie put and LoadMovie URLs, "layer:" prefixed for loads
  std::u16string base;
  std::vector<std::u16string> resourceRequests;
  std::string resourceBytes;  // written into the stream when not empty
  bool answerHandled = false;
};
FakeHost* fakeHost = nullptr;

template <typename Char>
void answerText(const std::u16string& value, TextOutBlock<Char>* block) {
  block->hr = S_OK;
  if (block->buffer) {
    for (size_t i = 0; i < value.size(); ++i) block->buffer[i] = static_cast<Char>(value[i]);
    block->buffer[value.size()] = 0;
  }
  block->length = static_cast<int32_t>(value.size() + 1);
}

LRESULT CALLBACK fakeHostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT resourceMessage = RegisterWindowMessageA(kCallLoadExternalResourceMessage);
  if (fakeHost) {
    if (message == MHM_PUT_MOVIE_W) {
      auto* block = reinterpret_cast<TextInBlock<wchar_t>*>(lParam);
      fakeHost->movies.push_back(fromWide(block->text));
      block->hr = S_OK;
      return 1;
    }
    if (message == MHM_LOAD_MOVIE_W) {
      auto* block = reinterpret_cast<LoadMovieBlock<wchar_t>*>(lParam);
      fakeHost->movies.push_back(toDecimal(block->layer) + u":" + fromWide(block->url));
      block->hr = S_OK;
      return 1;
    }
    if (message == MHM_GET_BASE_W) {
      answerText(fakeHost->base, reinterpret_cast<TextOutBlock<wchar_t>*>(lParam));
      return 1;
    }
    if (message == MHM_GET_BASE_A) {
      answerText(fakeHost->base, reinterpret_cast<TextOutBlock<char>*>(lParam));
      return 1;
    }
    if (message == resourceMessage) {
      auto* request = reinterpret_cast<LoadExternalResourceRequest*>(lParam);
      fakeHost->resourceRequests.push_back(fromWide(request->url));
      if (!fakeHost->resourceBytes.empty()) {
        ULONG written = 0;
        request->stream->Write(fakeHost->resourceBytes.data(),
                               static_cast<ULONG>(fakeHost->resourceBytes.size()), &written);
      }
      request->handled = fakeHost->answerHandled;
      return 1;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Records what the control would hear while binding.
class RecordingCallback : public IBindStatusCallback {
 public:
  std::vector<std::string> events;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IBindStatusCallback) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP OnStartBinding(DWORD, IBinding*) override {
    events.push_back("start");
    return S_OK;
  }
  STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
  STDMETHODIMP OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  STDMETHODIMP OnStopBinding(HRESULT hr, LPCWSTR) override {
    events.push_back(hr == S_OK ? "stop" : "stop-failed");
    return S_OK;
  }
  STDMETHODIMP GetBindInfo(DWORD* flags, BINDINFO* info) override {
    *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA;
    const ULONG size = info->cbSize;
    ZeroMemory(info, size);
    info->cbSize = size;
    return S_OK;
  }
  STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                               STGMEDIUM* medium) override {
    std::string text = "data:";
    if (format && format->tymed == TYMED_ISTREAM && medium && medium->pstm) {
      char buffer[256];
      ULONG read = 0;
      while (SUCCEEDED(medium->pstm->Read(buffer, sizeof buffer, &read)) && read > 0) {
        text.append(buffer, read);
      }
    }
    events.push_back(text + "/" + std::to_string(size) + "/" + std::to_string(flags));
    return S_OK;
  }
  STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }
};

class Interception : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(fixtureImage().empty());
    loader_ = createLoader(fixtureImage().data(), fixtureImage().size());
    ASSERT_NE(loader_, nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = fakeHostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"NxrFakeHost";
    RegisterClassW(&windowClass);
    fakeHost = &state_;
    host_ = CreateWindowW(L"NxrFakeHost", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host_, nullptr);
  }
  void TearDown() override {
    if (host_) DestroyWindow(host_);
    fakeHost = nullptr;
    destroyLoader(loader_);
  }

  // Binds `url` through a moniker the fixture made with its (intercepted) CreateURLMoniker.
  HRESULT bind(const std::u16string& url, RecordingCallback* callback) {
    auto create = exportOf<HRESULT (*)(IMoniker*, const wchar_t*, IMoniker**)>(
        *loader_, "fixtureCreateUrlMoniker");
    ComPtr<IMoniker> moniker;
    HRESULT hr = create(nullptr, reinterpret_cast<const wchar_t*>(url.c_str()), moniker.put());
    if (FAILED(hr)) return hr;
    ComPtr<IBindCtx> context;
    hr = CreateBindCtx(0, context.put());
    if (FAILED(hr)) return hr;
    IBindStatusCallback* previous = nullptr;
    RegisterBindStatusCallback(context.get(), callback, &previous, 0);
    if (previous) previous->Release();
    ComPtr<IStream> stream;
    return moniker->BindToStorage(context.get(), nullptr, IID_IStream, stream.putVoid());
  }

  std::u16string offerStream(ComPtr<IStream>& stream) {
    const size_t before = state_.movies.size();
    EXPECT_TRUE(loader_->movieRegistry().putMovieUsingStream(host_, stream.put(), false, 0));
    EXPECT_EQ(state_.movies.size(), before + 2);
    return state_.movies.back();
  }

  ControlLoader* loader_ = nullptr;
  HWND host_ = nullptr;
  FakeHost state_;
  ScopedComInitializer com_;
};

TEST_F(Interception, ChosenImportsGoThroughStubsOthersStayReal) {
  EXPECT_GT(loader_->importStubCount(), 5u);
  bool sawCreateFile = false, sawSetEnvironment = false;
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  for (const auto& record : loader_->importRecords()) {
    const FARPROC inSlot = *static_cast<FARPROC*>(record.slot);
    if (record.functionName == "CreateFileA") {
      sawCreateFile = true;
      EXPECT_NE(inSlot, GetProcAddress(kernel, "CreateFileA"));
    }
    if (record.functionName == "SetEnvironmentVariableA") {
      sawSetEnvironment = true;
      EXPECT_EQ(inSlot, GetProcAddress(kernel, "SetEnvironmentVariableA"));
    }
  }
  EXPECT_TRUE(sawCreateFile);
  EXPECT_TRUE(sawSetEnvironment);
}

TEST_F(Interception, SupportLibraryIsRefusedOnlyBehindABackslash) {
  // A loadable library called swsupport beside the test program.
  const std::string folder = test::programFolder();
  ASSERT_TRUE(CopyFileA((folder + "fixture_control.dll").c_str(),
                        (folder + "swsupport.dll").c_str(), FALSE));
  auto loadLibrary = exportOf<HMODULE (*)(const char*)>(*loader_, "fixtureLoadLibrary");
  struct Case {
    std::string name;
    bool loads;
  };
  const Case cases[] = {
      {folder + "swsupport.dll", false}, {folder + "SWSUPPORT.DLL", false},
      {folder + "swsupport", false},     {"swsupport", true},
      {"swsupport.dll", true},           {"kernel32.dll", true},
  };
  for (const Case& c : cases) {
    HMODULE module = loadLibrary(c.name.c_str());
    EXPECT_EQ(module != nullptr, c.loads) << c.name;
    if (module) FreeLibrary(module);
  }
  DeleteFileA((folder + "swsupport.dll").c_str());
}

TEST_F(Interception, ControlClassesGetUniqueNamesOnTheProgramModule) {
  auto registerClass = exportOf<ATOM (*)(const char*)>(*loader_, "fixtureRegisterClass");
  auto createWindow = exportOf<HWND (*)(const char*)>(*loader_, "fixtureCreateWindow");
  auto classInfo = exportOf<BOOL (*)(const char*, WNDCLASSEXA*)>(*loader_, "fixtureClassInfo");
  auto unregisterClass = exportOf<BOOL (*)(const char*)>(*loader_, "fixtureUnregisterClass");
  ASSERT_NE(registerClass("FixtureClass"), 0);
  const std::string* unique = loader_->uniqueClassName("FixtureClass");
  ASSERT_NE(unique, nullptr);
  EXPECT_NE(*unique, "FixtureClass");

  // A second loader's control asks for the same name and gets a class of its own.
  ControlLoader* other = createLoader(fixtureImage().data(), fixtureImage().size());
  ASSERT_NE(other, nullptr);
  ASSERT_NE(exportOf<ATOM (*)(const char*)>(*other, "fixtureRegisterClass")("FixtureClass"), 0);
  ASSERT_NE(other->uniqueClassName("FixtureClass"), nullptr);
  EXPECT_NE(*other->uniqueClassName("FixtureClass"), *unique);

  WNDCLASSEXA info{};
  EXPECT_TRUE(classInfo("FixtureClass", &info));
  HWND window = createWindow("FixtureClass");
  ASSERT_NE(window, nullptr);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  EXPECT_EQ(className, *unique);
  EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)),
            GetModuleHandleW(nullptr));
  DestroyWindow(window);
  EXPECT_TRUE(unregisterClass("FixtureClass"));
  EXPECT_FALSE(GetClassInfoExA(GetModuleHandleW(nullptr), unique->c_str(), &info));
  destroyLoader(other);
}

TEST_F(Interception, MenusComeFromTheControlsOwnResources) {
  auto loadMenu = exportOf<HMENU (*)(const char*)>(*loader_, "fixtureLoadMenu");
  HMENU menu = loadMenu("FIXTUREMENU");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 1);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 2);
  EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 0), 1), 102u);
  DestroyMenu(menu);
  EXPECT_EQ(loadMenu("NOSUCHMENU"), nullptr);
  auto loadCursor = exportOf<HCURSOR (*)(const char*)>(*loader_, "fixtureLoadCursor");
  EXPECT_EQ(loadCursor("NOSUCHCURSOR"), nullptr);
}

TEST_F(Interception, CursorsComeFromTheControlsResourcesOthersFromTheSystem) {
  auto loadCursor =
      exportOf<HCURSOR (*)(HINSTANCE, const char*)>(*loader_, "fixtureLoadCursorFrom");
  const auto control = reinterpret_cast<HINSTANCE>(loader_->module());
  const auto program = GetModuleHandleW(nullptr);
  struct Case {
    const char* what;
    HINSTANCE instance;
    const char* name;
    bool found;
    bool fromControl;
  };
  const Case cases[] = {
      {"id", control, MAKEINTRESOURCEA(101), true, true},
      {"name", control, "FIXTURECURSOR", true, true},
      {"missing id", control, MAKEINTRESOURCEA(102), false, false},
      {"missing name", control, "NOSUCHCURSOR", false, false},
      {"system cursor", nullptr, MAKEINTRESOURCEA(32512), true, false},  // IDC_ARROW
      {"another module", program, MAKEINTRESOURCEA(101), false, false},
  };
  std::vector<HCURSOR> made;
  for (const Case& c : cases) {
    HCURSOR cursor = loadCursor(c.instance, c.name);
    EXPECT_EQ(cursor != nullptr, c.found) << c.what;
    if (!cursor) continue;
    if (!c.fromControl) {
      EXPECT_EQ(cursor, LoadCursorA(c.instance, c.name)) << c.what;
      continue;
    }
    // A cursor with the hot spot of the resource, made once and then served from the cache.
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor, &info)) << c.what;
    EXPECT_FALSE(info.fIcon) << c.what;
    EXPECT_EQ(info.xHotspot, 3u) << c.what;
    EXPECT_EQ(info.yHotspot, 5u) << c.what;
    BITMAP mask{};
    GetObjectW(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 32) << c.what;
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    EXPECT_EQ(loadCursor(c.instance, c.name), cursor) << c.what;
    for (HCURSOR other : made) EXPECT_NE(other, cursor) << c.what;
    made.push_back(cursor);
  }
}

TEST_F(Interception, GuardedCommitsTakeTheWholeRegionWithoutTheGuard) {
  auto virtualAlloc =
      exportOf<LPVOID (*)(LPVOID, SIZE_T, DWORD, DWORD)>(*loader_, "fixtureVirtualAlloc");
  constexpr SIZE_T kPage = 4096, kRegion = 16 * kPage;
  struct Case {
    const char* what;
    bool reserved;  // the address lies in a region reserved first
    SIZE_T offset;  // of the address in that region
    DWORD protection;
    SIZE_T committed;  // the size of the committed region that results
    DWORD protectionAfter;
  };
  const Case cases[] = {
      {"guard at the region's start", true, 0, PAGE_READWRITE | PAGE_GUARD, kRegion,
       PAGE_READWRITE},
      {"guard inside the region", true, 4 * kPage, PAGE_READWRITE | PAGE_GUARD, kRegion - 4 * kPage,
       PAGE_READWRITE},
      {"no guard", true, 0, PAGE_READWRITE, kPage, PAGE_READWRITE},
      {"guard without an address", false, 0, PAGE_READWRITE | PAGE_GUARD, kPage,
       PAGE_READWRITE | PAGE_GUARD},
  };
  for (const Case& c : cases) {
    auto* region =
        c.reserved ? static_cast<char*>(VirtualAlloc(nullptr, kRegion, MEM_RESERVE, PAGE_NOACCESS))
                   : nullptr;
    void* committed =
        virtualAlloc(region ? region + c.offset : nullptr, kPage, MEM_COMMIT, c.protection);
    ASSERT_NE(committed, nullptr) << c.what;
    MEMORY_BASIC_INFORMATION info{};
    ASSERT_EQ(VirtualQuery(committed, &info, sizeof info), sizeof info);
    EXPECT_EQ(info.State, DWORD(MEM_COMMIT)) << c.what;
    EXPECT_EQ(info.RegionSize, c.committed) << c.what;
    EXPECT_EQ(info.Protect, c.protectionAfter) << c.what;
    VirtualFree(region ? region : committed, 0, MEM_RELEASE);
  }
}

TEST_F(Interception, FlushedCodeBecomesExecutableAndWritable) {
  auto flush =
      exportOf<BOOL (*)(HANDLE, const void*, SIZE_T)>(*loader_, "fixtureFlushInstructionCache");
  constexpr SIZE_T kPage = 4096;
  for (DWORD protection : {DWORD{PAGE_READWRITE}, DWORD{PAGE_READONLY}, DWORD{PAGE_EXECUTE_READ}}) {
    auto* memory =
        static_cast<char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT | MEM_RESERVE, protection));
    ASSERT_NE(memory, nullptr);
    EXPECT_TRUE(flush(GetCurrentProcess(), memory, kPage)) << protection;
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(memory, &info, sizeof info);
    EXPECT_EQ(info.Protect, DWORD(PAGE_EXECUTE_READWRITE)) << protection;
    EXPECT_EQ(info.RegionSize, kPage) << "only the flushed range: " << protection;
    VirtualQuery(memory + kPage, &info, sizeof info);
    EXPECT_EQ(info.Protect, protection);
    VirtualFree(memory, 0, MEM_RELEASE);
  }
  // The whole cache: nothing to unprotect, the system's answer is passed on.
  EXPECT_TRUE(flush(GetCurrentProcess(), nullptr, 0));
}

TEST_F(Interception, FakeMoviePathsOpenFilesBesideTheHostsBase) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string base = std::string(temp) + "nxr_moviehost_files";
  CreateDirectoryA(base.c_str(), nullptr);
  CreateDirectoryA((base + "\\sub").c_str(), nullptr);
  const std::string file = base + "\\sub\\data.txt";
  {
    ScopedFileHandle out(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(out.get(), "beside", 6, &written, nullptr);
  }
  ComPtr<IStream> stream;
  const std::u16string moviePath = offerStream(stream);
  const auto parts = parseFakeMoviePath(moviePath);
  ASSERT_TRUE(parts.has_value());
  const std::string relative = "Z:\\FromMemory\\D7BAED74924D435D84DB8A1E89E7AE3A\\" +
                               std::to_string(parts->number) + "\\sub\\data.txt";
  auto createFile = exportOf<HANDLE (*)(const char*)>(*loader_, "fixtureCreateFile");
  char savedFolder[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, savedFolder);

  struct Case {
    const char* what;
    std::u16string hostBase;
    std::string currentFolder;
    std::string path;
    bool opens;
  };
  const Case cases[] = {
      {"Base set", asU16(base), savedFolder, relative, true},
      {"Base with slashes", asU16(base + "/"), savedFolder, relative, true},
      {"empty Base: current folder", u"", base, relative, true},
      {"missing beside Base", asU16(std::string(temp)), savedFolder, relative, false},
      {"unknown movie number", asU16(base), savedFolder,
       "Z:\\FromMemory\\D7BAED74924D435D84DB8A1E89E7AE3A\\99999\\sub\\data.txt", false},
      {"plain path", u"", savedFolder, file, true},
  };
  for (const Case& c : cases) {
    state_.base = c.hostBase;
    SetCurrentDirectoryA(c.currentFolder.c_str());
    ScopedFileHandle opened(createFile(c.path.c_str()));
    EXPECT_EQ(opened.valid(), c.opens) << c.what;
    if (opened) {
      char content[16] = {};
      DWORD read = 0;
      ReadFile(opened.get(), content, sizeof content, &read, nullptr);
      EXPECT_EQ(std::string(content, read), "beside") << c.what;
    }
  }
  SetCurrentDirectoryA(savedFolder);
  DeleteFileA(file.c_str());
  RemoveDirectoryA((base + "\\sub").c_str());
  RemoveDirectoryA(base.c_str());
}

TEST_F(Interception, OfferingAMovieResetsThePlayerThenPlaysTheFakePath) {
  IStream* stream = nullptr;
  ASSERT_TRUE(loader_->movieRegistry().putMovieUsingStream(host_, &stream, true, 3));
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(state_.movies.size(), 2u);
  EXPECT_EQ(state_.movies[0], u"3:" + std::u16string(kResetMovieUrl));
  EXPECT_EQ(narrow(state_.movies[1]),
            "3:Z:\\FromMemory\\D7BAED74924D435D84DB8A1E89E7AE3A\\100\\"
            "4BC37A1F293B47169DBC8019C50075F5.swf");
  stream->Release();
  // Movie numbers count up per loader.
  ComPtr<IStream> next;
  EXPECT_NE(offerStream(next).find(u"\\101\\"), std::u16string::npos);
}

TEST_F(Interception, MovieWrittenBeforeBindingArrivesInOneDelivery) {
  ComPtr<IStream> stream;
  const std::u16string path = offerStream(stream);
  ULONG written = 0;
  stream->Write("FWS", 3, &written);
  stream->Write("\x09rest", 5, &written);
  stream.reset();  // the writer is done before the control binds
  RecordingCallback callback;
  EXPECT_EQ(bind(path, &callback), MK_S_ASYNCHRONOUS);
  const std::vector<std::string> expected = {"start", "data:FWS\x09rest/8/5", "stop"};
  EXPECT_EQ(callback.events, expected);
}

TEST_F(Interception, MovieWrittenAfterBindingArrivesChunkByChunk) {
  ComPtr<IStream> stream;
  const std::u16string path = offerStream(stream);
  RecordingCallback callback;
  EXPECT_EQ(bind(path, &callback), MK_S_ASYNCHRONOUS);
  EXPECT_TRUE(callback.events.empty());
  ULONG written = 0;
  stream->Write("FWS", 3, &written);
  stream->Write("tail", 4, &written);
  stream.reset();
  const std::vector<std::string> expected = {"start", "data:FWS/3/5", "data:tail/4/5", "stop"};
  EXPECT_EQ(callback.events, expected);
}

TEST_F(Interception, PendingStreamBindsOnceThenCountsAsRelativeResource) {
  ComPtr<IStream> stream;
  const std::u16string path = offerStream(stream);
  RecordingCallback first, second;
  EXPECT_EQ(bind(path, &first), MK_S_ASYNCHRONOUS);
  state_.answerHandled = true;
  state_.resourceBytes = "again";
  EXPECT_EQ(bind(path, &second), MK_S_ASYNCHRONOUS);
  ASSERT_EQ(state_.resourceRequests.size(), 1u);
  EXPECT_EQ(state_.resourceRequests[0], u"4BC37A1F293B47169DBC8019C50075F5.swf");
  const std::vector<std::string> expected = {"start", "data:again/5/5", "stop"};
  EXPECT_EQ(second.events, expected);
  EXPECT_TRUE(first.events.empty());  // nothing written into the first stream yet
}

TEST_F(Interception, ResetUrlNeverBinds) {
  RecordingCallback callback;
  EXPECT_EQ(bind(kResetMovieUrl, &callback), MK_E_NOSTORAGE);
  EXPECT_TRUE(callback.events.empty());
}

TEST_F(Interception, ResourcesRelativeToAMovieGoToItsHost) {
  ComPtr<IStream> stream;
  const auto parts = parseFakeMoviePath(offerStream(stream));
  ASSERT_TRUE(parts.has_value());
  const std::u16string url = u"file:///Z:/FromMemory/D7BAED74924D435D84DB8A1E89E7AE3A/" +
                             toDecimal(parts->number) + u"/images/pic.jpg";
  // Supplied without claiming it: the bytes written are enough.
  state_.resourceBytes = "jpeg";
  RecordingCallback callback;
  EXPECT_EQ(bind(url, &callback), MK_S_ASYNCHRONOUS);
  ASSERT_EQ(state_.resourceRequests.size(), 1u);
  EXPECT_EQ(state_.resourceRequests[0], u"images/pic.jpg");
  const std::vector<std::string> expected = {"start", "data:jpeg/4/5", "stop"};
  EXPECT_EQ(callback.events, expected);

  // A movie number that no host plays.
  RecordingCallback nobody;
  EXPECT_EQ(bind(u"Z:/FromMemory/D7BAED74924D435D84DB8A1E89E7AE3A/4711/a.jpg", &nobody), E_FAIL);
}

TEST_F(Interception, UnansweredRelativeResourceIsBoundBesideTheHostsBase) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string base = std::string(temp) + "nxr_moviehost_base";
  CreateDirectoryA(base.c_str(), nullptr);
  CreateDirectoryA((base + "\\images").c_str(), nullptr);
  const std::string file = base + "\\images\\pic.jpg";
  {
    ScopedFileHandle out(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(out.get(), "from disk", 9, &written, nullptr);
  }
  ComPtr<IStream> stream;
  const auto parts = parseFakeMoviePath(offerStream(stream));
  ASSERT_TRUE(parts.has_value());
  state_.base = asU16(base);
  RecordingCallback callback;
  EXPECT_EQ(bind(u"Z:/FromMemory/D7BAED74924D435D84DB8A1E89E7AE3A/" + toDecimal(parts->number) +
                     u"/images/pic.jpg",
                 &callback),
            MK_S_ASYNCHRONOUS);
  ASSERT_EQ(state_.resourceRequests.size(), 1u);
  // The system's moniker delivers the file asynchronously.
  for (int i = 0; i < 200; ++i) {
    if (!callback.events.empty() && callback.events.back().rfind("stop", 0) == 0) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  std::string data;
  for (const auto& event : callback.events) {
    if (event.rfind("data:", 0) == 0) data += event.substr(5, event.find('/', 5) - 5);
  }
  EXPECT_EQ(data.substr(0, 9), "from disk");
  ASSERT_FALSE(callback.events.empty());
  EXPECT_EQ(callback.events.back(), "stop");
  DeleteFileA(file.c_str());
  RemoveDirectoryA((base + "\\images").c_str());
  RemoveDirectoryA(base.c_str());
}

// Handlers for the URL table test; each logs its name.
std::vector<std::string> handlerLog;

HRESULT WINAPI passingHandler(const wchar_t* url, IStream**, ControlLoader*, void* user) {
  handlerLog.push_back(std::string(static_cast<const char*>(user)) + ":" + narrow(fromWide(url)));
  return S_FALSE;
}
HRESULT WINAPI writingHandler(const wchar_t*, IStream** stream, ControlLoader*, void* user) {
  handlerLog.push_back(static_cast<const char*>(user));
  ULONG written = 0;
  (*stream)->Write("served", 6, &written);
  (*stream)->Release();
  return S_OK;
}
HRESULT WINAPI replacingHandler(const wchar_t*, IStream** stream, ControlLoader*, void* user) {
  handlerLog.push_back(static_cast<const char*>(user));
  IStream* own = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &own);
  ULONG written = 0;
  own->Write("own bytes", 9, &written);  // left at its end: the registry seeks to the start
  *stream = own;
  return S_FALSE;
}
HRESULT WINAPI ansiHandler(const char* url, IStream**, ControlLoader*, void* user) {
  handlerLog.push_back(std::string(static_cast<const char*>(user)) + ":" + url);
  return E_FAIL;
}

TEST_F(Interception, HandlersAreAskedInOrderUntilOneServes) {
  MovieRegistry& registry = loader_->movieRegistry();
  char first[] = "first", ansi[] = "ansi", writer[] = "writer", last[] = "last";
  EXPECT_EQ(registry.addExternalResourceHandler(passingHandler, first), 1);
  EXPECT_EQ(registry.addExternalResourceHandlerA(ansiHandler, ansi), 2);
  EXPECT_EQ(registry.addExternalResourceHandler(writingHandler, writer), 3);
  EXPECT_EQ(registry.addExternalResourceHandler(passingHandler, last), 4);
  handlerLog.clear();
  RecordingCallback callback;
  EXPECT_EQ(bind(u"http://app.invalid/movie.swf", &callback), MK_S_ASYNCHRONOUS);
  const std::vector<std::string> expectedLog = {"first:http://app.invalid/movie.swf",
                                                "ansi:http://app.invalid/movie.swf", "writer"};
  EXPECT_EQ(handlerLog, expectedLog);
  const std::vector<std::string> expected = {"start", "data:served/6/5", "stop"};
  EXPECT_EQ(callback.events, expected);
}

TEST_F(Interception, HandlerMayAnswerWithAStreamOfItsOwn) {
  char name[] = "replacing";
  loader_->movieRegistry().addExternalResourceHandler(replacingHandler, name);
  handlerLog.clear();
  RecordingCallback callback;
  EXPECT_EQ(bind(u"http://app.invalid/data.xml", &callback), MK_S_ASYNCHRONOUS);
  EXPECT_EQ(handlerLog, std::vector<std::string>{"replacing"});
  const std::vector<std::string> expected = {"start", "data:own bytes/9/5", "stop"};
  EXPECT_EQ(callback.events, expected);
}

}  // namespace
}  // namespace nxr
