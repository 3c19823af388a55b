#include "flash_control.h"

#include <algorithm>
#include <charconv>
#include <cwctype>

#include "support/text.h"

namespace nxr::player {
namespace {

constexpr size_t kLogLimit = 4096;

// Texts of the call log: the method's name and its arguments, comma separated.
std::u16string argText(long value) { return toDecimal(value); }
std::u16string argText(int value) { return toDecimal(value); }
std::u16string argText(BSTR text) { return text ? fromWide(text) : std::u16string(); }
std::u16string argText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return asU16(std::string_view(buffer, result.ptr - buffer));
}

template <typename... Args>
std::u16string callText(const char* name, const Args&... args) {
  std::u16string text = asU16(name) + u"(";
  bool first = true;
  ((text += (first ? u"" : u","), text += argText(args), first = false), ...);
  return text + u")";
}

BSTR makeBstr(const std::u16string& text) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), UINT(text.size()));
}
std::u16string fromBstr(BSTR text) {
  return text ? fromWide(text, SysStringLen(text)) : std::u16string();
}
VARIANT_BOOL variantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

std::u16string lower(std::u16string text) {
  for (auto& c : text) c = char16_t(std::towlower(c));
  return text;
}

HRESULT putText(BSTR* out, const std::u16string& text) {
  if (!out) return E_POINTER;
  *out = makeBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}
template <typename T, typename U>
HRESULT putValue(T* out, U value) {
  if (!out) return E_POINTER;
  *out = T(value);
  return S_OK;
}

// Scale names by ScaleMode value, and the letters of SAlign by AlignMode bit.
constexpr const char16_t* kScaleNames[] = {u"ShowAll", u"NoBorder", u"ExactFit", u"NoScale"};
constexpr struct {
  char16_t letter;
  int bit;
} kAlignLetters[] = {{u'L', 1}, {u'R', 2}, {u'T', 4}, {u'B', 8}};

// "a=1&b=x%20y" into name/value pairs, as FlashVars are given.
std::u16string urlDecode(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'+') {
      out += u' ';
    } else if (text[i] == u'%' && i + 2 < text.size() + 0 && std::iswxdigit(text[i + 1]) &&
               std::iswxdigit(text[i + 2])) {
      auto hex = [](char16_t c) { return c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10; };
      out += char16_t(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Lifetime and identity

FlashControl::FlashControl() : channel_(std::make_shared<LoadChannel>(this)) {
  objectCreated();
  notifyWindow_ = createNotifyWindow(this);
}

FlashControl::~FlashControl() {
  channel_->close();
  playing_ = false;
  updateTimer();  // stops the frame timer and forgets it
  if (window_) DestroyWindow(window_);
  if (notifyWindow_) DestroyWindow(notifyWindow_);  // queued work goes with it
  objectDestroyed();
}

bool FlashControl::tryAddRef() {
  LONG current = refs_;
  while (current > 0) {
    const LONG seen = InterlockedCompareExchange(&refs_, current + 1, current);
    if (seen == current) return true;
    current = seen;
  }
  return false;
}

STDMETHODIMP FlashControl::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIidShockwaveFlash) {
    *out = static_cast<IShockwaveFlash*>(this);
  } else if (iid == IID_IOleObject) {
    *out = static_cast<IOleObject*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject ||
             iid == IID_IOleInPlaceObjectWindowless) {
    *out = static_cast<IOleInPlaceObjectWindowless*>(this);
  } else if (iid == IID_IOleInPlaceActiveObject) {
    *out = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (iid == IID_IViewObject || iid == IID_IViewObject2 || iid == IID_IViewObjectEx) {
    *out = static_cast<IViewObjectEx*>(this);
  } else if (iid == IID_IObjectWithSite) {
    *out = static_cast<IObjectWithSite*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == IID_IPersist || iid == IID_IPersistStreamInit) {
    *out = static_cast<IPersistStreamInit*>(this);
  } else if (iid == IID_IPersistPropertyBag) {
    *out = static_cast<IPersistPropertyBag*>(this);
  } else if (iid == kIidPlayerTest) {
    *out = static_cast<IPlayerTest*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) FlashControl::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) FlashControl::Release() {
  const LONG count = InterlockedDecrement(&refs_);
  if (count == 0) delete this;
  return count;
}

ComPtr<IShockwaveFlash> LoadChannel::control() {
  Locked locked(lock_);
  if (!control_ || !control_->tryAddRef()) return nullptr;
  return ComPtr<IShockwaveFlash>::attach(control_);
}
FlashControl* LoadChannel::controlObject() {
  Locked locked(lock_);
  return control_;
}
void LoadChannel::close() {
  Locked locked(lock_);
  control_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Call log and events

void FlashControl::logCall(std::u16string text) {
  Locked locked(lock_);
  if (log_.size() >= kLogLimit) log_.erase(log_.begin(), log_.begin() + kLogLimit / 4);
  log_.push_back(std::move(text));
}

void FlashControl::fireEvent(DISPID id, VARIANT* args, UINT count) {
  std::vector<ComPtr<IDispatch>> targets;
  {
    Locked locked(lock_);
    for (const auto& sink : sinks_) targets.push_back(sink.dispatch);
  }
  ComPtr<IShockwaveFlash> keepAlive(this);  // a sink may release the control while it runs
  DISPPARAMS params{args, nullptr, count, 0};
  for (const auto& target : targets) {
    target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                   nullptr);
  }
}

void FlashControl::fireReadyState(long state) {
  readyState_ = state;
  VARIANT arg;
  arg.vt = VT_I4;
  arg.lVal = state;
  fireEvent(kDispidOnReadyStateChange, &arg, 1);
}

void FlashControl::fireProgress(long percent) {
  VARIANT arg;
  arg.vt = VT_I4;
  arg.lVal = percent;
  fireEvent(kDispidOnProgress, &arg, 1);
}

HRESULT FlashControl::EventPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
  *out = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}
