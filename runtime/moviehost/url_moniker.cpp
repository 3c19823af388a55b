#include "moviehost/url_moniker.h"

#include <atomic>
#include <string>

#include "moviehost/fake_movie_path.h"
#include "moviehost/host_messages.h"
#include "moviehost/lock.h"
#include "moviehost/movie_registry.h"
#include "support/win.h"

namespace nxr {
namespace {

// Registered in the bind context in front of the control's own callback, which receives every
// call made to this one.
class ForwardingCallback final : public IBindStatusCallback, public PendingBinding {
 public:
  ForwardingCallback() = default;

  // The control's module is going away: the binding is aborted and nothing more reaches the
  // control's callback.
  void detachFromControl() override {
    ComPtr<IBinding> binding;
    {
      SectionGuard guard(lock_);
      registry_ = nullptr;
      binding = binding_;
      binding_.reset();
      target_.reset();
    }
    if (binding) binding->Abort();
  }

  void setTarget(IBindStatusCallback* target) {
    target_ = ComPtr<IBindStatusCallback>::attach(target);
  }
  // A binding by the system's own moniker may report to this callback after the bind context
  // that holds it has let it go; it then keeps itself until the binding stops.
  void holdUntilStopped(MovieRegistry* registry) {
    if (held_.exchange(true)) return;
    AddRef();
    SectionGuard guard(lock_);
    registry_ = registry;
    registry_->addPendingBinding(this);
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IBindStatusCallback) {
      *object = static_cast<IBindStatusCallback*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP OnStartBinding(DWORD reserved, IBinding* binding) override {
    if (held_) {
      SectionGuard guard(lock_);
      binding_ = binding;
    }
    auto target = currentTarget();
    return target ? target->OnStartBinding(reserved, binding) : S_OK;
  }
  STDMETHODIMP GetPriority(LONG* priority) override {
    auto target = currentTarget();
    return target ? target->GetPriority(priority) : E_NOTIMPL;
  }
  STDMETHODIMP OnLowResource(DWORD reserved) override {
    auto target = currentTarget();
    return target ? target->OnLowResource(reserved) : S_OK;
  }
  STDMETHODIMP OnProgress(ULONG progress, ULONG maximum, ULONG code, LPCWSTR text) override {
    auto target = currentTarget();
    return target ? target->OnProgress(progress, maximum, code, text) : S_OK;
  }
  STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR error) override {
    AddRef();
    auto target = currentTarget();
    const HRESULT hr = target ? target->OnStopBinding(result, error) : S_OK;
    if (held_.exchange(false)) {
      {
        SectionGuard guard(lock_);
        if (registry_) registry_->removePendingBinding(this);
        registry_ = nullptr;
        binding_.reset();
      }
      Release();
    }
    Release();
    return hr;
  }
  STDMETHODIMP GetBindInfo(DWORD* flags, BINDINFO* info) override {
    auto target = currentTarget();
    return target ? target->GetBindInfo(flags, info) : E_NOTIMPL;
  }
  STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                               STGMEDIUM* medium) override {
    auto target = currentTarget();
    return target ? target->OnDataAvailable(flags, size, format, medium) : S_OK;
  }
  STDMETHODIMP OnObjectAvailable(REFIID iid, IUnknown* object) override {
    auto target = currentTarget();
    return target ? target->OnObjectAvailable(iid, object) : S_OK;
  }

 private:
  ~ForwardingCallback() {
    SectionGuard guard(lock_);
    if (registry_) registry_->removePendingBinding(this);
  }
  ComPtr<IBindStatusCallback> currentTarget() {
    SectionGuard guard(lock_);
    return target_;
  }

