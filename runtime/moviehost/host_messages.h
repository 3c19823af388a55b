// The private messages that drive a host window, the notifications it raises, their parameter
// blocks, and the names of the registered messages. Every block is owned by the sender; texts
// are zero-terminated in the message's character set and NULL counts as empty.
#pragma once

#include <windows.h>
// (the system headers below need windows.h first)
#include <objidl.h>
#include <oleauto.h>

#include <cstdint>

namespace nxr {

// Host operations.
enum : UINT {
  MHM_QUERY_INTERFACE = 0x1401,
  MHM_PUT_MOVIE_FROM_MEMORY = 0x1402,
  MHM_LOAD_MOVIE_FROM_MEMORY = 0x1403,
  MHM_GET_FRAME_BITMAP = 0x1404,
  MHM_SET_CONTEXT_MENU = 0x1405,
  MHM_GET_CONTEXT_MENU = 0x1406,
  MHM_SET_OPACITY = 0x1408,
  MHM_GET_OPACITY = 0x1409,
  MHM_PUT_MOVIE_USING_STREAM = 0x140A,
  MHM_LOAD_MOVIE_USING_STREAM = 0x140B,
  MHM_CALL_FUNCTION = 0x140C,
  MHM_SET_RETURN_VALUE_A = 0x140E,
  MHM_SET_RETURN_VALUE_W = 0x140F,
};

// Control operations used by the host itself (A variant first, W variant second).
enum : UINT {
  MHM_LOAD_MOVIE_A = 0x150F,
  MHM_LOAD_MOVIE_W = 0x1510,
  MHM_GET_BACKGROUND_COLOR = 0x153A,
  MHM_PUT_MOVIE_A = 0x153D,
  MHM_PUT_MOVIE_W = 0x153E,
  MHM_PUT_WMODE_A = 0x1543,
  MHM_PUT_WMODE_W = 0x1544,
  MHM_GET_BASE_A = 0x154F,
  MHM_GET_BASE_W = 0x1550,
  MHM_FIRST_CONTROL_MESSAGE = 0x1500,
  MHM_LAST_CONTROL_MESSAGE = 0x1574,
};

// Notifications (WM_NOTIFY codes).
enum : UINT {
  MHN_FSCOMMAND_W = 0x12FD,
  MHN_FSCOMMAND_A = 0x12FE,
  MHN_PROGRESS = 0x12FF,
  MHN_READY_STATE_CHANGE = 0x1300,
  MHN_PAINT_STAGE = 0x13F5,
  MHN_INVALIDATE = 0x13F6,
  MHN_FRAME_BITS = 0x13F7,
  MHN_LOAD_EXTERNAL_RESOURCE_EX_W = 0x13F8,
  MHN_LOAD_EXTERNAL_RESOURCE_EX_A = 0x13F9,
  MHN_FLASHCALL_W = 0x13FA,
  MHN_FLASHCALL_A = 0x13FB,
  MHN_LOAD_EXTERNAL_RESOURCE_W = 0x13FC,
  MHN_LOAD_EXTERNAL_RESOURCE_A = 0x13FD,
};

inline constexpr char kSetEventListenerMessage[] =
    "DEF_PRIVATE_MESSAGE__SET_EVENT_LISTENER__cfde450f-A1B5-422b-AC7E-AFCD35AB3671";
inline constexpr char kCallLoadExternalResourceMessage[] =
    "DEF_PRIVATE_MESSAGE__CALL_LOAD_EXTERNAL_RESOURCE__4006D732-0800-4a8e-BD45-8D7A153facf0";
inline constexpr char kGetObjectPointerMessage[] =
    "DEF_PRIVATE_MESSAGE__GET_OBJECT_PTR__A4679BFB-0972-46ae-A032-1A46711970F9";

// Blocks of the control operations with text arguments.
template <typename Char>
struct TextInBlock {  // Movie put, WMode put, Base put, ...
  const Char* text;
  HRESULT hr;
};
template <typename Char>
struct TextOutBlock {  // Movie get, Base get, ...: length in characters with the terminator
  Char* buffer;
  int32_t length;
  HRESULT hr;
};
template <typename Char>
struct LoadMovieBlock {
  int32_t layer;
  const Char* url;
  HRESULT hr;
};
struct ValueBlock {  // value in or value out
  int32_t value;
  HRESULT hr;
};

// More blocks of the control operations.
struct HrBlock {
  HRESULT hr;
};
struct ZoomRectBlock {
  int32_t left, top, right, bottom;
  HRESULT hr;
};
struct PanBlock {
  int32_t x, y, mode;
  HRESULT hr;
};
struct FrameLoadedBlock {
  int32_t frame;
  int32_t loaded;
  HRESULT hr;
};
template <typename C>
struct TextValueBlock {
  const C* text;
  int32_t value;
  HRESULT hr;
};
template <typename C>
struct TwoTextBlock {
  const C* first;
  const C* second;
  HRESULT hr;
};
template <typename C>
struct TextTextOutBlock {
  const C* text;
  C* buffer;
  int32_t length;
  HRESULT hr;
};
template <typename C>
struct PropertyTextBlock {
  const C* target;
  int32_t property;
  const C* value;
  HRESULT hr;
};
template <typename C>
struct PropertyTextOutBlock {
  const C* target;
  int32_t property;
  C* buffer;
  int32_t length;
  HRESULT hr;
};
template <typename C>
struct PropertyNumberBlock {
  const C* target;
  int32_t property;
  double number;
  HRESULT hr;
};

struct CallFunctionBlock {
  BSTR request;
  BSTR response;
  HRESULT hr;
};

// MHM_LOAD_MOVIE_FROM_MEMORY, MHM_PUT_MOVIE_FROM_MEMORY (the latter without the layer).
struct PutMovieFromMemoryBlock {
  const void* data;
  uint32_t size;
};
struct LoadMovieFromMemoryBlock {
  int32_t layer;
  const void* data;
  uint32_t size;
};
struct LoadMovieUsingStreamBlock {
  int32_t layer;
  IStream** stream;
};

// The registered message CALL_LOAD_EXTERNAL_RESOURCE: a resource relative to an in-memory movie.
// A receiver that supplies it writes into `stream` (keeping a reference of its own when it writes
// later) and sets `handled`.
struct LoadExternalResourceRequest {
  const wchar_t* url;
  char* ansiUrl;  // filled by the host for its ANSI notifications
  IStream* stream;
  BOOL handled;
};

}  // namespace nxr
