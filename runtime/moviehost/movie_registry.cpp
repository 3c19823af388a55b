#include "moviehost/movie_registry.h"

#include "moviehost/executable_code.h"
#include "moviehost/fake_movie_path.h"
#include "moviehost/host_messages.h"

namespace nxr {
namespace {

constexpr ULONG kCopyChunk = 0x100000;

// Copies a readable stream from its start into the movie stream.
void copyStream(IStream* source, MovieStream* destination) {
  LARGE_INTEGER zero{};
  source->Seek(zero, STREAM_SEEK_SET, nullptr);
  std::vector<uint8_t> chunk(kCopyChunk);
  for (;;) {
    ULONG read = 0;
    if (source->Read(chunk.data(), kCopyChunk, &read) != S_OK || read == 0) break;
    ULONG written = 0;
    destination->Write(chunk.data(), read, &written);
  }
}

}  // namespace

MovieRegistry::MovieRegistry(ControlLoader* loader) : loader_(loader) {
  urlmon_ = LoadLibraryA("urlmon.dll");
  if (urlmon_) {
    createUrlMoniker_ =
        procedureCast<CreateUrlMonikerProc>(GetProcAddress(urlmon_, "CreateURLMoniker"));
    registerBindStatusCallback_ =
        procedureCast<RegisterCallbackProc>(GetProcAddress(urlmon_, "RegisterBindStatusCallback"));
  }
}

MovieRegistry::~MovieRegistry() {
  std::vector<PendingBinding*> bindings;
  {
    SectionGuard guard(bindingLock_);
    bindings.swap(bindings_);
  }
  for (PendingBinding* binding : bindings) binding->detachFromControl();
  pending_.clear();
  if (urlmon_) FreeLibrary(urlmon_);
}

int MovieRegistry::addExternalResourceHandler(ExternalResourceHandler handler, void* user) {
  SectionGuard guard(mainLock_);
  const int id = nextHandlerId_++;
  handlers_.push_back({id, nullptr, handler, user});
  return id;
}

int MovieRegistry::addExternalResourceHandlerA(ExternalResourceHandlerA handler, void* user) {
  SectionGuard guard(mainLock_);
  const int id = nextHandlerId_++;
  handlers_.push_back({id, handler, nullptr, user});
  return id;
}

bool MovieRegistry::putMovieUsingStream(HWND host, IStream** stream, bool load, int layer) {
  if (stream) *stream = nullptr;
  ComPtr<MovieStreamSink> sink = MovieStreamSink::create();
  ComPtr<MovieStream> writer = MovieStream::create(sink.get());
  if (!writer || !stream) return false;
  *stream = ComPtr<IStream>(writer.get()).detach();

  std::u16string path;
  {
    SectionGuard guard(mainLock_);
    path = makeFakeMoviePath(movieCounter_++);
  }
  {
    SectionGuard guard(pendingLock_);
    pending_.emplace_back(path, sink);
  }
  if (const auto parts = parseFakeMoviePath(path)) {
    SectionGuard guard(hostLock_);
    hosts_.emplace_back(parts->number, host);
  }
  // The reset URL first, so that the control drops the movie it plays and binds the new path.
  for (const char16_t* url : {kResetMovieUrl, path.c_str()}) {
    if (load) {
      LoadMovieBlock<wchar_t> block{layer, reinterpret_cast<const wchar_t*>(url), E_FAIL};
      SendMessageW(host, MHM_LOAD_MOVIE_W, 0, reinterpret_cast<LPARAM>(&block));
    } else {
      TextInBlock<wchar_t> block{reinterpret_cast<const wchar_t*>(url), E_FAIL};
      SendMessageW(host, MHM_PUT_MOVIE_W, 0, reinterpret_cast<LPARAM>(&block));
    }
  }
  return true;
}

bool MovieRegistry::putMovieFromMemory(HWND host, const void* data, size_t size, bool load,
                                       int layer) {
  IStream* stream = nullptr;
  if (!putMovieUsingStream(host, &stream, load, layer)) return false;
  ULONG written = 0;
  if (size > 0) stream->Write(data, static_cast<ULONG>(size), &written);
  stream->Release();
  return true;
}

HRESULT MovieRegistry::createRealMoniker(IMoniker* context, const wchar_t* url,
                                         IMoniker** moniker) const {
  if (!createUrlMoniker_) return MK_E_NOSTORAGE;
  return createUrlMoniker_(context, url, moniker);
}

HRESULT MovieRegistry::registerCallback(IBindCtx* context, IBindStatusCallback* callback,
                                        IBindStatusCallback** previous) const {
  if (!registerBindStatusCallback_) return E_FAIL;
  return registerBindStatusCallback_(context, callback, previous, 0);
}

ComPtr<MovieStreamSink> MovieRegistry::takePendingStream(const std::u16string& url) {
  SectionGuard guard(pendingLock_);
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if (sameMovieStream(it->first, url)) {
      ComPtr<MovieStreamSink> sink = it->second;
      pending_.erase(it);
      return sink;
    }
  }
  return nullptr;
}

HWND MovieRegistry::hostOfMovie(int number) {
  SectionGuard guard(hostLock_);
  for (const auto& entry : hosts_) {
    if (entry.first == number) return entry.second;
  }
  return nullptr;
}

bool MovieRegistry::offerToHandlers(const std::u16string& url, MovieStream* stream) {
  SectionGuard guard(mainLock_);
  for (const Handler& handler : handlers_) {
    IStream* given = stream;
    stream->AddRef();  // the handler's reference, when it keeps the stream
    HRESULT hr = E_FAIL;
    if (handler.wide) {
      hr = handler.wide(reinterpret_cast<const wchar_t*>(url.c_str()), &given, loader_,
                        handler.user);
    } else if (handler.ansi) {
      const std::wstring wide(url.begin(), url.end());
      const int length =
          WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
      std::string ansi(length > 0 ? length : 1, '\0');
      if (length > 0) {
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(), length, nullptr, nullptr);
      }
      hr = handler.ansi(ansi.c_str(), &given, loader_, handler.user);
    }
    if (given == stream && (hr == S_OK || hr == MK_S_ASYNCHRONOUS)) return true;
    stream->Release();  // not kept by the handler
    if (given != stream) {
      if (!given) continue;
      copyStream(given, stream);
      given->Release();
      return true;
    }
  }
  return false;
}

}  // namespace nxr

namespace nxr {

void MovieRegistry::addPendingBinding(PendingBinding* binding) {
  SectionGuard guard(bindingLock_);
  bindings_.push_back(binding);
}

void MovieRegistry::removePendingBinding(PendingBinding* binding) {
  SectionGuard guard(bindingLock_);
  std::erase(bindings_, binding);
}

}  // namespace nxr
