#include "modules/kiosk_module.h"

#include <windows.h>

#include <memory>
#include <utility>

#include "dwlgina2.h"
#include "support/files.h"
#include "support/win.h"

namespace nxr {
namespace {

// The library's entry points, typed after its own prototypes (all __stdcall).
struct KioskEntryPoints {
  decltype(&::wlVersion) version = nullptr;
  decltype(&::wlDisableKey) disableKey = nullptr;
  decltype(&::wlIsKeyDisabled) isKeyDisabled = nullptr;
  decltype(&::wlGetDisabledKey) getDisabledKey = nullptr;
  decltype(&::wlSetKeySendMessage) setKeySendMessage = nullptr;
  decltype(&::wlSetKeyPostMessage) setKeyPostMessage = nullptr;
  decltype(&::wlSetKeyCallback) setKeyCallback = nullptr;
  decltype(&::wlRestoreAll) restoreAll = nullptr;
  decltype(&::wlDisableItem) disableItem = nullptr;
  decltype(&::wlIsItemDisabled) isItemDisabled = nullptr;
  decltype(&::wlInstallGina) installGina = nullptr;
  decltype(&::wlUninstallGina) uninstallGina = nullptr;
  decltype(&::wlIsGinaInstalled) isGinaInstalled = nullptr;
  decltype(&::wlIsNTSystem) isNtSystem = nullptr;
  decltype(&::wlNeedGinaInstall) needGinaInstall = nullptr;
  decltype(&::wlExitWindows) exitWindows = nullptr;
  decltype(&::wlWinVersion) winVersion = nullptr;
  decltype(&::wlGetKeyState) getKeyState = nullptr;
  decltype(&::wlSetKeyState) setKeyState = nullptr;
  decltype(&::wlIsAdmin) isAdmin = nullptr;
  decltype(&::wlEnableAutologin) enableAutologin = nullptr;
  decltype(&::wlMapScancode) mapScancode = nullptr;
  decltype(&::wlDisableDesktopIcon) disableDesktopIcon = nullptr;
  decltype(&::wlDesktopIconCount) desktopIconCount = nullptr;
  decltype(&::wlRestoreDesktopIcons) restoreDesktopIcons = nullptr;
  decltype(&::wlExit) exit = nullptr;
};

// The loaded library: process-wide, from the module's registration until teardown.
struct KioskLibrary {
  HMODULE handle = nullptr;
  KioskEntryPoints entry;
  std::u16string workFolder;
};

KioskLibrary& library() {
  static KioskLibrary instance;
  return instance;
}

std::unique_ptr<KioskModule>& registeredModule() {
  static std::unique_ptr<KioskModule> module;
  return module;
}

template <typename Function>
bool resolve(HMODULE handle, const char* name, Function& slot) {
  FARPROC address = GetProcAddress(handle, name);
  if (!address) return false;
  slot = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
  return true;
}

// Every entry point by name in the library's table order; stops at the first missing one.
bool resolveAll(HMODULE h, KioskEntryPoints& e) {
  return resolve(h, "wlVersion", e.version) && resolve(h, "wlDisableKey", e.disableKey) &&
         resolve(h, "wlIsKeyDisabled", e.isKeyDisabled) &&
         resolve(h, "wlGetDisabledKey", e.getDisabledKey) &&
         resolve(h, "wlSetKeySendMessage", e.setKeySendMessage) &&
         resolve(h, "wlSetKeyPostMessage", e.setKeyPostMessage) &&
         resolve(h, "wlSetKeyCallback", e.setKeyCallback) &&
         resolve(h, "wlRestoreAll", e.restoreAll) && resolve(h, "wlDisableItem", e.disableItem) &&
         resolve(h, "wlIsItemDisabled", e.isItemDisabled) &&
         resolve(h, "wlInstallGina", e.installGina) &&
         resolve(h, "wlUninstallGina", e.uninstallGina) &&
         resolve(h, "wlIsGinaInstalled", e.isGinaInstalled) &&
         resolve(h, "wlIsNTSystem", e.isNtSystem) &&
         resolve(h, "wlNeedGinaInstall", e.needGinaInstall) &&
         resolve(h, "wlExitWindows", e.exitWindows) && resolve(h, "wlWinVersion", e.winVersion) &&
         resolve(h, "wlGetKeyState", e.getKeyState) && resolve(h, "wlSetKeyState", e.setKeyState) &&
         resolve(h, "wlIsAdmin", e.isAdmin) && resolve(h, "wlEnableAutologin", e.enableAutologin) &&
         resolve(h, "wlMapScancode", e.mapScancode) &&
         resolve(h, "wlDisableDesktopIcon", e.disableDesktopIcon) &&
         resolve(h, "wlDesktopIconCount", e.desktopIconCount) &&
         resolve(h, "wlRestoreDesktopIcons", e.restoreDesktopIcons) && resolve(h, "wlExit", e.exit);
}

// Writes, loads and resolves the library; on any failure nothing stays loaded.
bool loadLibrary(const KioskLibrarySource& source) {
  std::optional<ResourceBytes> bytes = source.image ? source.image() : loadBinResource(140);
  if (!bytes || !bytes->data) return false;
  const std::u16string path = source.workFolder + u"\\dwlGina2.dll";
  // A second registration replaces the library loaded by the first, whose file is in use.
  unloadKioskLibrary();
  if (!writeWholeFile(path, bytes->data, bytes->size)) return false;
  if (source.extractedFiles) source.extractedFiles->push_back(path);

  HMODULE handle = LoadLibraryW(asWcstr(path));
  if (!handle) return false;
  KioskEntryPoints entry;
  if (!resolveAll(handle, entry)) {
    FreeLibrary(handle);
    return false;
  }
  KioskLibrary& lib = library();
  lib.handle = handle;
  lib.entry = entry;
  lib.workFolder = source.workFolder;
  return true;
}

bool ginaInstalled() { return library().entry.isGinaInstalled() != 0; }

void disableKey(int32_t window, int32_t virtualKey, int32_t modifiers, int32_t on) {
  library().entry.disableKey(window, virtualKey, modifiers, on);
}

void disableItem(int32_t item, int32_t on) { library().entry.disableItem(item, on); }

// Makes the work folder current while the library installs the login screen (it takes its files
// from there), then goes back to the directory from before.
void installLoginScreen() {
  const KioskLibrary& lib = library();
  DWORD length = GetCurrentDirectoryW(0, nullptr);
  std::wstring previous(length, L'\0');
  length = GetCurrentDirectoryW(length, previous.data());
  previous.resize(length);
  if (!SetCurrentDirectoryW(asWcstr(lib.workFolder))) return;
  if (!ginaInstalled()) lib.entry.installGina(25);
  if (!previous.empty()) SetCurrentDirectoryW(previous.c_str());
}

// The window handle as the library takes it: a 32-bit value (window handles fit in 32 bits on
// both architectures).
int32_t windowArgument(FormInterface& form) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(form.getWindow()));
}

