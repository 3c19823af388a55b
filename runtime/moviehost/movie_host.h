// The object behind one host window: the player control's OLE site, its event sink and the
// window's procedure. The rest of the program drives it with the private messages of
// host_messages.h and hears from it through WM_NOTIFY and an optional event listener.
#pragma once

#include <windows.h>
// (the system headers below need windows.h first)
#include <ocidl.h>
#include <oleidl.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "moviehost/host_messages.h"
#include "moviehost/lock.h"
#include "moviehost/movie_registry.h"
#include "moviehost/window_subclass.h"
#include "player/shockwave_flash.h"
#include "support/win.h"

namespace nxr {

class ControlLoader;
using player::IShockwaveFlash;

// Called with every notification block after the parent's WM_NOTIFY (stdcall).
using EventListenerProc = void(WINAPI*)(HWND host, void* user, NMHDR* notification);
struct EventListenerBlock {
  EventListenerProc procedure;
  void* user;
};

class MovieHost final : public IOleClientSite,
                        public IOleInPlaceSiteWindowless,
                        public IOleControlSite,
                        public IOleContainer,
                        public IOleInPlaceFrame,
                        public IObjectWithSite,
                        public IDispatch {
 public:
  // WM_CREATE of a loader's host window: creates the host and its control. 1 when a control was
  // created, 0 otherwise; the window is made in both cases.
  static LRESULT createForWindow(ControlLoader* loader, HWND window, const CREATESTRUCTW* create);

  // IUnknown: the object lives as long as its window; references are only counted.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override { return --references_; }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and the frame)
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return E_NOTIMPL; }

  // IOleInPlaceSiteEx
  STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
  STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override;
  STDMETHODIMP RequestUIActivate() override { return S_OK; }

