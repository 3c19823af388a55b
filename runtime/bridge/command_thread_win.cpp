#include <windows.h>

#include "bridge/command_thread.h"
#include "support/win.h"

namespace nxr {

namespace {

constexpr DWORD kTickInterval = 40;
constexpr DWORD kStopTimeout = 10000;

class WindowsCommandThread : public CommandThread {
 public:
  WindowsCommandThread(ModuleRegistry& registry, ScopedHandle quitEvent)
      : registry_(registry), quitEvent_(std::move(quitEvent)) {}
  ~WindowsCommandThread() override { stop(); }

  bool start() {
    thread_.reset(CreateThread(nullptr, 0, &WindowsCommandThread::run, this, 0, nullptr));
    return thread_.valid();
  }

  void stop() override {
    if (quitEvent_.valid()) SetEvent(quitEvent_.get());
    if (thread_.valid()) {
      if (WaitForSingleObject(thread_.get(), kStopTimeout) != WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        GetExitCodeThread(thread_.get(), &exitCode);
        debugLog(u"command thread did not stop; terminating it\n");
        TerminateThread(thread_.get(), exitCode);
      }
      thread_.reset();
    }
    quitEvent_.reset();
  }

 private:
  static DWORD WINAPI run(void* parameter) {
    auto* self = static_cast<WindowsCommandThread*>(parameter);
    while (WaitForSingleObject(self->quitEvent_.get(), 0) != WAIT_OBJECT_0) {
      self->registry_.tickModules();
      Sleep(kTickInterval);
    }
    return 0;
  }

  ModuleRegistry& registry_;
  ScopedHandle quitEvent_;
  ScopedHandle thread_;
};

}  // namespace

std::unique_ptr<CommandThread> startCommandThread(ModuleRegistry& registry) {
  ScopedHandle quitEvent(CreateEventW(nullptr, TRUE, FALSE, L"CommandThreadQuitEvent"));
  if (quitEvent.valid() && GetLastError() == ERROR_ALREADY_EXISTS) {
    // Another runtime of this session owns an event of that name; sharing it would let its exit
    // stop this thread (or start this one stopped), so this process takes its own event.
    quitEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  }
  if (!quitEvent.valid()) return nullptr;
  auto thread = std::make_unique<WindowsCommandThread>(registry, std::move(quitEvent));
  if (!thread->start()) return nullptr;
  return thread;
}

}  // namespace nxr