class KioskMethod : public ModuleMethod {
 public:
  using Action = void (*)(FormInterface& form);
  KioskMethod(std::u16string name, Action action)
      : ModuleMethod(std::move(name)), action_(action) {}

 protected:
  std::u16string call(FormInterface& form, const std::vector<std::u16string>&) override {
    // After teardown has freed the library the methods do nothing.
    if (library().handle) action_(form);
    return {};
  }

 private:
  Action action_;
};

// Virtual keys and the library's modifier and item codes.
constexpr int32_t kEscape = 0x1B, kF4 = 0x73, kTab = 0x09, kApps = 0x5D, kDelete = 0x2E,
                  kRightButton = 0x02;

struct MethodEntry {
  const char16_t* name;
  KioskMethod::Action action;
};

// In the order the methods are created.
const MethodEntry kMethods[] = {
    {u"disableAltEsc",
     [](FormInterface& f) { disableKey(windowArgument(f), kEscape, kWlModAlt, 1); }},
    {u"disableAltF4", [](FormInterface&) { disableKey(0, kF4, kWlModAlt, 1); }},
    {u"disableAltTab", [](FormInterface&) { disableKey(0, kTab, kWlModAlt, 1); }},
    {u"disableAppKey", [](FormInterface&) { disableKey(0, kApps, kWlModNone, 1); }},
    {u"disableCtrlAltDel",
     [](FormInterface&) {
       if (ginaInstalled()) disableKey(0, kDelete, kWlModCtrlAlt, 1);
     }},
    {u"disableCtrlEsc", [](FormInterface&) { disableKey(0, kEscape, kWlModCtrl, 1); }},
    {u"disableRMouseButton", [](FormInterface&) { disableKey(0, kRightButton, kWlModNone, 1); }},
    {u"disableWinKey", [](FormInterface&) { disableKey(0, 0, kWlModWin, 1); }},
    {u"disableWindowsDesktop", [](FormInterface&) { disableItem(kWlItemDesktop, 1); }},
    {u"disableWindowsStartButton", [](FormInterface&) { disableItem(kWlItemStartButton, 1); }},
    {u"disableWindowsTaskbar", [](FormInterface&) { disableItem(kWlItemTaskbar, 1); }},
    {u"enableAltEsc", [](FormInterface&) { disableKey(0, kEscape, kWlModAlt, 0); }},
    {u"enableAltF4", [](FormInterface&) { disableKey(0, kF4, kWlModAlt, 0); }},
    {u"enableAltTab", [](FormInterface&) { disableKey(0, kTab, kWlModAlt, 0); }},
    {u"enableAppKey", [](FormInterface&) { disableKey(0, kApps, kWlModNone, 0); }},
    {u"enableCtrlAltDel",
     [](FormInterface&) {
       if (ginaInstalled()) disableKey(0, kDelete, kWlModCtrlAlt, 0);
     }},
    {u"enableCtrlEsc", [](FormInterface&) { disableKey(0, kEscape, kWlModCtrl, 0); }},
    {u"enableRMouseButton", [](FormInterface&) { disableKey(0, kRightButton, kWlModNone, 0); }},
    {u"enableWinKey", [](FormInterface&) { disableKey(0, 0, kWlModWin, 0); }},
    {u"enableWindowsDesktop", [](FormInterface&) { disableItem(kWlItemDesktop, 0); }},
    {u"enableWindowsStartButton", [](FormInterface&) { disableItem(kWlItemStartButton, 0); }},
    {u"enableWindowsTaskbar", [](FormInterface&) { disableItem(kWlItemTaskbar, 0); }},
    {u"installLoginScreen", [](FormInterface&) { installLoginScreen(); }},
    {u"uninstallLoginScreen",
     [](FormInterface&) {
       if (ginaInstalled()) library().entry.uninstallGina(26);
     }},
};

}  // namespace

