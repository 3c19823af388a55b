#include "bridge/event_texts.h"

#include <gtest/gtest.h>

#include "bridge/testing/recording_form.h"
#include "support/text.h"

namespace nxr {
namespace {

using testing::RecordingForm;

std::string show(const std::u16string& text) { return utf16ToUtf8(text); }

constexpr FormSize kSize{400, 300, 408, 334};

// Each event of the catalogue, with what an ActionScript 2 movie receives through
// "nxr.__callFunction": the legacy call (name and arguments joined by "!}}v{}!") and the
// dispatched event's pieces.
struct CatalogueCase {
  const char* label;
  FormEvent event;
  std::u16string legacyName;
  std::u16string legacyArguments;
  std::u16string dispatchedArguments;
};

std::vector<CatalogueCase> catalogue() {
  return {
      {"focus gained", focusChangedEvent(u"main", true), u"onFormChangeFocus", u"main!}}v{}!true",
       u"FormChangeFocus!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"focus lost", focusChangedEvent(u"main", false), u"onFormChangeFocus", u"main!}}v{}!false",
       u"FormChangeFocus!}}v{}!Application!}}v{}!!}}v{}!status<{z}>false"},
      {"exit request", appExitEvent(), u"onAppExit", u"true",
       u"AppExit!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"close request", formCloseEvent(), u"onFormClose", u"true",
       u"FormClose!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"maximize", formMaximizeEvent(u"main", kSize), u"onFormMaximize",
       u"main!}}v{}!400!}}v{}!300!}}v{}!408!}}v{}!334",
       u"FormMaximize!}}v{}!Application!}}v{}!!}}v{}!formname<{z}>main<{!z!}>clientWidth<{z}>400"
       u"<{!z!}>clientHeight<{z}>300<{!z!}>width<{z}>408<{!z!}>height<{z}>334"},
      {"minimize", formMinimizeEvent(u"main", kSize), u"onFormMinimize",
       u"main!}}v{}!400!}}v{}!300!}}v{}!408!}}v{}!334",
       u"FormMinimize!}}v{}!Application!}}v{}!!}}v{}!formname<{z}>main<{!z!}>clientWidth<{z}>400"
       u"<{!z!}>clientHeight<{z}>300<{!z!}>width<{z}>408<{!z!}>height<{z}>334"},
      {"restore", formRestoreEvent(u"main", kSize), u"onFormRestore",
       u"main!}}v{}!400!}}v{}!300!}}v{}!408!}}v{}!334",
       u"FormRestore!}}v{}!Application!}}v{}!!}}v{}!formname<{z}>main<{!z!}>clientWidth<{z}>400"
       u"<{!z!}>clientHeight<{z}>300<{!z!}>width<{z}>408<{!z!}>height<{z}>334"},
      {"resize", formResizeEvent(u"main", {-1, 0, 8, 2}), u"onFormResize",
       u"main!}}v{}!-1!}}v{}!0!}}v{}!8!}}v{}!2",
       u"FormResize!}}v{}!Application!}}v{}!!}}v{}!formname<{z}>main<{!z!}>clientWidth<{z}>-1"
       u"<{!z!}>clientHeight<{z}>0<{!z!}>width<{z}>8<{!z!}>height<{z}>2"},
      {"reposition", formRepositionEvent(u"main", -8, 20), u"onFormReposition",
       u"main!}}v{}!-8!}}v{}!20",
       u"FormReposition!}}v{}!Application!}}v{}!!}}v{}!formname<{z}>main<{!z!}>x<{z}>-8"
       u"<{!z!}>y<{z}>20"},
      {"app minimize", appMinimizeEvent(), u"onAppMinimize", u"true",
       u"AppMinimize!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"app restore", appRestoreEvent(), u"onAppRestore", u"true",
       u"AppRestore!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"app activated", appChangeFocusEvent(true), u"onAppChangeFocus", u"true",
       u"AppChangeFocus!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"app deactivated", appChangeFocusEvent(false), u"onAppChangeFocus", u"false",
       u"AppChangeFocus!}}v{}!Application!}}v{}!!}}v{}!status<{z}>false"},
      {"left hit", edgeHitEvent(ScreenEdge::left), u"onLeftHit", u"0!}}v{}!1",
       u"LeftHit!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"top hit", edgeHitEvent(ScreenEdge::top), u"onTopHit", u"0!}}v{}!1",
       u"TopHit!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"right hit", edgeHitEvent(ScreenEdge::right), u"onRightHit", u"0!}}v{}!1",
       u"RightHit!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"bottom hit", edgeHitEvent(ScreenEdge::bottom), u"onBottomHit", u"0!}}v{}!1",
       u"BottomHit!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
      {"files dropped", dragDropEvent({u"C:\\a.txt", u"C:\\b c.txt"}), u"onDragDrop",
       u"C:\\a.txt|C:\\b c.txt",
       u"DragDrop!}}v{}!Application!}}v{}!!}}v{}!files<{z}>[\"C:\\\\a.txt\",\"C:\\\\b c.txt\"]"},
      {"timer", timerEvent(5, 2), u"onAppTimer5", u"2",
       u"Timer5!}}v{}!Application.Timer!}}v{}!!}}v{}!count<{z}>2"},
      {"splash closed", splashClosedEvent(), u"onSplashClosed", u"",
       u"SplashClosed!}}v{}!Application!}}v{}!!}}v{}!status<{z}>true"},
  };
}

