#include "moviehost/movie_host.h"

#include <mmsystem.h>

#include "moviehost/control_loader.h"
#include "moviehost/movie_registry.h"

namespace nxr {
namespace {

constexpr DWORD kTransparentStyle = 0x1;
constexpr DWORD kWantAllKeysStyle = 0x2;
constexpr UINT kRedrawAll =
    RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME;

int screenDpi(int index) {
  ScopedGetDc screen(nullptr);
  const int dpi = screen.get() ? GetDeviceCaps(screen.get(), index) : 96;
  return dpi > 0 ? dpi : 96;
}

// Lists the one hosted control for IOleContainer::EnumObjects.
class SingleControlEnumerator final : public IEnumUnknown {
 public:
  explicit SingleControlEnumerator(IUnknown* control, ULONG position = 0)
      : control_(control), position_(position) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumUnknown) {
      *object = static_cast<IEnumUnknown*>(this);
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
  STDMETHODIMP Next(ULONG count, IUnknown** items, ULONG* fetched) override {
    ULONG given = 0;
    if (count > 0 && position_ == 0 && control_) {
      items[0] = control_.get();
      items[0]->AddRef();
      given = 1;
      position_ = 1;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    position_ += count;
    return position_ <= 1 ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumUnknown** copy) override {
    if (!copy) return E_POINTER;
    *copy = new SingleControlEnumerator(control_.get(), position_);
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
  ComPtr<IUnknown> control_;
  ULONG position_;
};

}  // namespace

// The host window's subclass: every message after WM_CREATE; deletes the host on WM_NCDESTROY.
class MovieHost::HostSubclass final : public WindowSubclass {
 public:
  explicit HostSubclass(MovieHost* host) : host_(host) {}
  LRESULT windowProcedure(HWND, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_NCDESTROY) {
      const LRESULT result = defaultProcessing(host_->window_, message, wParam, lParam);
      delete host_;  // deletes this subclass too; its thunk is retired until the call returns
      return result;
    }
    return host_->windowProcedure(message, wParam, lParam);
  }

 private:
  MovieHost* host_;
};

// The control's own window in windowed mode: swallows context-menu input while it is disabled.
class MovieHost::ControlSubclass final : public WindowSubclass {
 public:
  explicit ControlSubclass(MovieHost* host) : host_(host) {}
  LRESULT windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    return host_->controlWindowProcedure(this, window, message, wParam, lParam);
  }

 private:
  MovieHost* host_;
};

LRESULT MovieHost::createForWindow(ControlLoader* loader, HWND window,
                                   const CREATESTRUCTW* create) {
  auto* host = new MovieHost(loader, window);
  return host->createControl(create);
}

MovieHost::MovieHost(ControlLoader* loader, HWND window) : loader_(loader), window_(window) {
  hostSubclass_ = std::make_unique<HostSubclass>(this);
  hostSubclass_->subclass(window);
  messageHook_ = std::make_unique<MessageHook>(&MovieHost::filterMessage, this);
  setEventListenerMessage_ = RegisterClipboardFormatA(kSetEventListenerMessage);
  callLoadExternalResourceMessage_ = RegisterClipboardFormatA(kCallLoadExternalResourceMessage);
  getObjectPointerMessage_ = RegisterClipboardFormatA(kGetObjectPointerMessage);
  user32_ = LoadLibraryA("user32.dll");
  if (user32_) {
    updateLayeredWindow_ =
        procedureCast<UpdateLayeredWindowProc>(GetProcAddress(user32_, "UpdateLayeredWindow"));
  }
  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR) {
    timerPeriod_ = std::min(caps.wPeriodMin, caps.wPeriodMax);
    if (timeBeginPeriod(timerPeriod_) != TIMERR_NOERROR) timerPeriod_ = 0;
  }
}

