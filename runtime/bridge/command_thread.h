// The bridge's command thread: ticks every module about every 40 ms once the registry is ready,
// until its quit event is signalled. Windows only.
#pragma once

#include <memory>

#include "bridge/module_registry.h"

namespace nxr {

// Creates the quit event "CommandThreadQuitEvent" and the thread; null when the thread could not
// be created.
std::unique_ptr<CommandThread> startCommandThread(ModuleRegistry& registry);

}  // namespace nxr
