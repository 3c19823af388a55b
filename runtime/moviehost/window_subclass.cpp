#include "moviehost/window_subclass.h"

#include <mutex>
#include <vector>

namespace nxr {

void retireThunk(std::unique_ptr<ExecutableCode> thunk) {
  if (!thunk) return;
  if (kNativeThunkMachine == ThunkMachine::kI386) return;  // jumps away: nothing returns into it
  static std::mutex lock;
  static std::vector<std::unique_ptr<ExecutableCode>> retired;
  std::lock_guard<std::mutex> guard(lock);
  retired.push_back(std::move(thunk));
}

WindowSubclass::WindowSubclass(bool autoDelete) : autoDelete_(autoDelete) {
  thunk_ = makeWindowThunk(this, procedureCast<FARPROC>(&WindowSubclass::entry), 4);
}

WindowSubclass::~WindowSubclass() {
  if (window_ && IsWindow(window_) &&
      GetWindowLongPtrA(window_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(thunk_->entry())) {
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  }
  if (depth_ > 0) retireThunk(std::move(thunk_));
}

bool WindowSubclass::subclass(HWND window) {
  if (!thunk_ || !window) return false;
  window_ = window;
  previous_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(thunk_->entry()));
  return true;
}

LRESULT WindowSubclass::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return defaultProcessing(window, message, wParam, lParam);
}

LRESULT WindowSubclass::defaultProcessing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return previous_ ? CallWindowProcA(previous_, window, message, wParam, lParam) : -1;
}

LRESULT WINAPI WindowSubclass::entry(WindowSubclass* self, HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
  ++self->depth_;
  const LRESULT result = self->windowProcedure(window, message, wParam, lParam);
  --self->depth_;
  if (message == WM_NCDESTROY && self->autoDelete_ && self->depth_ == 0) {
    self->window_ = nullptr;
    ++self->depth_;  // the thunk is still on the way back
    delete self;
  }
  return result;
}

MessageHook::MessageHook(Filter filter, void* owner) : filter_(filter), owner_(owner) {
  thunk_ = makeWindowThunk(this, procedureCast<FARPROC>(&MessageHook::entry), 3);
  if (thunk_) {
    hook_ = SetWindowsHookExA(WH_GETMESSAGE, thunk_->as<HOOKPROC>(), nullptr, GetCurrentThreadId());
  }
}

MessageHook::~MessageHook() {
  if (hook_) UnhookWindowsHookEx(hook_);
}

LRESULT WINAPI MessageHook::entry(MessageHook* self, int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    self->filter_(self->owner_, reinterpret_cast<MSG*>(lParam));
  }
  return CallNextHookEx(self->hook_, code, wParam, lParam);
}

}  // namespace nxr