MovieHost::~MovieHost() {
  tearDown();
  if (timerPeriod_) timeEndPeriod(timerPeriod_);
  if (handedOutDc_ || offscreenWindowDc_) ReleaseDC(handedOutDc_);
  if (user32_) FreeLibrary(user32_);
  messageHook_.reset();
  controlSubclass_.reset();
  hostSubclass_.reset();
}

int MovieHost::controlMajorVersion() const {
  long version = 0;
  if (!flash() || FAILED(flash()->FlashVersion(&version))) return 0;
  return (version >> 16) & 0xFF;
}

LRESULT MovieHost::createControl(const CREATESTRUCTW* create) {
  transparent_ =
      create && ((create->dwExStyle & WS_EX_LAYERED) || (create->style & kTransparentStyle));
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto getClassObject = procedureCast<GetClassObject>(loader_->getProcAddress("DllGetClassObject"));
  if (!getClassObject) return 0;
  ComPtr<IClassFactory> factory;
  if (FAILED(getClassObject(player::kClsidShockwaveFlash, IID_IClassFactory, factory.putVoid())) ||
      !factory) {
    return 0;
  }
  if (FAILED(factory->CreateInstance(nullptr, IID_IUnknown, control_.putVoid())) || !control_) {
    control_.reset();
    return 0;
  }
  factory.reset();
  for (auto& family : flash_) control_.as(player::kIidShockwaveFlash, family);

  if (flash()) {
    BSTR mode = SysAllocString(transparent_ ? L"Transparent" : L"Window");
    flash()->put_WMode(mode);
    SysFreeString(mode);
  }

  ComPtr<IConnectionPointContainer> points;
  if (SUCCEEDED(control_.as(IID_IConnectionPointContainer, points))) {
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(points->FindConnectionPoint(player::kDiidShockwaveFlashEvents, point.put())) &&
        SUCCEEDED(point->Advise(static_cast<IOleClientSite*>(this), &cookie_))) {
      advised_ = true;
    }
  }

  if (SUCCEEDED(control_.as(IID_IOleObject, oleObject_))) {
    oleObject_->GetMiscStatus(DVASPECT_CONTENT, &miscStatus_);
    oleObject_->SetClientSite(static_cast<IOleClientSite*>(this));
    control_.as(IID_IViewObject, viewObject_);
    if (SUCCEEDED(control_.as(IID_IViewObjectEx, viewObjectEx_))) {
      viewLevel_ = 7;
    } else {
      ComPtr<IViewObject2> view2;
      viewLevel_ = SUCCEEDED(control_.as(IID_IViewObject2, view2)) ? 3 : (viewObject_ ? 1 : 0);
    }
    if (!(miscStatus_ & OLEMISC_INVISIBLEATRUNTIME)) {
      GetClientRect(window_, &position_);
      extentPixels_ = {position_.right - position_.left, position_.bottom - position_.top};
      convertToHimetric();
      oleObject_->SetExtent(DVASPECT_CONTENT, &extentHimetric_);
      oleObject_->GetExtent(DVASPECT_CONTENT, &extentHimetric_);
      convertFromHimetric();
      position_.right = position_.left + extentPixels_.cx;
      position_.bottom = position_.top + extentPixels_.cy;
      oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                         window_, &position_);
      RedrawWindow(window_, nullptr, nullptr, kRedrawAll);
    }
  }

  ComPtr<IObjectWithSite> withSite;
  if (SUCCEEDED(control_.as(IID_IObjectWithSite, withSite))) {
    withSite->SetSite(static_cast<IOleClientSite*>(this));
  }

  if (!transparent_) {
    ComPtr<IOleWindow> oleWindow;
    HWND controlWindow = nullptr;
    if (SUCCEEDED(control_.as(IID_IOleWindow, oleWindow)) &&
        SUCCEEDED(oleWindow->GetWindow(&controlWindow)) && controlWindow) {
      controlSubclass_ = std::make_unique<ControlSubclass>(this);
      controlSubclass_->subclass(controlWindow);
    }
  }
  return 1;
}