HRESULT FlashControl::EventPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = kDiidShockwaveFlashEvents;
  return S_OK;
}
HRESULT FlashControl::EventPoint::GetConnectionPointContainer(
    IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = &owner_;
  owner_.AddRef();
  return S_OK;
}
HRESULT FlashControl::EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  ComPtr<IDispatch> dispatch;
  if (FAILED(sink->QueryInterface(kDiidShockwaveFlashEvents, dispatch.putVoid())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, dispatch.putVoid()))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  Locked locked(owner_.lock_);
  *cookie = owner_.nextCookie_++;
  owner_.sinks_.push_back(Sink{*cookie, dispatch});
  owner_.logCall(callText("Advise", long(*cookie)));
  return S_OK;
}
HRESULT FlashControl::EventPoint::Unadvise(DWORD cookie) {
  ComPtr<IDispatch> released;  // released after the lock is left
  Locked locked(owner_.lock_);
  owner_.logCall(callText("Unadvise", long(cookie)));
  auto& sinks = owner_.sinks_;
  const auto it =
      std::find_if(sinks.begin(), sinks.end(), [&](const Sink& s) { return s.cookie == cookie; });
  if (it == sinks.end()) return CONNECT_E_NOCONNECTION;
  released = it->dispatch;
  sinks.erase(it);
  return S_OK;
}
HRESULT FlashControl::EventPoint::EnumConnections(IEnumConnections**) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::EnumConnectionPoints(IEnumConnectionPoints**) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (iid != kDiidShockwaveFlashEvents) return CONNECT_E_NOCONNECTION;
  *point = &eventPoint_;
  AddRef();
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// IShockwaveFlash: properties

