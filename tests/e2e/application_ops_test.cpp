// The Application's own operations on its forms, in this process, with recording forms that own
// real top-level windows.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "bridge/event_texts.h"
#include "bridge/module_registry.h"
#include "bridge/testing/recording_form.h"
#include "driver.h"

namespace nxr::e2e {
namespace {

using Strings = std::vector<std::u16string>;

// Messages the test windows received, and what a WM_APP asks them to do.
int closeRequests = 0;
Application* closingApplication = nullptr;

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ++closeRequests;  // a form with an exit handler keeps its window: so does this one
    return 0;
  }
  if (message == WM_APP && closingApplication) closingApplication->closeMainForm();
  return DefWindowProcW(window, message, wParam, lParam);
}

// A recording form with a top-level window of its own.
class WindowForm : public testing::RecordingForm {
 public:
  WindowForm(int32_t index, std::u16string formName) : RecordingForm(index, formName) {
    static const ATOM atom = [] {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = testWindowProc;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = L"NxrAppOpsTestWindow";
      return RegisterClassW(&windowClass);
    }();
    (void)atom;
    frame_.reset(CreateWindowExW(0, L"NxrAppOpsTestWindow", L"form", WS_OVERLAPPEDWINDOW, 20, 20,
                                 200, 150, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    window = frame_.get();
  }
  HWND frame() const { return frame_.get(); }
  // Showing a window costs a few seconds under a display without a window manager: only the
  // tests that watch the window being hidden show it.
  void showFrame() { ShowWindow(frame_.get(), SW_SHOWNOACTIVATE); }

 private:
  ScopedWindow frame_;
};

Strings eventCalls(const FormEvent& event) {
  // An ActionScript 2 form gets the legacy call, then the dispatched event, as call variables.
  testing::RecordingForm expected;
  expected.raiseEvent(event);
  return expected.movieCalls;
}

class ApplicationOps : public ::testing::Test {
 protected:
  void SetUp() override {
    closeRequests = 0;
    ASSERT_EQ(application_.takeFormIndex(), 0);
    ASSERT_EQ(application_.takeFormIndex(), 1);
    application_.addForm(&main_);
    application_.addForm(&second_);
    ModuleRegistry::instance().registerForm(0, &main_);
    ModuleRegistry::instance().registerForm(1, &second_);
  }
  void TearDown() override {
    ModuleRegistry::instance().unregisterForm(0);
    ModuleRegistry::instance().unregisterForm(1);
    closingApplication = nullptr;
  }
  void clear() {
    for (testing::RecordingForm* form : {&main_, &second_}) {
      form->operations.clear();
      form->movieCalls.clear();
    }
  }

  Application application_;
  WindowForm main_{0, u"main"};
  WindowForm second_{1, u"help"};
};

TEST_F(ApplicationOps, TheFirstFormIsTheMainForm) {
  EXPECT_EQ(application_.mainForm(), &main_);
  EXPECT_EQ(application_.nextFormIndex(), 2);
  EXPECT_EQ(application_.forms(), (std::vector<FormInterface*>{&main_, &second_}));
}

TEST_F(ApplicationOps, ExitCodeAndCloseSendsOneCloseRequestToTheMainForm) {
  application_.setExitCodeAndClose(3);
  EXPECT_EQ(application_.exitCode(), 3);
  EXPECT_EQ(closeRequests, 1);
  EXPECT_FALSE(application_.mainFormClosed()) << "the close request decides, not the call";
}

TEST_F(ApplicationOps, TopmostSwitchesOnlyTheMainForm) {
  auto topmost = [](HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  };
  RECT before;
  GetWindowRect(main_.frame(), &before);
  application_.setMainTopmost(true);
  EXPECT_TRUE(topmost(main_.frame()));
  EXPECT_FALSE(topmost(second_.frame()));
  application_.setMainTopmost(false);
  EXPECT_FALSE(topmost(main_.frame()));
  RECT after;
  GetWindowRect(main_.frame(), &after);
  EXPECT_TRUE(EqualRect(&before, &after)) << "neither moved nor sized";
}

TEST_F(ApplicationOps, MinimizeAndRestoreReachTheFormsAndRaiseTheApplicationEvents) {
  struct Case {
    int32_t formIndex;
    Strings main;
    Strings second;
  };
  const Case cases[] = {
      {1, {}, {u"minimize"}},
      {0, {u"minimize"}, {}},
      {7, {}, {}},  // no form under that index: only the event
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.formIndex);
    clear();
    application_.minimize(c.formIndex);
    EXPECT_EQ(main_.operations, c.main);
    EXPECT_EQ(second_.operations, c.second);
    EXPECT_EQ(main_.movieCalls, eventCalls(appMinimizeEvent()));
    EXPECT_TRUE(second_.movieCalls.empty());
  }
  clear();
  application_.restore();
  EXPECT_EQ(main_.operations, Strings{u"restore"});
  EXPECT_EQ(second_.operations, Strings{u"restore"});
  EXPECT_EQ(main_.movieCalls, eventCalls(appRestoreEvent()));
}

TEST_F(ApplicationOps, MinimizeToTrayHidesTheMainForm) {
  // The tray needs a taskbar to take the icon; without one a message box would wait for a user.
  if (!FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "no taskbar on this desktop";
  main_.showFrame();
  application_.setMinimizeToTray(true);
  application_.minimize(1);
  EXPECT_TRUE(application_.trayIconAdded());
  EXPECT_FALSE(IsWindowVisible(main_.frame()));
  EXPECT_TRUE(main_.operations.empty()) << "the frame is hidden directly";
  EXPECT_TRUE(second_.operations.empty());
  EXPECT_EQ(main_.movieCalls, eventCalls(appMinimizeEvent()));
  application_.removeTrayIcon();
  EXPECT_FALSE(application_.trayIconAdded());
}

// Once the icon is gone, the next minimise modifies an icon the taskbar no longer has: the user
// is told, and the form stays where it is.
TEST_F(ApplicationOps, AFailedTrayIconIsReported) {
  if (!FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "no taskbar on this desktop";
  application_.setMinimizeToTray(true);
  application_.minimize(1);
  ASSERT_TRUE(application_.trayIconAdded());
  application_.removeTrayIcon();
  main_.showFrame();

  std::atomic<bool> reported{false};
  std::thread user([&] {
    for (int tries = 0; tries < 200 && !reported; ++tries) {
      HWND box = FindWindowW(L"#32770", L"ERROR");
      DWORD owner = 0;
      if (box) GetWindowThreadProcessId(box, &owner);
      if (box && owner == GetCurrentProcessId() && hasChildText(box, L"Unable to Set Tray Icon")) {
        reported = true;
        pressButton(box, IDOK);
      }
      Sleep(50);
    }
  });
  application_.minimize(1);
  user.join();
  EXPECT_TRUE(reported);
  EXPECT_FALSE(application_.trayIconAdded());
  EXPECT_TRUE(IsWindowVisible(main_.frame()));
}

TEST_F(ApplicationOps, ClosingTheMainFormEndsTheMessageLoop) {
  main_.showFrame();
  closingApplication = &application_;
  PostMessageW(main_.frame(), WM_APP, 0, 0);
  application_.runMessageLoop();
  EXPECT_TRUE(application_.mainFormClosed());
  EXPECT_EQ(main_.operations, Strings{u"hide"});
  EXPECT_FALSE(IsWindowVisible(main_.frame()));
  EXPECT_EQ(closeRequests, 0) << "closing sends no close request";
}

TEST(ApplicationOpsWithoutForms, OperationsOnTheMainFormDoNothing) {
  Application application;
  application.setExitCodeAndClose(5);
  EXPECT_EQ(application.exitCode(), 5);
  application.setMainTopmost(true);
  application.closeMainForm();
  application.minimize(0);
  application.restore();
  EXPECT_FALSE(application.mainFormClosed());
  application.runMessageLoop();  // returns at once
  EXPECT_FALSE(application.createForm(u"x", u"x.swf", 0, 0, 10, 10, u"")) << "no form code yet";
}

}  // namespace
}  // namespace nxr::e2e
