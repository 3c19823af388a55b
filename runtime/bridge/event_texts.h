// The texts in which events and calls reach a form's movie.
//
// Every event is sent twice: as a legacy callback (a function name such as "onFormResize" with its
// own argument text and delimiter) and as a dispatched event (the function "nxr.__dispatchEvent"
// with event name, object name, instance id and parameters separated by "{}"). An ActionScript 2
// movie receives both through the movie variable "nxr.__callFunction"; an ActionScript 3 movie
// receives the dispatched event as an ExternalInterface call of "NXRAS3EVENTCALLBACK".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nxr {

inline constexpr std::u16string_view kCallSeparator = u"!}}v{}!";
inline constexpr std::u16string_view kDispatchFunction = u"nxr.__dispatchEvent";
inline constexpr std::u16string_view kDispatchDelimiter = u"{}";
inline constexpr std::u16string_view kCallVariable = u"nxr.__callFunction";
inline constexpr std::u16string_view kAs3EventCallback = u"NXRAS3EVENTCALLBACK";

// One call into a movie: function name, argument text and the delimiter inside that text.
struct EventCall {
  std::u16string function;
  std::u16string argumentText;
  std::u16string delimiter;

  bool operator==(const EventCall&) const = default;
};

// The two calls of one event, sent in this order.
struct FormEvent {
  EventCall legacy;
  EventCall dispatched;

  bool operator==(const FormEvent&) const = default;
};

// Splits at every occurrence of delimiter, keeping empty pieces. An empty delimiter, or one that
// does not occur, gives the whole text as the one piece.
std::vector<std::u16string> splitAt(std::u16string_view text, std::u16string_view delimiter);

std::u16string joinWith(const std::vector<std::u16string>& pieces, std::u16string_view separator);

// The argument text split at delimiter and joined with "!}}v{}!".
std::u16string joinedCallArguments(std::u16string_view argumentText, std::u16string_view delimiter);

// The value of "nxr.__callFunction": name, "!}}v{}!", joined arguments.
std::u16string callVariableValue(std::u16string_view functionName,
                                 std::u16string_view joinedArguments);

// The ExternalInterface request that hands a dispatched event to an ActionScript 3 movie.
std::u16string as3EventRequest(std::u16string_view functionName,
                               std::u16string_view joinedArguments);

// The ExternalInterface request of a module's movie call for an ActionScript 3 movie: one string
// element per argument piece.
std::u16string movieCallRequest(std::u16string_view functionName,
                                const std::vector<std::u16string>& pieces);

// The dispatched event's argument text: event "{}" object "{}" (empty instance id) "{}" params.
std::u16string dispatchText(std::u16string_view event, std::u16string_view object,
                            std::u16string_view parameters);

// Sizes that the window events carry: client width and height, outer width and height.
struct FormSize {
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The event catalogue: one function per event.
FormEvent focusChangedEvent(std::u16string_view formName, bool gained);
FormEvent appExitEvent();
FormEvent formCloseEvent();
FormEvent formMaximizeEvent(std::u16string_view formName, const FormSize& size);
FormEvent formMinimizeEvent(std::u16string_view formName, const FormSize& size);
FormEvent formRestoreEvent(std::u16string_view formName, const FormSize& size);
FormEvent formResizeEvent(std::u16string_view formName, const FormSize& size);
FormEvent formRepositionEvent(std::u16string_view formName, int32_t x, int32_t y);
FormEvent appMinimizeEvent();
FormEvent appRestoreEvent();
FormEvent appChangeFocusEvent(bool active);

enum class ScreenEdge { left, top, right, bottom };
FormEvent edgeHitEvent(ScreenEdge edge);

// Files dropped on a form, in drop order.
FormEvent dragDropEvent(const std::vector<std::u16string>& paths);

FormEvent timerEvent(int32_t timerNumber, int32_t tickCount);
FormEvent splashClosedEvent();

// A menu click: the dispatched event always goes first; what follows depends on the form's click
// mode for that menu ("function": handlerCall, "variable": variableName := "true", "frame": go to
// the label cleanName).
enum class MenuKind { main = 0, context = 1, tray = 2 };
struct MenuClickTexts {
  std::u16string cleanName;
  EventCall dispatched;
  EventCall handlerCall;
  std::u16string variableName;
};
std::u16string menuItemCleanName(std::u16string_view itemText);
MenuClickTexts menuClickTexts(MenuKind kind, std::u16string_view itemText);

}  // namespace nxr
