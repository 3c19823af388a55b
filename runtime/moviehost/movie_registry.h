// In-memory movies offered to the control under fake paths, the host windows they belong to, and
// the handlers that serve the control's requests for further resources. One per ControlLoader.
#pragma once

#include <windows.h>
// (the system headers below need windows.h first)
#include <urlmon.h>

#include <string>
#include <utility>
#include <vector>

#include "moviehost/lock.h"
#include "moviehost/movie_stream.h"
#include "support/win.h"

namespace nxr {

class ControlLoader;

// Serves a URL the control asks for. Entered with *stream set to a MovieStream. It may write the
// resource into that stream and return S_OK or MK_S_ASYNCHRONOUS: it then owns one reference to
// the stream and releases it when done (now, or later from any thread). It may instead store a
// readable stream of its own in *stream (whose reference passes to the registry), or return
// anything else to pass the URL on; in both cases it must not release the MovieStream.
using ExternalResourceHandler = HRESULT(WINAPI*)(const wchar_t* url, IStream** stream,
                                                 ControlLoader* loader, void* user);
using ExternalResourceHandlerA = HRESULT(WINAPI*)(const char* url, IStream** stream,
                                                  ControlLoader* loader, void* user);

// A bind-status callback of a binding still under way; told to let the control go when the
// registry (and with it the control's module) goes away.
class PendingBinding {
 public:
  virtual void detachFromControl() = 0;

 protected:
  ~PendingBinding() = default;
};

class MovieRegistry {
 public:
  using CreateUrlMonikerProc = HRESULT(WINAPI*)(IMoniker*, LPCWSTR, IMoniker**);
  using RegisterCallbackProc = HRESULT(WINAPI*)(IBindCtx*, IBindStatusCallback*,
                                                IBindStatusCallback**, DWORD);

  explicit MovieRegistry(ControlLoader* loader);
  ~MovieRegistry();
  MovieRegistry(const MovieRegistry&) = delete;
  MovieRegistry& operator=(const MovieRegistry&) = delete;

  ControlLoader* loader() const { return loader_; }

  int addExternalResourceHandler(ExternalResourceHandler handler, void* user);
  int addExternalResourceHandlerA(ExternalResourceHandlerA handler, void* user);

  // Offers a movie by stream to a host: the caller receives a MovieStream (one reference) in
  // *stream, and the host is told to play (or load into `layer`) the movie's fake path.
  bool putMovieUsingStream(HWND host, IStream** stream, bool load, int layer);
  // The same, writing `size` bytes at once.
  bool putMovieFromMemory(HWND host, const void* data, size_t size, bool load, int layer);

  // The real urlmon functions (NULL when urlmon is missing).
  HRESULT createRealMoniker(IMoniker* context, const wchar_t* url, IMoniker** moniker) const;
  HRESULT registerCallback(IBindCtx* context, IBindStatusCallback* callback,
                           IBindStatusCallback** previous) const;
  bool hasRealMonikers() const { return createUrlMoniker_ != nullptr; }

  // Removes and returns the pending stream whose path names the same stream as `url`.
  ComPtr<MovieStreamSink> takePendingStream(const std::u16string& url);
  // The host window that plays in-memory movie `number`, or NULL.
  HWND hostOfMovie(int number);
  // Offers a URL to the handlers in registration order; true when one supplied it.
  bool offerToHandlers(const std::u16string& url, MovieStream* stream);

  // Bindings of the system's monikers that may outlive the control's module.
  void addPendingBinding(PendingBinding* binding);
  void removePendingBinding(PendingBinding* binding);

 private:
  struct Handler {
    int id;
    ExternalResourceHandlerA ansi;
    ExternalResourceHandler wide;
    void* user;
  };

  ControlLoader* loader_;
  HMODULE urlmon_ = nullptr;
  CreateUrlMonikerProc createUrlMoniker_ = nullptr;
  RegisterCallbackProc registerBindStatusCallback_ = nullptr;

  CriticalSection mainLock_;  // movie numbers and handlers
  int movieCounter_ = 100;
  std::vector<Handler> handlers_;
  int nextHandlerId_ = 1;

  CriticalSection pendingLock_;
  std::vector<std::pair<std::u16string, ComPtr<MovieStreamSink>>> pending_;

  CriticalSection hostLock_;
  std::vector<std::pair<int, HWND>> hosts_;

  CriticalSection bindingLock_;
  std::vector<PendingBinding*> bindings_;
};

}  // namespace nxr