STDMETHODIMP FlashControl::get_ReadyState(long* state) {
  logCall(callText("get_ReadyState"));
  return putValue(state, readyState_);
}
STDMETHODIMP FlashControl::get_TotalFrames(long* frames) {
  logCall(callText("get_TotalFrames"));
  return putValue(frames, frameCount());
}
STDMETHODIMP FlashControl::get_Playing(VARIANT_BOOL* playing) {
  logCall(callText("get_Playing"));
  return putValue(playing, variantBool(playing_));
}
STDMETHODIMP FlashControl::put_Playing(VARIANT_BOOL playing) {
  logCall(callText("put_Playing", int(playing)));
  playRequested_ = playing != VARIANT_FALSE;
  setPlaying(playRequested_);
  return S_OK;
}
STDMETHODIMP FlashControl::get_Quality(int* quality) {
  logCall(callText("get_Quality"));
  return putValue(quality, quality_);
}
STDMETHODIMP FlashControl::put_Quality(int quality) {
  logCall(callText("put_Quality", quality));
  quality_ = quality;
  return S_OK;
}
STDMETHODIMP FlashControl::get_ScaleMode(int* mode) {
  logCall(callText("get_ScaleMode"));
  return putValue(mode, scaleMode_);
}
STDMETHODIMP FlashControl::put_ScaleMode(int mode) {
  logCall(callText("put_ScaleMode", mode));
  if (mode < 0 || mode > 3) return E_INVALIDARG;
  scaleMode_ = mode;
  invalidate();
  return S_OK;
}
STDMETHODIMP FlashControl::get_AlignMode(int* mode) {
  logCall(callText("get_AlignMode"));
  return putValue(mode, alignMode_);
}
STDMETHODIMP FlashControl::put_AlignMode(int mode) {
  logCall(callText("put_AlignMode", mode));
  alignMode_ = mode & 0xF;
  invalidate();
  return S_OK;
}
STDMETHODIMP FlashControl::get_BackgroundColor(long* color) {
  logCall(callText("get_BackgroundColor"));
  if (backgroundColor_ >= 0) return putValue(color, backgroundColor_);
  Locked locked(lock_);
  const auto it = transfers_.find(0);
  const bool known =
      it != transfers_.end() && it->second.parsed && it->second.movie.backgroundColor.has_value();
  return putValue(color, known ? long(*it->second.movie.backgroundColor) : 0xFFFFFFL);
}
STDMETHODIMP FlashControl::put_BackgroundColor(long color) {
  logCall(callText("put_BackgroundColor", color));
  backgroundColor_ = color < 0 ? -1 : (color & 0xFFFFFF);
  invalidate();
  return S_OK;
}
STDMETHODIMP FlashControl::get_Loop(VARIANT_BOOL* loop) {
  logCall(callText("get_Loop"));
  return putValue(loop, variantBool(loop_));
}
STDMETHODIMP FlashControl::put_Loop(VARIANT_BOOL loop) {
  logCall(callText("put_Loop", int(loop)));
  loop_ = loop != VARIANT_FALSE;
  return S_OK;
}
STDMETHODIMP FlashControl::get_Movie(BSTR* url) {
  logCall(callText("get_Movie"));
  return putText(url, movieUrl_);
}
STDMETHODIMP FlashControl::put_Movie(BSTR url) {
  logCall(callText("put_Movie", url));
  movieUrl_ = fromBstr(url);
  startLoad(0, movieUrl_);
  return S_OK;
}
STDMETHODIMP FlashControl::get_FrameNum(long* frame) {
  logCall(callText("get_FrameNum"));
  return putValue(frame, frame_);
}
STDMETHODIMP FlashControl::put_FrameNum(long frame) {
  logCall(callText("put_FrameNum", frame));
  gotoFrame(frame);
  return S_OK;
}
STDMETHODIMP FlashControl::get_WMode(BSTR* mode) {
  logCall(callText("get_WMode"));
  return putText(mode, wmode_);
}
STDMETHODIMP FlashControl::put_WMode(BSTR mode) {
  logCall(callText("put_WMode", mode));
  // Takes effect at the next in-place activation.
  wmode_ = fromBstr(mode);
  return S_OK;
}
STDMETHODIMP FlashControl::get_SAlign(BSTR* align) {
  logCall(callText("get_SAlign"));
  std::u16string text;
  for (const auto& a : kAlignLetters) {
    if (alignMode_ & a.bit) text += a.letter;
  }
  return putText(align, text);
}
STDMETHODIMP FlashControl::put_SAlign(BSTR align) {
  logCall(callText("put_SAlign", align));
  int mode = 0;
  for (char16_t c : fromBstr(align)) {
    for (const auto& a : kAlignLetters) {
      if (char16_t(std::towupper(c)) == a.letter) mode |= a.bit;
    }
  }
  alignMode_ = mode;
  invalidate();
  return S_OK;
}
STDMETHODIMP FlashControl::get_Menu(VARIANT_BOOL* menu) {
  logCall(callText("get_Menu"));
  return putValue(menu, variantBool(menu_));
}
STDMETHODIMP FlashControl::put_Menu(VARIANT_BOOL menu) {
  logCall(callText("put_Menu", int(menu)));
  menu_ = menu != VARIANT_FALSE;
  return S_OK;
}
STDMETHODIMP FlashControl::get_Base(BSTR* base) {
  logCall(callText("get_Base"));
  return putText(base, base_);
}
STDMETHODIMP FlashControl::put_Base(BSTR base) {
  logCall(callText("put_Base", base));
  base_ = fromBstr(base);
  return S_OK;
}
STDMETHODIMP FlashControl::get_Scale(BSTR* scale) {
  logCall(callText("get_Scale"));
  return putText(scale, kScaleNames[scaleMode_]);
}
STDMETHODIMP FlashControl::put_Scale(BSTR scale) {
  logCall(callText("put_Scale", scale));
  const std::u16string wanted = lower(fromBstr(scale));
  for (int mode = 0; mode < 4; ++mode) {
    if (wanted == lower(kScaleNames[mode])) {
      scaleMode_ = mode;
      invalidate();
      return S_OK;
    }
  }
  return E_INVALIDARG;
}
STDMETHODIMP FlashControl::get_DeviceFont(VARIANT_BOOL* deviceFont) {
  logCall(callText("get_DeviceFont"));
  return putValue(deviceFont, variantBool(deviceFont_));
}
STDMETHODIMP FlashControl::put_DeviceFont(VARIANT_BOOL deviceFont) {
  logCall(callText("put_DeviceFont", int(deviceFont)));
  deviceFont_ = deviceFont != VARIANT_FALSE;
  return S_OK;
}
STDMETHODIMP FlashControl::get_EmbedMovie(VARIANT_BOOL* embed) {
  logCall(callText("get_EmbedMovie"));
  return putValue(embed, variantBool(embedMovie_));
}
STDMETHODIMP FlashControl::put_EmbedMovie(VARIANT_BOOL embed) {
  logCall(callText("put_EmbedMovie", int(embed)));
  embedMovie_ = embed != VARIANT_FALSE;
  return S_OK;
}
STDMETHODIMP FlashControl::get_BGColor(BSTR* color) {
  logCall(callText("get_BGColor"));
  if (backgroundColor_ < 0) return putText(color, u"");
  std::u16string hex = toHex(uint32_t(backgroundColor_));
  for (auto& c : hex) c = char16_t(std::towupper(c));
  return putText(color, std::u16string(6 - std::min<size_t>(6, hex.size()), u'0') + hex);
}
STDMETHODIMP FlashControl::put_BGColor(BSTR color) {
  logCall(callText("put_BGColor", color));
  std::u16string text = fromBstr(color);
  if (!text.empty() && text[0] == u'#') text.erase(0, 1);
  if (text.empty()) {
    backgroundColor_ = -1;
  } else {
    if (text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char16_t c) { return std::iswxdigit(c) != 0; })) {
      return E_INVALIDARG;
    }
    backgroundColor_ = std::stol(std::string(text.begin(), text.end()), nullptr, 16);
  }
  invalidate();
  return S_OK;
}
STDMETHODIMP FlashControl::get_Quality2(BSTR* quality) {
  logCall(callText("get_Quality2"));
  return putText(quality, quality2_);
}
STDMETHODIMP FlashControl::put_Quality2(BSTR quality) {
  logCall(callText("put_Quality2", quality));
  quality2_ = fromBstr(quality);
  return S_OK;
}
STDMETHODIMP FlashControl::get_SWRemote(BSTR* value) {
  logCall(callText("get_SWRemote"));
  return putText(value, swRemote_);
}
STDMETHODIMP FlashControl::put_SWRemote(BSTR value) {
  logCall(callText("put_SWRemote", value));
  swRemote_ = fromBstr(value);
  return S_OK;
}
STDMETHODIMP FlashControl::get_FlashVars(BSTR* value) {
  logCall(callText("get_FlashVars"));
  return putText(value, flashVars_);
}
STDMETHODIMP FlashControl::put_FlashVars(BSTR value) {
  logCall(callText("put_FlashVars", value));
  flashVars_ = fromBstr(value);
  return S_OK;
}
STDMETHODIMP FlashControl::get_AllowScriptAccess(BSTR* value) {
  logCall(callText("get_AllowScriptAccess"));
  return putText(value, allowScriptAccess_);
}
STDMETHODIMP FlashControl::put_AllowScriptAccess(BSTR value) {
  logCall(callText("put_AllowScriptAccess", value));
  allowScriptAccess_ = fromBstr(value);
  return S_OK;
}
STDMETHODIMP FlashControl::get_MovieData(BSTR* value) {
  logCall(callText("get_MovieData"));
  return putText(value, movieData_);
}
STDMETHODIMP FlashControl::put_MovieData(BSTR value) {
  logCall(callText("put_MovieData", value));
  movieData_ = fromBstr(value);
  return S_OK;
}
STDMETHODIMP FlashControl::get_SeamlessTabbing(VARIANT_BOOL* value) {
  logCall(callText("get_SeamlessTabbing"));
  return putValue(value, variantBool(seamlessTabbing_));
}
STDMETHODIMP FlashControl::put_SeamlessTabbing(VARIANT_BOOL value) {
  logCall(callText("put_SeamlessTabbing", int(value)));
  seamlessTabbing_ = value != VARIANT_FALSE;
  return S_OK;
}
STDMETHODIMP FlashControl::get_AllowNetworking(BSTR* value) {
  logCall(callText("get_AllowNetworking"));
  return putText(value, allowNetworking_);
}
STDMETHODIMP FlashControl::put_AllowNetworking(BSTR value) {
  logCall(callText("put_AllowNetworking", value));
  allowNetworking_ = fromBstr(value);
  return S_OK;
}
STDMETHODIMP FlashControl::get_AllowFullScreen(BSTR* value) {
  logCall(callText("get_AllowFullScreen"));
  return putText(value, allowFullScreen_);
}
STDMETHODIMP FlashControl::put_AllowFullScreen(BSTR value) {
  logCall(callText("put_AllowFullScreen", value));
  allowFullScreen_ = fromBstr(value);
  return S_OK;
}

