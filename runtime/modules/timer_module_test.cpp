#include "modules/timer_module.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/event_texts.h"
#include "bridge/testing/recording_form.h"
#include "support/text.h"

namespace nxr {
namespace {

using namespace std::chrono_literals;
constexpr auto kArrivalTimeout = 5s;
// Long enough for a stopped 10 ms timer to have ticked several times had it not stopped.
constexpr auto kQuietPeriod = 150ms;

// A recording form whose movie calls may arrive from the timer thread.
class TickForm : public testing::RecordingForm {
 public:
  explicit TickForm(int32_t index) : RecordingForm(index) {}

  bool NXR_CALL setCallVariable(const char16_t* n, const char16_t* a) override {
    std::lock_guard<std::mutex> guard(lock_);
    bool taken = RecordingForm::setCallVariable(n, a);
    arrived_.notify_all();
    return taken;
  }
  bool NXR_CALL sendInvokeRequest(const char16_t* request) override {
    std::lock_guard<std::mutex> guard(lock_);
    bool taken = RecordingForm::sendInvokeRequest(request);
    arrived_.notify_all();
    return taken;
  }
  // Waits until at least count movie calls have arrived; false on timeout.
  bool waitForCalls(size_t count) {
    std::unique_lock<std::mutex> guard(lock_);
    return arrived_.wait_for(guard, kArrivalTimeout, [&] { return movieCalls.size() >= count; });
  }
  std::vector<std::u16string> calls() {
    std::lock_guard<std::mutex> guard(lock_);
    return movieCalls;
  }
  size_t callCount() { return calls().size(); }

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
};

// What the movie of a form receives for the ticks 0 .. ticks-1 of timer number.
std::vector<std::u16string> expectedCalls(int32_t number, int32_t ticks) {
  testing::RecordingForm reference;
  for (int32_t count = 0; count < ticks; ++count) reference.raiseEvent(timerEvent(number, count));
  return reference.movieCalls;
}

std::vector<std::u16string> firstCalls(const std::vector<std::u16string>& calls, size_t n) {
  return {calls.begin(), calls.begin() + std::min(n, calls.size())};
}

class TimerModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.registerForm(1, &formA_);
    registry_.registerForm(2, &formB_);
    module_ = registerTimerModule(registry_);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    if (module_) module_->releaseMethods();
  }

  std::u16string call(TickForm& form, const std::u16string& method,
                      const std::vector<std::u16string>& args) {
    sdk::ModuleMethod* found = findMethod(*module_, method);
    EXPECT_NE(found, nullptr) << utf16ToUtf8(method);
    return found ? invokeMethod(*found, &form, args) : u"<missing>";
  }
  // Asserts that the form gets no further call for a while.
  void expectQuiet(TickForm& form, const char* what) {
    size_t before = form.callCount();
    std::this_thread::sleep_for(kQuietPeriod);
    EXPECT_EQ(form.callCount(), before) << what;
  }

  ModuleRegistry registry_;
  TickForm formA_{1};
  TickForm formB_{2};
  std::unique_ptr<TimerModule> module_;
};

TEST_F(TimerModuleTest, RegistersItsMethods) {
  EXPECT_EQ(registry_.findModule(u"nxr.Application.Timer"), module_.get());
  EXPECT_EQ(module_->methodCount(), 3u);
  for (const char16_t* name : {u"start", u"stop", u"stopAll"}) {
    EXPECT_NE(findMethod(*module_, name), nullptr) << utf16ToUtf8(name);
  }
  EXPECT_EQ(registerTimerModule(registry_), nullptr);
}

TEST_F(TimerModuleTest, RepeatingTimerCountsFromZeroOnItsOwnThread) {
  EXPECT_EQ(call(formA_, u"start", {u"5", u"10", u"true"}), u"");
  ASSERT_TRUE(formA_.waitForCalls(6));
  EXPECT_EQ(firstCalls(formA_.calls(), 6), expectedCalls(5, 3));
  EXPECT_EQ(call(formA_, u"stop", {u"5"}), u"");
  ASSERT_NE(module_->findTimer(5), nullptr);
  EXPECT_EQ(module_->findTimer(5)->systemTimerId(), 0u);
  expectQuiet(formA_, "after stop");
}

