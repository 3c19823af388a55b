// Loading movies and resources: local paths are read with CreateFileA, everything else (and
// paths that cannot be opened that way) is bound through a URL moniker with the control's own
// bind-status callback, which accepts the bytes in as many OnDataAvailable calls as the source
// makes and finishes at OnStopBinding. Both functions come from the import table, so a
// container that intercepts them can serve the control's movies itself.
#include <urlmon.h>

#include <algorithm>

#include "flash_control.h"
#include "support/text.h"

namespace nxr::player {
namespace {

constexpr ULONG kReadChunk = 64 * 1024;

// "http:", "file:" and the like; a single letter before the colon is a drive.
bool hasScheme(const std::u16string& url) {
  const size_t colon = url.find(u':');
  if (colon == std::u16string::npos || colon < 2) return false;
  return std::all_of(url.begin(), url.begin() + colon, [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'+' || c == u'-' || c == u'.';
  });
}

bool isAbsolutePath(const std::u16string& url) {
  return (url.size() >= 2 && url[1] == u':') ||
         (!url.empty() && (url[0] == u'\\' || url[0] == u'/'));
}

std::string toAnsi(const std::u16string& text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, asWcstr(text), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) {
    WideCharToMultiByte(CP_ACP, 0, asWcstr(text), -1, out.data(), size, nullptr, nullptr);
  }
  return out;
}

// The control's IBindStatusCallback for one transfer.
class BindCallback final : public IBindStatusCallback {
 public:
  BindCallback(std::shared_ptr<LoadChannel> channel, int slot, uint32_t generation)
      : channel_(std::move(channel)), slot_(slot), generation_(generation) {
    objectCreated();
  }
  BindCallback(const BindCallback&) = delete;
  BindCallback& operator=(const BindCallback&) = delete;

  bool stopped() const { return stopped_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IBindStatusCallback) return E_NOINTERFACE;
    *out = static_cast<IBindStatusCallback*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG count = InterlockedDecrement(&refs_);
    if (count == 0) delete this;
    return count;
  }

  STDMETHODIMP OnStartBinding(DWORD, IBinding* binding) override {
    binding_ = binding;
    return S_OK;
  }
  STDMETHODIMP GetPriority(LONG* priority) override {
    if (!priority) return E_POINTER;
    *priority = THREAD_PRIORITY_NORMAL;
    return S_OK;
  }
  STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
  STDMETHODIMP OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR) override {
    stopped_ = true;
    binding_.reset();
    if (auto control = channel_->control()) {
      channel_->controlObject()->onLoadDone(slot_, generation_, result);
    }
    return S_OK;
  }
  STDMETHODIMP GetBindInfo(DWORD* flags, BINDINFO* info) override {
    if (!flags || !info) return E_POINTER;
    *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA;
    const DWORD size = info->cbSize;
    ZeroMemory(info, size);
    info->cbSize = size;
    info->dwBindVerb = BINDVERB_GET;
    return S_OK;
  }
  // Reads everything the stream has now; a source may hand a new stream with every call or
  // the same one, growing.
  STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    if (!medium || medium->tymed != TYMED_ISTREAM || !medium->pstm) return S_OK;
    auto control = channel_->control();
    std::vector<uint8_t> chunk(kReadChunk);
    for (;;) {
      ULONG read = 0;
      const HRESULT hr = medium->pstm->Read(chunk.data(), kReadChunk, &read);
      if (read > 0 && control) {
        channel_->controlObject()->onLoadData(slot_, generation_, chunk.data(), read);
      }
      if (hr != S_OK || read == 0) break;
    }
    return S_OK;
  }
  STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

 private:
  ~BindCallback() { objectDestroyed(); }

  LONG refs_ = 1;
  std::shared_ptr<LoadChannel> channel_;
  int slot_;
  uint32_t generation_;
  ComPtr<IBinding> binding_;
  bool stopped_ = false;
};

}  // namespace

std::u16string FlashControl::resolveUrl(const std::u16string& url) const {
  if (url.empty() || hasScheme(url) || isAbsolutePath(url)) return url;
  // Relative: beside the movie of level 0, whether that is a URL or a path.
  const size_t slash = movieUrl_.find_last_of(hasScheme(movieUrl_) ? u"/" : u"/\\");
  if (movieUrl_.empty() || slash == std::u16string::npos) return url;
  return movieUrl_.substr(0, slash + 1) + url;
}

