#include "bridge/event_texts.h"

#include "bridge/protocol.h"
#include "support/text.h"

namespace nxr {

namespace {

constexpr std::u16string_view kApplication = u"Application";

EventCall dispatched(std::u16string_view event, std::u16string_view object,
                     std::u16string_view parameters) {
  return {std::u16string(kDispatchFunction), dispatchText(event, object, parameters),
          std::u16string(kDispatchDelimiter)};
}

// A status event of the application object: "<event>{}Application{}{}status<{z}>true".
EventCall statusEvent(std::u16string_view event, bool status) {
  std::u16string parameters = u"status<{z}>";
  parameters += status ? u"true" : u"false";
  return dispatched(event, kApplication, parameters);
}

std::u16string sizeArguments(std::u16string_view formName, const FormSize& size) {
  std::u16string text(formName);
  for (int32_t value : {size.clientWidth, size.clientHeight, size.width, size.height}) {
    text += u',';
    text += toDecimal(value);
  }
  return text;
}

std::u16string sizeParameters(std::u16string_view formName, const FormSize& size) {
  std::u16string text = u"formname<{z}>";
  text += formName;
  text += u"<{!z!}>clientWidth<{z}>" + toDecimal(size.clientWidth);
  text += u"<{!z!}>clientHeight<{z}>" + toDecimal(size.clientHeight);
  text += u"<{!z!}>width<{z}>" + toDecimal(size.width);
  text += u"<{!z!}>height<{z}>" + toDecimal(size.height);
  return text;
}

FormEvent sizeEvent(std::u16string_view handler, std::u16string_view event,
                    std::u16string_view formName, const FormSize& size) {
  return {{std::u16string(handler), sizeArguments(formName, size), u","},
          dispatched(event, kApplication, sizeParameters(formName, size))};
}

}  // namespace

std::vector<std::u16string> splitAt(std::u16string_view text, std::u16string_view delimiter) {
  std::vector<std::u16string> pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t start = 0;
  for (;;) {
    size_t found = text.find(delimiter, start);
    if (found == std::u16string_view::npos) {
      pieces.emplace_back(text.substr(start));
      return pieces;
    }
    pieces.emplace_back(text.substr(start, found - start));
    start = found + delimiter.size();
  }
}

std::u16string joinWith(const std::vector<std::u16string>& pieces, std::u16string_view separator) {
  std::u16string text;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i != 0) text += separator;
    text += pieces[i];
  }
  return text;
}

std::u16string joinedCallArguments(std::u16string_view argumentText,
                                   std::u16string_view delimiter) {
  return joinWith(splitAt(argumentText, delimiter), kCallSeparator);
}

std::u16string callVariableValue(std::u16string_view functionName,
                                 std::u16string_view joinedArguments) {
  std::u16string value(functionName);
  value += kCallSeparator;
  value += joinedArguments;
  return value;
}

std::u16string as3EventRequest(std::u16string_view functionName,
                               std::u16string_view joinedArguments) {
  std::u16string request = u"<invoke name=\"";
  request += kAs3EventCallback;
  request += u"\"><arguments><string>";
  request += functionName;
  request += kCallSeparator;
  request += joinedArguments;
  request += u"</string></arguments></invoke>";
  return request;
}

std::u16string movieCallRequest(std::u16string_view functionName,
                                const std::vector<std::u16string>& pieces) {
  std::u16string request = u"<invoke name=\"";
  request += functionName;
  request += u"\" returntype=\"xml\"><arguments>";
  for (const auto& piece : pieces) {
    request += u"<string>";
    request += piece;
    request += u"</string>";
  }
  request += u"</arguments></invoke>";
  return request;
}

std::u16string dispatchText(std::u16string_view event, std::u16string_view object,
                            std::u16string_view parameters) {
  std::u16string text(event);
  text += kDispatchDelimiter;
  text += object;
  text += kDispatchDelimiter;
  text += kDispatchDelimiter;  // the instance id is always empty
  text += parameters;
  return text;
}

FormEvent focusChangedEvent(std::u16string_view formName, bool gained) {
  std::u16string arguments(formName);
  arguments += gained ? u",true" : u",false";
  return {{u"onFormChangeFocus", arguments, u","}, statusEvent(u"FormChangeFocus", gained)};
}

FormEvent appExitEvent() {
  return {{u"onAppExit", u"true", u"@{}@"}, statusEvent(u"AppExit", true)};
}

FormEvent formCloseEvent() {
  return {{u"onFormClose", u"true", u"@{}@"}, statusEvent(u"FormClose", true)};
}

FormEvent formMaximizeEvent(std::u16string_view formName, const FormSize& size) {
  return sizeEvent(u"onFormMaximize", u"FormMaximize", formName, size);
}

