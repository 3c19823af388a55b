// The OLE control side: siting, in-place activation (windowed with the control's own child
// window, or windowless through the site), drawing, hit testing, input and the frame timer.
#include <windowsx.h>

#include <algorithm>
#include <cwctype>

#include "flash_control.h"
#include "support/text.h"

namespace nxr::player {
namespace {

constexpr char kStageClassName[] = "NxrPlayerStage";

std::u16string rectText(const RECT* r) {
  if (!r) return u"null";
  return toDecimal(r->left) + u"," + toDecimal(r->top) + u"," + toDecimal(r->right) + u"," +
         toDecimal(r->bottom);
}

template <typename... Args>
std::u16string text(const char* name, const Args&... args) {
  std::u16string t = asU16(name) + u"(";
  bool first = true;
  ((t += (first ? u"" : u","), t += args, first = false), ...);
  return t + u")";
}
std::u16string num(long long value) { return toDecimal(value); }

// The stage window class, registered once for the module through the import table's ANSI
// functions, with the module's own handle, cursor and background.
ATOM stageClass = 0;
HCURSOR stageCursor = nullptr;

LRESULT CALLBACK stageWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* control = reinterpret_cast<FlashControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    control = static_cast<FlashControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  }
  if (msg == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (!control) return DefWindowProcA(window, msg, wParam, lParam);
  return control->stageWindowMessage(window, msg, wParam, lParam);
}

bool registerStageClass() {
  if (stageClass) return true;
  stageCursor = LoadCursorA(moduleHandle(), MAKEINTRESOURCEA(kStageCursorId));
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = stageWindowProc;
  wc.hInstance = moduleHandle();
  wc.hCursor = stageCursor;
  wc.lpszClassName = kStageClassName;
  stageClass = RegisterClassExA(&wc);
  return stageClass != 0;
}

// The control's message-only window: frame timer ticks, and work that transfers on other
// threads hand to the thread that created the control.
constexpr char kNotifyClassName[] = "NxrPlayerNotify";
constexpr UINT kRunQueuedMessage = WM_APP + 1;
constexpr UINT_PTR kFrameTimerId = 1;
ATOM notifyClass = 0;

LRESULT CALLBACK notifyWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* control = reinterpret_cast<FlashControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (control && msg == WM_TIMER && wParam == kFrameTimerId) {
    control->onFrameTimer();
    return 0;
  }
  if (control && msg == kRunQueuedMessage) {
    control->runQueued();
    return 0;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

bool isInputMessage(UINT msg) {
  return (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) ||
         (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || msg == WM_CONTEXTMENU;
}

}  // namespace

void unregisterStageClass() {
  if (stageClass) UnregisterClassA(kStageClassName, moduleHandle());
  if (notifyClass) UnregisterClassA(kNotifyClassName, moduleHandle());
  stageClass = notifyClass = 0;
}

HWND createNotifyWindow(FlashControl* control) {
  if (!notifyClass) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = notifyWindowProc;
    wc.hInstance = moduleHandle();
    wc.lpszClassName = kNotifyClassName;
    notifyClass = RegisterClassExA(&wc);
  }
  HWND window = CreateWindowExA(0, kNotifyClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                moduleHandle(), nullptr);
  if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  return window;
}

void FlashControl::runOnOwnerThread(std::function<void()> task) {
  if (GetCurrentThreadId() == ownerThread_ || !notifyWindow_) {
    task();
    return;
  }
  {
    Locked locked(lock_);
    queued_.push_back(std::move(task));
  }
  PostMessageA(notifyWindow_, kRunQueuedMessage, 0, 0);
}

void FlashControl::runQueued() {
  std::vector<std::function<void()>> tasks;
  {
    Locked locked(lock_);
    tasks.swap(queued_);
  }
  for (auto& task : tasks) task();
}

// ---------------------------------------------------------------------------------------------
// Timeline timer

void FlashControl::updateTimer() {
  long rate = 0;
  {
    Locked locked(lock_);
    const auto it = transfers_.find(0);
    if (it != transfers_.end() && it->second.parsed) rate = it->second.movie.frameRate;
  }
  const UINT interval = rate > 0 ? UINT(std::clamp(256L * 1000 / rate, 1L, 60000L)) : 1000 / 12;
  const bool wanted = playing_ && frameCount() > 1;
  if (timer_ && (!wanted || interval != timerInterval_)) {
    KillTimer(notifyWindow_, kFrameTimerId);
    timer_ = 0;
  }
  if (wanted && !timer_ && notifyWindow_) {
    timer_ = SetTimer(notifyWindow_, kFrameTimerId, interval, nullptr);
    timerInterval_ = interval;
  }
}

void FlashControl::onFrameTimer() {
  const long frames = frameCount();
  if (!playing_ || frames == 0) return;
  if (frame_ + 1 < frames) {
    frame_ += 1;
  } else if (loop_) {
    frame_ = 0;
  } else {
    setPlaying(false);
    return;
  }
  invalidate();
}

// ---------------------------------------------------------------------------------------------
// IOleObject

STDMETHODIMP FlashControl::SetClientSite(IOleClientSite* site) {
  logCall(text("SetClientSite", site ? u"site" : u"null"));
  clientSite_ = site;
  return S_OK;
}
STDMETHODIMP FlashControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = clientSite_.get();
  if (*site) (*site)->AddRef();
  return S_OK;
}
STDMETHODIMP FlashControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }
STDMETHODIMP FlashControl::Close(DWORD saveOption) {
  logCall(text("Close", num(saveOption)));
  deactivate();
  setPlaying(false);
  return S_OK;
}
STDMETHODIMP FlashControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
STDMETHODIMP FlashControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
STDMETHODIMP FlashControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP FlashControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                  LPCRECT position) {
  logCall(text("DoVerb", num(verb), rectText(position)));
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
      return activate(true, site, parent, position);
    case OLEIVERB_INPLACEACTIVATE:
      return activate(false, site, parent, position);
    case OLEIVERB_HIDE:
      UIDeactivate();
      if (window_) ShowWindow(window_, SW_HIDE);
      return S_OK;
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}