void FlashControl::startLoad(int slot, const std::u16string& url) {
  uint32_t generation;
  {
    Locked locked(lock_);
    Transfer& t = transfers_[slot];
    t = Transfer{};
    generation = t.generation = nextGeneration_++;
    t.url = url;
    t.active = !url.empty();
    if (slot == 0) frame_ = 0;
  }
  if (slot == 0) {
    setPlaying(false);
    fireReadyState(url.empty() ? kReadyStateUninitialized : kReadyStateLoading);
    invalidate();
  }
  if (url.empty()) return;  // unloads the level
  if (!hasScheme(url) && loadFromFile(slot, generation, url)) return;
  bindUrl(slot, generation, url);
}

bool FlashControl::loadFromFile(int slot, uint32_t generation, const std::u16string& path) {
  ScopedFileHandle file(CreateFileA(toAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::vector<uint8_t> chunk(kReadChunk);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk.data(), kReadChunk, &read, nullptr)) {
      onLoadDone(slot, generation, HRESULT_FROM_WIN32(GetLastError()));
      return true;
    }
    if (read == 0) break;
    onLoadData(slot, generation, chunk.data(), read);
  }
  onLoadDone(slot, generation, S_OK);
  return true;
}

void FlashControl::bindUrl(int slot, uint32_t generation, const std::u16string& url) {
  ComPtr<IMoniker> moniker;
  HRESULT hr = CreateURLMoniker(nullptr, asWcstr(url), moniker.put());
  ComPtr<IBindCtx> context;
  if (SUCCEEDED(hr)) hr = CreateBindCtx(0, context.put());
  if (FAILED(hr)) {
    onLoadDone(slot, generation, hr);
    return;
  }
  auto* callback = new BindCallback(channel_, slot, generation);
  ComPtr<IBindStatusCallback> previous;
  hr = RegisterBindStatusCallback(context.get(), callback, previous.put(), 0);
  ComPtr<IStream> stream;
  if (SUCCEEDED(hr)) {
    hr = moniker->BindToStorage(context.get(), nullptr, IID_IStream, stream.putVoid());
  }
  if (hr == S_OK && stream && !callback->stopped()) {
    // Completed at once: the stream holds the whole resource.
    std::vector<uint8_t> chunk(kReadChunk);
    for (;;) {
      ULONG read = 0;
      const HRESULT readResult = stream->Read(chunk.data(), kReadChunk, &read);
      if (read > 0) onLoadData(slot, generation, chunk.data(), read);
      if (readResult != S_OK || read == 0) break;
    }
    onLoadDone(slot, generation, S_OK);
  } else if (FAILED(hr) && !callback->stopped()) {
    onLoadDone(slot, generation, hr);
  }
  callback->Release();
}

void FlashControl::onLoadData(int slot, uint32_t generation, const uint8_t* data, size_t size) {
  long percent = -1;
  bool firstData = false;
  {
    Locked locked(lock_);
    const auto it = transfers_.find(slot);
    if (it == transfers_.end() || it->second.generation != generation || !it->second.active) {
      return;  // a transfer that was replaced or has finished
    }
    Transfer& t = it->second;
    firstData = t.bytes.empty();
    t.bytes.insert(t.bytes.end(), data, data + size);
    if (slot == 0) {
      SwfMovie header;
      if (parseSwfSignature(t.bytes, header) == SwfStatus::ok && header.fileLength > 0) {
        t.movie.fileLength = header.fileLength;
        // Compressed movies arrive smaller than their stated length; the end is reported at
        // completion.
        percent = long(std::min<uint64_t>(99, uint64_t(t.bytes.size()) * 100 / header.fileLength));
      }
    }
  }
  if (slot != 0) return;
  if (firstData) fireReadyState(kReadyStateInteractive);
  if (percent >= 0) fireProgress(percent);
}

void FlashControl::onLoadDone(int slot, uint32_t generation, HRESULT result) {
  bool parsedMovie = false;
  {
    Locked locked(lock_);
    const auto it = transfers_.find(slot);
    if (it == transfers_.end() || it->second.generation != generation || !it->second.active) {
      return;
    }
    Transfer& t = it->second;
    t.active = false;
    t.failed = FAILED(result) || (slot >= 0 && t.bytes.empty());
    if (!t.failed && slot >= 0) {
      t.parsed = parseSwf(t.bytes, t.movie) == SwfStatus::ok;
      t.failed = !t.parsed;
      parsedMovie = t.parsed && slot == 0;
    }
  }
  if (parsedMovie) movieCompleted();
}

void FlashControl::movieCompleted() {
  {
    Locked locked(lock_);
    applyFlashVars();
  }
  frame_ = 0;
  fireProgress(100);
  fireReadyState(kReadyStateComplete);
  setPlaying(playRequested_);
  invalidate();
}

}  // namespace nxr::player