TEST(EventCatalogue, As2FormGetsLegacyCallThenDispatchedEventThroughTheVariable) {
  for (const auto& c : catalogue()) {
    RecordingForm form;
    form.raiseEvent(c.event);
    ASSERT_EQ(form.callVariables.size(), 2u) << c.label;
    EXPECT_TRUE(form.invokeRequests.empty()) << c.label;
    EXPECT_EQ(form.callVariables[0], (RecordingForm::CallVariable{c.legacyName, c.legacyArguments}))
        << c.label << ": " << show(form.callVariables[0].name) << " "
        << show(form.callVariables[0].argumentText);
    EXPECT_EQ(form.callVariables[1],
              (RecordingForm::CallVariable{u"nxr.__dispatchEvent", c.dispatchedArguments}))
        << c.label << ": " << show(form.callVariables[1].argumentText);
  }
}

TEST(EventCatalogue, As3FormGetsOneCallbackRequestPerEvent) {
  for (const auto& c : catalogue()) {
    RecordingForm form;
    form.scriptReady = true;
    form.raiseEvent(c.event);
    ASSERT_EQ(form.invokeRequests.size(), 1u) << c.label;
    EXPECT_EQ(
        form.invokeRequests[0],
        u"<invoke name=\"NXRAS3EVENTCALLBACK\"><arguments><string>nxr.__dispatchEvent!}}v{}!" +
            c.dispatchedArguments + u"</string></arguments></invoke>")
        << c.label << ": " << show(form.invokeRequests[0]);
    // The legacy call still goes out through the variable, which such a movie does not watch.
    ASSERT_EQ(form.callVariables.size(), 1u) << c.label;
    EXPECT_EQ(form.callVariables[0].name, c.legacyName) << c.label;
    EXPECT_EQ(form.movieCalls[0].substr(0, 9), u"variable:") << c.label;
  }
}

TEST(EventCatalogue, DelimitersOfTheLegacyCalls) {
  EXPECT_EQ(appExitEvent().legacy.delimiter, u"@{}@");
  EXPECT_EQ(appMinimizeEvent().legacy.delimiter, u"@");
  EXPECT_EQ(appRestoreEvent().legacy.delimiter, u"");
  EXPECT_EQ(edgeHitEvent(ScreenEdge::top).legacy.delimiter, u"|");
  EXPECT_EQ(dragDropEvent({u"a"}).legacy.delimiter, u"@:@{}@");
  EXPECT_EQ(timerEvent(1, 0).legacy.delimiter, u"@~~@}{~@~@}{~");
  EXPECT_EQ(splashClosedEvent().legacy.delimiter, u":@:{}@:@{}");
  EXPECT_EQ(formResizeEvent(u"m", {}).dispatched.delimiter, u"{}");
}

TEST(EventCatalogue, DroppedFilesList) {
  EXPECT_EQ(dragDropEvent({}).dispatched.argumentText, u"DragDrop{}Application{}{}files<{z}>[]");
  EXPECT_EQ(dragDropEvent({}).legacy.argumentText, u"");
  // A double quote inside a path becomes "@q@"; "|" cannot occur in a path, so the legacy
  // argument stays one text.
  EXPECT_EQ(dragDropEvent({u"C:\\x\"y"}).dispatched.argumentText,
            u"DragDrop{}Application{}{}files<{z}>[\"C:\\\\x@q@y\"]");
  RecordingForm form;
  form.raiseEvent(dragDropEvent({u"C:\\a.txt", u"C:\\b.txt"}));
  EXPECT_EQ(form.callVariables[0].argumentText, u"C:\\a.txt|C:\\b.txt");
}

