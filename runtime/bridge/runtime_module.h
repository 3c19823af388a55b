// The runtime's side of the module and method interfaces: std-typed helpers for calling any
// module (built-in or from a plug-in), and the base classes of the built-in modules.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "forms/form_interface.h"
#include "nxr_plugin.h"

namespace nxr {

// The full script name of a module.
std::u16string moduleName(sdk::RuntimeModule& module);

sdk::ModuleMethod* findMethod(sdk::RuntimeModule& module, std::u16string_view name);

// Calls a method and copies its result at once.
std::u16string invokeMethod(sdk::ModuleMethod& method, FormInterface* form,
                            const std::vector<std::u16string>& arguments);

// Base of a built-in script method: a name and a result field. Subclasses implement call.
class ModuleMethod : public sdk::ModuleMethod {
 public:
  explicit ModuleMethod(std::u16string name) : name_(std::move(name)) {}
  virtual ~ModuleMethod() = default;
  ModuleMethod(const ModuleMethod&) = delete;
  ModuleMethod& operator=(const ModuleMethod&) = delete;

  void NXR_CALL destroy() override { delete this; }
  const char16_t* NXR_CALL invoke(sdk::FormInterface* form, const sdk::Text* arguments,
                                  int32_t argumentCount, int32_t* resultLength) override;
  const char16_t* NXR_CALL methodName(int32_t* length) override;

  const std::u16string& name() const { return name_; }

 protected:
  // Carries the call out. form is never null: the bridge calls only for a registered form.
  virtual std::u16string call(FormInterface& form, const std::vector<std::u16string>& args) = 0;

 private:
  std::u16string name_;
  std::u16string result_;
};

// A built-in script method whose body is a function of the calling form and the arguments.
class FunctionMethod : public ModuleMethod {
 public:
  using Body = std::function<std::u16string(FormInterface&, const std::vector<std::u16string>&)>;
  FunctionMethod(std::u16string name, Body body)
      : ModuleMethod(std::move(name)), body_(std::move(body)) {}

 protected:
  std::u16string call(FormInterface& form, const std::vector<std::u16string>& args) override {
    return body_(form, args);
  }

 private:
  Body body_;
};

// Base of a built-in module: author, version, name and the owned method table.
class RuntimeModule : public sdk::RuntimeModule {
 public:
  RuntimeModule(std::u16string author, std::u16string version, std::u16string name);
  virtual ~RuntimeModule();
  RuntimeModule(const RuntimeModule&) = delete;
  RuntimeModule& operator=(const RuntimeModule&) = delete;

  void NXR_CALL destroy() override { delete this; }
  void NXR_CALL releaseMethods() override;
  void NXR_CALL onTick() override {}
  const char16_t* NXR_CALL getAuthor(int32_t* length) override;
  const char16_t* NXR_CALL getVersion(int32_t* length) override;
  const char16_t* NXR_CALL getName(int32_t* length) override;
  sdk::ModuleMethod* NXR_CALL findMethod(const char16_t* name, int32_t length) override;
  void NXR_CALL setHost(sdk::ModuleHost* host) override { host_ = host; }
  int32_t NXR_CALL interfaceNumber() override { return sdk::kInterfaceNumber; }

  const std::u16string& name() const { return name_; }
  sdk::ModuleHost* host() const { return host_; }
  size_t methodCount() const { return methods_.size(); }

 protected:
  // Enters a method under its name; a second method of the same name is dropped.
  void addMethod(std::unique_ptr<ModuleMethod> method);
  void addMethod(std::u16string name, FunctionMethod::Body body) {
    addMethod(std::make_unique<FunctionMethod>(std::move(name), std::move(body)));
  }

 private:
  std::u16string author_;
  std::u16string version_;
  std::u16string name_;
  std::map<std::u16string, std::unique_ptr<ModuleMethod>> methods_;
  sdk::ModuleHost* host_ = nullptr;
};

}  // namespace nxr