STDMETHODIMP FlashControl::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs) *verbs = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP FlashControl::Update() { return S_OK; }
STDMETHODIMP FlashControl::IsUpToDate() { return S_OK; }
STDMETHODIMP FlashControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }
STDMETHODIMP FlashControl::GetUserType(DWORD, LPOLESTR* type) {
  if (type) *type = nullptr;
  return OLE_S_USEREG;
}
STDMETHODIMP FlashControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  logCall(text("SetExtent", num(aspect), num(size->cx), num(size->cy)));
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent_ = *size;
  return S_OK;
}
STDMETHODIMP FlashControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}
STDMETHODIMP FlashControl::Advise(IAdviseSink*, DWORD* connection) {
  if (connection) *connection = 0;
  return OLE_E_ADVISENOTSUPPORTED;
}
STDMETHODIMP FlashControl::Unadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }
STDMETHODIMP FlashControl::EnumAdvise(IEnumSTATDATA** advise) {
  if (advise) *advise = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}
STDMETHODIMP FlashControl::GetMiscStatus(DWORD aspect, DWORD* status) {
  logCall(text("GetMiscStatus", num(aspect)));
  if (!status) return E_POINTER;
  *status = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
            OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
  return S_OK;
}
STDMETHODIMP FlashControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---------------------------------------------------------------------------------------------
// Activation

HRESULT FlashControl::activate(bool uiActivate, IOleClientSite* site, HWND parent,
                               LPCRECT position) {
  if (!site) site = clientSite_.get();
  if (!site) return E_UNEXPECTED;
  if (!inPlaceActive_) {
    ComPtr<IOleInPlaceSite> inPlace;
    if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, inPlace.putVoid()))) return E_NOINTERFACE;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;

    // Windowless when the mode asks for it and the site can host such a control.
    const std::u16string mode = [&] {
      std::u16string m = wmode_;
      for (auto& ch : m) ch = char16_t(std::towlower(ch));
      return m;
    }();
    ComPtr<IOleInPlaceSiteWindowless> windowless;
    if ((mode == u"transparent" || mode == u"opaque") &&
        SUCCEEDED(site->QueryInterface(IID_IOleInPlaceSiteWindowless, windowless.putVoid())) &&
        windowless->CanWindowlessActivate() != S_OK) {
      windowless.reset();
    }
    ComPtr<IOleInPlaceSiteEx> siteEx;
    site->QueryInterface(IID_IOleInPlaceSiteEx, siteEx.putVoid());

    inPlaceSite_ = inPlace;
    windowless_ = bool(windowless);
    inPlaceActive_ = true;  // the site may call back (SetObjectRects) from the notification
    BOOL noRedraw = FALSE;
    HRESULT hr;
    if (windowless) {
      windowlessSite_ = windowless;
      hr = windowless->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
    } else if (siteEx) {
      hr = siteEx->OnInPlaceActivateEx(&noRedraw, 0);
    } else {
      hr = inPlace->OnInPlaceActivate();
    }
    if (FAILED(hr)) {
      inPlaceActive_ = windowless_ = false;
      windowlessSite_.reset();
      inPlaceSite_.reset();
      return hr;
    }

    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT pos{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    if (SUCCEEDED(inPlace->GetWindowContext(frame.put(), document.put(), &pos, &clip, &info))) {
      position_ = pos;
    }
    if (position) position_ = *position;
    if (!windowless_) {
      HWND owner = parent;
      if (!owner) inPlace->GetWindow(&owner);
      if (!createStageWindow(owner)) {
        deactivate();
        return E_FAIL;
      }
    }
    invalidate();
  }
  if (uiActivate && !uiActive_) {
    uiActive_ = true;
    if (inPlaceSite_) inPlaceSite_->OnUIActivate();
  }
  return S_OK;
}

