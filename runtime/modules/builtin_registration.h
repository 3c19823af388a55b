// The shared last step of creating a built-in module at start-up.
#pragma once

#include <memory>

#include "bridge/module_registry.h"

namespace nxr {

// Registers the module's methods and enters it in the registry under its name. When a plug-in
// took the name first, the module's methods are released and null is returned.
template <class Module>
std::unique_ptr<Module> enterBuiltinModule(ModuleRegistry& registry,
                                           std::unique_ptr<Module> module) {
  module->registerMethods();
  if (!registry.registerModule(module->name(), module.get())) {
    module->releaseMethods();
    return nullptr;
  }
  return module;
}

}  // namespace nxr