  std::atomic<ULONG> references_{1};
  std::atomic<bool> held_{false};
  CriticalSection lock_;
  MovieRegistry* registry_ = nullptr;
  ComPtr<IBinding> binding_;
  ComPtr<IBindStatusCallback> target_;
};

// The host's Base property (W), or the current directory when it is empty; "/" separators.
std::u16string baseFolder(HWND host) {
  TextOutBlock<wchar_t> block{nullptr, 0, E_FAIL};
  std::u16string base;
  if (host) {
    SendMessageW(host, MHM_GET_BASE_W, 0, reinterpret_cast<LPARAM>(&block));
    if (SUCCEEDED(block.hr) && block.length > 1) {
      std::wstring text(block.length, L'\0');
      block.buffer = text.data();
      block.hr = E_FAIL;
      SendMessageW(host, MHM_GET_BASE_W, 0, reinterpret_cast<LPARAM>(&block));
      if (SUCCEEDED(block.hr)) base = fromWide(text.c_str());
    }
  }
  if (base.empty()) {
    wchar_t folder[MAX_PATH + 1] = {};
    if (GetCurrentDirectoryW(MAX_PATH + 1, folder)) {
      base = fromWide(folder);
    } else {
      char ansiFolder[MAX_PATH + 1] = {};
      GetCurrentDirectoryA(MAX_PATH + 1, ansiFolder);
      for (const char* c = ansiFolder; *c; ++c)
        base += static_cast<char16_t>(static_cast<unsigned char>(*c));
    }
  }
  for (char16_t& c : base) {
    if (c == u'\\') c = u'/';
  }
  return base;
}

class WrappingMoniker : public IMoniker {
 public:
  WrappingMoniker(MovieRegistry* registry, IMoniker* context, const wchar_t* url, IMoniker* inner)
      : registry_(registry), context_(context), url_(fromWide(url)), inner_(inner) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMoniker) {
      *object = static_cast<IMoniker*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IPersist, IPersistStream and IMoniker: passed to the inner moniker.
  STDMETHODIMP GetClassID(CLSID* id) override { return inner_ ? inner_->GetClassID(id) : E_FAIL; }
  STDMETHODIMP IsDirty() override { return inner_ ? inner_->IsDirty() : E_FAIL; }
  STDMETHODIMP Load(IStream* stream) override { return inner_ ? inner_->Load(stream) : E_FAIL; }
  STDMETHODIMP Save(IStream* stream, BOOL clear) override {
    return inner_ ? inner_->Save(stream, clear) : E_FAIL;
  }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override {
    return inner_ ? inner_->GetSizeMax(size) : E_FAIL;
  }
  STDMETHODIMP BindToObject(IBindCtx* bc, IMoniker* left, REFIID iid, void** object) override {
    return inner_ ? inner_->BindToObject(bc, left, iid, object) : E_FAIL;
  }
  STDMETHODIMP BindToStorage(IBindCtx* bc, IMoniker* left, REFIID iid, void** object) override;
  STDMETHODIMP Reduce(IBindCtx* bc, DWORD how, IMoniker** toLeft, IMoniker** reduced) override {
    return inner_ ? inner_->Reduce(bc, how, toLeft, reduced) : E_FAIL;
  }
  STDMETHODIMP ComposeWith(IMoniker* right, BOOL onlyIfNotGeneric, IMoniker** composite) override {
    return inner_ ? inner_->ComposeWith(right, onlyIfNotGeneric, composite) : E_FAIL;
  }
  STDMETHODIMP Enum(BOOL forward, IEnumMoniker** enumerator) override {
    return inner_ ? inner_->Enum(forward, enumerator) : E_FAIL;
  }
  STDMETHODIMP IsEqual(IMoniker* other) override {
    return inner_ ? inner_->IsEqual(other) : E_FAIL;
  }
  STDMETHODIMP Hash(DWORD* hash) override { return inner_ ? inner_->Hash(hash) : E_FAIL; }
  STDMETHODIMP IsRunning(IBindCtx* bc, IMoniker* left, IMoniker* newlyRunning) override {
    return inner_ ? inner_->IsRunning(bc, left, newlyRunning) : E_FAIL;
  }
  STDMETHODIMP GetTimeOfLastChange(IBindCtx* bc, IMoniker* left, FILETIME* time) override {
    return inner_ ? inner_->GetTimeOfLastChange(bc, left, time) : E_FAIL;
  }
  STDMETHODIMP Inverse(IMoniker** inverse) override {
    return inner_ ? inner_->Inverse(inverse) : E_FAIL;
  }
  STDMETHODIMP CommonPrefixWith(IMoniker* other, IMoniker** prefix) override {
    return inner_ ? inner_->CommonPrefixWith(other, prefix) : E_FAIL;
  }
  STDMETHODIMP RelativePathTo(IMoniker* other, IMoniker** path) override {
    return inner_ ? inner_->RelativePathTo(other, path) : E_FAIL;
  }
  STDMETHODIMP GetDisplayName(IBindCtx* bc, IMoniker* left, LPOLESTR* name) override {
    return inner_ ? inner_->GetDisplayName(bc, left, name) : E_FAIL;
  }
  STDMETHODIMP ParseDisplayName(IBindCtx* bc, IMoniker* left, LPOLESTR name, ULONG* eaten,
                                IMoniker** out) override {
    return inner_ ? inner_->ParseDisplayName(bc, left, name, eaten, out) : E_FAIL;
  }
  STDMETHODIMP IsSystemMoniker(DWORD* kind) override {
    return inner_ ? inner_->IsSystemMoniker(kind) : E_FAIL;
  }

 private:
  virtual ~WrappingMoniker() = default;

  // A real URL moniker for `url` bound with the caller's arguments.
  HRESULT bindReal(const std::u16string& url, ForwardingCallback* forwarding, IBindCtx* bc,
                   IMoniker* left, REFIID iid, void** object) {
    ComPtr<IMoniker> real;
    const HRESULT hr = registry_->createRealMoniker(
        context_.get(), reinterpret_cast<const wchar_t*>(url.c_str()), real.put());
    if (FAILED(hr) || !real) return registry_->hasRealMonikers() ? hr : MK_E_NOSTORAGE;
    forwarding->holdUntilStopped(registry_);
    return real->BindToStorage(bc, left, iid, object);
  }

  HRESULT bindRelativeResource(const FakeMoviePathParts& parts, MovieStream* stream,
                               MovieStreamSink* sink, ForwardingCallback* forwarding, IBindCtx* bc,
                               IMoniker* left, REFIID iid, void** object);

  std::atomic<ULONG> references_{1};
  MovieRegistry* registry_;
  ComPtr<IMoniker> context_;
  std::u16string url_;
  ComPtr<IMoniker> inner_;
};

HRESULT WrappingMoniker::bindRelativeResource(const FakeMoviePathParts& parts, MovieStream* stream,
                                              MovieStreamSink* sink, ForwardingCallback* forwarding,
                                              IBindCtx* bc, IMoniker* left, REFIID iid,
                                              void** object) {
  HWND host = registry_->hostOfMovie(parts.number);
  if (!host) return E_FAIL;
  LoadExternalResourceRequest request{reinterpret_cast<const wchar_t*>(parts.relative.c_str()),
                                      nullptr, stream, FALSE};
  const UINT message = RegisterWindowMessageA(kCallLoadExternalResourceMessage);
  SendMessageW(host, message, 0, reinterpret_cast<LPARAM>(&request));
  if (request.handled || !sink->isEmpty()) return MK_S_ASYNCHRONOUS;
  // Nobody supplied it: look beside the movie's base, or in the current directory.
  const std::u16string url = baseFolder(host) + u"/" + parts.relative;
  bindReal(url, forwarding, bc, left, iid, object);
  return MK_S_ASYNCHRONOUS;
}

STDMETHODIMP WrappingMoniker::BindToStorage(IBindCtx* bc, IMoniker* left, REFIID iid,
                                            void** object) {
  // Our callback goes in front of the control's, which it forwards to.
  auto* forwarding = new ForwardingCallback();
  ComPtr<IBindStatusCallback> callback = ComPtr<IBindStatusCallback>::attach(forwarding);
  IBindStatusCallback* previous = nullptr;
  if (bc && SUCCEEDED(registry_->registerCallback(bc, callback.get(), &previous))) {
    forwarding->setTarget(previous);
  }

  if (url_ == kResetMovieUrl) return MK_E_NOSTORAGE;

  if (ComPtr<MovieStreamSink> pending = registry_->takePendingStream(url_)) {
    pending->attachCallback(callback.get());
    return MK_S_ASYNCHRONOUS;
  }

  ComPtr<MovieStreamSink> sink = MovieStreamSink::create();
  ComPtr<MovieStream> stream = MovieStream::create(sink.get());
  if (!stream) return E_OUTOFMEMORY;
  sink->attachCallback(callback.get());
  if (const auto parts = parseFakeMoviePath(url_)) {
    return bindRelativeResource(*parts, stream.get(), sink.get(), forwarding, bc, left, iid,
                                object);
  }
  if (registry_->offerToHandlers(url_, stream.get())) return MK_S_ASYNCHRONOUS;
  return bindReal(url_, forwarding, bc, left, iid, object);
}

}  // namespace

HRESULT createWrappingMoniker(MovieRegistry* registry, IMoniker* context, const wchar_t* url,
                              IMoniker** moniker) {
  if (!moniker) return E_POINTER;
  *moniker = nullptr;
  ComPtr<IMoniker> inner;
  const HRESULT hr = registry->createRealMoniker(context, url, inner.put());
  if (FAILED(hr)) return hr;
  *moniker = new WrappingMoniker(registry, context, url ? url : L"", inner.get());
  return S_OK;
}

}  // namespace nxr
