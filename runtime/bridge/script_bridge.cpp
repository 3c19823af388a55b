#include "bridge/script_bridge.h"

#include "bridge/runtime_module.h"
#include "support/text.h"

namespace nxr {

std::u16string ScriptBridge::handleInvoke(std::u16string_view request) {
  InvokeRequest parsed = parseInvokeRequest(request);
  return dispatchCall(parsed.command, parsed.formId, parsed.parameters);
}

std::u16string ScriptBridge::dispatchCall(const std::u16string& command,
                                          const std::u16string& formId,
                                          const std::u16string& parameters) {
  diagnostics_.debugOutput(command);
  diagnostics_.debugOutput(u" - ");
  diagnostics_.debugOutput(parameters + u"\n");

  int32_t formIndex = parseFormId(formId);
  std::u16string result;
  if (command == u"nxr.hasEI") {
    result = formatHasEiCounter(static_cast<int32_t>(hasEiCounter_));
    ++hasEiCounter_;
  } else if (command == u"nxr.initialise") {
    result = registry_.classDeclarations();
  } else if (command == u"nxr.initforms") {
    result = registry_.formDeclarations(formIndex);
  } else if (command == u"nxr.initppsv") {
    result = u"invalid";
  } else if (command == u"nxr.flash9ready") {
    if (FormInterface* form = registry_.findForm(formIndex)) form->scriptReady = true;
  } else {
    result = routeCall(command, formIndex, parameters);
  }

  std::u16string encoded = encodeResult(result, formId);
  diagnostics_.debugOutput(u"\n" + encoded + u"\nsize = " + toDecimal(encoded.size()) + u"\n");
  return encoded;
}

std::u16string ScriptBridge::routeCall(const std::u16string& command, int32_t formIndex,
                                       const std::u16string& parameters) {
  size_t dot = command.rfind(u'.');
  if (dot == std::u16string::npos) return {};
  std::u16string moduleNameText = command.substr(0, dot);
  std::u16string methodNameText = command.substr(dot + 1);

  sdk::RuntimeModule* module = registry_.findModule(moduleNameText);
  if (!module) {
    diagnostics_.showRuntimeError(u"Error: couldn't locate runtime module: " + moduleNameText);
    return {};
  }
  sdk::ModuleMethod* method = findMethod(*module, methodNameText);
  if (!method) {
    diagnostics_.showRuntimeError(u"Error: couldn't locate method '" + methodNameText +
                                  u"' in runtime module: " + moduleNameText);
    return {};
  }

  std::vector<std::u16string> arguments = parseArguments(parameters);
  for (auto& argument : arguments) argument = decodeArgumentMarkup(argument);

  FormInterface* form = registry_.findForm(formIndex);
  if (!form) return {};
  return invokeMethod(*method, form, arguments);
}

std::u16string ScriptBridge::encodeResult(std::u16string_view text,
                                          const std::u16string& formId) const {
  FormInterface* form = registry_.findForm(parseFormId(formId));
  return encodeResultText(text, form && !form->scriptReady);
}

}  // namespace nxr
