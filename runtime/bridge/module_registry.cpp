#include "bridge/module_registry.h"

namespace nxr {

ModuleRegistry::ModuleRegistry(EnvironmentSource environment)
    : environment_(std::move(environment)) {}

ModuleRegistry::~ModuleRegistry() { shutdown(); }

bool ModuleRegistry::registerModule(const std::u16string& name, sdk::RuntimeModule* module) {
  if (!module) return false;
  return modules_.try_emplace(name, module).second;
}

sdk::RuntimeModule* ModuleRegistry::findModule(std::u16string_view name) const {
  auto found = modules_.find(std::u16string(name));
  return found == modules_.end() ? nullptr : found->second;
}

void ModuleRegistry::unregisterModule(sdk::RuntimeModule* module) {
  std::erase_if(modules_, [module](const auto& entry) { return entry.second == module; });
}

std::vector<std::u16string> ModuleRegistry::moduleNames() const {
  std::vector<std::u16string> names;
  for (const auto& entry : modules_) names.push_back(entry.first);
  return names;
}

bool ModuleRegistry::registerForm(int32_t index, FormInterface* form) {
  if (!form) return false;
  std::lock_guard<std::mutex> guard(formsLock_);
  return formTable_.try_emplace(index, form).second;
}

FormInterface* ModuleRegistry::findForm(int32_t index) const {
  std::lock_guard<std::mutex> guard(formsLock_);
  auto found = formTable_.find(index);
  return found == formTable_.end() ? nullptr : found->second;
}

FormInterface* ModuleRegistry::findFormByName(std::u16string_view name) const {
  std::lock_guard<std::mutex> guard(formsLock_);
  for (const auto& entry : formTable_) {
    if (entry.second->name == name) return entry.second;
  }
  return nullptr;
}

bool ModuleRegistry::unregisterForm(int32_t index) {
  std::lock_guard<std::mutex> guard(formsLock_);
  return formTable_.erase(index) != 0;
}

std::u16string ModuleRegistry::classDeclarations() const {
  DeclarationEnvironment environment;
  if (environment_) environment = environment_();
  return classDeclarationText(moduleNames(), environment);
}

std::u16string ModuleRegistry::formDeclarations(int32_t callerIndex) const {
  std::vector<FormDeclaration> forms;
  {
    std::lock_guard<std::mutex> guard(formsLock_);
    for (const auto& [index, form] : formTable_) {
      forms.push_back({index, form->name, form->transparentMode});
    }
  }
  return formDeclarationText(forms, callerIndex);
}

void ModuleRegistry::setReady(DisplayModeList* displayModes) {
  displayModes_ = displayModes;
  ready_.store(true);
}

void ModuleRegistry::tickModules() {
  if (!ready_.load()) return;
  for (const auto& entry : modules_) entry.second->onTick();
}

void ModuleRegistry::adoptCommandThread(std::unique_ptr<CommandThread> thread) {
  stopCommandThread();
  commandThread_ = std::move(thread);
}

void ModuleRegistry::stopCommandThread() {
  if (!commandThread_) return;
  commandThread_->stop();
  commandThread_.reset();
}

void ModuleRegistry::addPluginLibrary(std::unique_ptr<PluginLibrary> library) {
  if (library) plugins_.push_back(std::move(library));
}

void ModuleRegistry::shutdown() {
  stopCommandThread();
  for (auto& library : plugins_) {
    for (sdk::RuntimeModule* module : library->modules()) {
      if (module) module->releaseMethods();
    }
    library.reset();
  }
  plugins_.clear();
  modules_.clear();
  std::lock_guard<std::mutex> guard(formsLock_);
  formTable_.clear();
}

sdk::FormInterface* ModuleRegistry::Host::findForm(int32_t index) {
  return registry_.findForm(index);
}

sdk::FormInterface* ModuleRegistry::Host::findFormByName(const char16_t* name) {
  return name ? registry_.findFormByName(name) : nullptr;
}

sdk::RuntimeModule* ModuleRegistry::Host::findModule(const char16_t* name) {
  return name ? registry_.findModule(name) : nullptr;
}

}  // namespace nxr

#ifdef _WIN32
#include "bridge/machine_environment.h"
#endif

namespace nxr {

ModuleRegistry& ModuleRegistry::instance() {
#ifdef _WIN32
  static ModuleRegistry registry(readMachineEnvironment);
#else
  static ModuleRegistry registry;
#endif
  return registry;
}

}  // namespace nxr
