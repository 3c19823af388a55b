#include "modules/timer_module.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

#include <mutex>
#include <utility>
#include <vector>

#include "bridge/event_texts.h"
#include "modules/builtin_registration.h"
#include "support/text.h"

namespace nxr {

namespace {

// The running timers by a serial number that is never reused. The timer service hands the
// serial to the callback, which ticks the timer only while it is still entered here; a timer
// leaves the table before it is killed, so a late expiry finds nothing.
struct RunningTimers {
  std::mutex lock;
  std::map<uintptr_t, AppTimer*> timers;
  uintptr_t lastSerial = 0;
};

RunningTimers& runningTimers() {
  static RunningTimers* running = new RunningTimers;  // outlives every timer thread
  return *running;
}

const std::u16string& argument(const std::vector<std::u16string>& args, size_t index) {
  static const std::u16string kEmpty;
  return index < args.size() ? args[index] : kEmpty;
}

class TimerMethod : public ModuleMethod {
 public:
  enum class Kind { start, stop, stopAll };
  TimerMethod(TimerModule& module, std::u16string name, Kind kind)
      : ModuleMethod(std::move(name)), module_(module), kind_(kind) {}

 protected:
  std::u16string call(FormInterface& form, const std::vector<std::u16string>& args) override {
    switch (kind_) {
      case Kind::start:
        if (args.size() >= 3) {
          module_.startTimer(form.getIndex(), parseDecimal(args[0]),
                             static_cast<uint32_t>(parseDecimal(args[1])), args[2] != u"false");
        }
        break;
      case Kind::stop:
        if (!args.empty()) module_.stopTimer(parseDecimal(argument(args, 0)));
        break;
      case Kind::stopAll:
        module_.stopAllTimers();
        break;
    }
    return {};
  }

 private:
  TimerModule& module_;
  Kind kind_;
};

}  // namespace

struct TimerExpiry {
  static void CALLBACK expired(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    AppTimer* timer = nullptr;
    {
      RunningTimers& running = runningTimers();
      std::lock_guard<std::mutex> guard(running.lock);
      auto found = running.timers.find(static_cast<uintptr_t>(user));
      if (found == running.timers.end()) return;
      timer = found->second;
      timer->ticksInProgress_.fetch_add(1);
    }
    timer->tick();
    timer->ticksInProgress_.fetch_sub(1);
  }
};

AppTimer::AppTimer(ModuleRegistry& registry, int32_t formIndex)
    : registry_(registry), formIndex_(formIndex) {
  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof(caps)) == MMSYSERR_NOERROR) {
    resolution_ = caps.wPeriodMin < caps.wPeriodMax ? caps.wPeriodMin : caps.wPeriodMax;
  }
  timeBeginPeriod(resolution_);
}

AppTimer::~AppTimer() {
  stop();
  waitForTicksInProgress();
  timeEndPeriod(resolution_);
}

uint32_t AppTimer::start(int32_t timerNumber, uint32_t interval, bool periodic) {
  stop();
  timerNumber_ = timerNumber;
  RunningTimers& running = runningTimers();
  {
    // Entered before the system timer exists, so that even the first expiry finds it.
    std::lock_guard<std::mutex> guard(running.lock);
    serial_ = ++running.lastSerial;
    running.timers[serial_] = this;
  }
  UINT type = (periodic ? TIME_PERIODIC : TIME_ONESHOT) | TIME_CALLBACK_FUNCTION;
  systemTimerId_ = timeSetEvent(interval, resolution_, &TimerExpiry::expired, serial_, type);
  if (systemTimerId_ == 0) {
    std::lock_guard<std::mutex> guard(running.lock);
    running.timers.erase(serial_);
    serial_ = 0;
  }
  return systemTimerId_;
}

void AppTimer::stop() {
  if (serial_ != 0) {
    RunningTimers& running = runningTimers();
    std::lock_guard<std::mutex> guard(running.lock);
    running.timers.erase(serial_);
    serial_ = 0;
  }
  if (systemTimerId_ != 0) {
    timeKillEvent(systemTimerId_);
    systemTimerId_ = 0;
  }
}

int32_t AppTimer::tick() {
  int32_t count = tickCount_.load();
  if (FormInterface* form = registry_.findForm(formIndex_)) {
    form->raiseEvent(timerEvent(timerNumber_, count));
  }
  tickCount_.store(count + 1);
  return count + 1;
}

void AppTimer::waitForTicksInProgress() {
  // A tick in progress may be handing its calls to a window of this very thread and waiting
  // for them to be taken: incoming sent messages are served while waiting.
  while (ticksInProgress_.load() != 0) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    Sleep(1);
  }
}

TimerModule::TimerModule(ModuleRegistry& registry)
    : RuntimeModule(u"nxr runtime", u"1.0.0", u"nxr.Application.Timer"), registry_(registry) {}

TimerModule::~TimerModule() { destroyTimers(); }

bool TimerModule::registerMethods() {
  addMethod(std::make_unique<TimerMethod>(*this, u"start", TimerMethod::Kind::start));
  addMethod(std::make_unique<TimerMethod>(*this, u"stop", TimerMethod::Kind::stop));
  addMethod(std::make_unique<TimerMethod>(*this, u"stopAll", TimerMethod::Kind::stopAll));
  return true;
}

void TimerModule::releaseMethods() {
  RuntimeModule::releaseMethods();
  destroyTimers();
}

void TimerModule::startTimer(int32_t formIndex, int32_t number, uint32_t interval, bool periodic) {
  // The timer it replaces would otherwise run on unreachable, past the module's end.
  timers_.erase(number);
  auto timer = std::make_unique<AppTimer>(registry_, formIndex);
  AppTimer& started = *timer;
  timers_[number] = std::move(timer);
  started.start(number, interval, periodic);
}

void TimerModule::stopTimer(int32_t number) {
  auto found = timers_.find(number);
  if (found != timers_.end()) found->second->stop();
}

void TimerModule::stopAllTimers() {
  for (auto& entry : timers_) entry.second->stop();
}

const AppTimer* TimerModule::findTimer(int32_t number) const {
  auto found = timers_.find(number);
  return found == timers_.end() ? nullptr : found->second.get();
}

void TimerModule::destroyTimers() {
  for (auto& entry : timers_) entry.second->stop();
  timers_.clear();
}

std::unique_ptr<TimerModule> registerTimerModule(ModuleRegistry& registry) {
  return enterBuiltinModule(registry, std::make_unique<TimerModule>(registry));
}

}  // namespace nxr
