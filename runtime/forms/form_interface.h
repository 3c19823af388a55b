// The face of a form towards the bridge, the modules and the plug-ins. The operations and their
// slot order are the plug-in interface's (sdk/nxr_plugin.h); this base adds the form's fields the
// bridge reads and the event delivery built on two of the operations.
#pragma once

#include <string>
#include <string_view>

#include "bridge/event_texts.h"
#include "nxr_plugin.h"

namespace nxr {

class FormInterface : public sdk::FormInterface {
 public:
  // Set by the bridge when the form's movie reports "nxr.flash9ready": from then on dispatched
  // events go to the movie as ExternalInterface calls.
  bool scriptReady = false;
  // The form is a transparent form.
  bool transparentMode = false;
  // The form's name from its record; events carry it as "formname".
  std::u16string name;
  // How a main-menu click reaches the movie.
  std::u16string mainMenuClickMode = u"function";
  // Kept for the record's layout; no operation uses it.
  std::u16string spareText;

  // Delivers one call of an event: an ActionScript 3 form gets a dispatched event as a
  // "NXRAS3EVENTCALLBACK" request; everything else goes through the "nxr.__callFunction"
  // variable. Returns whether the movie host took it.
  bool sendEvent(std::u16string_view functionName, std::u16string_view argumentText,
                 std::u16string_view delimiter) {
    std::u16string joined = joinedCallArguments(argumentText, delimiter);
    if (scriptReady && functionName == kDispatchFunction) {
      return sendInvokeRequest(as3EventRequest(functionName, joined).c_str());
    }
    return setCallVariable(std::u16string(functionName).c_str(), joined.c_str());
  }
  bool sendEvent(const EventCall& call) {
    return sendEvent(call.function, call.argumentText, call.delimiter);
  }
  // Both calls of an event, legacy callback first.
  void raiseEvent(const FormEvent& event) {
    sendEvent(event.legacy);
    sendEvent(event.dispatched);
  }

  // The body of the movie-call operations (slots 8 and 9) for forms to share: an ActionScript 3
  // form gets an ExternalInterface request with one string per argument, any other form the
  // "nxr.__callFunction" variable.
  void deliverMovieCall(std::u16string_view functionName, std::u16string_view argumentText,
                        std::u16string_view delimiter) {
    auto pieces = splitAt(argumentText, delimiter);
    if (scriptReady) {
      sendInvokeRequest(movieCallRequest(functionName, pieces).c_str());
    } else {
      setCallVariable(std::u16string(functionName).c_str(),
                      joinWith(pieces, kCallSeparator).c_str());
    }
  }

 protected:
  ~FormInterface() = default;
};

}  // namespace nxr