void MovieHost::convertToHimetric() {
  extentHimetric_.cx = MulDiv(2540, extentPixels_.cx, screenDpi(LOGPIXELSX));
  extentHimetric_.cy = MulDiv(2540, extentPixels_.cy, screenDpi(LOGPIXELSY));
}

void MovieHost::convertFromHimetric() {
  extentPixels_.cx = MulDiv(extentHimetric_.cx, screenDpi(LOGPIXELSX), 2540);
  extentPixels_.cy = MulDiv(extentHimetric_.cy, screenDpi(LOGPIXELSY), 2540);
}

void MovieHost::tearDown() {
  if (tearingDown_) return;
  tearingDown_ = true;
  if (viewObject_) viewObject_->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
  if (oleObject_) {
    oleObject_->Close(OLECLOSE_NOSAVE);
    oleObject_->SetClientSite(nullptr);
  }
  ComPtr<IObjectWithSite> withSite;
  if (control_ && SUCCEEDED(control_.as(IID_IObjectWithSite, withSite))) withSite->SetSite(nullptr);
  site_.reset();
  inPlaceActive_ = windowless_ = uiActive_ = false;
  if (accelerators_) {
    DestroyAcceleratorTable(accelerators_);
    accelerators_ = nullptr;
  }
  if (advised_) {
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(control_.as(IID_IConnectionPointContainer, points)) &&
        SUCCEEDED(points->FindConnectionPoint(player::kDiidShockwaveFlashEvents, point.put()))) {
      point->Unadvise(cookie_);
    }
    advised_ = false;
  }
  for (auto& family : flash_) family.reset();
  windowlessObject_.reset();
  inPlaceObject_.reset();
  viewObjectEx_.reset();
  viewObject_.reset();
  oleObject_.reset();
  control_.reset();
}

// --- window procedure -------------------------------------------------------------------------

LRESULT MovieHost::defaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) {
  return hostSubclass_->defaultProcessing(window_, message, wParam, lParam);
}

LRESULT MovieHost::windowProcedure(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      if (GetWindowLongA(window_, GWL_STYLE) & kWantAllKeysStyle) return DLGC_WANTALLKEYS;
      return defaultProcessing(message, wParam, lParam);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      return onPaint();
    case WM_SIZE:
      onSize(lParam);
      return defaultProcessing(message, wParam, lParam);
    case WM_MOUSEACTIVATE:
      return onMouseActivate(wParam, lParam);
    case WM_SETFOCUS:
      activate();
      return defaultProcessing(message, wParam, lParam);
    case WM_KILLFOCUS:
      hasFocus_ = false;
      return defaultProcessing(message, wParam, lParam);
    case WM_RBUTTONUP:
      if (!contextMenuEnabled_) return 0;
      break;
    default:
      break;
  }
  LRESULT result = 0;
  if ((message >= 0x1401 && message <= 0x140F) ||
      (message >= MHM_FIRST_CONTROL_MESSAGE && message <= MHM_LAST_CONTROL_MESSAGE)) {
    if (handleHostMessage(message, lParam, &result)) return result;
  }
  if (message == setEventListenerMessage_) {
    const auto* block = reinterpret_cast<const EventListenerBlock*>(lParam);
    SectionGuard guard(lock_);
    listener_ = block ? block->procedure : nullptr;
    listenerUser_ = block ? block->user : nullptr;
    return 1;
  }
  if (message == callLoadExternalResourceMessage_) {
    return onLoadExternalResource(reinterpret_cast<LoadExternalResourceRequest*>(lParam));
  }
  if (message == getObjectPointerMessage_) {
    if (lParam) *reinterpret_cast<MovieHost**>(lParam) = this;
    return 1;
  }
  if (forwardWindowlessInput(message, wParam, lParam, &result)) return result;
  if (message == WM_DESTROY) {
    tearDown();
    return defaultProcessing(message, wParam, lParam);
  }
  return defaultProcessing(message, wParam, lParam);
}

