// Extension plug-ins: libraries (".nxq") that hand the runtime ready-made modules through the
// exports "GetNumPlugins" and "GetPluginInstance". Windows only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bridge/module_registry.h"

namespace nxr {

struct ProjectData;

// Writes the plug-in libraries (unscrambled bytes, in project order) into the work folder as
// "0.nxq", "1.nxq", ...; each path written is appended to writtenFiles. False when a file cannot
// be created or written completely; the files written before stay.
bool writePluginFiles(const std::vector<std::vector<uint8_t>>& libraries,
                      const std::u16string& workFolder, std::vector<std::u16string>& writtenFiles);

// The project's embedded plug-ins through writePluginFiles (start-up's extraction step).
bool extractPlugins(const ProjectData& project, const std::u16string& workFolder,
                    std::vector<std::u16string>& extractedFiles);

// Loads one library and registers its modules. On failure nothing of the library stays: the
// modules it had entered are taken out of the registry again, released, and it is unloaded.
bool loadPluginLibrary(ModuleRegistry& registry, const std::u16string& path);

// Loads every ".nxq" library in folder, in the order the system lists them, and starts the
// command thread. False when there is none, when one fails to load (later ones are not tried),
// or when the thread cannot be started.
bool scanPlugins(ModuleRegistry& registry, const std::u16string& folder);

// Start-up's plug-in step: the work folder, and when that scan fails, the current directory.
bool scanPluginFolders(ModuleRegistry& registry, const std::u16string& workFolder);

}  // namespace nxr
