// The bridge's table of everything a movie can reach: modules by script name, forms by index,
// and the extension libraries that supplied modules. Owns neither modules nor forms.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/declarations.h"
#include "forms/form_interface.h"
#include "nxr_plugin.h"

namespace nxr {

class DisplayModeList;  // built by start-up; the registry only keeps the pointer

// The thread that ticks the modules; stop() ends it and returns when it has ended.
class CommandThread {
 public:
  virtual ~CommandThread() = default;
  virtual void stop() = 0;
};

// A loaded extension library: its modules are released before the object is destroyed, and
// destroying it unloads the library.
class PluginLibrary {
 public:
  virtual ~PluginLibrary() = default;
  virtual const std::vector<sdk::RuntimeModule*>& modules() const = 0;
};

class ModuleRegistry {
 public:
  // Where the class declarations get the machine's values from.
  using EnvironmentSource = std::function<DeclarationEnvironment()>;

  // The process-wide registry, constructed on first use. On Windows it reads the real machine.
  static ModuleRegistry& instance();

  explicit ModuleRegistry(EnvironmentSource environment = {});
  ~ModuleRegistry();
  ModuleRegistry(const ModuleRegistry&) = delete;
  ModuleRegistry& operator=(const ModuleRegistry&) = delete;

  // Enters the module unless the name is taken; returns whether it was entered.
  bool registerModule(const std::u16string& name, sdk::RuntimeModule* module);
  sdk::RuntimeModule* findModule(std::u16string_view name) const;
  // Removes every entry that points at module (a plug-in whose library failed to load).
  void unregisterModule(sdk::RuntimeModule* module);
  std::vector<std::u16string> moduleNames() const;

  // Enters the form unless the index is taken; returns whether it was entered.
  bool registerForm(int32_t index, FormInterface* form);
  FormInterface* findForm(int32_t index) const;
  FormInterface* findFormByName(std::u16string_view name) const;
  bool unregisterForm(int32_t index);

  std::u16string classDeclarations() const;
  std::u16string formDeclarations(int32_t callerIndex) const;

  // The end of start-up: from now on the command thread ticks the modules.
  void setReady(DisplayModeList* displayModes);
  bool isReady() const { return ready_.load(); }
  DisplayModeList* displayModes() const { return displayModes_; }
  // One round of ticks, in the modules map's order; nothing before setReady. Called by the
  // command thread every 40 ms.
  void tickModules();

  // Takes over the running command thread (started by the plug-in scan).
  void adoptCommandThread(std::unique_ptr<CommandThread> thread);
  bool hasCommandThread() const { return commandThread_ != nullptr; }
  void stopCommandThread();

  void addPluginLibrary(std::unique_ptr<PluginLibrary> library);
  size_t pluginLibraryCount() const { return plugins_.size(); }

  // Stops the command thread, releases and unloads the plug-ins and empties the tables. Safe to
  // run more than once.
  void shutdown();

  // The services handed to plug-in modules.
  sdk::ModuleHost* moduleHost() { return &host_; }

 private:
  class Host : public sdk::ModuleHost {
   public:
    explicit Host(ModuleRegistry& registry) : registry_(registry) {}
    void NXR_CALL destroy() override {}
    sdk::FormInterface* NXR_CALL findForm(int32_t index) override;
    sdk::FormInterface* NXR_CALL findFormByName(const char16_t* name) override;
    sdk::RuntimeModule* NXR_CALL findModule(const char16_t* name) override;

   private:
    ModuleRegistry& registry_;
  };

  EnvironmentSource environment_;
  std::vector<std::unique_ptr<PluginLibrary>> plugins_;
  std::map<std::u16string, sdk::RuntimeModule*> modules_;
  // Timer ticks look forms up from their own thread while the GUI thread adds and removes them.
  mutable std::mutex formsLock_;
  std::map<int32_t, FormInterface*> formTable_;
  std::unique_ptr<CommandThread> commandThread_;
  DisplayModeList* displayModes_ = nullptr;
  std::atomic<bool> ready_{false};
  Host host_{*this};
};

}  // namespace nxr