void MovieHost::onSize(LPARAM lParam) {
  const int width = static_cast<short>(LOWORD(lParam));
  const int height = static_cast<short>(HIWORD(lParam));
  position_.right = position_.left + width;
  position_.bottom = position_.top + height;
  extentPixels_ = {width, height};
  convertToHimetric();
  if (oleObject_) oleObject_->SetExtent(DVASPECT_CONTENT, &extentHimetric_);
  if (inPlaceObject_) inPlaceObject_->SetObjectRects(&position_, &position_);
  if (windowless_) InvalidateRect(nullptr, TRUE);
}

void MovieHost::activate() {
  hasFocus_ = true;
  if (tearingDown_) return;
  if (oleObject_ && !uiActive_) {
    oleObject_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, window_,
                       &position_);
  }
  if (windowless_) {
    ::SetFocus(window_);
  } else {
    HWND focused = ::GetFocus();
    if (!focused || !IsChild(window_, focused)) {
      HWND child = ::GetWindow(window_, GW_CHILD);
      if (child) ::SetFocus(child);
    }
  }
}

LRESULT MovieHost::onMouseActivate(WPARAM wParam, LPARAM lParam) {
  if (miscStatus_ & OLEMISC_NOUIACTIVATE) {
    if (oleObject_ && !inPlaceActive_) {
      oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                         window_, &position_);
    }
  } else {
    activate();
  }
  return defaultProcessing(WM_MOUSEACTIVATE, wParam, lParam);
}

void MovieHost::filterMessage(void* owner, MSG* message) {
  auto* host = static_cast<MovieHost*>(owner);
  if (!message || message->message < WM_KEYDOWN || message->message > 0x108 || !host->hasFocus_ ||
      !host->control_) {
    return;
  }
  ComPtr<IOleInPlaceActiveObject> active;
  if (SUCCEEDED(host->control_.as(IID_IOleInPlaceActiveObject, active)) &&
      active->TranslateAccelerator(message) == S_OK) {
    message->message = WM_NULL;
  }
}

LRESULT MovieHost::controlWindowProcedure(ControlSubclass* subclass, HWND window, UINT message,
                                          WPARAM wParam, LPARAM lParam) {
  if (!controlContextMenuEnabled_ &&
      (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP || message == WM_CONTEXTMENU ||
       (message == WM_KEYDOWN && wParam == VK_APPS))) {
    return 0;
  }
  return subclass->defaultProcessing(window, message, wParam, lParam);
}

bool MovieHost::forwardWindowlessInput(UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT* result) {
  if (!inPlaceActive_ || !windowless_ || !windowlessObject_) return false;
  const bool mouse = (message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL) ||
                     message == WM_SETCURSOR || message == WM_CONTEXTMENU;
  if (mouse) {
    bool hit = captured_;
    if (!hit) {
      if (!viewObjectEx_) return false;
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      DWORD hitResult = 0;
      hit = SUCCEEDED(
                viewObjectEx_->QueryHitPoint(DVASPECT_CONTENT, &position_, point, 0, &hitResult)) &&
            hitResult == HITRESULT_HIT;
    }
    if (!hit) return false;
    if (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP || message == WM_CONTEXTMENU) {
      if (!contextMenuEnabled_) {
        *result = 0;
        return true;
      }
      if (message == WM_CONTEXTMENU) return false;
    }
    LRESULT ignored = 0;
    windowlessObject_->OnWindowMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(window_),
                                       MAKELPARAM(HTCLIENT, message), &ignored);
    *result = 0;
    windowlessObject_->OnWindowMessage(message, wParam, lParam, result);
    return true;
  }
  const bool keyboard = (message >= WM_KEYDOWN && message <= WM_SYSCHAR) ||
                        message == WM_SYSDEADCHAR || message == WM_HELP ||
                        message == WM_CANCELMODE || (message >= 0x281 && message <= 0x291);
  if (!keyboard || !hasFocus_) return false;
  if (message == WM_KEYDOWN && wParam == VK_APPS && !contextMenuEnabled_) {
    *result = 0;
    return true;
  }
  LRESULT answer = 0;
  if (windowlessObject_->OnWindowMessage(message, wParam, lParam, &answer) == S_FALSE) {
    return false;
  }
  *result = answer;
  return true;
}

