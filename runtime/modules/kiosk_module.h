// "nxr.Application.Kiosk": lets a kiosk movie lock and unlock key combinations and desktop parts
// through the key-lock library dwlGina2.dll, which the executable carries as resource BIN 140.
// Windows only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bridge/module_registry.h"
#include "bridge/runtime_module.h"
#include "support/resources.h"

namespace nxr {

// Where the key-lock library comes from and where it goes.
struct KioskLibrarySource {
  // The folder the library is written to (and the current directory while the login screen is
  // installed).
  std::u16string workFolder;
  // Receives the written file's path so that it is deleted with the folder; may be null.
  std::vector<std::u16string>* extractedFiles = nullptr;
  // The library's bytes; when empty, resource BIN 140 of the executable.
  std::function<std::optional<ResourceBytes>()> image;
};

// The module. Its registerMethods writes and loads the library first and creates no method when
// that fails. The loaded library is process-wide state kept until unloadKioskLibrary.
class KioskModule : public RuntimeModule {
 public:
  explicit KioskModule(KioskLibrarySource source);

  bool NXR_CALL registerMethods() override;

 private:
  KioskLibrarySource source_;
};

// Start-up, kiosk projects only: creates the module (kept for the life of the process), lets it
// load the library and enters it in the registry. False when the library could not be written,
// loaded or resolved: start-up fails then. A name already taken by a plug-in is not an error.
bool registerKioskModule(ModuleRegistry& registry, const std::u16string& workFolder,
                         std::vector<std::u16string>& extractedFiles);

// Teardown, before the work folder is deleted: frees the library so that its file can go. The
// module stays registered but its methods do nothing from then on. Safe to call when nothing was
// loaded and more than once.
void unloadKioskLibrary();

// Whether the library is loaded and every entry point resolved.
bool kioskLibraryLoaded();

}  // namespace nxr