TEST(MenuClick, CleanNamesAndTexts) {
  EXPECT_EQ(menuItemCleanName(u"Open (fast)"), u"Open__fast_");
  EXPECT_EQ(menuItemCleanName(u"&Save As..."), u"Save_As___");
  EXPECT_EQ(menuItemCleanName(u"a,\"b\".{c}"), u"a__b___c_");

  struct Case {
    MenuKind kind;
    std::u16string dispatched;
    std::u16string handler;
  };
  const Case cases[] = {
      {MenuKind::main, u"MenuClick_Open__fast_{}Menu.Main{}{}status<{z}>true",
       u"onMenuClick_Open__fast_"},
      {MenuKind::context, u"ContextMenuClick_Open__fast_{}Menu.Context{}{}status<{z}>true",
       u"onContextMenuClick_Open__fast_"},
      {MenuKind::tray, u"TrayMenuClick_Open__fast_{}Menu.Tray{}{}status<{z}>true",
       u"onTrayMenuClick_Open__fast_"},
  };
  for (const auto& c : cases) {
    MenuClickTexts texts = menuClickTexts(c.kind, u"Open (fast)");
    EXPECT_EQ(texts.dispatched, (EventCall{u"nxr.__dispatchEvent", c.dispatched, u"{}"}));
    EXPECT_EQ(texts.handlerCall, (EventCall{c.handler, u"true", u""}));
    EXPECT_EQ(texts.variableName, u"menu_Open__fast_");
  }
}

TEST(SendEvent, SplittingAndTransport) {
  struct Case {
    std::u16string arguments;
    std::u16string delimiter;
    std::u16string joined;
  };
  const Case cases[] = {
      {u"a,b", u",", u"a!}}v{}!b"}, {u"ab", u",", u"ab"},
      {u"a,b", u"", u"a,b"},        {u"", u",", u""},
      {u"a,", u",", u"a!}}v{}!"},   {u"x@@y", u"@@", u"x!}}v{}!y"},
  };
  for (const auto& c : cases) {
    RecordingForm form;
    EXPECT_TRUE(form.sendEvent(u"f", c.arguments, c.delimiter));
    ASSERT_EQ(form.callVariables.size(), 1u);
    EXPECT_EQ(form.callVariables[0].argumentText, c.joined) << show(c.arguments);
  }
  // Only the dispatch function takes the AS3 path; the variable's result is passed on.
  RecordingForm form;
  form.scriptReady = true;
  form.callVariableResult = false;
  EXPECT_FALSE(form.sendEvent(u"onSomething", u"x", u","));
  EXPECT_TRUE(form.invokeRequests.empty());
  EXPECT_TRUE(form.sendEvent(u"nxr.__dispatchEvent", u"x", u","));
  EXPECT_EQ(form.invokeRequests.size(), 1u);
}

TEST(CallMovieFunction, As2VariableAndAs3Request) {
  RecordingForm as2;
  as2.callMovieFunction(u"doIt", u"a,b", u",");
  as2.callMovieFunction2(u"doIt", u"ab", u",");
  ASSERT_EQ(as2.callVariables.size(), 2u);
  EXPECT_EQ(as2.callVariables[0], (RecordingForm::CallVariable{u"doIt", u"a!}}v{}!b"}));
  EXPECT_EQ(as2.callVariables[1], (RecordingForm::CallVariable{u"doIt", u"ab"}));

  RecordingForm as3;
  as3.scriptReady = true;
  as3.callMovieFunction(u"doIt", u"a,b", u",");
  ASSERT_EQ(as3.invokeRequests.size(), 1u);
  EXPECT_EQ(as3.invokeRequests[0],
            u"<invoke name=\"doIt\" returntype=\"xml\"><arguments><string>a</string>"
            u"<string>b</string></arguments></invoke>");
  EXPECT_TRUE(as3.callVariables.empty());
}

}  // namespace
}  // namespace nxr
