#include "modules/application_module.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "bridge/script_bridge.h"
#include "bridge/testing/recording_diagnostics.h"
#include "bridge/testing/recording_form.h"
#include "modules/screensaver_module.h"
#include "support/message_box.h"
#include "support/text.h"
#include "support/win.h"

namespace nxr {
namespace {

using Args = std::vector<std::u16string>;

// Records what the module asks of the application.
class RecordingServices : public ApplicationServices {
 public:
  std::vector<std::u16string> log;
  FormInterface* main = nullptr;
  int32_t nextIndex = 0;
  bool createResult = true;
  std::u16string titleText = u"Project";
  std::u16string commandLineText = u"C:\\app\\run.exe";
  std::u16string path = u"C:\\Program Files\\My App\\run.exe";

  FormInterface* mainForm() override { return main; }
  int32_t nextFormIndex() const override { return nextIndex; }
  bool createForm(const std::u16string& name, const std::u16string& moviePath, int32_t x, int32_t y,
                  int32_t width, int32_t height, const std::u16string& styleName) override {
    log.push_back(u"createForm|" + name + u"|" + moviePath + u"|" + toDecimal(x) + u"|" +
                  toDecimal(y) + u"|" + toDecimal(width) + u"|" + toDecimal(height) + u"|" +
                  styleName);
    return createResult;
  }
  void setExitCodeAndClose(int32_t code) override {
    log.push_back(u"setExitCodeAndClose|" + toDecimal(code));
  }
  void closeMainForm() override { log.push_back(u"closeMainForm"); }
  void setMainTopmost(bool on) override {
    log.push_back(on ? u"setMainTopmost|true" : u"setMainTopmost|false");
  }
  bool speak(const std::u16string& text) override {
    log.push_back(u"speak|" + text);
    return true;
  }
  std::u16string getGlobalVar(const std::u16string& name) const override {
    return lookUp(u"global:" + name);
  }
  std::u16string getSecureVar(const std::u16string& name) const override {
    return lookUp(u"secure:" + name);
  }
  void minimize(int32_t formIndex) override { log.push_back(u"minimize|" + toDecimal(formIndex)); }
  void restore() override { log.push_back(u"restore"); }
  void setMinimizeToTray(bool on) override {
    log.push_back(on ? u"setMinimizeToTray|true" : u"setMinimizeToTray|false");
  }
  const std::u16string& title() const override { return titleText; }
  void setTitle(const std::u16string& title) override { titleText = title; }
  std::u16string commandLine() const override { return commandLineText; }
  const std::u16string& executablePath() const override { return path; }

 private:
  static std::u16string lookUp(const std::u16string& key) {
    if (key == u"global:g") return u"plain";
    if (key == u"global:quoted") return u"\"a\"b\"";
    if (key == u"secure:s") return u"C:\\secret";
    if (key == u"secure:empty") return u"";
    return u"nxr_notfound";
  }
};

struct Asked {
  std::u16string text;
  std::u16string caption;
  uint32_t type = 0;
  int calls = 0;
};

class ApplicationModuleTest : public ::testing::Test {
 protected:
  ApplicationModuleTest()
      : module_(
            services_, registry_,
            [this](const std::u16string& text, const std::u16string& caption, uint32_t type, HWND) {
              asked_ = {text, caption, type, asked_.calls + 1};
              return answer_;
            }) {}
  void SetUp() override {
    ASSERT_TRUE(module_.registerMethods());
    services_.main = &main_;
    registry_.registerForm(0, &main_);
  }
  void TearDown() override { module_.releaseMethods(); }

  std::u16string call(const std::u16string& method, const Args& args,
                      FormInterface* form = nullptr) {
    sdk::ModuleMethod* found = findMethod(module_, method);
    EXPECT_NE(found, nullptr) << "no method " << utf16ToUtf8(method);
    return found ? invokeMethod(*found, form ? form : &caller_, args) : u"<missing>";
  }