bool FlashControl::createStageWindow(HWND parent) {
  if (!registerStageClass()) return false;
  window_ =
      CreateWindowExA(0, kStageClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                      position_.left, position_.top, position_.right - position_.left,
                      position_.bottom - position_.top, parent, nullptr, moduleHandle(), this);
  return window_ != nullptr;
}

void FlashControl::deactivate() {
  if (!inPlaceActive_) return;
  UIDeactivate();
  inPlaceActive_ = false;
  if (window_) {
    DestroyWindow(window_);
    window_ = nullptr;
  }
  ComPtr<IOleInPlaceSite> site = inPlaceSite_;
  ComPtr<IOleInPlaceSiteWindowless> windowless = windowlessSite_;
  inPlaceSite_.reset();
  windowlessSite_.reset();
  if (windowless) {
    windowless->OnInPlaceDeactivateEx(TRUE);
  } else if (site) {
    site->OnInPlaceDeactivate();
  }
  windowless_ = false;
}

void FlashControl::invalidate() {
  if (windowless_ && windowlessSite_) {
    windowlessSite_->InvalidateRect(&position_, FALSE);
  } else if (window_) {
    InvalidateRect(window_, nullptr, FALSE);
  }
  if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

// ---------------------------------------------------------------------------------------------
// IOleWindow, IOleInPlaceObject, IOleInPlaceObjectWindowless

STDMETHODIMP FlashControl::GetWindow(HWND* window) {
  logCall(text("GetWindow"));
  if (!window) return E_POINTER;
  *window = window_;
  return window_ ? S_OK : E_FAIL;
}
STDMETHODIMP FlashControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP FlashControl::InPlaceDeactivate() {
  logCall(text("InPlaceDeactivate"));
  deactivate();
  return S_OK;
}
STDMETHODIMP FlashControl::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}
STDMETHODIMP FlashControl::SetObjectRects(LPCRECT position, LPCRECT clip) {
  logCall(text("SetObjectRects", rectText(position), rectText(clip)));
  if (!position) return E_POINTER;
  position_ = *position;
  if (window_) {
    MoveWindow(window_, position_.left, position_.top, position_.right - position_.left,
               position_.bottom - position_.top, TRUE);
  }
  invalidate();
  return S_OK;
}
STDMETHODIMP FlashControl::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

STDMETHODIMP FlashControl::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam,
                                           LRESULT* result) {
  logCall(text("OnWindowMessage", num(msg), num(wParam), num(lParam)));
  if (!result) return E_POINTER;
  *result = 0;
  switch (msg) {
    case WM_SETCURSOR:
      if (!stageCursor) stageCursor = LoadCursorA(moduleHandle(), MAKEINTRESOURCEA(kStageCursorId));
      SetCursor(stageCursor);
      *result = TRUE;
      return S_OK;
    case WM_LBUTTONDOWN:
      if (windowlessSite_ && windowlessSite_->SetCapture(TRUE) == S_OK) mouseCaptured_ = true;
      if (windowlessSite_) windowlessSite_->SetFocus(TRUE);
      return S_OK;
    case WM_LBUTTONUP:
      if (mouseCaptured_ && windowlessSite_) windowlessSite_->SetCapture(FALSE);
      mouseCaptured_ = false;
      return S_OK;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (msg == WM_RBUTTONUP && inPlaceSite_) {  // client point of the site's window
        HWND host = nullptr;
        inPlaceSite_->GetWindow(&host);
        ClientToScreen(host, &point);
      }
      showContextMenu(point);
      return S_OK;
    }
    case WM_KEYDOWN:
      if (wParam == VK_APPS) {
        POINT point{position_.left, position_.top};
        showContextMenu(point);
        return S_OK;
      }
      return S_FALSE;
    default:
      if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) return S_OK;
      return S_FALSE;  // the site does the default processing
  }
}

