// "nxr.Application.Screensaver": lets a screensaver movie state, per form, whether mouse movement
// or a key press is meant to end the run. Registered only in screensaver builds. Windows only.
#pragma once

#include <memory>

#include "bridge/module_registry.h"
#include "bridge/runtime_module.h"

namespace nxr {

class ScreensaverModule : public RuntimeModule {
 public:
  ScreensaverModule();

  bool NXR_CALL registerMethods() override;
};

// Creates the module, registers its methods and enters it in the registry. The caller owns the
// result; null when the name was already taken (a plug-in registered first).
std::unique_ptr<ScreensaverModule> registerScreensaverModule(ModuleRegistry& registry);

}  // namespace nxr