KioskModule::KioskModule(KioskLibrarySource source)
    : RuntimeModule(u"nxr", u"1.0.0", u"nxr.Application.Kiosk"), source_(std::move(source)) {}

bool NXR_CALL KioskModule::registerMethods() {
  if (!loadLibrary(source_)) return false;
  for (const MethodEntry& method : kMethods) {
    addMethod(std::make_unique<KioskMethod>(method.name, method.action));
  }
  return true;
}

bool registerKioskModule(ModuleRegistry& registry, const std::u16string& workFolder,
                         std::vector<std::u16string>& extractedFiles) {
  auto module = std::make_unique<KioskModule>(KioskLibrarySource{workFolder, &extractedFiles, {}});
  if (!module->registerMethods()) return false;
  // A plug-in that took the name keeps it; the library stays loaded all the same.
  registry.registerModule(module->name(), module.get());
  // Kept for the life of the process: the registry does not own its modules, and a module that
  // was replaced here could still be reachable through an earlier registry entry.
  static std::vector<std::unique_ptr<KioskModule>> retired;
  if (registeredModule()) retired.push_back(std::move(registeredModule()));
  registeredModule() = std::move(module);
  return true;
}

void unloadKioskLibrary() {
  KioskLibrary& lib = library();
  if (lib.handle) FreeLibrary(lib.handle);
  lib = KioskLibrary{};
}

bool kioskLibraryLoaded() { return library().handle != nullptr; }

}  // namespace nxr