// --- IUnknown ---------------------------------------------------------------------------------

STDMETHODIMP MovieHost::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  void* answer = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
    answer = static_cast<IOleClientSite*>(this);
  } else if (iid == IID_IOleInPlaceSiteWindowless || iid == IID_IOleInPlaceSiteEx ||
             iid == IID_IOleInPlaceSite || iid == IID_IOleWindow) {
    answer = static_cast<IOleInPlaceSiteWindowless*>(this);
  } else if (iid == IID_IOleControlSite) {
    answer = static_cast<IOleControlSite*>(this);
  } else if (iid == IID_IOleContainer) {
    answer = static_cast<IOleContainer*>(this);
  } else if (iid == IID_IOleInPlaceFrame) {
    answer = static_cast<IOleInPlaceFrame*>(this);
  } else if (iid == IID_IObjectWithSite) {
    answer = static_cast<IObjectWithSite*>(this);
  } else if (iid == IID_IDispatch || iid == player::kDiidShockwaveFlashEvents) {
    answer = static_cast<IDispatch*>(this);
  }
  *object = answer;
  if (!answer) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

// --- site interfaces --------------------------------------------------------------------------

STDMETHODIMP MovieHost::GetContainer(IOleContainer** container) {
  if (!container) return E_POINTER;
  *container = static_cast<IOleContainer*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP MovieHost::ShowObject() {
  HDC dc = ::GetDC(window_);
  if (!dc) return E_FAIL;
  if (viewObject_) {
    RECTL bounds{position_.left, position_.top, position_.right, position_.bottom};
    viewObject_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, &bounds,
                      nullptr, 0);
  }
  ::ReleaseDC(window_, dc);
  return S_OK;
}

STDMETHODIMP MovieHost::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return S_OK;
}

STDMETHODIMP MovieHost::OnInPlaceActivate() {
  inPlaceActive_ = true;
  if (control_) OleLockRunning(control_.get(), TRUE, FALSE);
  windowless_ = false;
  windowlessObject_.reset();
  control_.as(IID_IOleInPlaceObject, inPlaceObject_);
  return S_OK;
}

STDMETHODIMP MovieHost::OnInPlaceActivateEx(BOOL*, DWORD flags) {
  inPlaceActive_ = true;
  if (control_) OleLockRunning(control_.get(), TRUE, FALSE);
  windowless_ = false;
  windowlessObject_.reset();
  if ((flags & ACTIVATE_WINDOWLESS) &&
      SUCCEEDED(control_.as(IID_IOleInPlaceObjectWindowless, windowlessObject_))) {
    windowless_ = true;
    inPlaceObject_ = windowlessObject_.get();
  } else {
    control_.as(IID_IOleInPlaceObject, inPlaceObject_);
  }
  if (inPlaceObject_) inPlaceObject_->SetObjectRects(&position_, &position_);
  return S_OK;
}

STDMETHODIMP MovieHost::OnUIActivate() {
  uiActive_ = true;
  return S_OK;
}

STDMETHODIMP MovieHost::OnUIDeactivate(BOOL) {
  uiActive_ = false;
  return S_OK;
}

STDMETHODIMP MovieHost::OnInPlaceDeactivate() {
  inPlaceActive_ = false;
  inPlaceObject_.reset();
  windowlessObject_.reset();
  return S_OK;
}

STDMETHODIMP MovieHost::OnInPlaceDeactivateEx(BOOL) { return OnInPlaceDeactivate(); }

