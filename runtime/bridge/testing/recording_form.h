// A form for tests: implements every form operation by recording it. The movie calls
// (sendInvokeRequest, setCallVariable) are kept apart so tests can compare what a movie would
// receive.
#pragma once

#include <string>
#include <vector>

#include "forms/form_interface.h"

namespace nxr::testing {

class RecordingForm : public FormInterface {
 public:
  struct CallVariable {
    std::u16string name;
    std::u16string argumentText;
    bool operator==(const CallVariable&) const = default;
  };

  explicit RecordingForm(int32_t index = 0, std::u16string formName = u"main",
                         bool transparent = false)
      : index_(index) {
    name = std::move(formName);
    transparentMode = transparent;
  }
  ~RecordingForm() = default;

  // What reached the movie, in order: "invoke:" + request or "variable:" + name + "=" + value.
  std::vector<std::u16string> movieCalls;
  std::vector<std::u16string> invokeRequests;
  std::vector<CallVariable> callVariables;
  // Every other operation, by name and arguments.
  std::vector<std::u16string> operations;
  bool callVariableResult = true;
  int32_t destroyed = 0;
  // What getWindow and getWindowState give.
  sdk::WindowHandle window = nullptr;
  std::u16string windowState = u"nor";

  void NXR_CALL destroy() override { ++destroyed; }
  int32_t NXR_CALL getIndex() override { return index_; }
  sdk::WindowHandle NXR_CALL getWindow() override { return window; }
  sdk::InstanceHandle NXR_CALL getInstance() override { return nullptr; }
  sdk::WindowHandle NXR_CALL getHostWindow() override { return nullptr; }
  bool NXR_CALL isTopmost() override { return false; }
  const char16_t* NXR_CALL getTitleText(int32_t* length) override { return give(title_, length); }
  void NXR_CALL setShapeFromFileAt(const char16_t* p, const char16_t* x,
                                   const char16_t* y) override {
    record(u"setShapeFromFileAt", {p, x, y});
  }
  void NXR_CALL callMovieFunction(const char16_t* n, const char16_t* a,
                                  const char16_t* s) override {
    deliverMovieCall(n, a, s);
  }
  void NXR_CALL callMovieFunction2(const char16_t* n, const char16_t* a,
                                   const char16_t* s) override {
    deliverMovieCall(n, a, s);
  }
  void NXR_CALL setSizeLimits(const char16_t* a, const char16_t* b, const char16_t* c,
                              const char16_t* d) override {
    record(u"setSizeLimits", {a, b, c, d});
  }
  void NXR_CALL disableDragDrop() override { record(u"disableDragDrop"); }
  void NXR_CALL enableDragDrop() override { record(u"enableDragDrop"); }
  void NXR_CALL gotoFrame(const char16_t* f) override { record(u"gotoFrame", {f}); }
  void NXR_CALL gotoLabel(const char16_t* l) override { record(u"gotoLabel", {l}); }
  void NXR_CALL hide() override { record(u"hide"); }
  void NXR_CALL removeShape() override { record(u"removeShape"); }
  void NXR_CALL showTitleBar(const char16_t* s) override { record(u"showTitleBar", {s}); }
  void NXR_CALL maximize() override { record(u"maximize"); }
  void NXR_CALL minimize() override { record(u"minimize"); }
  void NXR_CALL restore() override { record(u"restore"); }
  void NXR_CALL setFocus() override { record(u"setFocus"); }
  void NXR_CALL setStatusText(const char16_t* t) override { record(u"setStatusText", {t}); }
  void NXR_CALL shake(const char16_t* c) override { record(u"shake", {c}); }
  void NXR_CALL show() override { record(u"show"); }
  void NXR_CALL unused25(const char16_t*) override {}
  void NXR_CALL unused26(const char16_t*) override {}
  void NXR_CALL setShapeFromFile(const char16_t* p) override { record(u"setShapeFromFile", {p}); }
  const char16_t* NXR_CALL runModal(int32_t* length) override {
    record(u"runModal");
    return give(modalResult_, length);
  }
  void NXR_CALL showStatusBar() override { record(u"showStatusBar"); }
  void NXR_CALL enableDrag() override { record(u"enableDrag"); }
  void NXR_CALL disableDrag() override { record(u"disableDrag"); }
  int32_t NXR_CALL getAlpha() override { return 255; }
  void NXR_CALL setAlpha(const char16_t* a) override { record(u"setAlpha", {a}); }
  void NXR_CALL setBaseUrl(const char16_t* u) override { record(u"setBaseUrl", {u}); }
  void NXR_CALL setBgColor(const char16_t* c) override { record(u"setBgColor", {c}); }
  int32_t NXR_CALL getHeight() override { return 0; }
  void NXR_CALL setHeight(const char16_t* h) override { record(u"setHeight", {h}); }
  bool NXR_CALL isCreated() override { return false; }
  void NXR_CALL setTitle(const char16_t* t) override { record(u"setTitle", {t}); }
  void NXR_CALL setTitleUnicode(const char16_t* t) override { record(u"setTitleUnicode", {t}); }
  const char16_t* NXR_CALL getTitle(int32_t* length) override { return give(title_, length); }
  bool NXR_CALL isVisible() override { return true; }
  void NXR_CALL setVisible(const char16_t* v) override { record(u"setVisible", {v}); }
  int32_t NXR_CALL getWidth() override { return 0; }
  void NXR_CALL setWidth(const char16_t* w) override { record(u"setWidth", {w}); }
  const char16_t* NXR_CALL getWindowState(int32_t* length) override {
    return give(windowState, length);
  }
  int32_t NXR_CALL getX() override { return 0; }
  void NXR_CALL setX(const char16_t* x) override { record(u"setX", {x}); }
  int32_t NXR_CALL getY() override { return 0; }
  void NXR_CALL setY(const char16_t* y) override { record(u"setY", {y}); }
  void NXR_CALL showMaxButton(bool on) override { record(u"showMaxButton", {flag(on)}); }
  void NXR_CALL showMinButton(bool on) override { record(u"showMinButton", {flag(on)}); }
  void NXR_CALL showSysButton(bool on) override { record(u"showSysButton", {flag(on)}); }
  void NXR_CALL close() override { record(u"close"); }
  void NXR_CALL setStyle(const char16_t* s) override { record(u"setStyle", {s}); }
  void NXR_CALL unused56(const char16_t*) override {}
  void NXR_CALL setLeftMouseMode(const char16_t* m) override { record(u"setLeftMouseMode", {m}); }
  void NXR_CALL setMiddleMouseMode(const char16_t* m) override {
    record(u"setMiddleMouseMode", {m});
  }
  void NXR_CALL setRightMouseMode(const char16_t* m) override { record(u"setRightMouseMode", {m}); }
  void NXR_CALL setVariable(const char16_t* n, const char16_t* v) override {
    record(u"setVariable", {n, v});
  }
  bool NXR_CALL setScaleMode(int32_t) override { return true; }
  bool NXR_CALL setAlignMode(int32_t) override { return true; }
  const char16_t* NXR_CALL getVariable(const char16_t* n, int32_t* length) override {
    record(u"getVariable", {n});
    return give(variableValue_, length);
  }
  bool NXR_CALL loadMovie(int32_t, const char16_t* u) override {
    record(u"loadMovie", {u});
    return true;
  }
  bool NXR_CALL setBaseUrlChecked(const char16_t* u) override {
    record(u"setBaseUrlChecked", {u});
    return true;
  }
  bool NXR_CALL setVariableChecked(const char16_t* n, const char16_t* v) override {
    record(u"setVariableChecked", {n, v});
    return true;
  }
  void NXR_CALL enableExitHandler() override { record(u"enableExitHandler"); }
  void NXR_CALL addMenuSeparator(const char16_t* m) override { record(u"addMenuSeparator", {m}); }
  void NXR_CALL addMenu(const char16_t* m) override { record(u"addMenu", {m}); }
  void NXR_CALL addMenuItem(const char16_t* m, const char16_t* i) override {
    record(u"addMenuItem", {m, i});
  }
  void NXR_CALL checkMenuItem(const char16_t* m, const char16_t* i, bool on) override {
    record(u"checkMenuItem", {m, i, flag(on)});
  }
  void NXR_CALL enableMenuItem(const char16_t* m, const char16_t* i, bool on) override {
    record(u"enableMenuItem", {m, i, flag(on)});
  }
  void NXR_CALL showMenuItem(const char16_t* m, const char16_t* i, bool on) override {
    record(u"showMenuItem", {m, i, flag(on)});
  }
  void NXR_CALL removeMenu(const char16_t* m) override { record(u"removeMenu", {m}); }
  void NXR_CALL removeMenuItem(const char16_t* m, const char16_t* i) override {
    record(u"removeMenuItem", {m, i});
  }
  void NXR_CALL setMenuClickMode(const char16_t* m) override { mainMenuClickMode = m; }
  void NXR_CALL hideTrayIcon() override { record(u"hideTrayIcon"); }
  void NXR_CALL addTraySeparator() override { record(u"addTraySeparator"); }
  void NXR_CALL addTrayItem(const char16_t* i) override { record(u"addTrayItem", {i}); }
  void NXR_CALL checkTrayItem(const char16_t* i, bool on) override {
    record(u"checkTrayItem", {i, flag(on)});
  }
  void NXR_CALL enableTrayItem(const char16_t* i, bool on) override {
    record(u"enableTrayItem", {i, flag(on)});
  }
  void NXR_CALL showTrayItem(const char16_t* i, bool on) override {
    record(u"showTrayItem", {i, flag(on)});
  }
  void NXR_CALL removeTrayItem(const char16_t* i) override { record(u"removeTrayItem", {i}); }
  void NXR_CALL setTrayIcon(const char16_t* p) override { record(u"setTrayIcon", {p}); }
  void NXR_CALL showBalloon(const char16_t* t, const char16_t* m, const char16_t* i, int32_t,
                            const char16_t* c) override {
    record(u"showBalloon", {t, m, i, c});
  }
  void NXR_CALL showTrayIcon() override { record(u"showTrayIcon"); }
  void NXR_CALL setTrayClickMode(const char16_t* m) override { record(u"setTrayClickMode", {m}); }
  void NXR_CALL setTrayTip(const char16_t* t) override { record(u"setTrayTip", {t}); }
  void NXR_CALL disableContextMenu() override { record(u"disableContextMenu"); }
  void NXR_CALL enableContextMenu() override { record(u"enableContextMenu"); }
  void NXR_CALL addContextSeparator() override { record(u"addContextSeparator"); }
  void NXR_CALL addContextItem(const char16_t* i) override { record(u"addContextItem", {i}); }
  void NXR_CALL checkContextItem(const char16_t* i, bool on) override {
    record(u"checkContextItem", {i, flag(on)});
  }
  void NXR_CALL enableContextItem(const char16_t* i, bool on) override {
    record(u"enableContextItem", {i, flag(on)});
  }
  void NXR_CALL showContextItem(const char16_t* i, bool on) override {
    record(u"showContextItem", {i, flag(on)});
  }
  void NXR_CALL removeContextItem(const char16_t* i) override { record(u"removeContextItem", {i}); }
  void NXR_CALL setContextClickMode(const char16_t* m) override {
    record(u"setContextClickMode", {m});
  }
  const char16_t* NXR_CALL getAppTrayMode(int32_t* length) override {
    return give(appTrayMode_, length);
  }
  void NXR_CALL setAppTrayMode(const char16_t* m) override { appTrayMode_ = m; }
  const char16_t* NXR_CALL getAppContextMode(int32_t* length) override {
    return give(appContextMode_, length);
  }
  void NXR_CALL setAppContextMode(const char16_t* m) override { appContextMode_ = m; }
  void NXR_CALL setMouseMoveExits(bool on) override { record(u"setMouseMoveExits", {flag(on)}); }
  void NXR_CALL setKeyPressExits(bool on) override { record(u"setKeyPressExits", {flag(on)}); }
  bool NXR_CALL sendInvokeRequest(const char16_t* request) override {
    invokeRequests.emplace_back(request);
    movieCalls.push_back(u"invoke:" + invokeRequests.back());
    return true;
  }
  bool NXR_CALL setCallVariable(const char16_t* n, const char16_t* a) override {
    callVariables.push_back({n, a});
    movieCalls.push_back(u"variable:" + callVariables.back().name + u"=" +
                         callVariables.back().argumentText);
    return callVariableResult;
  }

 private:
  static const char16_t* flag(bool on) { return on ? u"true" : u"false"; }
  static const char16_t* give(const std::u16string& text, int32_t* length) {
    if (length) *length = static_cast<int32_t>(text.size());
    return text.c_str();
  }
  void record(const char16_t* operation, std::initializer_list<const char16_t*> args = {}) {
    std::u16string entry = operation;
    for (const char16_t* arg : args) {
      entry += u'|';
      entry += arg ? arg : u"";
    }
    operations.push_back(std::move(entry));
  }

  int32_t index_;
  std::u16string title_ = u"title";
  std::u16string modalResult_;
  std::u16string variableValue_;
  std::u16string appTrayMode_;
  std::u16string appContextMode_;
};

}  // namespace nxr::testing
