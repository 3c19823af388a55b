// "nxr.Application.Timer": multimedia timers that call a function and raise a timer event in
// the movie of the form that started them, on the timer service's own thread. Windows only.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

#include "bridge/module_registry.h"
#include "bridge/runtime_module.h"

namespace nxr {

// One multimedia timer. Each tick looks the starting form up again in the registry.
class AppTimer {
 public:
  // Requests the finest timer resolution the machine offers for as long as the timer exists.
  AppTimer(ModuleRegistry& registry, int32_t formIndex);
  // Stops the timer, waits for a tick in progress to end and gives the resolution back.
  virtual ~AppTimer();
  AppTimer(const AppTimer&) = delete;
  AppTimer& operator=(const AppTimer&) = delete;

  // Returns the system timer id, 0 when the system refused the timer.
  virtual uint32_t start(int32_t timerNumber, uint32_t interval, bool periodic);
  // Kills the system timer; no tick begins afterwards. Harmless when not running.
  virtual void stop();
  // Delivers one tick to the form (when it still exists) and returns the new tick count.
  virtual int32_t tick();

  uint32_t systemTimerId() const { return systemTimerId_; }
  int32_t tickCount() const { return tickCount_.load(); }

 private:
  friend struct TimerExpiry;  // the timer service's callback
  void waitForTicksInProgress();

  ModuleRegistry& registry_;
  int32_t timerNumber_ = 0;
  int32_t formIndex_;
  uint32_t systemTimerId_ = 0;
  uint32_t resolution_ = 0;
  std::atomic<int32_t> tickCount_{0};
  // The key under which the timer service finds this timer; 0 while it is not running.
  uintptr_t serial_ = 0;
  std::atomic<int> ticksInProgress_{0};
};

class TimerModule : public RuntimeModule {
 public:
  // Ticks find their forms in registry, which must outlive the module's timers.
  explicit TimerModule(ModuleRegistry& registry);
  ~TimerModule() override;

  bool NXR_CALL registerMethods() override;
  // Releases the methods, then stops and destroys every timer.
  void NXR_CALL releaseMethods() override;

  // Starts a timer for the form under number; a timer already under that number is stopped
  // and destroyed first, so that it can never tick again.
  void startTimer(int32_t formIndex, int32_t number, uint32_t interval, bool periodic);
  void stopTimer(int32_t number);
  void stopAllTimers();
  const AppTimer* findTimer(int32_t number) const;
  size_t timerCount() const { return timers_.size(); }

 private:
  void destroyTimers();

  ModuleRegistry& registry_;
  std::map<int32_t, std::unique_ptr<AppTimer>> timers_;
};

// Creates the module over registry, registers its methods and enters it in the registry. The
// caller owns the result and releases its methods at shutdown, before the forms go; null when
// the module name was already taken (a plug-in registered first).
std::unique_ptr<TimerModule> registerTimerModule(ModuleRegistry& registry);

}  // namespace nxr