  // IOleInPlaceSiteWindowless
  STDMETHODIMP CanWindowlessActivate() override { return S_OK; }
  STDMETHODIMP GetCapture() override;
  STDMETHODIMP SetCapture(BOOL capture) override;
  STDMETHODIMP GetFocus() override;
  STDMETHODIMP SetFocus(BOOL focus) override;
  STDMETHODIMP GetDC(LPCRECT rect, DWORD flags, HDC* dc) override;
  STDMETHODIMP ReleaseDC(HDC dc) override;
  STDMETHODIMP InvalidateRect(LPCRECT rect, BOOL erase) override;
  STDMETHODIMP InvalidateRgn(HRGN region, BOOL erase) override;
  STDMETHODIMP ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return S_OK; }
  STDMETHODIMP AdjustRect(LPRECT) override { return S_OK; }
  STDMETHODIMP OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                  LRESULT* result) override;

  // IOleControlSite
  STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
  STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
  STDMETHODIMP GetExtendedControl(IDispatch** control) override;
  STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  STDMETHODIMP OnFocus(BOOL focus) override;
  STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

  // IOleContainer
  STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP EnumObjects(DWORD flags, IEnumUnknown** enumerator) override;
  STDMETHODIMP LockContainer(BOOL lock) override;

  // IOleInPlaceUIWindow and IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IObjectWithSite
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** site) override;

  // IDispatch: the sink of the control's events
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_FAIL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_FAIL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                      EXCEPINFO*, UINT*) override;

  HWND window() const { return window_; }
  bool hasControl() const { return static_cast<bool>(control_); }
  // The control's interface of the newest layout family, or NULL without a control.
  IShockwaveFlash* flash() const { return flash_[5].get(); }
  // Major version from FlashVersion; 0 without a control.
  int controlMajorVersion() const;

  using UpdateLayeredWindowProc = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                BLENDFUNCTION*, DWORD);
  // Tests watch what a paint hands to the layered window through a function of their own.
  void replaceUpdateLayeredWindow(UpdateLayeredWindowProc proc) { updateLayeredWindow_ = proc; }

 private:
  class HostSubclass;
  class ControlSubclass;

  MovieHost(ControlLoader* loader, HWND window);
  ~MovieHost();

  // Creation and teardown.
  LRESULT createControl(const CREATESTRUCTW* create);
  void tearDown();

  // The host window's procedure and its handlers.
  LRESULT windowProcedure(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT defaultProcessing(UINT message, WPARAM wParam, LPARAM lParam);
  void onSize(LPARAM lParam);
  void activate();
  LRESULT onMouseActivate(WPARAM wParam, LPARAM lParam);
  bool forwardWindowlessInput(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  static void filterMessage(void* owner, MSG* message);
  LRESULT controlWindowProcedure(ControlSubclass* subclass, HWND window, UINT message,
                                 WPARAM wParam, LPARAM lParam);

  // Private messages.
  bool handleHostMessage(UINT message, LPARAM lParam, LRESULT* result);
  bool handleControlMessage(UINT message, LPARAM lParam);
  LRESULT putMovieUsingStream(IStream** stream, bool load, int layer);

  // Events and notifications.
  void raiseNotification(NMHDR* block, UINT code);
  void onFlashCall(BSTR request);
  void onFSCommand(BSTR command, BSTR arguments);
  LRESULT onLoadExternalResource(LoadExternalResourceRequest* request);

  // Rendering.
  LRESULT onPaint();
  bool ensureFrames(int width, int height);
  bool renderLayered(const RECT& update, bool updateWindow);
  HBITMAP frameBitmap();

  void convertToHimetric();
  void convertFromHimetric();

  std::atomic<ULONG> references_{0};
  ControlLoader* loader_;
  HWND window_;
  CriticalSection lock_;

  // The control.
  ComPtr<IUnknown> control_;
  ComPtr<IOleObject> oleObject_;
  ComPtr<IOleInPlaceObject> inPlaceObject_;  // or the windowless one, kept as its base
  ComPtr<IOleInPlaceObjectWindowless> windowlessObject_;
  ComPtr<IViewObject> viewObject_;
  ComPtr<IViewObjectEx> viewObjectEx_;
  std::array<ComPtr<IShockwaveFlash>, 6> flash_;  // layout families 3, 4, 5, 6, 7, 8+
  int viewLevel_ = 0;
  DWORD miscStatus_ = 0;
  DWORD cookie_ = 0;
  bool advised_ = false;
  ComPtr<IUnknown> site_;  // kept by IObjectWithSite::SetSite

  RECT position_{};
  SIZE extentPixels_{};
  SIZEL extentHimetric_{};
  bool transparent_ = false;
  bool inPlaceActive_ = false;
  bool windowless_ = false;
  bool uiActive_ = false;
  bool captured_ = false;
  bool hasFocus_ = false;
  bool dcAvailable_ = true;  // a windowless DC may be handed out
  bool tearingDown_ = false;
  bool contextMenuEnabled_ = false;
  bool controlContextMenuEnabled_ = false;  // the copy used for the control's own window
  BOOL containerLocked_ = FALSE;
  BYTE opacity_ = 255;

  EventListenerProc listener_ = nullptr;
  void* listenerUser_ = nullptr;
  UINT setEventListenerMessage_ = 0;
  UINT callLoadExternalResourceMessage_ = 0;
  UINT getObjectPointerMessage_ = 0;
  HACCEL accelerators_ = nullptr;

  std::unique_ptr<HostSubclass> hostSubclass_;
  std::unique_ptr<ControlSubclass> controlSubclass_;
  std::unique_ptr<MessageHook> messageHook_;
  UINT timerPeriod_ = 0;

  // Rendering state: output, white-background and black-background frames.
  struct Frame {
    ScopedGdiObject bitmap;
    uint32_t* pixels = nullptr;
  };
  Frame output_, white_, black_;
  SIZE frameSize_{};
  HMODULE user32_ = nullptr;
  UpdateLayeredWindowProc updateLayeredWindow_ = nullptr;
  HDC offscreenWindowDc_ = nullptr;  // the window DC of an off-screen hand-out
  HDC handedOutDc_ = nullptr;
  ScopedGdiObject offscreenBitmap_;
  HGDIOBJ offscreenPrevious_ = nullptr;
};

// Library entry points of the movie host.
HWND createHostWindow(DWORD exStyle, ControlLoader* loader, const wchar_t* windowName, DWORD style,
                      int x, int y, int width, int height, HWND parent, HMENU menu,
                      HINSTANCE instance, void* parameter);
int addExternalResourceHandler(ControlLoader* loader, ExternalResourceHandler handler, void* user);
HWND getControlWindow(HWND host);
HRESULT putWMode(HWND host, const wchar_t* mode);
HRESULT callFunction(HWND host, const wchar_t* request, wchar_t* buffer, int* length);
HRESULT setReturnValue(HWND host, const wchar_t* value);
bool isLayeredRenderingSupported();

}  // namespace nxr
