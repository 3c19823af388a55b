// The bridge's Windows parts under the real API: the command thread, the machine's values in the
// class declarations, and the plug-in contract with the example plug-in built as a separate DLL.
#include <gtest/gtest.h>
#include <windows.h>

#include "bridge/command_thread.h"
#include "bridge/machine_environment.h"
#include "bridge/runtime_module.h"
#include "bridge/script_bridge.h"
#include "bridge/testing/recording_diagnostics.h"
#include "bridge/testing/recording_form.h"
#include "bridge/testing/test_module.h"
#include "support/text.h"
#include "support/win.h"

namespace nxr {
namespace {

using testing::RecordingForm;
using testing::TestModule;

struct LibraryTraits {
  using Handle = HMODULE;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { FreeLibrary(h); }
};
using ScopedLibrary = ScopedObject<LibraryTraits>;

// Waits (handling nothing) until done() holds or about five seconds have passed.
template <typename Condition>
bool waitFor(Condition done) {
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

std::u16string testFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::u16string text = fromWide(path);
  return text.substr(0, text.rfind(u'\\') + 1);
}

TEST(CommandThread, TicksModulesOnlyAfterReadyAndStops) {
  ModuleRegistry registry;
  TestModule module(u"nxr.Ticked");
  registry.registerModule(module.name(), &module);
  registry.adoptCommandThread(startCommandThread(registry));
  ASSERT_TRUE(registry.hasCommandThread());

  ScopedHandle named(OpenEventW(SYNCHRONIZE, FALSE, L"CommandThreadQuitEvent"));
  EXPECT_TRUE(named.valid()) << "the quit event carries its name";
  named.reset();

  Sleep(200);  // several tick periods pass without a tick
  EXPECT_EQ(module.ticks, 0);
  registry.setReady(nullptr);
  EXPECT_TRUE(waitFor([&] { return module.ticks >= 3; })) << "ticks: " << module.ticks;

  registry.stopCommandThread();
  EXPECT_FALSE(registry.hasCommandThread());
  int after = module.ticks;
  Sleep(150);
  EXPECT_EQ(module.ticks, after) << "no tick after the thread has stopped";
  ScopedHandle gone(OpenEventW(SYNCHRONIZE, FALSE, L"CommandThreadQuitEvent"));
  EXPECT_FALSE(gone.valid()) << "the quit event is closed";
}

TEST(CommandThread, AnEventOfAnotherRuntimeDoesNotStopThisOne) {
  // Another runtime of the session holds the name, already signalled because it is quitting.
  ScopedHandle foreign(CreateEventW(nullptr, TRUE, TRUE, L"CommandThreadQuitEvent"));
  ASSERT_TRUE(foreign.valid());
  ModuleRegistry registry;
  TestModule module(u"nxr.Ticked");
  registry.registerModule(module.name(), &module);
  registry.setReady(nullptr);
  registry.adoptCommandThread(startCommandThread(registry));
  EXPECT_TRUE(waitFor([&] { return module.ticks >= 2; })) << "ticks: " << module.ticks;
  registry.shutdown();
  EXPECT_EQ(WaitForSingleObject(foreign.get(), 0), WAIT_OBJECT_0);
}

TEST(MachineEnvironment, RealValuesReachTheDeclarations) {
  DeclarationEnvironment env = readMachineEnvironment();
  EXPECT_TRUE(env.executablePath.ends_with(u"\\bridge_tests_win.exe"))
      << utf16ToUtf8(env.executablePath);
  EXPECT_EQ(env.screenWidth, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(env.screenHeight, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_TRUE(env.tempPath.ends_with(u"\\")) << utf16ToUtf8(env.tempPath);
  EXPECT_FALSE(env.specialFolders[0x24].empty()) << "the windows folder";
  EXPECT_FALSE(env.specialFolders[0x24].ends_with(u"\\"));

  std::u16string text = ModuleRegistry::instance().classDeclarations();
  EXPECT_NE(text.find(u"filename<{z}>string<{z}>ppsv<{z}>bridge_tests_win.exe<{!z!}>"),
            std::u16string::npos);
  std::u16string width = u"screenWidth<{z}>string<{z}>ppsv<{z}>" + toDecimal(env.screenWidth);
  EXPECT_NE(text.find(width), std::u16string::npos);
  std::u16string windows =
      u"windows<{z}>string<{z}>ppsv<{z}>" + env.specialFolders[0x24] + u"\\<{!z!}>";
  EXPECT_NE(text.find(windows), std::u16string::npos) << utf16ToUtf8(windows);
}

TEST(ScriptBridgeInstance, SharesTheRegistryAndCounter) {
  ScriptBridge& bridge = ScriptBridge::instance();
  EXPECT_EQ(&bridge, &ScriptBridge::instance());
  std::u16string first = bridge.dispatchCall(u"nxr.hasEI", u"null", u"");
  std::u16string second = bridge.dispatchCall(u"nxr.hasEI", u"null", u"");
  EXPECT_EQ(parseDecimal(second), parseDecimal(first) + 1);
  EXPECT_EQ(first.size(), 6u);
}

// The example plug-in is a separate DLL; calling it through the bridge checks the module,
// method and form slot orders across the library boundary.
TEST(ExamplePlugin, ModuleCallsThroughTheBridge) {
  std::u16string path = testFolder() + u"example_plugin.nxq";
  ScopedLibrary library(LoadLibraryW(asWcstr(path)));
  ASSERT_TRUE(library.valid()) << utf16ToUtf8(path) << " error " << GetLastError();
  auto count = reinterpret_cast<NxrGetNumPlugins>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "GetNumPlugins")));
  auto instance = reinterpret_cast<NxrGetPluginInstance>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "GetPluginInstance")));
  ASSERT_TRUE(count && instance);
  ASSERT_EQ(count(), 1);
  sdk::RuntimeModule* module = instance(0);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(instance(1), nullptr);
  ASSERT_TRUE(module->registerMethods());
  EXPECT_EQ(module->interfaceNumber(), 1);
  EXPECT_EQ(moduleName(*module), u"nxr.Extensions.Example");

  ModuleRegistry registry;
  module->setHost(registry.moduleHost());
  ASSERT_TRUE(registry.registerModule(moduleName(*module), module));
  RecordingForm form(0, u"main");
  registry.registerForm(0, &form);
  testing::RecordingDiagnostics diagnostics;
  ScriptBridge bridge(registry, diagnostics);
  auto call = [&](const std::u16string& method, const std::u16string& parameters) {
    return bridge.handleInvoke(
        testing::invokeRequest(u"nxr.Extensions.Example." + method, u"000000", parameters));
  };
  EXPECT_EQ(call(u"add", u"&lt;{brix}&gt;&quot;40&quot;,&quot;2&quot;"), u"42");
  EXPECT_EQ(call(u"greet", u"&lt;{brix}&gt;&quot;a@co@b&quot;"), u"&quot;Hello, a,b&quot;");
  EXPECT_EQ(call(u"callBack", u"&lt;{brix}&gt;&quot;onTitle&quot;"), u"true");
  ASSERT_EQ(form.callVariables.size(), 1u);
  EXPECT_EQ(form.callVariables[0], (RecordingForm::CallVariable{u"onTitle", u"title"}));
  EXPECT_TRUE(diagnostics.boxes.empty());
  EXPECT_NE(registry.classDeclarations().find(u"Extensions.Example<{!!z!!}><{!z!!}>"),
            std::u16string::npos);

  // Ticks reach the plug-in only once the registry is ready.
  registry.adoptCommandThread(startCommandThread(registry));
  Sleep(120);
  EXPECT_EQ(call(u"ticks", u""), u"0");
  registry.setReady(nullptr);
  EXPECT_TRUE(waitFor([&] { return call(u"ticks", u"") != u"0"; }));
  registry.stopCommandThread();
  module->releaseMethods();
  EXPECT_EQ(findMethod(*module, u"add"), nullptr);
}

}  // namespace
}  // namespace nxr
