#include "modules/screensaver_module.h"

#include <string>
#include <utility>
#include <vector>

#include "modules/builtin_registration.h"

namespace nxr {

ScreensaverModule::ScreensaverModule()
    : RuntimeModule(u"nxr runtime", u"1.0.0", u"nxr.Application.Screensaver") {}

bool ScreensaverModule::registerMethods() {
  // Each hands the switch (exactly "true" is on) to one of the calling form's two fields.
  using Args = std::vector<std::u16string>;
  addMethod(u"mouseMoveExits", [](FormInterface& form, const Args& args) {
    if (!args.empty()) form.setMouseMoveExits(args[0] == u"true");
    return std::u16string();
  });
  addMethod(u"keyPressExits", [](FormInterface& form, const Args& args) {
    if (!args.empty()) form.setKeyPressExits(args[0] == u"true");
    return std::u16string();
  });
  return true;
}

std::unique_ptr<ScreensaverModule> registerScreensaverModule(ModuleRegistry& registry) {
  return enterBuiltinModule(registry, std::make_unique<ScreensaverModule>());
}

}  // namespace nxr
