// Windows-only support: the wide-character view of runtime texts and one owner type for each
// kind of handle. Every other folder uses these instead of closing handles by hand.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include <string>
#include <utility>

static_assert(sizeof(wchar_t) == 2, "the runtime's texts are UTF-16");

namespace nxr {

inline const wchar_t* asWcstr(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline const char16_t* asU16cstr(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}
inline std::u16string fromWide(const wchar_t* text) {
  return text ? std::u16string(asU16cstr(text)) : std::u16string();
}
inline std::u16string fromWide(const wchar_t* text, size_t length) {
  return std::u16string(asU16cstr(text), length);
}

// A handle with one owner; Traits names the invalid value and how the handle is closed.
template <typename Traits>
class ScopedObject {
 public:
  using Handle = typename Traits::Handle;
  ScopedObject() = default;
  explicit ScopedObject(Handle h) : handle_(h) {}
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;
  ScopedObject(ScopedObject&& other) noexcept : handle_(other.release()) {}
  ScopedObject& operator=(ScopedObject&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~ScopedObject() { reset(); }

  Handle get() const { return handle_; }
  bool valid() const { return handle_ != Traits::invalid(); }
  explicit operator bool() const { return valid(); }
  Handle release() { return std::exchange(handle_, Traits::invalid()); }
  void reset(Handle h = Traits::invalid()) {
    if (valid()) Traits::close(handle_);
    handle_ = h;
  }

 private:
  Handle handle_ = Traits::invalid();
};

struct KernelHandleTraits {  // files, events, threads, mappings: NULL means none
  using Handle = HANDLE;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile and FindFirstFile use INVALID_HANDLE_VALUE for none
  using Handle = HANDLE;
  static Handle invalid() { return INVALID_HANDLE_VALUE; }
  static void close(Handle h) { CloseHandle(h); }
};
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() { return INVALID_HANDLE_VALUE; }
  static void close(Handle h) { FindClose(h); }
};
struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { DeleteObject(h); }
};
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { DeleteDC(h); }
};
struct WindowTraits {
  using Handle = HWND;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { DestroyWindow(h); }
};
struct MenuTraits {
  using Handle = HMENU;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { DestroyMenu(h); }
};
struct HookTraits {
  using Handle = HHOOK;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { UnhookWindowsHookEx(h); }
};
struct IconTraits {
  using Handle = HICON;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { DestroyIcon(h); }
};

using ScopedHandle = ScopedObject<KernelHandleTraits>;
using ScopedFileHandle = ScopedObject<FileHandleTraits>;
using ScopedFindHandle = ScopedObject<FindHandleTraits>;
using ScopedGdiObject = ScopedObject<GdiObjectTraits>;
using ScopedMemoryDc = ScopedObject<MemoryDcTraits>;
using ScopedWindow = ScopedObject<WindowTraits>;
using ScopedMenu = ScopedObject<MenuTraits>;
using ScopedHook = ScopedObject<HookTraits>;
using ScopedIcon = ScopedObject<IconTraits>;

// A screen or window device context from GetDC, given back with ReleaseDC.
class ScopedGetDc {
 public:
  explicit ScopedGetDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ScopedGetDc(const ScopedGetDc&) = delete;
  ScopedGetDc& operator=(const ScopedGetDc&) = delete;
  ~ScopedGetDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A COM interface pointer with one reference of its own.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(T* p) : p_(p) {  // takes a new reference
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  static ComPtr attach(T* p) {  // adopts a reference the caller already holds
    ComPtr c;
    c.p_ = p;
    return c;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {  // for out-parameters: releases what is held first
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  template <typename U>
  HRESULT as(const IID& iid, ComPtr<U>& out) const {
    return p_ ? p_->QueryInterface(iid, out.putVoid()) : E_POINTER;
  }

 private:
  T* p_ = nullptr;
};

// CoInitialize for one thread, undone with it.
class ScopedComInitializer {
 public:
  ScopedComInitializer() : hr_(CoInitialize(nullptr)) {}
  ScopedComInitializer(const ScopedComInitializer&) = delete;
  ScopedComInitializer& operator=(const ScopedComInitializer&) = delete;
  ~ScopedComInitializer() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  bool succeeded() const { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

// Diagnostics go to the debugger output only.
void debugLog(const std::u16string& text);

}  // namespace nxr
