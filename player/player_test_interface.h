// A private interface of nxrplayer.dll for tests, reached by QueryInterface on the control. It
// raises the control's events on demand, changes what the control reports, and hands out the log
// of every call the control received, so that a container's tests can check what reached the
// control and how.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace nxr::player {

// {6F2A8C1E-4B7D-4E93-A5C0-1D3E8B27F914}
inline constexpr IID kIidPlayerTest = {
    0x6F2A8C1E, 0x4B7D, 0x4E93, {0xA5, 0xC0, 0x1D, 0x3E, 0x8B, 0x27, 0xF9, 0x14}};

// Where a transfer stands (a resource fetched with FetchResource, or the movie).
enum PlayerFetchState : long {
  kFetchNone = 0,
  kFetchLoading = 1,
  kFetchDone = 2,
  kFetchFailed = 3,
};

// What the control knows about the movie of level 0.
struct PlayerMovieInfo {
  long readyState;  // 0 loading ... 4 complete, as get_ReadyState
  long swfVersion;  // version byte of the SWF header; 0 while none is loaded
  long compressed;  // 1 for a zlib-compressed movie ("CWS")
  long widthTwips;  // frame size in twips (1/20 pixel)
  long heightTwips;
  long frameRate;        // frames per second in 8.8 fixed point
  long frameCount;       // from the header
  long framesLoaded;     // ShowFrame tags found in the movie's bytes
  long backgroundColor;  // 0x00RRGGBB from SetBackgroundColor, -1 when the movie sets none
  long bytesLoaded;      // bytes received for the movie so far (as stored, before expansion)
  long loadState;        // PlayerFetchState of the movie's transfer
};

struct IPlayerTest : public IUnknown {
  // Raises FlashCall(request) to every connected sink and returns, in *reply, the text the
  // container gave to SetReturnValue while the event ran (an empty text when it gave none).
  virtual HRESULT STDMETHODCALLTYPE RaiseFlashCall(BSTR request, BSTR* reply) = 0;
  // Raises FSCommand(command, args); NULL texts are passed on as NULL.
  virtual HRESULT STDMETHODCALLTYPE RaiseFSCommand(BSTR command, BSTR args) = 0;
  virtual HRESULT STDMETHODCALLTYPE RaiseProgress(long percentDone) = 0;
  virtual HRESULT STDMETHODCALLTYPE RaiseReadyStateChange(long newState) = 0;
  // The packed version FlashVersion reports (major version in bits 16-23); 9 << 16 by default.
  virtual HRESULT STDMETHODCALLTYPE SetReportedVersion(long version) = 0;
  // The response CallFunction gives from now on; NULL restores the empty response.
  virtual HRESULT STDMETHODCALLTYPE SetCallFunctionAnswer(BSTR answer) = 0;
  // The call log: one text per call in arrival order, such as "put_Movie(http://a/b.swf)" or
  // "SetVariable(name,value)"; numbers in decimal, texts as given (NULL as empty). The log keeps
  // the most recent 4096 calls.
  virtual HRESULT STDMETHODCALLTYPE GetCallCount(long* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCall(long index, BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearCallLog() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMovieInfo(PlayerMovieInfo* info) = 0;
  // Loads a library with LoadLibraryA from the control's own import table.
  virtual HRESULT STDMETHODCALLTYPE LoadLibraryThroughImports(const char* name,
                                                              HMODULE* module) = 0;
  // GetModuleHandleA from the control's own import table.
  virtual HRESULT STDMETHODCALLTYPE GetModuleHandleThroughImports(const char* name,
                                                                  HMODULE* module) = 0;
  // Fetches a resource the way the control fetches movies: a URL relative to the movie of level
  // 0 is resolved against it; local paths are opened with CreateFileA, the rest (and paths that
  // cannot be opened) bound through a URL moniker. GetFetchedResource reports the progress and,
  // once done, the bytes (one byte per BSTR byte, SysStringByteLen gives the size).
  virtual HRESULT STDMETHODCALLTYPE FetchResource(BSTR url) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFetchedResource(long* state, BSTR* bytes) = 0;
  // Whether a context-menu request shows the control's menu (a modal popup); on by default.
  // Tests that send right clicks turn it off; the request is still logged as "ContextMenu()".
  virtual HRESULT STDMETHODCALLTYPE SetMenuPopups(BOOL enabled) = 0;
  // Windowless controls: draws the stage through the site's GetDC(NULL, flags) and ReleaseDC;
  // returns GetDC's failure, else ReleaseDC's result.
  virtual HRESULT STDMETHODCALLTYPE PaintThroughSite(DWORD flags) = 0;
  // The key whose WM_KEYDOWN TranslateAccelerator reports as translated (S_OK) from now on, so
  // that a container's accelerator path can be seen; 0, the default, for none.
  virtual HRESULT STDMETHODCALLTYPE SetAcceleratorKey(UINT virtualKey) = 0;
};

// Geometry and colours of the frame marker the control draws, so tests can find its pixels.
// The marker is the middle half of the stage (a quarter of each side's length inset). Its left
// half is opaque, its right half is drawn with kMarkerAlpha over what lies beneath; the lowest
// sixth of the marker is the frame bar, filled from the left in proportion to the current frame.
inline constexpr BYTE kMarkerAlpha = 128;
inline constexpr COLORREF kMarkerColor = RGB(0x30, 0x50, 0xA0);
inline constexpr COLORREF kFrameBarColor = RGB(0xF0, 0xC0, 0x20);

inline RECT markerRect(const RECT& stage) {
  const LONG width = stage.right - stage.left, height = stage.bottom - stage.top;
  return RECT{stage.left + width / 4, stage.top + height / 4, stage.left + width - width / 4,
              stage.top + height - height / 4};
}

}  // namespace nxr::player
