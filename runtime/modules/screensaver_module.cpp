#include "modules/screensaver_module.h"

#include <string>
#include <utility>
#include <vector>

#include "modules/builtin_registration.h"

namespace nxr {

namespace {

// Hands the switch (exactly "true" is on) to one of the calling form's two fields.
class SwitchMethod : public ModuleMethod {
 public:
  using Setter = void (*)(FormInterface&, bool);
  SwitchMethod(std::u16string name, Setter setter)
      : ModuleMethod(std::move(name)), setter_(setter) {}

 protected:
  std::u16string call(FormInterface& form, const std::vector<std::u16string>& args) override {
    if (!args.empty()) setter_(form, args[0] == u"true");
    return {};
  }

 private:
  Setter setter_;
};

}  // namespace

ScreensaverModule::ScreensaverModule()
    : RuntimeModule(u"nxr runtime", u"1.0.0", u"nxr.Application.Screensaver") {}

bool ScreensaverModule::registerMethods() {
  addMethod(std::make_unique<SwitchMethod>(
      u"mouseMoveExits", [](FormInterface& form, bool on) { form.setMouseMoveExits(on); }));
  addMethod(std::make_unique<SwitchMethod>(
      u"keyPressExits", [](FormInterface& form, bool on) { form.setKeyPressExits(on); }));
  return true;
}

std::unique_ptr<ScreensaverModule> registerScreensaverModule(ModuleRegistry& registry) {
  return enterBuiltinModule(registry, std::make_unique<ScreensaverModule>());
}

}  // namespace nxr
