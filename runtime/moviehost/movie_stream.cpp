#include "moviehost/movie_stream.h"

#include <vector>

namespace nxr {
namespace {

constexpr DWORD kWholeDataNotification = BSCF_FIRSTDATANOTIFICATION | BSCF_LASTDATANOTIFICATION;

ComPtr<IStream> newBufferStream() {
  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return nullptr;
  return stream;
}

void rewind(IStream* stream) {
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
}

}  // namespace

ComPtr<MovieStreamSink> MovieStreamSink::create() {
  auto* sink = new MovieStreamSink();
  if (!sink->buffer_) {
    sink->Release();
    return nullptr;
  }
  return ComPtr<MovieStreamSink>::attach(sink);
}

MovieStreamSink::MovieStreamSink() : buffer_(newBufferStream()) {}
MovieStreamSink::~MovieStreamSink() = default;

STDMETHODIMP MovieStreamSink::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_MovieStreamSink) {
    *object = this;
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MovieStreamSink::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MovieStreamSink::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

void MovieStreamSink::startBinding() {
  if (started_) return;
  started_ = true;
  callback_->OnStartBinding(0, nullptr);
}

HRESULT MovieStreamSink::deliver(IStream* stream, ULONG count) {
  FORMATETC format{0, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
  STGMEDIUM medium{};
  medium.tymed = TYMED_ISTREAM;
  medium.pstm = stream;
  medium.pUnkForRelease = nullptr;
  return callback_->OnDataAvailable(kWholeDataNotification, count, &format, &medium);
}

void MovieStreamSink::attachCallback(IBindStatusCallback* callback) {
  SectionGuard guard(lock_);
  callback_ = callback;
  if (!callback_) return;
  if (bufferedBytes_ > 0 && buffer_) {
    startBinding();
    rewind(buffer_.get());
    deliver(buffer_.get(), bufferedBytes_);
    buffer_.reset();
    bufferedBytes_ = 0;
  }
  if (finished_) callback_->OnStopBinding(S_OK, nullptr);
}

bool MovieStreamSink::isEmpty() {
  SectionGuard guard(lock_);
  return !hasData_;
}

void MovieStreamSink::finish() {
  SectionGuard guard(lock_);
  if (finished_) return;
  finished_ = true;
  if (hasData_ && callback_) {
    startBinding();
    callback_->OnStopBinding(S_OK, L"");
  }
}

HRESULT MovieStreamSink::write(const void* bytes, ULONG count) {
  if (count == 0) {
    finish();
    return S_OK;
  }
  if (!bytes) return E_POINTER;
  SectionGuard guard(lock_);
  if (finished_) return E_FAIL;  // the control has heard the end already
  hasData_ = true;
  if (callback_) {
    startBinding();
    ComPtr<IStream> chunk = newBufferStream();
    if (!chunk) return E_OUTOFMEMORY;
    ULONG written = 0;
    HRESULT hr = chunk->Write(bytes, count, &written);
    if (FAILED(hr)) return hr;
    rewind(chunk.get());
    return deliver(chunk.get(), count);
  }
  if (!buffer_) return E_FAIL;
  ULONG written = 0;
  const HRESULT hr = buffer_->Write(bytes, count, &written);
  bufferedBytes_ += written;
  return hr;
}

ComPtr<MovieStream> MovieStream::create(MovieStreamSink* sink) {
  if (!sink) return nullptr;
  return ComPtr<MovieStream>::attach(new MovieStream(sink));
}

STDMETHODIMP MovieStream::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IStream || iid == IID_ISequentialStream) {
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MovieStream::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MovieStream::Release() {
  const ULONG left = --references_;
  if (left == 0) {
    // The last writer is done: the control hears the end of the movie.
    sink_->finish();
    delete this;
  }
  return left;
}

STDMETHODIMP MovieStream::Write(const void* bytes, ULONG count, ULONG* written) {
  const HRESULT hr = sink_->write(bytes, count);
  if (written) *written = SUCCEEDED(hr) ? count : 0;
  return hr;
}

}  // namespace nxr
