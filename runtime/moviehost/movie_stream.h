// The two sides of a movie handed to the control from memory: the sink buffers what is written
// until the control binds (or passes it straight on afterwards); the stream is the writer side
// given to whoever supplies the bytes, and its last Release completes the transfer.
#pragma once

#include <windows.h>
// (the system headers below need windows.h first)
#include <objidl.h>
#include <urlmon.h>

#include <atomic>

#include "moviehost/lock.h"
#include "support/win.h"

namespace nxr {

// {B51AFD6B-35FB-457E-A7D4-DE317625F3A0}
inline constexpr IID IID_MovieStreamSink = {
    0xB51AFD6B, 0x35FB, 0x457E, {0xA7, 0xD4, 0xDE, 0x31, 0x76, 0x25, 0xF3, 0xA0}};

class MovieStreamSink final : public IUnknown {
 public:
  static ComPtr<MovieStreamSink> create();

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // Keeps the control's callback and hands it whatever is buffered (and the end, when finished).
  void attachCallback(IBindStatusCallback* callback);
  // No byte written yet.
  bool isEmpty();
  // The writer is done: the control hears the end of the data. Once only.
  void finish();
  // Passes bytes on (or buffers them without a callback); 0 bytes finish.
  HRESULT write(const void* bytes, ULONG count);

 private:
  MovieStreamSink();
  ~MovieStreamSink();
  void startBinding();
  HRESULT deliver(IStream* stream, ULONG count);

  std::atomic<ULONG> references_{1};
  CriticalSection lock_;
  ComPtr<IStream> buffer_;
  ULONG bufferedBytes_ = 0;
  ComPtr<IBindStatusCallback> callback_;
  bool started_ = false;
  bool hasData_ = false;
  bool finished_ = false;
};

class MovieStream final : public IStream {
 public:
  static ComPtr<MovieStream> create(MovieStreamSink* sink);

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP Write(const void* bytes, ULONG count, ULONG* written) override;
  STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

  MovieStreamSink* sink() const { return sink_.get(); }

 private:
  explicit MovieStream(MovieStreamSink* sink) : sink_(sink) {}
  std::atomic<ULONG> references_{1};
  ComPtr<MovieStreamSink> sink_;
};

}  // namespace nxr
