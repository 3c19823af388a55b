// The movie player control's automation interface, its outgoing events and their identifiers.
// The slot order below is the published one: containers call these methods through the vtable,
// so no method may be added, removed or moved.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace nxr::player {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
inline constexpr CLSID kClsidShockwaveFlash = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6C-AE6D-11CF-96B8-444553540000}
inline constexpr IID kIidShockwaveFlash = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6D-AE6D-11CF-96B8-444553540000}: the dispinterface of the control's events.
inline constexpr IID kDiidShockwaveFlashEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Event DISPIDs of the outgoing interface.
inline constexpr DISPID kDispidOnReadyStateChange = -609;  // (long newState)
inline constexpr DISPID kDispidOnProgress = 1958;          // (long percentDone)
inline constexpr DISPID kDispidFSCommand = 150;            // (BSTR command, BSTR args)
inline constexpr DISPID kDispidFlashCall = 197;            // (BSTR request)

// Ready states reported by get_ReadyState and OnReadyStateChange.
inline constexpr long kReadyStateLoading = 0;
inline constexpr long kReadyStateUninitialized = 1;
inline constexpr long kReadyStateLoaded = 2;
inline constexpr long kReadyStateInteractive = 3;
inline constexpr long kReadyStateComplete = 4;

// Slots 0-2 IUnknown, 3-6 IDispatch, then these (slot and DISPID in the comments).
struct IShockwaveFlash : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_ReadyState(long*) = 0;       // 7, DISPID -525
  virtual HRESULT STDMETHODCALLTYPE get_TotalFrames(long*) = 0;      // 8, DISPID 124
  virtual HRESULT STDMETHODCALLTYPE get_Playing(VARIANT_BOOL*) = 0;  // 9, DISPID 125
  virtual HRESULT STDMETHODCALLTYPE put_Playing(VARIANT_BOOL) = 0;   // 10, DISPID 125
  virtual HRESULT STDMETHODCALLTYPE get_Quality(int*) = 0;           // 11, DISPID 105
  virtual HRESULT STDMETHODCALLTYPE put_Quality(int) = 0;            // 12, DISPID 105
  virtual HRESULT STDMETHODCALLTYPE get_ScaleMode(int*) = 0;         // 13, DISPID 120
  virtual HRESULT STDMETHODCALLTYPE put_ScaleMode(int) = 0;          // 14, DISPID 120
  virtual HRESULT STDMETHODCALLTYPE get_AlignMode(int*) = 0;         // 15, DISPID 121
  virtual HRESULT STDMETHODCALLTYPE put_AlignMode(int) = 0;          // 16, DISPID 121
  virtual HRESULT STDMETHODCALLTYPE get_BackgroundColor(long*) = 0;  // 17, DISPID 123
  virtual HRESULT STDMETHODCALLTYPE put_BackgroundColor(long) = 0;   // 18, DISPID 123
  virtual HRESULT STDMETHODCALLTYPE get_Loop(VARIANT_BOOL*) = 0;     // 19, DISPID 106
  virtual HRESULT STDMETHODCALLTYPE put_Loop(VARIANT_BOOL) = 0;      // 20, DISPID 106
  virtual HRESULT STDMETHODCALLTYPE get_Movie(BSTR*) = 0;            // 21, DISPID 102
  virtual HRESULT STDMETHODCALLTYPE put_Movie(BSTR) = 0;             // 22, DISPID 102
  virtual HRESULT STDMETHODCALLTYPE get_FrameNum(long*) = 0;         // 23, DISPID 107
  virtual HRESULT STDMETHODCALLTYPE put_FrameNum(long) = 0;          // 24, DISPID 107
  virtual HRESULT STDMETHODCALLTYPE SetZoomRect(long, long, long,
                                                long) = 0;                 // 25, DISPID 109
  virtual HRESULT STDMETHODCALLTYPE Zoom(int) = 0;                         // 26, DISPID 118
  virtual HRESULT STDMETHODCALLTYPE Pan(long, long, int) = 0;              // 27, DISPID 119
  virtual HRESULT STDMETHODCALLTYPE Play() = 0;                            // 28, DISPID 112
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;                            // 29, DISPID 113
  virtual HRESULT STDMETHODCALLTYPE Back() = 0;                            // 30, DISPID 114
  virtual HRESULT STDMETHODCALLTYPE Forward() = 0;                         // 31, DISPID 115
  virtual HRESULT STDMETHODCALLTYPE Rewind() = 0;                          // 32, DISPID 116
  virtual HRESULT STDMETHODCALLTYPE StopPlay() = 0;                        // 33, DISPID 126
  virtual HRESULT STDMETHODCALLTYPE GotoFrame(long) = 0;                   // 34, DISPID 127
  virtual HRESULT STDMETHODCALLTYPE CurrentFrame(long*) = 0;               // 35, DISPID 128
  virtual HRESULT STDMETHODCALLTYPE IsPlaying(VARIANT_BOOL*) = 0;          // 36, DISPID 129
  virtual HRESULT STDMETHODCALLTYPE PercentLoaded(long*) = 0;              // 37, DISPID 130
  virtual HRESULT STDMETHODCALLTYPE FrameLoaded(long, VARIANT_BOOL*) = 0;  // 38, DISPID 131
  virtual HRESULT STDMETHODCALLTYPE FlashVersion(long*) = 0;               // 39, DISPID 132
  virtual HRESULT STDMETHODCALLTYPE get_WMode(BSTR*) = 0;                  // 40, DISPID 133
  virtual HRESULT STDMETHODCALLTYPE put_WMode(BSTR) = 0;                   // 41, DISPID 133
  virtual HRESULT STDMETHODCALLTYPE get_SAlign(BSTR*) = 0;                 // 42, DISPID 134
  virtual HRESULT STDMETHODCALLTYPE put_SAlign(BSTR) = 0;                  // 43, DISPID 134
  virtual HRESULT STDMETHODCALLTYPE get_Menu(VARIANT_BOOL*) = 0;           // 44, DISPID 135
  virtual HRESULT STDMETHODCALLTYPE put_Menu(VARIANT_BOOL) = 0;            // 45, DISPID 135
  virtual HRESULT STDMETHODCALLTYPE get_Base(BSTR*) = 0;                   // 46, DISPID 136
  virtual HRESULT STDMETHODCALLTYPE put_Base(BSTR) = 0;                    // 47, DISPID 136
  virtual HRESULT STDMETHODCALLTYPE get_Scale(BSTR*) = 0;                  // 48, DISPID 137
  virtual HRESULT STDMETHODCALLTYPE put_Scale(BSTR) = 0;                   // 49, DISPID 137
  virtual HRESULT STDMETHODCALLTYPE get_DeviceFont(VARIANT_BOOL*) = 0;     // 50, DISPID 138
  virtual HRESULT STDMETHODCALLTYPE put_DeviceFont(VARIANT_BOOL) = 0;      // 51, DISPID 138
  virtual HRESULT STDMETHODCALLTYPE get_EmbedMovie(VARIANT_BOOL*) = 0;     // 52, DISPID 139
  virtual HRESULT STDMETHODCALLTYPE put_EmbedMovie(VARIANT_BOOL) = 0;      // 53, DISPID 139
  virtual HRESULT STDMETHODCALLTYPE get_BGColor(BSTR*) = 0;                // 54, DISPID 140
  virtual HRESULT STDMETHODCALLTYPE put_BGColor(BSTR) = 0;                 // 55, DISPID 140
  virtual HRESULT STDMETHODCALLTYPE get_Quality2(BSTR*) = 0;               // 56, DISPID 141
  virtual HRESULT STDMETHODCALLTYPE put_Quality2(BSTR) = 0;                // 57, DISPID 141
  virtual HRESULT STDMETHODCALLTYPE LoadMovie(int, BSTR) = 0;              // 58, DISPID 142
  virtual HRESULT STDMETHODCALLTYPE TGotoFrame(BSTR, long) = 0;            // 59, DISPID 143
  virtual HRESULT STDMETHODCALLTYPE TGotoLabel(BSTR, BSTR) = 0;            // 60, DISPID 144
  virtual HRESULT STDMETHODCALLTYPE TCurrentFrame(BSTR, long*) = 0;        // 61, DISPID 145
  virtual HRESULT STDMETHODCALLTYPE TCurrentLabel(BSTR, BSTR*) = 0;        // 62, DISPID 146
  virtual HRESULT STDMETHODCALLTYPE TPlay(BSTR) = 0;                       // 63, DISPID 147
  virtual HRESULT STDMETHODCALLTYPE TStopPlay(BSTR) = 0;                   // 64, DISPID 148
  virtual HRESULT STDMETHODCALLTYPE SetVariable(BSTR, BSTR) = 0;           // 65, DISPID 151
  virtual HRESULT STDMETHODCALLTYPE GetVariable(BSTR, BSTR*) = 0;          // 66, DISPID 152
  virtual HRESULT STDMETHODCALLTYPE TSetProperty(BSTR, int, BSTR) = 0;     // 67, DISPID 153
  virtual HRESULT STDMETHODCALLTYPE TGetProperty(BSTR, int, BSTR*) = 0;    // 68, DISPID 154
  virtual HRESULT STDMETHODCALLTYPE TCallFrame(BSTR, int) = 0;             // 69, DISPID 155
  virtual HRESULT STDMETHODCALLTYPE TCallLabel(BSTR, BSTR) = 0;            // 70, DISPID 156
  virtual HRESULT STDMETHODCALLTYPE TSetPropertyNum(BSTR, int,
                                                    double) = 0;  // 71, DISPID 157
  virtual HRESULT STDMETHODCALLTYPE TGetPropertyNum(BSTR, int,
                                                    double*) = 0;  // 72, DISPID 158
  virtual HRESULT STDMETHODCALLTYPE TGetPropertyAsNumber(BSTR, int,
                                                         double*) = 0;       // 73, DISPID 172
  virtual HRESULT STDMETHODCALLTYPE get_SWRemote(BSTR*) = 0;                 // 74, DISPID 159
  virtual HRESULT STDMETHODCALLTYPE put_SWRemote(BSTR) = 0;                  // 75, DISPID 159
  virtual HRESULT STDMETHODCALLTYPE get_FlashVars(BSTR*) = 0;                // 76, DISPID 170
  virtual HRESULT STDMETHODCALLTYPE put_FlashVars(BSTR) = 0;                 // 77, DISPID 170
  virtual HRESULT STDMETHODCALLTYPE get_AllowScriptAccess(BSTR*) = 0;        // 78, DISPID 171
  virtual HRESULT STDMETHODCALLTYPE put_AllowScriptAccess(BSTR) = 0;         // 79, DISPID 171
  virtual HRESULT STDMETHODCALLTYPE get_MovieData(BSTR*) = 0;                // 80, DISPID 190
  virtual HRESULT STDMETHODCALLTYPE put_MovieData(BSTR) = 0;                 // 81, DISPID 190
  virtual HRESULT STDMETHODCALLTYPE get_InlineData(IUnknown**) = 0;          // 82, DISPID 191
  virtual HRESULT STDMETHODCALLTYPE put_InlineData(IUnknown*) = 0;           // 83, DISPID 191
  virtual HRESULT STDMETHODCALLTYPE get_SeamlessTabbing(VARIANT_BOOL*) = 0;  // 84, DISPID 192
  virtual HRESULT STDMETHODCALLTYPE put_SeamlessTabbing(VARIANT_BOOL) = 0;   // 85, DISPID 192
  virtual HRESULT STDMETHODCALLTYPE EnforceLocalSecurity() = 0;              // 86, DISPID 193
  virtual HRESULT STDMETHODCALLTYPE get_Profile(VARIANT_BOOL*) = 0;          // 87, DISPID 194
  virtual HRESULT STDMETHODCALLTYPE put_Profile(VARIANT_BOOL) = 0;           // 88, DISPID 194
  virtual HRESULT STDMETHODCALLTYPE get_ProfileAddress(BSTR*) = 0;           // 89, DISPID 195
  virtual HRESULT STDMETHODCALLTYPE put_ProfileAddress(BSTR) = 0;            // 90, DISPID 195
  virtual HRESULT STDMETHODCALLTYPE get_ProfilePort(long*) = 0;              // 91, DISPID 196
  virtual HRESULT STDMETHODCALLTYPE put_ProfilePort(long) = 0;               // 92, DISPID 196
  virtual HRESULT STDMETHODCALLTYPE CallFunction(BSTR, BSTR*) = 0;           // 93, DISPID 198
  virtual HRESULT STDMETHODCALLTYPE SetReturnValue(BSTR) = 0;                // 94, DISPID 199
  virtual HRESULT STDMETHODCALLTYPE DisableLocalSecurity() = 0;              // 95, DISPID 200
  virtual HRESULT STDMETHODCALLTYPE get_AllowNetworking(BSTR*) = 0;          // 96, DISPID 201
  virtual HRESULT STDMETHODCALLTYPE put_AllowNetworking(BSTR) = 0;           // 97, DISPID 201
  virtual HRESULT STDMETHODCALLTYPE get_AllowFullScreen(BSTR*) = 0;          // 98, DISPID 202
  virtual HRESULT STDMETHODCALLTYPE put_AllowFullScreen(BSTR) = 0;           // 99, DISPID 202
};

}  // namespace nxr::player