STDMETHODIMP FlashControl::GetDropTarget(IDropTarget** target) {
  if (target) *target = nullptr;
  return E_NOTIMPL;
}

// ---------------------------------------------------------------------------------------------
// IOleInPlaceActiveObject

STDMETHODIMP FlashControl::TranslateAccelerator(LPMSG msg) {
  if (!msg) return E_POINTER;
  logCall(text("TranslateAccelerator", num(msg->message), num(msg->wParam)));
  if (acceleratorKey_ && msg->message == WM_KEYDOWN && msg->wParam == acceleratorKey_) return S_OK;
  return S_FALSE;
}
STDMETHODIMP FlashControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP FlashControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP FlashControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP FlashControl::EnableModeless(BOOL) { return S_OK; }

// ---------------------------------------------------------------------------------------------
// IViewObject, IViewObject2, IViewObjectEx

COLORREF FlashControl::stageColor() const {
  long color = backgroundColor_;
  if (color < 0) {
    Locked locked(lock_);
    const auto it = transfers_.find(0);
    color = it != transfers_.end() && it->second.parsed && it->second.movie.backgroundColor
                ? long(*it->second.movie.backgroundColor)
                : 0xFFFFFF;
  }
  return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

StageLook FlashControl::look() const {
  std::u16string mode = wmode_;
  for (auto& ch : mode) ch = char16_t(std::towlower(ch));
  return StageLook{stageColor(), windowless_ && mode == u"transparent", frame_, frameCount()};
}

STDMETHODIMP FlashControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc,
                                LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                ULONG_PTR) {
  RECT stage = position_;
  if (bounds) stage = RECT{bounds->left, bounds->top, bounds->right, bounds->bottom};
  logCall(text("Draw", num(aspect), rectText(&stage)));
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!drawDc) return E_INVALIDARG;
  drawStage(drawDc, stage, look());
  return S_OK;
}

STDMETHODIMP FlashControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                       LOGPALETTE** colors) {
  if (colors) *colors = nullptr;
  return S_FALSE;
}
STDMETHODIMP FlashControl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP FlashControl::Unfreeze(DWORD) { return E_NOTIMPL; }
STDMETHODIMP FlashControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  logCall(text("SetAdvise", num(aspects), num(flags), sink ? u"sink" : u"null"));
  viewSink_ = sink;
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}
STDMETHODIMP FlashControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) {
    *sink = viewSink_.get();
    if (*sink) (*sink)->AddRef();
  }
  return S_OK;
}
STDMETHODIMP FlashControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}
STDMETHODIMP FlashControl::GetRect(DWORD aspect, LPRECTL rect) {
  if (!rect) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *rect = RECTL{position_.left, position_.top, position_.right, position_.bottom};
  return S_OK;
}
STDMETHODIMP FlashControl::GetViewStatus(DWORD* status) {
  if (!status) return E_POINTER;
  *status = look().transparent ? 0 : VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
  return S_OK;
}
STDMETHODIMP FlashControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG,
                                         DWORD* hit) {
  logCall(text("QueryHitPoint", num(aspect), num(point.x), num(point.y)));
  if (!bounds || !hit) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  // A transparent stage is hit only where the control draws: on its marker.
  const RECT area = look().transparent ? markerRect(*bounds) : *bounds;
  *hit = PtInRect(&area, point) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}
STDMETHODIMP FlashControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG,
                                        DWORD* hit) {
  if (!bounds || !rect || !hit) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  const RECT area = look().transparent ? markerRect(*bounds) : *bounds;
  RECT overlap;
  *hit = IntersectRect(&overlap, &area, rect) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}
STDMETHODIMP FlashControl::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*,
                                            LPSIZEL) {
  return E_NOTIMPL;
}

// ---------------------------------------------------------------------------------------------
// IObjectWithSite

STDMETHODIMP FlashControl::SetSite(IUnknown* site) {
  logCall(text("SetSite", site ? u"site" : u"null"));
  site_ = site;
  return S_OK;
}
STDMETHODIMP FlashControl::GetSite(REFIID iid, void** site) {
  if (!site) return E_POINTER;
  *site = nullptr;
  return site_ ? site_->QueryInterface(iid, site) : E_FAIL;
}

