#include "bridge/script_bridge.h"

#include <gtest/gtest.h>

#include "bridge/testing/recording_diagnostics.h"
#include "bridge/testing/recording_form.h"
#include "bridge/testing/test_module.h"
#include "support/text.h"

namespace nxr {
namespace {

using testing::RecordingDiagnostics;
using testing::RecordingForm;
using testing::TestModule;

std::string show(const std::u16string& text) { return utf16ToUtf8(text); }

class ScriptBridgeTest : public ::testing::Test {
 protected:
  ScriptBridgeTest() {
    app.registerMethods();
    registry.registerModule(app.name(), &app);
    registry.registerForm(0, &main);
    registry.registerForm(1, &help);
  }

  ModuleRegistry registry{[] {
    DeclarationEnvironment env;
    env.executablePath = u"C:\\Apps\\run.exe";
    return env;
  }};
  RecordingDiagnostics diagnostics;
  ScriptBridge bridge{registry, diagnostics};
  TestModule app{u"nxr.Application", {u"echo", u"exit"}};
  RecordingForm main{0, u"main"};
  RecordingForm help{1, u"help", true};
};

TEST_F(ScriptBridgeTest, HandshakeThroughRequests) {
  struct Case {
    std::u16string request;
    std::u16string reply;
  };
  const Case cases[] = {
      {uR"(<invoke name="nxr.hasEI" returntype="xml"><arguments><string>null</string></arguments></invoke>)",
       u"000000"},
      {uR"(<invoke name="nxr.hasEI" returntype="xml"><arguments><string>null</string></arguments></invoke>)",
       u"000001"},
      // The counter is shared by every form.
      {testing::invokeRequest(u"nxr.hasEI", u"000001", u""), u"000002"},
      {testing::invokeRequest(u"nxr.initppsv", u"000000", u"&lt;{brix}&gt;&quot;&quot;"),
       u"invalid"},
      {testing::invokeRequest(u"nxr.initforms", u"000001", u"&lt;{brix}&gt;&quot;&quot;"),
       u"main&lt;{!z!}&gt;standard&lt;{!z!!}&gt;help&lt;{!z!}&gt;transparent&lt;{!z!}&gt;"
       u"thisForm&lt;{!z!!}&gt;"},
      // Commands are compared exactly.
      {testing::invokeRequest(u"nxr.HasEI", u"000000", u""), u""},
  };
  for (const auto& c : cases) EXPECT_EQ(bridge.handleInvoke(c.request), c.reply) << show(c.request);
  // "nxr.HasEI" is routed: module "nxr" does not exist.
  EXPECT_EQ(diagnostics.boxes,
            std::vector<std::u16string>{u"Error: couldn't locate runtime module: nxr"});
}

TEST_F(ScriptBridgeTest, InitialiseAnswersTheEncodedClassDeclarations) {
  std::u16string reply = bridge.handleInvoke(
      testing::invokeRequest(u"nxr.initialise", u"000000", u"&lt;{brix}&gt;&quot;&quot;"));
  EXPECT_EQ(reply, encodeResultText(registry.classDeclarations(), true));
  EXPECT_TRUE(reply.starts_with(u"Extensions&lt;{!!z!!}&gt;&lt;{!z!!}&gt;GlobalVariables"));
  // The program folder, doubled by the declarations and again for an ActionScript 2 form.
  EXPECT_NE(reply.find(u"ppsv&lt;{z}&gt;C:\\\\\\\\Apps\\\\\\\\&lt;{!z!}&gt;"),
            std::u16string::npos);
}

TEST_F(ScriptBridgeTest, MethodCallsThroughRequests) {
  app.answer = [](const std::vector<std::u16string>& args) {
    return args.empty() ? std::u16string(u"\"none\"") : u"\"" + args[0] + u"\"";
  };
  struct Case {
    std::u16string formId;
    std::u16string parameters;
    std::vector<std::u16string> arguments;
    std::u16string reply;
  };
  const Case cases[] = {
      {u"000000", u"", {}, u"&quot;none&quot;"},
      {u"000000", u"&lt;{brix}&gt;&quot;&quot;", {u""}, u"&quot;&quot;"},
      {u"000000",
       u"&lt;{brix}&gt;&quot;a@co@b&quot;,&quot;2&quot;",
       {u"a,b", u"2"},
       u"&quot;a,b&quot;"},
      {u"000000", u"&lt;{brix}&gt;&quot;@dq@x@dq@&quot;", {u"\"x\""}, u"&quot;@q@x@q@&quot;"},
      {u"000000",
       u"&lt;{brix}&gt;&quot;a@amp@b&lt;c&gt;&quot;",
       {u"a&b<c>"},
       u"&quot;a&b&lt;c&gt;&quot;"},
      {u"000000", u"&lt;{brix}&gt;&quot;C:\\dir&quot;", {u"C:\\dir"}, u"&quot;C:\\\\dir&quot;"},
      {u"000001", u"&lt;{brix}&gt;&quot;he@dq@hi&quot;", {u"he\"hi"}, u"&quot;he@q@hi&quot;"},
  };
  for (const auto& c : cases) {
    app.calls.clear();
    EXPECT_EQ(bridge.handleInvoke(
                  testing::invokeRequest(u"nxr.Application.echo", c.formId, c.parameters)),
              c.reply)
        << show(c.parameters);
    ASSERT_EQ(app.calls.size(), 1u);
    EXPECT_EQ(app.calls[0].arguments, c.arguments) << show(c.parameters);
    EXPECT_EQ(app.calls[0].formIndex, parseFormId(c.formId));
  }
  EXPECT_TRUE(diagnostics.boxes.empty());
}

TEST_F(ScriptBridgeTest, As2DoublesBackslashesUntilFlash9Ready) {
  app.answer = [](const std::vector<std::u16string>&) { return std::u16string(u"\"C:\\x\""); };
  const std::u16string call = testing::invokeRequest(u"nxr.Application.echo", u"000001", u"");
  EXPECT_EQ(bridge.handleInvoke(call), u"&quot;C:\\\\x&quot;");
  EXPECT_EQ(bridge.handleInvoke(testing::invokeRequest(u"nxr.flash9ready", u"000001", u"")), u"");
  EXPECT_TRUE(help.scriptReady);
  EXPECT_FALSE(main.scriptReady);
  EXPECT_EQ(bridge.handleInvoke(call), u"&quot;C:\\x&quot;");
  // An id that matches no form is ignored.
  EXPECT_EQ(bridge.handleInvoke(testing::invokeRequest(u"nxr.flash9ready", u"000009", u"")), u"");
}

TEST_F(ScriptBridgeTest, RoutingFailures) {
  struct Case {
    std::u16string command;
    std::u16string formId;
    std::vector<std::u16string> boxes;
    size_t calls;
  };
  const Case cases[] = {
      {u"nxr.Application.nothing",
       u"000000",
       {u"Error: couldn't locate method 'nothing' in runtime module: nxr.Application"},
       0},
      {u"nxr.Browser.create",
       u"000000",
       {u"Error: couldn't locate runtime module: nxr.Browser"},
       0},
      {u"nodot", u"000000", {}, 0},
      // A form id without a registered form: the method is not invoked, nothing is shown.
      {u"nxr.Application.echo", u"000042", {}, 0},
      {u"nxr.Application.echo", u"000000", {}, 1},
      // Method names are case-sensitive.
      {u"nxr.Application.Echo",
       u"000000",
       {u"Error: couldn't locate method 'Echo' in runtime module: nxr.Application"},
       0},
  };
  app.answer = [](const std::vector<std::u16string>&) { return std::u16string(u"C:\\x"); };
  for (const auto& c : cases) {
    diagnostics.boxes.clear();
    app.calls.clear();
    std::u16string reply = bridge.handleInvoke(testing::invokeRequest(c.command, c.formId, u""));
    EXPECT_EQ(reply, c.calls ? u"C:\\\\x" : u"") << show(c.command);
    EXPECT_EQ(diagnostics.boxes, c.boxes) << show(c.command);
    EXPECT_EQ(app.calls.size(), c.calls) << show(c.command);
  }
}

TEST_F(ScriptBridgeTest, DebugOutputOfOneCall) {
  app.answer = [](const std::vector<std::u16string>&) { return std::u16string(u"\"ok\""); };
  bridge.dispatchCall(u"nxr.Application.echo", u"000000", u"&lt;{brix}&gt;&quot;1&quot;");
  EXPECT_EQ(diagnostics.output, (std::vector<std::u16string>{u"nxr.Application.echo", u" - ",
                                                             u"&lt;{brix}&gt;&quot;1&quot;\n",
                                                             u"\n&quot;ok&quot;\nsize = 14\n"}));
}

TEST_F(ScriptBridgeTest, EncodeResultDependsOnTheCallingForm) {
  EXPECT_EQ(bridge.encodeResult(u"a\\b", u"000000"), u"a\\\\b");
  EXPECT_EQ(bridge.encodeResult(u"a\\b", u"000005"), u"a\\b");
  main.scriptReady = true;
  EXPECT_EQ(bridge.encodeResult(u"a\\b", u"000000"), u"a\\b");
  EXPECT_EQ(ScriptBridge::parseArguments(u"<{brix}>&quot;&quot;"),
            std::vector<std::u16string>{u""});
}

}  // namespace
}  // namespace nxr
