// The player control: one COM object that carries the automation interface, the OLE control
// interfaces a container uses to site, activate and draw it, the event connection point, and the
// private test interface.
#pragma once

#include <ocidl.h>
#include <olectl.h>
#include <oleidl.h>
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "player_test_interface.h"
#include "shockwave_flash.h"
#include "support/win.h"
#include "swf_file.h"

namespace nxr::player {

class FlashControl;

// Process-wide state of the DLL: its module handle and the count of live objects and locks that
// DllCanUnloadNow reports.
HINSTANCE moduleHandle();
void objectCreated();
void objectDestroyed();
void lockModule(bool lock);
bool moduleInUse();

// The resource ids of the control's own cursor and context menu.
inline constexpr int kStageCursorId = 101;
inline constexpr int kContextMenuId = 102;
inline constexpr int kMenuPlayId = 1001;
inline constexpr int kMenuRewindId = 1002;

// A critical section owned by one object; entered recursively by the same thread.
class Lock {
 public:
  Lock() { InitializeCriticalSection(&cs_); }
  ~Lock() { DeleteCriticalSection(&cs_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void enter() { EnterCriticalSection(&cs_); }
  void leave() { LeaveCriticalSection(&cs_); }

 private:
  CRITICAL_SECTION cs_;
};
class Locked {
 public:
  explicit Locked(Lock& lock) : lock_(lock) { lock_.enter(); }
  ~Locked() { lock_.leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  Lock& lock_;
};

// What a transfer delivers its bytes to. A transfer may outlive the control (a container can keep
// a binding open), so it reaches the control only through this channel, which the control closes
// when it goes away.
class LoadChannel {
 public:
  explicit LoadChannel(FlashControl* control) : control_(control) {}
  // The control with a reference of its own, or nothing once the control is gone.
  ComPtr<IShockwaveFlash> control();
  FlashControl* controlObject();  // valid only while a reference from control() is held
  void close();

 private:
  Lock lock_;
  FlashControl* control_;
};

// Which transfer the bytes belong to: a level of the movie (0 the main movie) or a fetched
// resource.
inline constexpr int kFetchSlot = -1;

// The style of drawing: the stage is filled with its colour unless it is transparent; the frame
// marker is drawn on top.
struct StageLook {
  COLORREF background;
  bool transparent;
  long frame;   // 0-based current frame
  long frames;  // 0 when no movie is loaded
};
void drawStage(HDC dc, const RECT& stage, const StageLook& look);

// The message-only window of a control, made on the thread that creates it.
HWND createNotifyWindow(FlashControl* control);

class FlashControl final : public IShockwaveFlash,
                           public IOleObject,
                           public IOleInPlaceObjectWindowless,
                           public IOleInPlaceActiveObject,
                           public IViewObjectEx,
                           public IObjectWithSite,
                           public IConnectionPointContainer,
                           public IPersistStreamInit,
                           public IPersistPropertyBag,
                           public IPlayerTest {
 public:
  FlashControl();
  FlashControl(const FlashControl&) = delete;
  FlashControl& operator=(const FlashControl&) = delete;

  // A reference unless the object is already being destroyed (a transfer on another thread may
  // ask while the last reference goes).
  bool tryAddRef();

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch (control_dispatch.cpp)
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // IShockwaveFlash (flash_control.cpp)
  STDMETHODIMP get_ReadyState(long* state) override;
  STDMETHODIMP get_TotalFrames(long* frames) override;
  STDMETHODIMP get_Playing(VARIANT_BOOL* playing) override;
  STDMETHODIMP put_Playing(VARIANT_BOOL playing) override;
  STDMETHODIMP get_Quality(int* quality) override;
  STDMETHODIMP put_Quality(int quality) override;
  STDMETHODIMP get_ScaleMode(int* mode) override;
  STDMETHODIMP put_ScaleMode(int mode) override;
  STDMETHODIMP get_AlignMode(int* mode) override;
  STDMETHODIMP put_AlignMode(int mode) override;
  STDMETHODIMP get_BackgroundColor(long* color) override;
  STDMETHODIMP put_BackgroundColor(long color) override;
  STDMETHODIMP get_Loop(VARIANT_BOOL* loop) override;
  STDMETHODIMP put_Loop(VARIANT_BOOL loop) override;
  STDMETHODIMP get_Movie(BSTR* url) override;
  STDMETHODIMP put_Movie(BSTR url) override;
  STDMETHODIMP get_FrameNum(long* frame) override;
  STDMETHODIMP put_FrameNum(long frame) override;
  STDMETHODIMP SetZoomRect(long left, long top, long right, long bottom) override;
  STDMETHODIMP Zoom(int factor) override;
  STDMETHODIMP Pan(long x, long y, int mode) override;
  STDMETHODIMP Play() override;
  STDMETHODIMP Stop() override;
  STDMETHODIMP Back() override;
  STDMETHODIMP Forward() override;
  STDMETHODIMP Rewind() override;
  STDMETHODIMP StopPlay() override;
  STDMETHODIMP GotoFrame(long frame) override;
  STDMETHODIMP CurrentFrame(long* frame) override;
  STDMETHODIMP IsPlaying(VARIANT_BOOL* playing) override;
  STDMETHODIMP PercentLoaded(long* percent) override;
  STDMETHODIMP FrameLoaded(long frame, VARIANT_BOOL* loaded) override;
  STDMETHODIMP FlashVersion(long* version) override;
  STDMETHODIMP get_WMode(BSTR* mode) override;
  STDMETHODIMP put_WMode(BSTR mode) override;
  STDMETHODIMP get_SAlign(BSTR* align) override;
  STDMETHODIMP put_SAlign(BSTR align) override;
  STDMETHODIMP get_Menu(VARIANT_BOOL* menu) override;
  STDMETHODIMP put_Menu(VARIANT_BOOL menu) override;
  STDMETHODIMP get_Base(BSTR* base) override;
  STDMETHODIMP put_Base(BSTR base) override;
  STDMETHODIMP get_Scale(BSTR* scale) override;
  STDMETHODIMP put_Scale(BSTR scale) override;
  STDMETHODIMP get_DeviceFont(VARIANT_BOOL* deviceFont) override;
  STDMETHODIMP put_DeviceFont(VARIANT_BOOL deviceFont) override;
  STDMETHODIMP get_EmbedMovie(VARIANT_BOOL* embed) override;
  STDMETHODIMP put_EmbedMovie(VARIANT_BOOL embed) override;
  STDMETHODIMP get_BGColor(BSTR* color) override;
  STDMETHODIMP put_BGColor(BSTR color) override;
  STDMETHODIMP get_Quality2(BSTR* quality) override;
  STDMETHODIMP put_Quality2(BSTR quality) override;
  STDMETHODIMP LoadMovie(int layer, BSTR url) override;
  STDMETHODIMP TGotoFrame(BSTR target, long frame) override;
  STDMETHODIMP TGotoLabel(BSTR target, BSTR label) override;
  STDMETHODIMP TCurrentFrame(BSTR target, long* frame) override;
  STDMETHODIMP TCurrentLabel(BSTR target, BSTR* label) override;
  STDMETHODIMP TPlay(BSTR target) override;
  STDMETHODIMP TStopPlay(BSTR target) override;
  STDMETHODIMP SetVariable(BSTR name, BSTR value) override;
  STDMETHODIMP GetVariable(BSTR name, BSTR* value) override;
  STDMETHODIMP TSetProperty(BSTR target, int property, BSTR value) override;
  STDMETHODIMP TGetProperty(BSTR target, int property, BSTR* value) override;
  STDMETHODIMP TCallFrame(BSTR target, int frame) override;
  STDMETHODIMP TCallLabel(BSTR target, BSTR label) override;
  STDMETHODIMP TSetPropertyNum(BSTR target, int property, double value) override;
  STDMETHODIMP TGetPropertyNum(BSTR target, int property, double* value) override;
  STDMETHODIMP TGetPropertyAsNumber(BSTR target, int property, double* value) override;
  STDMETHODIMP get_SWRemote(BSTR* value) override;
  STDMETHODIMP put_SWRemote(BSTR value) override;
  STDMETHODIMP get_FlashVars(BSTR* value) override;
  STDMETHODIMP put_FlashVars(BSTR value) override;
  STDMETHODIMP get_AllowScriptAccess(BSTR* value) override;
  STDMETHODIMP put_AllowScriptAccess(BSTR value) override;
  STDMETHODIMP get_MovieData(BSTR* value) override;
  STDMETHODIMP put_MovieData(BSTR value) override;
  STDMETHODIMP get_InlineData(IUnknown** value) override;
  STDMETHODIMP put_InlineData(IUnknown* value) override;
  STDMETHODIMP get_SeamlessTabbing(VARIANT_BOOL* value) override;
  STDMETHODIMP put_SeamlessTabbing(VARIANT_BOOL value) override;
  STDMETHODIMP EnforceLocalSecurity() override;
  STDMETHODIMP get_Profile(VARIANT_BOOL* value) override;
  STDMETHODIMP put_Profile(VARIANT_BOOL value) override;
  STDMETHODIMP get_ProfileAddress(BSTR* value) override;
  STDMETHODIMP put_ProfileAddress(BSTR value) override;
  STDMETHODIMP get_ProfilePort(long* value) override;
  STDMETHODIMP put_ProfilePort(long value) override;
  STDMETHODIMP CallFunction(BSTR request, BSTR* response) override;
  STDMETHODIMP SetReturnValue(BSTR value) override;
  STDMETHODIMP DisableLocalSecurity() override;
  STDMETHODIMP get_AllowNetworking(BSTR* value) override;
  STDMETHODIMP put_AllowNetworking(BSTR value) override;
  STDMETHODIMP get_AllowFullScreen(BSTR* value) override;
  STDMETHODIMP put_AllowFullScreen(BSTR value) override;

  // IOleObject (control_ole.cpp)
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                      LPCRECT position) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP Unadvise(DWORD connection) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow, IOleInPlaceObject, IOleInPlaceObjectWindowless
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;
  STDMETHODIMP OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  STDMETHODIMP GetDropTarget(IDropTarget** target) override;

  // IOleInPlaceActiveObject
  STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;

  // IViewObject, IViewObject2, IViewObjectEx
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                    HDC targetDc, HDC drawDc, LPCRECTL bounds, LPCRECTL windowBounds,
                    BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                           HDC targetDc, LOGPALETTE** colors) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
  STDMETHODIMP Unfreeze(DWORD freeze) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;
  STDMETHODIMP GetRect(DWORD aspect, LPRECTL rect) override;
  STDMETHODIMP GetViewStatus(DWORD* status) override;
  STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG closeHint,
                             DWORD* hit) override;
  STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG closeHint,
                            DWORD* hit) override;
  STDMETHODIMP GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, HDC targetDc,
                                DVEXTENTINFO* info, LPSIZEL size) override;

  // IObjectWithSite
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** site) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // IPersist, IPersistStreamInit, IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // IPlayerTest (flash_control.cpp)
  STDMETHODIMP RaiseFlashCall(BSTR request, BSTR* reply) override;
  STDMETHODIMP RaiseFSCommand(BSTR command, BSTR args) override;
  STDMETHODIMP RaiseProgress(long percentDone) override;
  STDMETHODIMP RaiseReadyStateChange(long newState) override;
  STDMETHODIMP SetReportedVersion(long version) override;
  STDMETHODIMP SetCallFunctionAnswer(BSTR answer) override;
  STDMETHODIMP GetCallCount(long* count) override;
  STDMETHODIMP GetCall(long index, BSTR* text) override;
  STDMETHODIMP ClearCallLog() override;
  STDMETHODIMP GetMovieInfo(PlayerMovieInfo* info) override;
  STDMETHODIMP LoadLibraryThroughImports(const char* name, HMODULE* module) override;
  STDMETHODIMP GetModuleHandleThroughImports(const char* name, HMODULE* module) override;
  STDMETHODIMP FetchResource(BSTR url) override;
  STDMETHODIMP GetFetchedResource(long* state, BSTR* bytes) override;
  STDMETHODIMP SetMenuPopups(BOOL enabled) override;
  STDMETHODIMP PaintThroughSite(DWORD flags) override;
  STDMETHODIMP SetAcceleratorKey(UINT virtualKey) override;

  // Transfers report here (movie_loading.cpp); slot is a level or kFetchSlot.
  void onLoadData(int slot, uint32_t generation, const uint8_t* data, size_t size);
  void onLoadDone(int slot, uint32_t generation, HRESULT result);

  // The stage window's procedure and the frame timer (control_ole.cpp).
  LRESULT stageWindowMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  void onFrameTimer();
  // Work for the thread that created the control (events, timers, drawing); runs at once when
  // called there, else queued to the control's message-only window.
  void runOnOwnerThread(std::function<void()> task);
  void runQueued();

 private:
  ~FlashControl();

  // One event connection of a container.
  struct Sink {
    DWORD cookie;
    ComPtr<IDispatch> dispatch;
  };
  // The connection point for _IShockwaveFlashEvents: a separate COM identity that keeps the
  // control alive while a container holds it.
  class EventPoint final : public IConnectionPoint {
   public:
    explicit EventPoint(FlashControl& owner) : owner_(owner) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_.Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

   private:
    FlashControl& owner_;
  };

  // A level of the movie, or the fetched resource: the bytes received so far and what they hold.
  struct Transfer {
    uint32_t generation = 0;
    bool active = false;
    bool failed = false;
    std::u16string url;
    std::vector<uint8_t> bytes;
    SwfMovie movie;
    bool parsed = false;
  };

  void logCall(std::u16string text);
  void fireEvent(DISPID id, VARIANT* args, UINT count);
  void fireReadyState(long state);
  void fireProgress(long percent);

  // Loading (movie_loading.cpp).
  void startLoad(int slot, const std::u16string& url);
  bool loadFromFile(int slot, uint32_t generation, const std::u16string& path);
  void bindUrl(int slot, uint32_t generation, const std::u16string& url);
  void movieCompleted();
  bool currentMovie(uint32_t generation);
  std::u16string resolveUrl(const std::u16string& url) const;

  // Timeline.
  long frameCount() const;
  void gotoFrame(long frame);
  void setPlaying(bool playing);
  void updateTimer();
  bool isRootTarget(BSTR target) const;
  HRESULT propertyText(BSTR target, int property, std::u16string& text);
  HRESULT propertyNumber(BSTR target, int property, double* value);
  void applyFlashVars();

  // Activation and drawing (control_ole.cpp).
  HRESULT activate(bool uiActivate, IOleClientSite* site, HWND parent, LPCRECT position);
  void deactivate();
  bool createStageWindow(HWND parent);
  void invalidate();
  void showContextMenu(POINT screenPoint);
  StageLook look() const;
  COLORREF stageColor() const;

  LONG refs_ = 1;
  mutable Lock
      lock_;  // guards the transfers and the log, which transfers may reach from other threads
  std::shared_ptr<LoadChannel> channel_;
  EventPoint eventPoint_{*this};
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;

  // Properties.
  long readyState_ = kReadyStateUninitialized;
  long reportedVersion_ = 9 << 16;
  long backgroundColor_ = -1;  // -1: the movie's own colour
  int quality_ = 1;
  int scaleMode_ = 0;
  int alignMode_ = 0;
  bool loop_ = true;
  bool menu_ = true;
  bool deviceFont_ = false;
  bool embedMovie_ = false;
  bool seamlessTabbing_ = true;
  bool playRequested_ = true;
  std::u16string movieUrl_, wmode_ = u"Window", base_, quality2_ = u"High", swRemote_, flashVars_,
                            allowScriptAccess_ = u"sameDomain", movieData_,
                            allowNetworking_ = u"all", allowFullScreen_ = u"false";
  std::map<std::u16string, std::u16string> variables_;
  std::map<std::pair<std::u16string, int>, std::u16string> properties_;
  std::u16string callFunctionAnswer_;
  std::u16string returnValue_;
  bool menuPopups_ = true;
  UINT acceleratorKey_ = 0;  // set by tests; the player has no accelerators of its own

  std::map<int, Transfer> transfers_;
  uint32_t nextGeneration_ = 1;
  std::vector<std::u16string> log_;

  // Timeline state.
  long frame_ = 0;
  bool playing_ = false;
  DWORD ownerThread_ = GetCurrentThreadId();
  HWND notifyWindow_ = nullptr;
  std::vector<std::function<void()>> queued_;
  UINT_PTR timer_ = 0;
  UINT timerInterval_ = 0;

  // OLE state.
  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IUnknown> site_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleInPlaceSiteWindowless> windowlessSite_;  // set while windowless active
  ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0, viewFlags_ = 0;
  SIZEL extent_{};  // HIMETRIC
  RECT position_{};
  bool inPlaceActive_ = false;
  bool uiActive_ = false;
  bool windowless_ = false;
  bool mouseCaptured_ = false;
  HWND window_ = nullptr;
};

}  // namespace nxr::player
