#include <windows.h>

#include "bridge/command_thread.h"
#include "bridge/plugins.h"
#include "bridge/runtime_module.h"
#include "support/files.h"
#include "support/text.h"
#include "support/win.h"

namespace nxr {

namespace {

// A loaded plug-in library with the modules it handed out. Destroying it frees the library
// unless the handle is attached (owned elsewhere).
class LoadedPlugin : public PluginLibrary {
 public:
  ~LoadedPlugin() override {
    if (module_ && !attached_) FreeLibrary(module_);
  }

  bool load(const std::u16string& path) {
    if (module_ && !attached_) FreeLibrary(module_);
    attached_ = false;
    module_ = LoadLibraryW(asWcstr(path));
    return module_ != nullptr;
  }

  NxrGetNumPlugins countEntry() {
    if (!countEntry_) countEntry_ = reinterpret_cast<NxrGetNumPlugins>(lookUp("GetNumPlugins"));
    return countEntry_;
  }
  NxrGetPluginInstance instanceEntry() {
    if (!instanceEntry_) {
      instanceEntry_ = reinterpret_cast<NxrGetPluginInstance>(lookUp("GetPluginInstance"));
    }
    return instanceEntry_;
  }

  const std::vector<sdk::RuntimeModule*>& modules() const override { return modules_; }
  std::vector<sdk::RuntimeModule*>& modules() { return modules_; }

 private:
  void* lookUp(const char* name) { return reinterpret_cast<void*>(GetProcAddress(module_, name)); }

  bool attached_ = false;
  HMODULE module_ = nullptr;
  NxrGetNumPlugins countEntry_ = nullptr;
  NxrGetPluginInstance instanceEntry_ = nullptr;
  std::vector<sdk::RuntimeModule*> modules_;
};

// Takes back what a failed library had set up: its entries in the registry and its methods.
void withdrawModules(ModuleRegistry& registry, const std::vector<sdk::RuntimeModule*>& set) {
  for (sdk::RuntimeModule* module : set) {
    registry.unregisterModule(module);
    module->releaseMethods();
  }
}

std::u16string currentDirectory() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring buffer(size, L'\0');
  DWORD length = GetCurrentDirectoryW(size, buffer.data());
  if (length == 0 || length >= size) return {};
  return fromWide(buffer.c_str(), length);
}

}  // namespace

bool writePluginFiles(const std::vector<std::vector<uint8_t>>& libraries,
                      const std::u16string& workFolder, std::vector<std::u16string>& writtenFiles) {
  std::u16string folder = workFolder;
  if (folder.empty() || folder.back() != u'\\') folder += u'\\';
  for (size_t j = 0; j < libraries.size(); ++j) {
    std::u16string path = folder + toDecimal(static_cast<int64_t>(j)) + u".nxq";
    const std::vector<uint8_t>& bytes = libraries[j];
    if (!writeWholeFile(path, bytes.data(), bytes.size())) return false;
    writtenFiles.push_back(path);
  }
  return true;
}

bool loadPluginLibrary(ModuleRegistry& registry, const std::u16string& path) {
  auto library = std::make_unique<LoadedPlugin>();
  if (!library->load(path)) return false;

  NxrGetNumPlugins count = library->countEntry();
  if (!count) return false;
  int32_t n = count();
  if (n == -1) return false;
  for (int32_t i = 0; i < n; ++i) {
    NxrGetPluginInstance instance = library->instanceEntry();
    if (!instance) return false;
    sdk::RuntimeModule* module = instance(i);
    // A library that hands out no object for an index it announced is broken.
    if (!module) return false;
    library->modules().push_back(module);
  }

  std::vector<sdk::RuntimeModule*> set;
  for (sdk::RuntimeModule* module : library->modules()) {
    if (!module->registerMethods()) {
      // Nothing of a failed library may stay callable once it is unloaded.
      withdrawModules(registry, set);
      return false;
    }
    set.push_back(module);
    module->setHost(registry.moduleHost());
    registry.registerModule(moduleName(*module), module);
  }
  registry.addPluginLibrary(std::move(library));
  return true;
}

bool scanPlugins(ModuleRegistry& registry, const std::u16string& folder) {
  WIN32_FIND_DATAW entry = {};
  ScopedFindHandle search(FindFirstFileW(asWcstr(folder + u"\\*.nxq"), &entry));
  if (!search.valid()) return false;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!loadPluginLibrary(registry, folder + u"\\" + fromWide(entry.cFileName))) return false;
  } while (FindNextFileW(search.get(), &entry));

  registry.adoptCommandThread(startCommandThread(registry));
  return registry.hasCommandThread();
}

bool scanPluginFolders(ModuleRegistry& registry, const std::u16string& workFolder) {
  if (scanPlugins(registry, workFolder)) return true;
  return scanPlugins(registry, currentDirectory());
}

}  // namespace nxr
