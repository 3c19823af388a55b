// An example extension library: one module, "nxr.Extensions.Example", with four methods.
//
//   add(a, b)           -> the sum of two integers, as a bare number
//   greet(name)         -> a quoted text: "Hello, <name>"
//   callBack(function)  -> calls that movie function with the form's title as its one argument
//   ticks()             -> how many ticks the runtime has given the module so far
//
// Build it as a DLL with the extension ".nxq" and put it into the project's plug-ins.
#include <atomic>
#include <map>
#include <string>

#include "nxr_plugin.h"

namespace {

using nxr::sdk::FormInterface;
using nxr::sdk::ModuleMethod;
using nxr::sdk::Text;

std::u16string toText(const Text& text) {
  return text.chars ? std::u16string(text.chars, static_cast<size_t>(text.length))
                    : std::u16string();
}

int32_t toInteger(const Text& text) {
  int32_t value = 0;
  bool negative = false;
  int32_t i = 0;
  if (i < text.length && (text.chars[i] == u'-' || text.chars[i] == u'+')) {
    negative = text.chars[i] == u'-';
    ++i;
  }
  for (; i < text.length && text.chars[i] >= u'0' && text.chars[i] <= u'9'; ++i) {
    value = value * 10 + (text.chars[i] - u'0');
  }
  return negative ? -value : value;
}

std::u16string fromInteger(int64_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// Shared part of the methods: the name and the result text they own.
class Method : public ModuleMethod {
 public:
  explicit Method(const char16_t* name) : name_(name) {}
  virtual ~Method() = default;

  void NXR_CALL destroy() override { delete this; }
  const char16_t* NXR_CALL invoke(FormInterface* form, const Text* args, int32_t count,
                                  int32_t* resultLength) override {
    result_ = run(form, args, count);
    *resultLength = static_cast<int32_t>(result_.size());
    return result_.c_str();
  }
  const char16_t* NXR_CALL methodName(int32_t* length) override {
    *length = static_cast<int32_t>(name_.size());
    return name_.c_str();
  }

 protected:
  virtual std::u16string run(FormInterface* form, const Text* args, int32_t count) = 0;

 private:
  std::u16string name_;
  std::u16string result_;
};

class Add : public Method {
 public:
  Add() : Method(u"add") {}
  std::u16string run(FormInterface*, const Text* args, int32_t count) override {
    if (count < 2) return u"";
    return fromInteger(int64_t{toInteger(args[0])} + toInteger(args[1]));
  }
};

class Greet : public Method {
 public:
  Greet() : Method(u"greet") {}
  std::u16string run(FormInterface*, const Text* args, int32_t count) override {
    return u"\"Hello, " + (count > 0 ? toText(args[0]) : u"") + u"\"";
  }
};

class CallBack : public Method {
 public:
  CallBack() : Method(u"callBack") {}
  std::u16string run(FormInterface* form, const Text* args, int32_t count) override {
    if (!form || count < 1) return u"false";
    int32_t length = 0;
    const char16_t* title = form->getTitle(&length);
    std::u16string function = toText(args[0]);
    std::u16string argument(title, static_cast<size_t>(length));
    form->callMovieFunction(function.c_str(), argument.c_str(), u"\n");
    return u"true";
  }
};

class Ticks : public Method {
 public:
  explicit Ticks(const std::atomic<int32_t>& ticks) : Method(u"ticks"), ticks_(ticks) {}
  std::u16string run(FormInterface*, const Text*, int32_t) override {
    return fromInteger(ticks_.load());
  }

 private:
  const std::atomic<int32_t>& ticks_;
};

class ExampleModule : public nxr::sdk::RuntimeModule {
 public:
  ~ExampleModule() { releaseMethods(); }
  void NXR_CALL destroy() override { releaseMethods(); }
  bool NXR_CALL registerMethods() override {
    releaseMethods();
    for (Method* method :
         {static_cast<Method*>(new Add), static_cast<Method*>(new Greet),
          static_cast<Method*>(new CallBack), static_cast<Method*>(new Ticks(ticks_))}) {
      int32_t length = 0;
      const char16_t* name = method->methodName(&length);
      methods_[std::u16string(name, static_cast<size_t>(length))] = method;
    }
    return true;
  }
  void NXR_CALL releaseMethods() override {
    for (auto& entry : methods_) entry.second->destroy();
    methods_.clear();
  }
  void NXR_CALL onTick() override { ++ticks_; }
  const char16_t* NXR_CALL getAuthor(int32_t* length) override { return give(u"nxr", length); }
  const char16_t* NXR_CALL getVersion(int32_t* length) override { return give(u"1.0.0", length); }
  const char16_t* NXR_CALL getName(int32_t* length) override {
    return give(u"nxr.Extensions.Example", length);
  }
  ModuleMethod* NXR_CALL findMethod(const char16_t* name, int32_t length) override {
    auto found = methods_.find(std::u16string(name, static_cast<size_t>(length)));
    return found == methods_.end() ? nullptr : found->second;
  }
  void NXR_CALL setHost(nxr::sdk::ModuleHost* host) override { host_ = host; }
  int32_t NXR_CALL interfaceNumber() override { return nxr::sdk::kInterfaceNumber; }

 private:
  static const char16_t* give(const char16_t* text, int32_t* length) {
    *length = static_cast<int32_t>(std::char_traits<char16_t>::length(text));
    return text;
  }

  std::map<std::u16string, Method*> methods_;
  std::atomic<int32_t> ticks_{0};
  nxr::sdk::ModuleHost* host_ = nullptr;
};

ExampleModule exampleModule;

}  // namespace

NXR_EXPORT int32_t NXR_CDECL GetNumPlugins() { return 1; }

NXR_EXPORT nxr::sdk::RuntimeModule* NXR_CDECL GetPluginInstance(int32_t index) {
  return index == 0 ? &exampleModule : nullptr;
}