  RecordingServices services_;
  ModuleRegistry registry_{[] { return DeclarationEnvironment{}; }};
  testing::RecordingForm main_{0, u"main"};
  testing::RecordingForm caller_{1, u"help"};
  Asked asked_;
  int32_t answer_ = kBoxResultOk;
  ApplicationModule module_;
};

TEST_F(ApplicationModuleTest, HasItsThirtyFiveMethodsUnderItsName) {
  EXPECT_EQ(module_.name(), u"nxr.Application");
  const char16_t* names[] = {u"bArray",
                             u"createForm",
                             u"deleteForm",
                             u"bringToFront",
                             u"delay",
                             u"doEvents",
                             u"enableExitHandler",
                             u"exit",
                             u"exitWithCode",
                             u"exitWithModalResult",
                             u"getCMDParams",
                             u"getEnvVar",
                             u"getSecureVar",
                             u"maximize",
                             u"minimize",
                             u"minimizeToTray",
                             u"printVar",
                             u"restore",
                             u"say",
                             u"sendToBack",
                             u"setEnvVar",
                             u"shake",
                             u"showTips",
                             u"textAreaEnhance",
                             u"getGlobalVar",
                             u"getfilename",
                             u"getfilenameUnicode",
                             u"getfilenameUnix",
                             u"getisMinimized",
                             u"getpath",
                             u"getpathUnicode",
                             u"getpathUnix",
                             u"settitle",
                             u"getFormNames",
                             u"switchFullScreen"};
  for (const char16_t* name : names) EXPECT_NE(findMethod(module_, name), nullptr);
  EXPECT_EQ(module_.methodCount(), std::size(names));
}

// Methods whose whole effect is a call on the application or a form, or nothing at all.
TEST_F(ApplicationModuleTest, ForwardsToTheApplicationAndTheForms) {
  struct Case {
    const char16_t* method;
    Args args;
    std::u16string result;
    std::vector<std::u16string> services;  // what the application was asked
    std::vector<std::u16string> caller;    // operations on the calling form (index 1)
    std::vector<std::u16string> main;      // operations on the main form
  };
  const Case cases[] = {
      {u"bArray", {}, u"", {}, {}, {}},
      {u"deleteForm", {u"x"}, u"", {}, {}, {}},
      {u"doEvents", {}, u"", {}, {}, {}},
      {u"showTips", {}, u"", {}, {}, {}},
      {u"textAreaEnhance", {}, u"", {}, {}, {}},
      {u"getfilenameUnix", {}, u"", {}, {}, {}},
      {u"getpathUnix", {}, u"", {}, {}, {}},
      {u"bringToFront", {}, u"", {u"setMainTopmost|true"}, {}, {}},
      {u"sendToBack", {}, u"", {u"setMainTopmost|false"}, {}, {}},
      {u"enableExitHandler", {}, u"", {}, {u"enableExitHandler"}, {}},
      {u"exitWithCode", {u" -3x"}, u"", {u"setExitCodeAndClose|-3"}, {}, {}},
      {u"exitWithCode", {}, u"", {}, {}, {}},
      {u"maximize", {}, u"", {}, {u"maximize"}, {}},
      {u"minimize", {}, u"", {u"minimize|1"}, {}, {}},
      {u"minimizeToTray", {u"true"}, u"", {u"setMinimizeToTray|true"}, {}, {}},
      {u"minimizeToTray", {u"True"}, u"", {u"setMinimizeToTray|false"}, {}, {}},
      {u"restore", {}, u"", {u"restore"}, {}, {}},
      {u"say", {u"hello there"}, u"", {u"speak|hello there"}, {}, {}},
      {u"shake", {u"5"}, u"", {}, {}, {u"shake|5"}},
      {u"exit", {}, u"", {u"closeMainForm"}, {}, {}},
      {u"exit", {u"ask"}, u"", {u"closeMainForm"}, {}, {}},
      {u"exit", {u"now", u"Sure?"}, u"", {u"closeMainForm"}, {}, {}},
      {u"createForm",
       {u"help", u"tool", u"help.swf", u"10", u"-20", u"300x", u"200"},
       u"true",
       {u"createForm|help|help.swf|10|-20|300|200|tool"},
       {},
       {}},
      {u"createForm", {u"help", u"tool", u"help.swf", u"10", u"20", u"300"}, u"false", {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf16ToUtf8(c.method));
    services_.log.clear();
    caller_.operations.clear();
    main_.operations.clear();
    EXPECT_EQ(call(c.method, c.args), c.result);
    EXPECT_EQ(services_.log, c.services);
    EXPECT_EQ(caller_.operations, c.caller);
    EXPECT_EQ(main_.operations, c.main);
  }
  EXPECT_EQ(asked_.calls, 0) << "only exit with \"ask\" and a message asks";
}

TEST_F(ApplicationModuleTest, ResultsOfTheReadingMethods) {
  services_.commandLineText = u"\"C:\\My App\\run.exe\" first \"second arg\" C:\\x\\";
  struct Case {
    const char16_t* method;
    Args args;
    std::u16string result;
  };
  const Case cases[] = {
      {u"getCMDParams", {u"1"}, u"\"first\""},
      {u"getCMDParams", {u"2"}, u"\"second arg\""},
      {u"getCMDParams", {u"3"}, u"\"C:\\x\\\""},
      {u"getCMDParams", {u"0"}, u"\"\""},
      {u"getCMDParams", {u"-1"}, u"\"\""},
      {u"getCMDParams", {u"4"}, u"\"\""},
      {u"getCMDParams", {}, u"\"\""},
      {u"getGlobalVar", {u"g"}, u"\"plain\""},
      {u"getGlobalVar", {u"quoted"}, u"\"@q@a@q@b@q@\""},
      {u"getGlobalVar", {u"missing"}, u"\"nxr_notfound\""},
      {u"getGlobalVar", {}, u"\"nxr_notfound\""},
      {u"getSecureVar", {u"s"}, u"\"C:\\secret\""},
      {u"getSecureVar", {u"empty"}, u"\"\""},
      {u"getSecureVar", {u"g"}, u"\"nxr_notfound\""},
      {u"getSecureVar", {}, u"\"nxr_notfound\""},
      {u"getpath", {}, u"C:\\Program Files\\My App\\run.exe"},
      {u"getpathUnicode", {}, u"C:\\Program Files\\My App\\run.exe"},
      {u"getfilename", {}, u"run.exe"},
      {u"getfilenameUnicode", {}, u"run.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf16ToUtf8(c.method) + " " + (c.args.empty() ? "" : utf16ToUtf8(c.args[0])));
    EXPECT_EQ(call(c.method, c.args), c.result);
  }
}

TEST_F(ApplicationModuleTest, EnvironmentVariables) {
  const std::u16string name = u"NXR_APP_TEST_" + toDecimal(GetCurrentProcessId());
  EXPECT_EQ(call(u"getEnvVar", {name}), u"") << "unset: empty, not two quotes";
  EXPECT_EQ(call(u"setEnvVar", {name, u"C:\\a\\b"}), u"");
  EXPECT_EQ(call(u"getEnvVar", {name}), u"\"C:\\\\a\\\\b\"");
  // Longer than the first buffer: read whole.
  const std::u16string longValue(5000, u'v');
  call(u"setEnvVar", {name, longValue});
  EXPECT_EQ(call(u"getEnvVar", {name}), u"\"" + longValue + u"\"");
  call(u"setEnvVar", {name});  // one argument: nothing changes
  EXPECT_EQ(call(u"getEnvVar", {name}), u"\"" + longValue + u"\"");
  EXPECT_EQ(call(u"getEnvVar", {}), u"");
  SetEnvironmentVariableW(asWcstr(name), nullptr);
  EXPECT_EQ(call(u"getEnvVar", {name}), u"");
}

TEST_F(ApplicationModuleTest, ExitAsksWithTheMessageAndStaysOnCancel) {
  answer_ = kBoxResultCancel;
  EXPECT_EQ(call(u"exit", {u"ask", u"Really quit?"}), u"");
  EXPECT_EQ(asked_.calls, 1);
  EXPECT_EQ(asked_.text, u"Really quit?");
  EXPECT_EQ(asked_.caption, u"Information");
  EXPECT_EQ(asked_.type, uint32_t{kBoxIconInformation | kBoxOkCancel});
  EXPECT_TRUE(services_.log.empty());

  answer_ = kBoxResultOk;
  call(u"exit", {u"ask", u"Really quit?"});
  EXPECT_EQ(asked_.calls, 2);
  EXPECT_EQ(services_.log, std::vector<std::u16string>{u"closeMainForm"});
}

TEST_F(ApplicationModuleTest, ModalResultIsStoredAndTheCallerHidden) {
  EXPECT_EQ(call(u"exitWithModalResult", {u"ok"}), u"");
  EXPECT_EQ(module_.modalResult(), u"ok");
  EXPECT_EQ(caller_.operations, std::vector<std::u16string>{u"hide"});
  EXPECT_TRUE(main_.operations.empty());
  module_.clearModalResult();
  EXPECT_EQ(module_.modalResult(), u"");
}

TEST_F(ApplicationModuleTest, FormNamesFromTheRegistryUpToTheNextIndex) {
  EXPECT_EQ(call(u"getFormNames", {}), u"[\"main\"]");
  testing::RecordingForm quoted{3, u"say \"hi\""};
  registry_.registerForm(3, &quoted);
  services_.nextIndex = 2;  // index 3 is past the next index: not counted
  EXPECT_EQ(call(u"getFormNames", {}), u"[\"main\"]");
  services_.nextIndex = 3;  // up to and including the next index
  registry_.registerForm(1, &caller_);
  EXPECT_EQ(call(u"getFormNames", {}), u"[\"main\",\"help\",\"say @q@hi@q@\"]");
  // A name holding the separator travels as two names.
  main_.name = u"a|b";
  EXPECT_EQ(call(u"getFormNames", {}), u"[\"a\",\"b\",\"help\",\"say @q@hi@q@\"]");
  for (int32_t index : {0, 1, 3}) registry_.unregisterForm(index);
  EXPECT_EQ(call(u"getFormNames", {}), u"[]");
}

TEST_F(ApplicationModuleTest, IsMinimizedAndTitleFollowTheMainForm) {
  EXPECT_EQ(call(u"getisMinimized", {}), u"false");
  main_.windowState = u"min";
  EXPECT_EQ(call(u"getisMinimized", {}), u"true");
  main_.windowState = u"max";
  EXPECT_EQ(call(u"getisMinimized", {}), u"false");

  ScopedWindow window(CreateWindowExW(0, L"STATIC", L"before", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(window);
  main_.window = window.get();
  EXPECT_EQ(call(u"settitle", {u"New title"}), u"");
  EXPECT_EQ(services_.titleText, u"New title");
  wchar_t text[64] = {};
  GetWindowTextW(window.get(), text, 64);
  EXPECT_EQ(fromWide(text), u"New title");
  call(u"settitle", {});
  EXPECT_EQ(services_.titleText, u"New title");

  services_.main = nullptr;
  EXPECT_EQ(call(u"getisMinimized", {}), u"");
  EXPECT_EQ(call(u"shake", {u"3"}), u"");
  EXPECT_EQ(call(u"settitle", {u"No form"}), u"");
  EXPECT_EQ(services_.titleText, u"No form");
}

TEST_F(ApplicationModuleTest, FullScreenSavesTheStyleOnceAndRestoresIt) {
  const LONG original = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  ScopedWindow window(CreateWindowExW(0, L"STATIC", L"main", original, 10, 10, 200, 150, nullptr,
                                      nullptr, nullptr, nullptr));
  ASSERT_TRUE(window);
  main_.window = window.get();
  auto style = [&] { return GetWindowLongW(window.get(), GWL_STYLE); };
  auto topmost = [&] { return (GetWindowLongW(window.get(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  const LONG before = style();

  for (const char16_t* ignored : {u"false", u"TRUE", u"1"}) {
    call(u"switchFullScreen", {ignored});
    EXPECT_FALSE(module_.fullScreen()) << utf16ToUtf8(ignored);
  }
  call(u"switchFullScreen", {});
  EXPECT_TRUE(main_.operations.empty());

  call(u"switchFullScreen", {u"true"});
  EXPECT_TRUE(module_.fullScreen());
  EXPECT_EQ(style() & (WS_POPUP | WS_CAPTION | WS_THICKFRAME), WS_POPUP);
  EXPECT_TRUE(topmost());
  // A second "true" must not save the full-screen style over the original one.
  call(u"switchFullScreen", {u"true"});
  EXPECT_EQ(main_.operations, std::vector<std::u16string>{u"maximize"});

  call(u"switchFullScreen", {u"false"});
  EXPECT_FALSE(module_.fullScreen());
  EXPECT_EQ(style(), before);
  EXPECT_FALSE(topmost());
  EXPECT_EQ(main_.operations, (std::vector<std::u16string>{u"maximize", u"restore"}));

  services_.main = nullptr;
  call(u"switchFullScreen", {u"true"});
  EXPECT_FALSE(module_.fullScreen());
}

// Whole requests as a movie on form 0 sends them, through the bridge to the module and back.
TEST_F(ApplicationModuleTest, AnswersRequestsThroughTheBridge) {
  ASSERT_TRUE(registry_.registerModule(module_.name(), &module_));
  testing::RecordingDiagnostics diagnostics;
  ScriptBridge bridge(registry_, diagnostics);
  auto request = [](const std::u16string& command, const std::u16string& arguments) {
    return testing::invokeRequest(command, u"000000", u"&lt;{brix}&gt;" + arguments);
  };
  struct Case {
    const char16_t* command;
    const char16_t* arguments;
    std::u16string result;  // what the module gives, before the bridge encodes it
  };
  const Case cases[] = {
      {u"nxr.Application.getFormNames", u"", u"[\"main\"]"},
      {u"nxr.Application.getGlobalVar", u"&quot;quoted&quot;", u"\"@q@a@q@b@q@\""},
      {u"nxr.Application.getfilename", u"", u"run.exe"},
      {u"nxr.Application.createForm", u"help,tool,help.swf,1,2,3,4", u"true"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf16ToUtf8(c.command));
    EXPECT_EQ(bridge.handleInvoke(request(c.command, c.arguments)),
              bridge.encodeResult(c.result, u"000000"));
  }
  EXPECT_EQ(services_.log, std::vector<std::u16string>{u"createForm|help|help.swf|1|2|3|4|tool"});
  // The main form made the calls: the form operations go to it.
  bridge.handleInvoke(request(u"nxr.Application.maximize", u""));
  EXPECT_EQ(main_.operations, std::vector<std::u16string>{u"maximize"});
  EXPECT_TRUE(diagnostics.boxes.empty());
}

TEST(ApplicationModuleHelpers, DelayIsClamped) {
  EXPECT_EQ(clampedDelay(-5), 0u);
  EXPECT_EQ(clampedDelay(0), 0u);
  EXPECT_EQ(clampedDelay(250), 250u);
  EXPECT_EQ(clampedDelay(INT32_MAX), kMaxDelayMilliseconds);
}

TEST_F(ApplicationModuleTest, DelayBlocksTheCallerForTheTime) {
  const DWORD start = GetTickCount();
  EXPECT_EQ(call(u"delay", {u"120"}), u"");
  EXPECT_GE(GetTickCount() - start, 100u);
  // Negative: returns at once instead of sleeping for ever.
  EXPECT_EQ(call(u"delay", {u"-1"}), u"");
  EXPECT_EQ(call(u"delay", {}), u"");
}

TEST(ApplicationModuleHelpers, PrintedLinesSplitAtCarriageReturns) {
  using Lines = std::vector<PrintedLine>;
  EXPECT_EQ(layoutPrintedText(u"one line", 12), (Lines{{12, u"one line"}}));
  EXPECT_EQ(layoutPrintedText(u"a\rb\rc", 10), (Lines{{10, u"a"}, {20, u"b"}, {30, u"c"}}));
  EXPECT_EQ(layoutPrintedText(u"a\r\nb\n", 10), (Lines{{10, u"a"}, {20, u"\nb\n"}}));
  EXPECT_EQ(layoutPrintedText(u"", 10), (Lines{{10, u""}}));
  EXPECT_EQ(layoutPrintedText(u"end\r", 8), (Lines{{8, u"end"}, {16, u""}}));
}

TEST(ApplicationModuleHelpers, QuotingOfVariablesAndLists) {
  EXPECT_EQ(quoteVariableValue(u"abc"), u"\"abc\"");
  EXPECT_EQ(quoteVariableValue(u"a\"b"), u"\"a\"b\"") << "not itself quoted: kept";
  EXPECT_EQ(quoteVariableValue(u"\""), u"\"\"\"");
  EXPECT_EQ(quoteVariableValue(u"\"\""), u"\"@q@@q@\"");
  EXPECT_EQ(listResult({}), u"[]");
  EXPECT_EQ(listResult({u"main", u"help"}), u"[\"main\",\"help\"]");
  EXPECT_EQ(listResult({u"a\"b"}), u"[\"a@q@b\"]");
}

TEST(ApplicationModuleRegistration, APluginKeepsTheNameItTookFirst) {
  RecordingServices services;
  ModuleRegistry registry([] { return DeclarationEnvironment{}; });
  ScreensaverModule plugin;  // any module will do as the earlier holder of the name
  ASSERT_TRUE(registry.registerModule(u"nxr.Application", &plugin));
  EXPECT_EQ(registerApplicationModule(services, registry), nullptr);
  EXPECT_EQ(registry.findModule(u"nxr.Application"), &plugin);

  ModuleRegistry fresh([] { return DeclarationEnvironment{}; });
  auto module = registerApplicationModule(services, fresh);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(fresh.findModule(u"nxr.Application"), module.get());
  module->releaseMethods();
}

TEST(ScreensaverModule, SwitchesOnlyTheCallingFormsFields) {
  ModuleRegistry registry([] { return DeclarationEnvironment{}; });
  auto module = registerScreensaverModule(registry);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(registry.findModule(u"nxr.Application.Screensaver"), module.get());
  EXPECT_EQ(module->methodCount(), 2u);
  testing::RecordingForm caller{1, u"saver"};
  testing::RecordingForm other{0, u"main"};
  auto run = [&](const char16_t* method, const Args& args) {
    sdk::ModuleMethod* found = findMethod(*module, method);
    EXPECT_NE(found, nullptr);
    return found ? invokeMethod(*found, &caller, args) : u"<missing>";
  };
  EXPECT_EQ(run(u"keyPressExits", {u"true"}), u"");
  EXPECT_EQ(run(u"mouseMoveExits", {u"false"}), u"");
  EXPECT_EQ(run(u"keyPressExits", {u"TRUE"}), u"");
  EXPECT_EQ(run(u"mouseMoveExits", {}), u"");
  EXPECT_EQ(caller.operations,
            (std::vector<std::u16string>{u"setKeyPressExits|true", u"setMouseMoveExits|false",
                                         u"setKeyPressExits|false"}));
  EXPECT_TRUE(other.operations.empty());
  module->releaseMethods();
}

}  // namespace
}  // namespace nxr
