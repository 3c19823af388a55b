#include "bridge/runtime_module.h"

namespace nxr {

namespace {

const char16_t* giveText(const std::u16string& text, int32_t* length) {
  if (length) *length = static_cast<int32_t>(text.size());
  return text.c_str();
}

std::u16string takeText(const char16_t* chars, int32_t length) {
  if (!chars || length <= 0) return {};
  return std::u16string(chars, static_cast<size_t>(length));
}

}  // namespace

std::u16string moduleName(sdk::RuntimeModule& module) {
  int32_t length = 0;
  const char16_t* chars = module.getName(&length);
  return takeText(chars, length);
}

sdk::ModuleMethod* findMethod(sdk::RuntimeModule& module, std::u16string_view name) {
  std::u16string copy(name);
  return module.findMethod(copy.c_str(), static_cast<int32_t>(copy.size()));
}

std::u16string invokeMethod(sdk::ModuleMethod& method, FormInterface* form,
                            const std::vector<std::u16string>& arguments) {
  std::vector<sdk::Text> texts;
  texts.reserve(arguments.size());
  for (const auto& argument : arguments) {
    texts.push_back({argument.c_str(), static_cast<int32_t>(argument.size())});
  }
  int32_t length = 0;
  const char16_t* result =
      method.invoke(form, texts.data(), static_cast<int32_t>(texts.size()), &length);
  return takeText(result, length);
}

const char16_t* ModuleMethod::invoke(sdk::FormInterface* form, const sdk::Text* arguments,
                                     int32_t argumentCount, int32_t* resultLength) {
  std::vector<std::u16string> args;
  for (int32_t i = 0; arguments && i < argumentCount; ++i) {
    args.push_back(takeText(arguments[i].chars, arguments[i].length));
  }
  // Every form the runtime hands out is one of its own FormInterface objects.
  result_ = form ? call(*static_cast<FormInterface*>(form), args) : std::u16string();
  return giveText(result_, resultLength);
}

const char16_t* ModuleMethod::methodName(int32_t* length) { return giveText(name_, length); }

RuntimeModule::RuntimeModule(std::u16string author, std::u16string version, std::u16string name)
    : author_(std::move(author)), version_(std::move(version)), name_(std::move(name)) {}

RuntimeModule::~RuntimeModule() = default;

void RuntimeModule::releaseMethods() { methods_.clear(); }

const char16_t* RuntimeModule::getAuthor(int32_t* length) { return giveText(author_, length); }
const char16_t* RuntimeModule::getVersion(int32_t* length) { return giveText(version_, length); }
const char16_t* RuntimeModule::getName(int32_t* length) { return giveText(name_, length); }

sdk::ModuleMethod* RuntimeModule::findMethod(const char16_t* name, int32_t length) {
  auto found = methods_.find(takeText(name, length));
  return found == methods_.end() ? nullptr : found->second.get();
}

void RuntimeModule::addMethod(std::unique_ptr<ModuleMethod> method) {
  std::u16string key = method->name();
  methods_.try_emplace(std::move(key), std::move(method));
}

}  // namespace nxr
