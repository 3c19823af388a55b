// The dispatcher of script calls: reads an ExternalInterface request from a form's movie,
// answers the handshake commands, routes every other command to a module method and encodes the
// result for the reply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/module_registry.h"
#include "bridge/protocol.h"

namespace nxr {

// Where the bridge reports: the "RUNTIME ERROR" box and the debugger output.
class BridgeDiagnostics {
 public:
  virtual ~BridgeDiagnostics() = default;
  virtual void showRuntimeError(const std::u16string& text) = 0;
  virtual void debugOutput(const std::u16string& text) = 0;
};

class ScriptBridge {
 public:
  ScriptBridge(ModuleRegistry& registry, BridgeDiagnostics& diagnostics)
      : registry_(registry), diagnostics_(diagnostics) {}

  // The process-wide bridge over ModuleRegistry::instance(); Windows only (message box and
  // debugger output).
  static ScriptBridge& instance();

  // The reply to one request, before the caller wraps it in "<string>" ... "</string>".
  std::u16string handleInvoke(std::u16string_view request);
  std::u16string dispatchCall(const std::u16string& command, const std::u16string& formId,
                              const std::u16string& parameters);
  std::u16string encodeResult(std::u16string_view text, const std::u16string& formId) const;

  static std::vector<std::u16string> parseArguments(std::u16string_view parameters) {
    return nxr::parseArguments(parameters);
  }

 private:
  std::u16string routeCall(const std::u16string& command, int32_t formIndex,
                           const std::u16string& parameters);

  ModuleRegistry& registry_;
  BridgeDiagnostics& diagnostics_;
  // Shared by every form: numbers the "nxr.hasEI" replies.
  uint32_t hasEiCounter_ = 0;
};

}  // namespace nxr