// What the player does not offer: zooming and panning, inline movie objects, profiling and
// the local security switches.
STDMETHODIMP FlashControl::SetZoomRect(long left, long top, long right, long bottom) {
  logCall(callText("SetZoomRect", left, top, right, bottom));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::Zoom(int factor) {
  logCall(callText("Zoom", factor));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::Pan(long x, long y, int mode) {
  logCall(callText("Pan", x, y, mode));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::get_InlineData(IUnknown** value) {
  logCall(callText("get_InlineData"));
  if (value) *value = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::put_InlineData(IUnknown*) {
  logCall(callText("put_InlineData"));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::EnforceLocalSecurity() {
  logCall(callText("EnforceLocalSecurity"));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::DisableLocalSecurity() {
  logCall(callText("DisableLocalSecurity"));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::get_Profile(VARIANT_BOOL*) {
  logCall(callText("get_Profile"));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::put_Profile(VARIANT_BOOL value) {
  logCall(callText("put_Profile", int(value)));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::get_ProfileAddress(BSTR* value) {
  logCall(callText("get_ProfileAddress"));
  if (value) *value = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::put_ProfileAddress(BSTR value) {
  logCall(callText("put_ProfileAddress", value));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::get_ProfilePort(long*) {
  logCall(callText("get_ProfilePort"));
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::put_ProfilePort(long value) {
  logCall(callText("put_ProfilePort", value));
  return E_NOTIMPL;
}

// ---------------------------------------------------------------------------------------------
// IShockwaveFlash: timeline

long FlashControl::frameCount() const {
  Locked locked(lock_);
  const auto it = transfers_.find(0);
  if (it == transfers_.end() || !it->second.parsed) return 0;
  return it->second.movie.frameCount;
}

void FlashControl::gotoFrame(long frame) {
  const long frames = frameCount();
  if (frames == 0) return;
  frame_ = std::clamp(frame, 0L, frames - 1);
  invalidate();
}

void FlashControl::setPlaying(bool playing) {
  playing_ = playing && frameCount() > 0;
  updateTimer();
}

bool FlashControl::isRootTarget(BSTR target) const {
  const std::u16string name = lower(fromBstr(target));
  return name.empty() || name == u"/" || name == u"_root" || name == u"_level0";
}

STDMETHODIMP FlashControl::Play() {
  logCall(callText("Play"));
  playRequested_ = true;
  setPlaying(true);
  return S_OK;
}
STDMETHODIMP FlashControl::Stop() {
  logCall(callText("Stop"));
  playRequested_ = false;
  setPlaying(false);
  return S_OK;
}
STDMETHODIMP FlashControl::StopPlay() {
  logCall(callText("StopPlay"));
  playRequested_ = false;
  setPlaying(false);
  return S_OK;
}
STDMETHODIMP FlashControl::Back() {
  logCall(callText("Back"));
  setPlaying(false);
  gotoFrame(frame_ - 1);
  return S_OK;
}
STDMETHODIMP FlashControl::Forward() {
  logCall(callText("Forward"));
  setPlaying(false);
  gotoFrame(frame_ + 1);
  return S_OK;
}
STDMETHODIMP FlashControl::Rewind() {
  logCall(callText("Rewind"));
  setPlaying(false);
  gotoFrame(0);
  return S_OK;
}
STDMETHODIMP FlashControl::GotoFrame(long frame) {
  logCall(callText("GotoFrame", frame));
  setPlaying(false);
  gotoFrame(frame);
  return S_OK;
}
STDMETHODIMP FlashControl::CurrentFrame(long* frame) {
  logCall(callText("CurrentFrame"));
  return putValue(frame, frame_);
}
STDMETHODIMP FlashControl::IsPlaying(VARIANT_BOOL* playing) {
  logCall(callText("IsPlaying"));
  return putValue(playing, variantBool(playing_));
}
STDMETHODIMP FlashControl::PercentLoaded(long* percent) {
  logCall(callText("PercentLoaded"));
  Locked locked(lock_);
  const auto it = transfers_.find(0);
  long value = 0;
  if (it != transfers_.end()) {
    const Transfer& t = it->second;
    if (t.parsed) {
      value = 100;
    } else if (t.movie.fileLength > 0) {
      value = long(std::min<uint64_t>(99, uint64_t(t.bytes.size()) * 100 / t.movie.fileLength));
    }
  }
  return putValue(percent, value);
}
STDMETHODIMP FlashControl::FrameLoaded(long frame, VARIANT_BOOL* loaded) {
  logCall(callText("FrameLoaded", frame));
  Locked locked(lock_);
  const auto it = transfers_.find(0);
  const bool have = it != transfers_.end() && it->second.parsed && frame >= 0 &&
                    uint32_t(frame) < it->second.movie.framesLoaded;
  return putValue(loaded, variantBool(have));
}
STDMETHODIMP FlashControl::FlashVersion(long* version) {
  logCall(callText("FlashVersion"));
  return putValue(version, reportedVersion_);
}

STDMETHODIMP FlashControl::LoadMovie(int layer, BSTR url) {
  logCall(callText("LoadMovie", layer, url));
  if (layer < 0) return E_INVALIDARG;
  // A relative URL names a file beside the current movie.
  const std::u16string target = resolveUrl(fromBstr(url));
  if (layer == 0) movieUrl_ = target;
  startLoad(layer, target);
  return S_OK;
}

STDMETHODIMP FlashControl::TGotoFrame(BSTR target, long frame) {
  logCall(callText("TGotoFrame", target, frame));
  if (!isRootTarget(target) || frame < 0 || frame >= frameCount()) return E_FAIL;
  setPlaying(false);
  gotoFrame(frame);
  return S_OK;
}
STDMETHODIMP FlashControl::TGotoLabel(BSTR target, BSTR label) {
  logCall(callText("TGotoLabel", target, label));
  if (!isRootTarget(target)) return E_FAIL;
  const std::u16string wanted = fromBstr(label);
  long frame = -1;
  {
    Locked locked(lock_);
    const auto it = transfers_.find(0);
    if (it != transfers_.end() && it->second.parsed) {
      const auto utf8 = utf16ToUtf8(wanted);
      const auto& labels = it->second.movie.frameLabels;
      if (const auto l = labels.find(utf8); l != labels.end()) frame = long(l->second);
    }
  }
  if (frame < 0) return E_FAIL;
  setPlaying(false);
  gotoFrame(frame);
  return S_OK;
}
STDMETHODIMP FlashControl::TCurrentFrame(BSTR target, long* frame) {
  logCall(callText("TCurrentFrame", target));
  if (!isRootTarget(target)) return E_FAIL;
  return putValue(frame, frame_);
}
STDMETHODIMP FlashControl::TCurrentLabel(BSTR target, BSTR* label) {
  logCall(callText("TCurrentLabel", target));
  if (!isRootTarget(target)) return E_FAIL;
  std::string best;
  uint32_t bestFrame = 0;
  {
    Locked locked(lock_);
    const auto it = transfers_.find(0);
    if (it != transfers_.end() && it->second.parsed) {
      for (const auto& [name, at] : it->second.movie.frameLabels) {
        if (at <= uint32_t(frame_) && (best.empty() || at >= bestFrame)) {
          best = name;
          bestFrame = at;
        }
      }
    }
  }
  return putText(label, utf8ToUtf16(best).value_or(u""));
}
STDMETHODIMP FlashControl::TPlay(BSTR target) {
  logCall(callText("TPlay", target));
  if (!isRootTarget(target)) return E_FAIL;
  playRequested_ = true;
  setPlaying(true);
  return S_OK;
}
STDMETHODIMP FlashControl::TStopPlay(BSTR target) {
  logCall(callText("TStopPlay", target));
  if (!isRootTarget(target)) return E_FAIL;
  playRequested_ = false;
  setPlaying(false);
  return S_OK;
}
STDMETHODIMP FlashControl::TCallFrame(BSTR target, int frame) {
  logCall(callText("TCallFrame", target, frame));
  // The frame's actions would run here; the frame must exist.
  return isRootTarget(target) && frame >= 0 && frame < frameCount() ? S_OK : E_FAIL;
}
STDMETHODIMP FlashControl::TCallLabel(BSTR target, BSTR label) {
  logCall(callText("TCallLabel", target, label));
  if (!isRootTarget(target)) return E_FAIL;
  Locked locked(lock_);
  const auto it = transfers_.find(0);
  if (it == transfers_.end() || !it->second.parsed) return E_FAIL;
  return it->second.movie.frameLabels.count(utf16ToUtf8(fromBstr(label))) ? S_OK : E_FAIL;
}

// ---------------------------------------------------------------------------------------------
// IShockwaveFlash: variables, properties and external calls

STDMETHODIMP FlashControl::SetVariable(BSTR name, BSTR value) {
  logCall(callText("SetVariable", name, value));
  if (fromBstr(name).empty()) return E_INVALIDARG;
  Locked locked(lock_);
  variables_[fromBstr(name)] = fromBstr(value);
  return S_OK;
}

STDMETHODIMP FlashControl::GetVariable(BSTR name, BSTR* value) {
  logCall(callText("GetVariable", name));
  if (!value) return E_POINTER;
  *value = nullptr;
  const std::u16string key = fromBstr(name);
  if (key == u"$version") {
    const long major = (reportedVersion_ >> 16) & 0xFF, minor = (reportedVersion_ >> 8) & 0xFF,
               build = reportedVersion_ & 0xFF;
    return putText(value, u"WIN " + toDecimal(major) + u"," + toDecimal(minor) + u"," +
                              toDecimal(build) + u",0");
  }
  Locked locked(lock_);
  const auto it = variables_.find(key);
  if (it == variables_.end()) return E_FAIL;  // undefined in the movie
  return putText(value, it->second);
}

// Properties by index as the timeline-property calls number them.
STDMETHODIMP FlashControl::TSetProperty(BSTR target, int property, BSTR value) {
  logCall(callText("TSetProperty", target, property, value));
  if (property < 0 || property > 21) return E_INVALIDARG;
  Locked locked(lock_);
  properties_[{lower(fromBstr(target)), property}] = fromBstr(value);
  return S_OK;
}

STDMETHODIMP FlashControl::TGetProperty(BSTR target, int property, BSTR* value) {
  logCall(callText("TGetProperty", target, property));
  if (!value) return E_POINTER;
  *value = nullptr;
  std::u16string text;
  const HRESULT hr = propertyText(target, property, text);
  return FAILED(hr) ? hr : putText(value, text);
}

HRESULT FlashControl::propertyText(BSTR target, int property, std::u16string& text) {
  if (property < 0 || property > 21) return E_INVALIDARG;
  {
    Locked locked(lock_);
    const auto it = properties_.find({lower(fromBstr(target)), property});
    if (it != properties_.end()) {
      text = it->second;
      return S_OK;
    }
  }
  if (!isRootTarget(target)) return E_FAIL;
  switch (property) {
    case 4:  // _currentframe, 1-based
      text = toDecimal(frameCount() ? frame_ + 1 : 0);
      break;
    case 5:  // _totalframes
      text = toDecimal(frameCount());
      break;
    case 12: {  // _framesloaded
      Locked locked(lock_);
      const auto it = transfers_.find(0);
      text = toDecimal(it != transfers_.end() && it->second.parsed ? it->second.movie.framesLoaded
                                                                   : 0);
      break;
    }
    case 11:  // _target
      text = u"/";
      break;
    case 15:  // _url
      text = movieUrl_;
      break;
    case 2:  // _xscale
    case 3:  // _yscale
    case 6:  // _alpha
      text = u"100";
      break;
    case 7:  // _visible
      text = u"1";
      break;
    default:
      text = u"0";
      break;
  }
  return S_OK;
}

STDMETHODIMP FlashControl::TSetPropertyNum(BSTR target, int property, double value) {
  logCall(callText("TSetPropertyNum", target, property, value));
  if (property < 0 || property > 21) return E_INVALIDARG;
  Locked locked(lock_);
  properties_[{lower(fromBstr(target)), property}] = argText(value);
  return S_OK;
}

STDMETHODIMP FlashControl::TGetPropertyNum(BSTR target, int property, double* value) {
  logCall(callText("TGetPropertyNum", target, property));
  return propertyNumber(target, property, value);
}

STDMETHODIMP FlashControl::TGetPropertyAsNumber(BSTR target, int property, double* value) {
  logCall(callText("TGetPropertyAsNumber", target, property));
  return propertyNumber(target, property, value);
}

HRESULT FlashControl::propertyNumber(BSTR target, int property, double* value) {
  if (!value) return E_POINTER;
  std::u16string text;
  const HRESULT hr = propertyText(target, property, text);
  if (FAILED(hr)) return hr;
  *value = std::strtod(std::string(text.begin(), text.end()).c_str(), nullptr);
  return S_OK;
}

STDMETHODIMP FlashControl::CallFunction(BSTR request, BSTR* response) {
  logCall(callText("CallFunction", request));
  // The movie's answer; without a script engine it is what the test interface set.
  return putText(response, callFunctionAnswer_);
}

STDMETHODIMP FlashControl::SetReturnValue(BSTR value) {
  logCall(callText("SetReturnValue", value));
  returnValue_ = fromBstr(value);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// IPlayerTest

STDMETHODIMP FlashControl::RaiseFlashCall(BSTR request, BSTR* reply) {
  returnValue_.clear();
  VARIANT arg;
  arg.vt = VT_BSTR;
  arg.bstrVal = request;
  fireEvent(kDispidFlashCall, &arg, 1);
  return reply ? putText(reply, returnValue_) : S_OK;
}

STDMETHODIMP FlashControl::RaiseFSCommand(BSTR command, BSTR args) {
  VARIANT params[2];
  params[0].vt = VT_BSTR;  // arguments in reverse order
  params[0].bstrVal = args;
  params[1].vt = VT_BSTR;
  params[1].bstrVal = command;
  fireEvent(kDispidFSCommand, params, 2);
  return S_OK;
}

STDMETHODIMP FlashControl::RaiseProgress(long percentDone) {
  fireProgress(percentDone);
  return S_OK;
}

STDMETHODIMP FlashControl::RaiseReadyStateChange(long newState) {
  fireReadyState(newState);
  return S_OK;
}

STDMETHODIMP FlashControl::SetReportedVersion(long version) {
  reportedVersion_ = version;
  return S_OK;
}

STDMETHODIMP FlashControl::SetCallFunctionAnswer(BSTR answer) {
  callFunctionAnswer_ = fromBstr(answer);
  return S_OK;
}

STDMETHODIMP FlashControl::GetCallCount(long* count) {
  Locked locked(lock_);
  return putValue(count, long(log_.size()));
}

STDMETHODIMP FlashControl::GetCall(long index, BSTR* text) {
  Locked locked(lock_);
  if (index < 0 || size_t(index) >= log_.size()) return E_INVALIDARG;
  return putText(text, log_[index]);
}

STDMETHODIMP FlashControl::ClearCallLog() {
  Locked locked(lock_);
  log_.clear();
  return S_OK;
}

STDMETHODIMP FlashControl::GetMovieInfo(PlayerMovieInfo* info) {
  if (!info) return E_POINTER;
  Locked locked(lock_);
  *info = PlayerMovieInfo{readyState_, 0, 0, 0, 0, 0, 0, 0, -1, 0, kFetchNone};
  const auto it = transfers_.find(0);
  if (it == transfers_.end()) return S_OK;
  const Transfer& t = it->second;
  info->bytesLoaded = long(t.bytes.size());
  info->loadState = t.url.empty() ? kFetchNone
                    : t.failed    ? kFetchFailed
                    : t.active    ? kFetchLoading
                                  : kFetchDone;
  if (!t.parsed) return S_OK;
  const SwfMovie& m = t.movie;
  info->swfVersion = m.version;
  info->compressed = m.compressed;
  info->widthTwips = m.xMax - m.xMin;
  info->heightTwips = m.yMax - m.yMin;
  info->frameRate = m.frameRate;
  info->frameCount = m.frameCount;
  info->framesLoaded = long(m.framesLoaded);
  info->backgroundColor = m.backgroundColor ? long(*m.backgroundColor) : -1;
  return S_OK;
}

STDMETHODIMP FlashControl::LoadLibraryThroughImports(const char* name, HMODULE* module) {
  if (!module) return E_POINTER;
  *module = LoadLibraryA(name);
  return *module ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

STDMETHODIMP FlashControl::GetModuleHandleThroughImports(const char* name, HMODULE* module) {
  if (!module) return E_POINTER;
  *module = GetModuleHandleA(name);
  return *module ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

STDMETHODIMP FlashControl::FetchResource(BSTR url) {
  startLoad(kFetchSlot, resolveUrl(fromBstr(url)));
  return S_OK;
}

STDMETHODIMP FlashControl::GetFetchedResource(long* state, BSTR* bytes) {
  if (!state || !bytes) return E_POINTER;
  Locked locked(lock_);
  *bytes = nullptr;
  const auto it = transfers_.find(kFetchSlot);
  if (it == transfers_.end()) {
    *state = kFetchNone;
    return S_OK;
  }
  const Transfer& t = it->second;
  *state = t.failed ? kFetchFailed : t.active ? kFetchLoading : kFetchDone;
  if (*state == kFetchDone) {
    *bytes =
        SysAllocStringByteLen(reinterpret_cast<const char*>(t.bytes.data()), UINT(t.bytes.size()));
  }
  return S_OK;
}

STDMETHODIMP FlashControl::SetMenuPopups(BOOL enabled) {
  menuPopups_ = enabled != FALSE;
  return S_OK;
}

STDMETHODIMP FlashControl::SetAcceleratorKey(UINT virtualKey) {
  acceleratorKey_ = virtualKey;
  return S_OK;
}

// FlashVars become variables of the movie when it starts.
void FlashControl::applyFlashVars() {
  const std::u16string& vars = flashVars_;
  auto& into = variables_;
  size_t start = 0;
  while (start <= vars.size()) {
    size_t end = vars.find(u'&', start);
    if (end == std::u16string::npos) end = vars.size();
    const std::u16string_view pair(vars.data() + start, end - start);
    const size_t eq = pair.find(u'=');
    if (!pair.empty() && eq != 0) {
      const auto name = urlDecode(pair.substr(0, eq));
      into[name] = eq == std::u16string_view::npos ? u"" : urlDecode(pair.substr(eq + 1));
    }
    start = end + 1;
  }
}

}  // namespace nxr::player