FormEvent formMinimizeEvent(std::u16string_view formName, const FormSize& size) {
  return sizeEvent(u"onFormMinimize", u"FormMinimize", formName, size);
}

FormEvent formRestoreEvent(std::u16string_view formName, const FormSize& size) {
  return sizeEvent(u"onFormRestore", u"FormRestore", formName, size);
}

FormEvent formResizeEvent(std::u16string_view formName, const FormSize& size) {
  return sizeEvent(u"onFormResize", u"FormResize", formName, size);
}

FormEvent formRepositionEvent(std::u16string_view formName, int32_t x, int32_t y) {
  std::u16string arguments(formName);
  arguments += u"," + toDecimal(x) + u"," + toDecimal(y);
  std::u16string parameters = u"formname<{z}>";
  parameters += formName;
  parameters += u"<{!z!}>x<{z}>" + toDecimal(x) + u"<{!z!}>y<{z}>" + toDecimal(y);
  return {{u"onFormReposition", arguments, u","},
          dispatched(u"FormReposition", kApplication, parameters)};
}

FormEvent appMinimizeEvent() {
  return {{u"onAppMinimize", u"true", u"@"}, statusEvent(u"AppMinimize", true)};
}

FormEvent appRestoreEvent() {
  return {{u"onAppRestore", u"true", u""}, statusEvent(u"AppRestore", true)};
}

FormEvent appChangeFocusEvent(bool active) {
  return {{u"onAppChangeFocus", active ? u"true" : u"false", u""},
          statusEvent(u"AppChangeFocus", active)};
}

FormEvent edgeHitEvent(ScreenEdge edge) {
  std::u16string_view name;
  switch (edge) {
    case ScreenEdge::left:
      name = u"Left";
      break;
    case ScreenEdge::top:
      name = u"Top";
      break;
    case ScreenEdge::right:
      name = u"Right";
      break;
    case ScreenEdge::bottom:
      name = u"Bottom";
      break;
  }
  std::u16string handler = u"on";
  handler += name;
  handler += u"Hit";
  std::u16string event(name);
  event += u"Hit";
  return {{handler, u"0|1", u"|"}, statusEvent(event, true)};
}

FormEvent dragDropEvent(const std::vector<std::u16string>& paths) {
  std::u16string joined = joinWith(paths, u"|");
  std::u16string list = u"[";
  if (!paths.empty()) {
    std::vector<std::u16string> items = splitAt(replaceAll(joined, u"\\", u"\\\\"), u"|");
    for (size_t i = 0; i < items.size(); ++i) {
      if (i != 0) list += u',';
      list += u'"';
      list += replaceAll(items[i], u"\"", u"@q@");
      list += u'"';
    }
  }
  list += u']';
  return {{u"onDragDrop", joined, u"@:@{}@"},
          dispatched(u"DragDrop", kApplication, u"files<{z}>" + list)};
}

FormEvent timerEvent(int32_t timerNumber, int32_t tickCount) {
  std::u16string number = toDecimal(timerNumber);
  std::u16string count = toDecimal(tickCount);
  return {{u"onAppTimer" + number, count, u"@~~@}{~@~@}{~"},
          dispatched(u"Timer" + number, u"Application.Timer", u"count<{z}>" + count)};
}

FormEvent splashClosedEvent() {
  return {{u"onSplashClosed", u"", u":@:{}@:@{}"}, statusEvent(u"SplashClosed", true)};
}

std::u16string menuItemCleanName(std::u16string_view itemText) {
  std::u16string name = replaceAll(itemText, u"&", u"");
  for (char16_t c : std::u16string_view(u"(),\".{} ")) {
    for (char16_t& ch : name) {
      if (ch == c) ch = u'_';
    }
  }
  return name;
}

MenuClickTexts menuClickTexts(MenuKind kind, std::u16string_view itemText) {
  std::u16string_view prefix, menuName, handlerPrefix;
  switch (kind) {
    case MenuKind::main:
      prefix = u"MenuClick_", menuName = u"Menu.Main", handlerPrefix = u"onMenuClick_";
      break;
    case MenuKind::context:
      prefix = u"ContextMenuClick_", menuName = u"Menu.Context",
      handlerPrefix = u"onContextMenuClick_";
      break;
    case MenuKind::tray:
      prefix = u"TrayMenuClick_", menuName = u"Menu.Tray", handlerPrefix = u"onTrayMenuClick_";
      break;
  }
  MenuClickTexts texts;
  texts.cleanName = menuItemCleanName(itemText);
  std::u16string event(prefix);
  event += texts.cleanName;
  texts.dispatched = dispatched(event, menuName, u"status<{z}>true");
  texts.handlerCall = {std::u16string(handlerPrefix) + texts.cleanName, u"true", u""};
  texts.variableName = u"menu_" + texts.cleanName;
  return texts;
}

}  // namespace nxr