STDMETHODIMP MovieHost::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                         LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (frame) {
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
  }
  if (document) *document = nullptr;
  if (position) GetClientRect(window_, position);
  if (clip) GetClientRect(window_, clip);
  if (!accelerators_) {
    ACCEL empty{};
    accelerators_ = CreateAcceleratorTableW(&empty, 1);
  }
  if (info) {
    info->cb = sizeof *info;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetParent(window_);
    info->haccel = accelerators_;
    info->cAccelEntries = 1;
  }
  return S_OK;
}

STDMETHODIMP MovieHost::GetCapture() { return captured_ ? S_OK : S_FALSE; }

STDMETHODIMP MovieHost::SetCapture(BOOL capture) {
  captured_ = capture != FALSE;
  if (capture) {
    ::SetCapture(window_);
  } else {
    ReleaseCapture();
  }
  return S_OK;
}

STDMETHODIMP MovieHost::GetFocus() { return hasFocus_ ? S_OK : S_FALSE; }

STDMETHODIMP MovieHost::SetFocus(BOOL focus) {
  hasFocus_ = focus != FALSE;
  return S_OK;
}

STDMETHODIMP MovieHost::OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                           LRESULT* result) {
  const LRESULT answer = defaultProcessing(message, wParam, lParam);
  if (result) *result = answer;
  return S_OK;
}

STDMETHODIMP MovieHost::GetExtendedControl(IDispatch** control) {
  if (!control) return E_POINTER;
  *control = nullptr;
  if (!control_) return E_NOTIMPL;
  return control_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(control));
}

STDMETHODIMP MovieHost::OnFocus(BOOL focus) {
  hasFocus_ = focus != FALSE;
  return S_OK;
}

STDMETHODIMP MovieHost::EnumObjects(DWORD, IEnumUnknown** enumerator) {
  if (!enumerator) return E_POINTER;
  *enumerator = new SingleControlEnumerator(control_.get());
  return S_OK;
}

STDMETHODIMP MovieHost::LockContainer(BOOL lock) {
  containerLocked_ = lock;
  return S_OK;
}

STDMETHODIMP MovieHost::SetSite(IUnknown* site) {
  site_ = site;
  return S_OK;
}

STDMETHODIMP MovieHost::GetSite(REFIID iid, void** site) {
  if (!site) return E_POINTER;
  *site = nullptr;
  if (!site_) return E_FAIL;
  return site_->QueryInterface(iid, site);
}

// --- entry points -----------------------------------------------------------------------------

HWND createHostWindow(DWORD exStyle, ControlLoader* loader, const wchar_t* windowName, DWORD style,
                      int x, int y, int width, int height, HWND parent, HMENU menu,
                      HINSTANCE instance, void* parameter) {
  using CreateWindowExWProc = decltype(&CreateWindowExW);
  auto create = procedureCast<CreateWindowExWProc>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "CreateWindowExW"));
  if (!create || !loader) return nullptr;
  return create(exStyle, reinterpret_cast<LPCWSTR>(MAKEINTATOM(loaderWindowClass(loader))),
                windowName, style, x, y, width, height, parent, menu, instance, parameter);
}

int addExternalResourceHandler(ControlLoader* loader, ExternalResourceHandler handler, void* user) {
  return loader ? loader->movieRegistry().addExternalResourceHandler(handler, user) : 0;
}

HWND getControlWindow(HWND host) {
  struct {
    IID iid;
    void* object;
    HRESULT hr;
  } block{IID_IOleWindow, nullptr, E_FAIL};
  SendMessageW(host, MHM_QUERY_INTERFACE, 0, reinterpret_cast<LPARAM>(&block));
  if (FAILED(block.hr) || !block.object) return nullptr;
  auto* oleWindow = static_cast<IOleWindow*>(block.object);
  HWND window = nullptr;
  if (FAILED(oleWindow->GetWindow(&window))) window = nullptr;
  oleWindow->Release();
  return window;
}

}  // namespace nxr