// ---------------------------------------------------------------------------------------------
// IPersist, IPersistStreamInit, IPersistPropertyBag: the control starts empty; a property bag
// may name the movie and the common parameters.

STDMETHODIMP FlashControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = kClsidShockwaveFlash;
  return S_OK;
}
STDMETHODIMP FlashControl::IsDirty() { return S_FALSE; }
STDMETHODIMP FlashControl::Load(LPSTREAM) { return E_NOTIMPL; }
STDMETHODIMP FlashControl::Save(LPSTREAM, BOOL) { return E_NOTIMPL; }
STDMETHODIMP FlashControl::GetSizeMax(ULARGE_INTEGER*) { return E_NOTIMPL; }
STDMETHODIMP FlashControl::InitNew() {
  logCall(text("InitNew"));
  return S_OK;
}
STDMETHODIMP FlashControl::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  struct {
    const wchar_t* name;
    HRESULT (STDMETHODCALLTYPE FlashControl::*put)(BSTR);
  } const texts[] = {
      {L"WMode", &FlashControl::put_WMode}, {L"BGColor", &FlashControl::put_BGColor},
      {L"Base", &FlashControl::put_Base},   {L"FlashVars", &FlashControl::put_FlashVars},
      {L"Scale", &FlashControl::put_Scale}, {L"Movie", &FlashControl::put_Movie}};
  for (const auto& entry : texts) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    if (SUCCEEDED(bag->Read(entry.name, &value, log)) && value.vt == VT_BSTR) {
      (this->*entry.put)(value.bstrVal);
    }
    VariantClear(&value);
  }
  return S_OK;
}
STDMETHODIMP FlashControl::Save(IPropertyBag*, BOOL, BOOL) { return E_NOTIMPL; }

// ---------------------------------------------------------------------------------------------
// The stage window of a windowed control, and the context menu

LRESULT FlashControl::stageWindowMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (isInputMessage(msg)) logCall(text("WindowMessage", num(msg), num(wParam), num(lParam)));
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:  // also when the container destroys its window first
      if (window == window_) window_ = nullptr;
      break;
    case WM_PAINT: {
      RECT client;
      GetClientRect(window, &client);
      if (wParam) {  // a caller's device context: draw the frame into it
        drawStage(reinterpret_cast<HDC>(wParam), client, look());
        return 0;
      }
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      drawStage(dc, client, look());
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        SetCursor(stageCursor);
        return TRUE;
      }
      break;
    case WM_MOUSEACTIVATE:
      if (!uiActive_) activate(true, nullptr, nullptr, nullptr);
      break;
    case WM_SETFOCUS:
      if (!uiActive_) activate(true, nullptr, nullptr, nullptr);
      return 0;
    case WM_RBUTTONUP: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(window, &point);
      showContextMenu(point);
      return 0;
    }
    case WM_CONTEXTMENU:
      showContextMenu(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_APPS) {
        POINT point{0, 0};
        ClientToScreen(window, &point);
        showContextMenu(point);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

void FlashControl::showContextMenu(POINT screenPoint) {
  logCall(text("ContextMenu"));
  if (!menuPopups_) return;
  ScopedMenu menu(LoadMenuA(moduleHandle(), MAKEINTRESOURCEA(kContextMenuId)));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu.get(), 0);
  HWND owner = window_;
  if (!owner && inPlaceSite_) inPlaceSite_->GetWindow(&owner);
  CheckMenuItem(popup, kMenuPlayId, MF_BYCOMMAND | (playing_ ? MF_CHECKED : MF_UNCHECKED));
  const UINT command = UINT(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                           screenPoint.x, screenPoint.y, 0, owner, nullptr));
  if (command == kMenuPlayId) {
    playRequested_ = !playing_;
    setPlaying(playRequested_);
  } else if (command == kMenuRewindId) {
    setPlaying(false);
    gotoFrame(0);
  }
}

STDMETHODIMP FlashControl::PaintThroughSite(DWORD flags) {
  if (!windowless_ || !windowlessSite_) return E_UNEXPECTED;
  HDC dc = nullptr;
  const HRESULT hr = windowlessSite_->GetDC(nullptr, flags, &dc);
  if (FAILED(hr)) return hr;
  if (!(flags & OLEDC_NODRAW)) drawStage(dc, position_, look());
  return windowlessSite_->ReleaseDC(dc);
}

}  // namespace nxr::player