TEST_F(TimerModuleTest, OnlyTheExactWordFalseMakesAOneShotTimer) {
  struct Case {
    std::u16string repeat;
    bool periodic;
  };
  const Case cases[] = {{u"false", false}, {u"FALSE", true}, {u"no", true}, {u"", true}};
  std::list<TickForm> forms;  // outlive any tick still on its way when a timer stops
  int32_t number = 20;
  for (const Case& c : cases) {
    TickForm& form = forms.emplace_back(100 + number);
    registry_.registerForm(100 + number, &form);
    call(form, u"start", {toDecimal(number), u"10", c.repeat});
    if (c.periodic) {
      EXPECT_TRUE(form.waitForCalls(4)) << utf16ToUtf8(c.repeat);
      module_->stopTimer(number);
    } else {
      EXPECT_TRUE(form.waitForCalls(2)) << utf16ToUtf8(c.repeat);
      expectQuiet(form, "one-shot");
      EXPECT_EQ(form.calls(), expectedCalls(number, 1));
    }
    // The form leaves the table while its timer's object lives on until the release.
    registry_.unregisterForm(100 + number);
    ++number;
  }
}

TEST_F(TimerModuleTest, StartWithTooFewArgumentsDoesNothing) {
  EXPECT_EQ(call(formA_, u"start", {u"5", u"10"}), u"");
  EXPECT_EQ(module_->timerCount(), 0u);
  expectQuiet(formA_, "two arguments");
}

TEST_F(TimerModuleTest, StopOfAnUnknownOrStoppedTimerIsHarmless) {
  EXPECT_EQ(call(formA_, u"stop", {u"99"}), u"");
  EXPECT_EQ(call(formA_, u"stop", {}), u"");
  call(formA_, u"start", {u"3", u"10", u"true"});
  ASSERT_TRUE(formA_.waitForCalls(2));
  call(formA_, u"stop", {u"3"});
  call(formA_, u"stop", {u"3"});
  EXPECT_EQ(module_->timerCount(), 1u);  // a stopped timer stays in the table
  expectQuiet(formA_, "after stopping twice");
}

TEST_F(TimerModuleTest, StopAllStopsEveryTimerOfEveryForm) {
  call(formA_, u"start", {u"1", u"10", u"true"});
  call(formB_, u"start", {u"2", u"10", u"true"});
  ASSERT_TRUE(formA_.waitForCalls(2));
  ASSERT_TRUE(formB_.waitForCalls(2));
  EXPECT_EQ(formB_.calls()[0], expectedCalls(2, 1)[0]);
  EXPECT_EQ(call(formA_, u"stopAll", {}), u"");
  EXPECT_EQ(module_->timerCount(), 2u);
  expectQuiet(formA_, "timer 1 after stopAll");
  expectQuiet(formB_, "timer 2 after stopAll");
}

TEST_F(TimerModuleTest, StartingAgainUnderTheSameNumberStopsTheEarlierTimer) {
  call(formA_, u"start", {u"7", u"10", u"true"});
  ASSERT_TRUE(formA_.waitForCalls(2));
  call(formB_, u"start", {u"7", u"10", u"true"});
  EXPECT_EQ(module_->timerCount(), 1u);
  ASSERT_TRUE(formB_.waitForCalls(4));
  EXPECT_EQ(firstCalls(formB_.calls(), 4), expectedCalls(7, 2));  // the new one counts from 0
  expectQuiet(formA_, "replaced timer");
}

TEST_F(TimerModuleTest, ATimerWhoseFormIsGoneCountsOnSilently) {
  // The form's index is not (or no longer) in the registry's form table. The table is not
  // changed while timers run: the timer thread reads it without a lock.
  TickForm gone(9);
  call(gone, u"start", {u"4", u"10", u"true"});
  const AppTimer* timer = module_->findTimer(4);
  ASSERT_NE(timer, nullptr);
  auto deadline = std::chrono::steady_clock::now() + kArrivalTimeout;
  while (timer->tickCount() < 3 && std::chrono::steady_clock::now() < deadline) Sleep(5);
  EXPECT_GE(timer->tickCount(), 3);
  module_->stopTimer(4);
  EXPECT_EQ(gone.callCount(), 0u);
  EXPECT_EQ(formA_.callCount(), 0u);
}

TEST_F(TimerModuleTest, ReleaseStopsAndDestroysEveryTimer) {
  call(formA_, u"start", {u"1", u"10", u"true"});
  call(formA_, u"start", {u"2", u"10", u"true"});
  call(formA_, u"start", {u"2", u"10", u"true"});  // the replaced one must go too
  ASSERT_TRUE(formA_.waitForCalls(4));
  module_->releaseMethods();
  EXPECT_EQ(module_->timerCount(), 0u);
  EXPECT_EQ(findMethod(*module_, u"start"), nullptr);
  expectQuiet(formA_, "after release");
}

TEST_F(TimerModuleTest, NoTimerTicksAfterTheModuleIsGone) {
  call(formA_, u"start", {u"8", u"10", u"true"});
  ASSERT_TRUE(formA_.waitForCalls(2));
  module_.reset();
  expectQuiet(formA_, "after the module was destroyed");
}

}  // namespace
}  // namespace nxr
