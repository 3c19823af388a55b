// Test helpers for driving the script bridge: diagnostics that are kept instead of shown, and a
// request written as the control delivers it.
#pragma once

#include <string>
#include <vector>

#include "bridge/script_bridge.h"

namespace nxr::testing {

// Keeps the "RUNTIME ERROR" texts and the debugger output instead of showing them.
class RecordingDiagnostics : public BridgeDiagnostics {
 public:
  std::vector<std::u16string> boxes;
  std::vector<std::u16string> output;
  void showRuntimeError(const std::u16string& text) override { boxes.push_back(text); }
  void debugOutput(const std::u16string& text) override { output.push_back(text); }
};

// A request as the control delivers it; parameters as they arrive (XML-escaped).
inline std::u16string invokeRequest(const std::u16string& command, const std::u16string& formId,
                                    const std::u16string& parameters) {
  return u"<invoke name=\"" + command + u"\" returntype=\"xml\"><arguments><string>" + formId +
         u"</string><string>" + parameters + u"</string></arguments></invoke>";
}

}  // namespace nxr::testing
