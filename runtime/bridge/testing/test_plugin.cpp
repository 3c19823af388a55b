// Plug-in libraries for the loader's tests, one source built in several variants:
//   TEST_PLUGIN_COUNT        what GetNumPlugins answers
//   TEST_PLUGIN_NAMES        the module names, comma-separated texts
//   TEST_PLUGIN_FAIL_INDEX   the module whose registerMethods fails (-1: none)
//   TEST_PLUGIN_NO_INSTANCE  leaves out the GetPluginInstance export
// Every module has the methods "whoami" (its quoted name) and "ticks" (its tick count).
#include <atomic>
#include <string>

#include "nxr_plugin.h"

namespace {

using nxr::sdk::FormInterface;
using nxr::sdk::Text;

class Method final : public nxr::sdk::ModuleMethod {
 public:
  Method(const char16_t* name, std::u16string (*run)(void*), void* context)
      : name_(name), run_(run), context_(context) {}
  void NXR_CALL destroy() override { delete this; }
  const char16_t* NXR_CALL invoke(FormInterface*, const Text*, int32_t, int32_t* length) override {
    result_ = run_(context_);
    *length = static_cast<int32_t>(result_.size());
    return result_.c_str();
  }
  const char16_t* NXR_CALL methodName(int32_t* length) override {
    *length = static_cast<int32_t>(name_.size());
    return name_.c_str();
  }

 private:
  std::u16string name_;
  std::u16string (*run_)(void*);
  void* context_;
  std::u16string result_;
};

class Module final : public nxr::sdk::RuntimeModule {
 public:
  Module(const char16_t* name, bool failRegistration) : name_(name), fail_(failRegistration) {}
  ~Module() { releaseMethods(); }
  void NXR_CALL destroy() override { releaseMethods(); }
  bool NXR_CALL registerMethods() override {
    releaseMethods();
    whoami_ = new Method(
        u"whoami", [](void* self) { return u"\"" + static_cast<Module*>(self)->name_ + u"\""; },
        this);
    ticks_ = new Method(
        u"ticks",
        [](void* self) {
          std::string digits = std::to_string(static_cast<Module*>(self)->tickCount_.load());
          return std::u16string(digits.begin(), digits.end());
        },
        this);
    return !fail_;
  }
  void NXR_CALL releaseMethods() override {
    if (whoami_) whoami_->destroy();
    if (ticks_) ticks_->destroy();
    whoami_ = ticks_ = nullptr;
    ++released;
  }
  void NXR_CALL onTick() override { ++tickCount_; }
  const char16_t* NXR_CALL getAuthor(int32_t* length) override { return give(u"tests", length); }
  const char16_t* NXR_CALL getVersion(int32_t* length) override { return give(u"1", length); }
  const char16_t* NXR_CALL getName(int32_t* length) override {
    *length = static_cast<int32_t>(name_.size());
    return name_.c_str();
  }
  nxr::sdk::ModuleMethod* NXR_CALL findMethod(const char16_t* name, int32_t length) override {
    std::u16string wanted(name, static_cast<size_t>(length));
    if (wanted == u"whoami") return whoami_;
    if (wanted == u"ticks") return ticks_;
    return nullptr;
  }
  void NXR_CALL setHost(nxr::sdk::ModuleHost*) override {}
  int32_t NXR_CALL interfaceNumber() override { return nxr::sdk::kInterfaceNumber; }

  int released = 0;

 private:
  static const char16_t* give(const char16_t* text, int32_t* length) {
    *length = static_cast<int32_t>(std::char_traits<char16_t>::length(text));
    return text;
  }

  std::u16string name_;
  bool fail_;
  Method* whoami_ = nullptr;
  Method* ticks_ = nullptr;
  std::atomic<int32_t> tickCount_{0};
};

constexpr const char16_t* kNames[] = {TEST_PLUGIN_NAMES};
constexpr int kModuleCount = sizeof(kNames) / sizeof(kNames[0]);
Module* modules[kModuleCount];

struct Modules {
  Modules() {
    for (int i = 0; i < kModuleCount; ++i)
      modules[i] = new Module(kNames[i], i == TEST_PLUGIN_FAIL_INDEX);
  }
  ~Modules() {
    for (Module* module : modules) delete module;
  }
} allModules;

}  // namespace

NXR_EXPORT int32_t NXR_CDECL GetNumPlugins() { return TEST_PLUGIN_COUNT; }

#ifndef TEST_PLUGIN_NO_INSTANCE
NXR_EXPORT nxr::sdk::RuntimeModule* NXR_CDECL GetPluginInstance(int32_t index) {
  return index >= 0 && index < kModuleCount ? modules[index] : nullptr;
}
#endif
