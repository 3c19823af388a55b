#include <windows.h>

#include "bridge/script_bridge.h"
#include "support/message_box.h"
#include "support/win.h"

namespace nxr {

namespace {

// The warning box (warning icon, OK button, owned by the desktop) and the debugger output.
class WindowsBridgeDiagnostics : public BridgeDiagnostics {
 public:
  void showRuntimeError(const std::u16string& text) override {
    showMessageBox(text, u"RUNTIME ERROR", kBoxIconWarning | kBoxOk);
  }
  void debugOutput(const std::u16string& text) override { debugLog(text); }
};

}  // namespace

ScriptBridge& ScriptBridge::instance() {
  static WindowsBridgeDiagnostics diagnostics;
  static ScriptBridge bridge(ModuleRegistry::instance(), diagnostics);
  return bridge;
}

}  // namespace nxr
