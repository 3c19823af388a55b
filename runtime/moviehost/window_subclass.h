// Window subclassing and thread message hooks through window thunks.
#pragma once

#include <windows.h>

#include <memory>

#include "moviehost/executable_code.h"

namespace nxr {

// Replaces a window's procedure with windowProcedure(); defaultProcessing() calls the previous
// one. An auto-delete subclass deletes itself after WM_NCDESTROY.
class WindowSubclass {
 public:
  explicit WindowSubclass(bool autoDelete = false);
  virtual ~WindowSubclass();
  WindowSubclass(const WindowSubclass&) = delete;
  WindowSubclass& operator=(const WindowSubclass&) = delete;

  bool subclass(HWND window);
  HWND window() const { return window_; }

  virtual LRESULT windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT defaultProcessing(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT WINAPI entry(WindowSubclass* self, HWND window, UINT message, WPARAM wParam,
                              LPARAM lParam);

  std::unique_ptr<ExecutableCode> thunk_;
  WNDPROC previous_ = nullptr;
  HWND window_ = nullptr;
  bool autoDelete_;
  int depth_ = 0;  // nesting of windowProcedure calls on this object
};

// A WH_GETMESSAGE hook of the current thread that hands every removed message to a filter.
class MessageHook {
 public:
  using Filter = void (*)(void* owner, MSG* message);
  MessageHook(Filter filter, void* owner);
  ~MessageHook();
  MessageHook(const MessageHook&) = delete;
  MessageHook& operator=(const MessageHook&) = delete;

 private:
  static LRESULT WINAPI entry(MessageHook* self, int code, WPARAM wParam, LPARAM lParam);

  Filter filter_;
  void* owner_;
  std::unique_ptr<ExecutableCode> thunk_;
  HHOOK hook_ = nullptr;
};

// Keeps a thunk's memory until the process ends: needed when the object that owns it is deleted
// from inside a call that will still return through the thunk (the x86-64 thunks call their
// target and return through their own code).
void retireThunk(std::unique_ptr<ExecutableCode> thunk);

}  // namespace nxr
