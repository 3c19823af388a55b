// A module for tests whose methods record their calls and answer a set text.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/runtime_module.h"

namespace nxr::testing {

struct RecordedCall {
  std::u16string method;
  int32_t formIndex;
  std::vector<std::u16string> arguments;
};

class TestModule : public RuntimeModule {
 public:
  using Answer = std::function<std::u16string(const std::vector<std::u16string>&)>;

  explicit TestModule(std::u16string name, std::vector<std::u16string> methodNames = {})
      : RuntimeModule(u"tests", u"1.0.0", std::move(name)), methodNames_(std::move(methodNames)) {}

  bool NXR_CALL registerMethods() override {
    for (const auto& method : methodNames_) addMethod(std::make_unique<Method>(*this, method));
    return registerResult;
  }
  void NXR_CALL onTick() override { ++ticks; }

  bool registerResult = true;
  std::atomic<int> ticks{0};
  std::vector<RecordedCall> calls;
  Answer answer = [](const std::vector<std::u16string>&) { return std::u16string(); };

 private:
  class Method : public ModuleMethod {
   public:
    Method(TestModule& module, std::u16string name)
        : ModuleMethod(std::move(name)), module_(module) {}

   protected:
    std::u16string call(FormInterface& form, const std::vector<std::u16string>& args) override {
      module_.calls.push_back({name(), form.getIndex(), args});
      return module_.answer(args);
    }

   private:
    TestModule& module_;
  };

  std::vector<std::u16string> methodNames_;
};

}  // namespace nxr::testing
