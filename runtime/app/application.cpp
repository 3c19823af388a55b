#include "app/application.h"

#include <commctrl.h>
#include <mmsystem.h>

#include "app/display_modes.h"
#include "app/work_folder.h"
#include "bridge/event_texts.h"
#include "bridge/module_registry.h"
#include "bridge/plugins.h"
#include "modules/kiosk_module.h"
#include "modules/library_module.h"
#include "modules/screensaver_module.h"
#include "modules/timer_module.h"
#include "moviehost/control_loader.h"
#include "support/folders.h"
#include "support/message_box.h"
#include "support/resources.h"
#include "support/text.h"

namespace nxr {

namespace {

const CLSID kTaskbarListClsid = {
    0x56FDF344, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
const IID kTaskbarListIid = {
    0x56FDF342, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
const CLSID kSpVoiceClsid = {
    0x96749377, 0x3391, 0x11D2, {0x9E, 0xE3, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
const IID kSpVoiceIid = {
    0x6C44DF74, 0x72B9, 0x4992, {0xA1, 0xEC, 0xEF, 0x99, 0x6E, 0x04, 0x22, 0xD4}};

// The fallback payload file in the current directory.
constexpr char16_t kFallbackPayload[] = u"\\~~~~,~b3.exe";
// The class menu id of the form window class; the executable carries no menu of that id.
constexpr int kFormClassMenuId = 142;

std::u16string readModulePath(HINSTANCE instance) {
  wchar_t buffer[1024];
  const DWORD length = GetModuleFileNameW(instance, buffer, 1024);
  return length > 0 && length < 1024 ? fromWide(buffer, length) : std::u16string();
}

std::u16string passwordDialogText;  // what the running dialog read from its edit control
std::u16string passwordDialogCaption;

INT_PTR CALLBACK passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextW(dialog, asWcstr(passwordDialogCaption));
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id != IDOK && id != IDCANCEL) return FALSE;
      wchar_t text[260] = {};
      const int length = GetDlgItemTextW(dialog, kPasswordEditId, text, 260);
      passwordDialogText = fromWide(text, length > 0 ? static_cast<size_t>(length) : 0);
      EndDialog(dialog, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR runPasswordDialog(HINSTANCE instance, const std::u16string& caption,
                          std::u16string& entered) {
  passwordDialogCaption = caption;
  passwordDialogText.clear();
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(kPasswordDialogId),
                                         GetDesktopWindow(), passwordDialogProc, 0);
  entered = passwordDialogText;
  return result;
}

Application& Application::instance() {
  static Application application;
  return application;
}

Application::Application() {
  // The taskbar list is optional: forms work without it.
  if (SUCCEEDED(CoCreateInstance(kTaskbarListClsid, nullptr, CLSCTX_INPROC_SERVER, kTaskbarListIid,
                                 taskbarList_.putVoid()))) {
    taskbarList_->HrInit();
  }
}

Application::~Application() {
  shutdown();
  timerModule_.reset();
  screensaverModule_.reset();
  libraryModule_.reset();
  applicationModule_.reset();
  if (controlLoader_) destroyLoader(controlLoader_);
  taskbarList_.reset();
}

bool Application::init(HINSTANCE instance) {
  instance_ = instance;
  currentDirectory_ = workingDirectory();
  executablePath_ = readModulePath(instance);
  if (!readProjectData()) return false;
  screensaverMode_ = project_.runMode == 1;
  kioskMode_ = project_.runMode == 2;
  registerWindowClass();
  if (!loadControl()) return false;
  if (project_.passwordEnabled && !askPassword()) return false;
  workFolder_ = createWorkFolder();
  if (workFolder_.empty()) return false;
  if (!extractPlugins(project_, workFolder_, extractedFiles_)) return false;
  // Loading the plug-ins also starts the command thread; a project may run without either.
  scanPluginFolders(ModuleRegistry::instance(), workFolder_);
  createMenus();
  applyProjectTitle();
  if (!registerBuiltinModules()) return false;
  // The forms are created here once they are part of the runtime. Until then a project's form
  // records cannot be shown.
  if (!project_.forms.empty()) {
    debugLog(u"nxr: this runtime cannot create forms yet");
    return false;
  }
  createSpeechVoice();
  if (!DisplayModeList::instance().build()) return false;
  // The command thread ticks the modules from now on.
  ModuleRegistry::instance().setReady(&DisplayModeList::instance());
  return true;
}

bool Application::readProjectData() {
  if (readProject(executablePath_, project_)) return true;
  // A failed read may leave part of a record behind; the fallback starts from a fresh one.
  project_ = ProjectData();
  return readProject(currentDirectory_ + kFallbackPayload, project_);
}

bool Application::loadControl() {
  // The control the executable carries; without one, the loader falls back to the installed
  // control named in the registry.
  const std::optional<ResourceBytes> image = loadBinResource(kControlResourceId);
  controlLoader_ = image ? createLoader(image->data, image->size) : createLoader(nullptr, 0);
  return controlLoader_ != nullptr;
}

void Application::registerWindowClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  // The form window procedure takes over once forms are part of the runtime.
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance_;
  windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kApplicationIconId));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEW(kFormClassMenuId);
  windowClass.lpszClassName = asWcstr(std::u16string(kFormWindowClass));
  RegisterClassExW(&windowClass);
}

bool Application::askPassword() {
  std::u16string entered;
  const INT_PTR button = runPasswordDialog(instance_, project_.title, entered);
  if (button != IDOK) return false;  // cancelled or closed: silently
  if (entered == project_.password) return true;
  showMessageBox(u"Password is incorrect!", project_.title, kBoxOk, nullptr);
  return false;
}

bool Application::registerBuiltinModules() {
  // In the registry's order: Application, Kiosk (kiosk builds), Library, Screensaver
  // (screensaver builds), Timer. A name a plug-in took already stays the plug-in's.
  ModuleRegistry& registry = ModuleRegistry::instance();
  applicationModule_ = registerApplicationModule(*this, registry);
  if (kioskMode_ && !registerKioskModule(registry, workFolder_, extractedFiles_)) return false;
  libraryModule_ = registerLibraryModule(registry, project_);
  if (screensaverMode_) screensaverModule_ = registerScreensaverModule(registry);
  timerModule_ = registerTimerModule(registry);
  return true;
}

void Application::createMenus() {
  trayMenu_.reset(CreateMenu());
  contextMenu_.reset(CreateMenu());
  for (HMENU root : {trayMenu_.get(), contextMenu_.get()}) {
    AppendMenuW(root, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), nullptr);
  }
}

void Application::applyProjectTitle() {
  title_ = project_.title;
  screensaverMode_ = project_.runMode == 1;
  kioskMode_ = project_.runMode == 2;
}

void Application::createSpeechVoice() {
  // Speech is optional: without a voice the speech method reports failure.
  CoCreateInstance(kSpVoiceClsid, nullptr, CLSCTX_ALL, kSpVoiceIid, speechVoice_.putVoid());
}

int Application::runModeFlag() const {
  if (screensaverMode_) return 1;
  if (kioskMode_) return 2;
  return 0;
}

std::u16string Application::getGlobalVar(const std::u16string& name) const {
  const SecureValue* value = project_.findGlobalVariable(name);
  return value ? value->getText() : u"nxr_notfound";
}

std::u16string Application::getSecureVar(const std::u16string& name) const {
  const SecureValue* value = project_.findSecureVariable(name);
  return value ? value->getText() : u"nxr_notfound";
}

void Application::addForm(FormInterface* form) {
  forms_.push_back(form);
  if (form->getIndex() == 0) mainForm_ = form;
}

bool Application::createForm(const std::u16string& name, const std::u16string&, int32_t, int32_t,
                             int32_t, int32_t, const std::u16string&) {
  // Forms are made by the form code, which this runtime does not contain yet.
  debugLog(u"nxr: cannot create form " + name + u": this runtime cannot create forms yet");
  return false;
}

void Application::setExitCodeAndClose(int32_t code) {
  exitCode_ = code;
  if (mainForm_) SendMessageW(static_cast<HWND>(mainForm_->getWindow()), WM_CLOSE, 0, 0);
}

void Application::closeMainForm() {
  if (!mainForm_) return;
  mainForm_->hide();
  mainFormClosed_ = true;
}

void Application::setMainTopmost(bool on) {
  if (!mainForm_) return;
  SetWindowPos(static_cast<HWND>(mainForm_->getWindow()), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0,
               0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

bool Application::speak(const std::u16string& text) {
  // A voice of its own for each call, released when speaking has ended.
  ComPtr<ISpVoice> voice;
  if (FAILED(CoCreateInstance(kSpVoiceClsid, nullptr, CLSCTX_ALL, kSpVoiceIid, voice.putVoid()))) {
    return false;
  }
  return SUCCEEDED(voice->Speak(asWcstr(text), 0, nullptr));
}

void Application::minimize(int32_t formIndex) {
  if (minimizeToTray_ && mainForm_) {
    HWND frame = static_cast<HWND>(mainForm_->getWindow());
    trayIcon_.cbSize = sizeof(trayIcon_);
    trayIcon_.hWnd = frame;
    trayIcon_.uID = 1;
    trayIcon_.uCallbackMessage = kTrayCallbackMessage;
    trayIcon_.uFlags = NIF_MESSAGE | NIF_ICON;
    DWORD action = NIM_MODIFY;
    if (!trayIconImage_) {
      trayIconImage_ = LoadIconW(instance_ ? instance_ : GetModuleHandleW(nullptr),
                                 MAKEINTRESOURCEW(kApplicationIconId));
      action = NIM_ADD;
    }
    trayIcon_.hIcon = trayIconImage_;
    if (Shell_NotifyIconW(action, &trayIcon_)) {
      trayIconAdded_ = true;
      ShowWindow(frame, SW_MINIMIZE);
      ShowWindow(frame, SW_HIDE);
    } else {
      showMessageBox(u"Unable to Set Tray Icon", u"ERROR", kBoxOk);
    }
  } else if (formIndex != 0) {
    if (FormInterface* form = ModuleRegistry::instance().findForm(formIndex)) form->minimize();
  } else {
    for (FormInterface* form : forms_) {
      if (form->getIndex() == 0) form->minimize();
    }
  }
  if (mainForm_) mainForm_->raiseEvent(appMinimizeEvent());
}

void Application::restore() {
  for (FormInterface* form : forms_) form->restore();
  if (mainForm_) mainForm_->raiseEvent(appRestoreEvent());
}

std::u16string Application::commandLine() const { return fromWide(GetCommandLineW()); }

void Application::removeTrayIcon() {
  if (!trayIconAdded_) return;
  Shell_NotifyIconW(NIM_DELETE, &trayIcon_);
  trayIconAdded_ = false;
}

void Application::runMessageLoop() {
  // Without a main form nothing could ever end the loop: the run is over.
  if (!mainForm_) return;
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) != 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (mainFormClosed_) {
      ShowWindow(static_cast<HWND>(mainForm_->getWindow()), SW_HIDE);
      break;
    }
  }
}

void Application::shutdown() {
  // Only the first teardown acts. The process-wide objects it reaches (the registry) may already
  // be gone when the destructor runs at process exit.
  if (shutDown_) return;
  shutDown_ = true;
  removeTrayIcon();
  speechVoice_.reset();
  // No timer may tick into a form that is being destroyed.
  if (timerModule_) timerModule_->releaseMethods();
  // Destroying the main form's window stops the command thread and unloads the plug-ins; without
  // forms it happens here, before the work folder that holds the plug-in files is removed.
  ModuleRegistry::instance().shutdown();
  // The key-lock library's file is in the work folder: unload it first.
  unloadKioskLibrary();
  if (!workFolder_.empty()) deleteFolderTree(workFolder_);
  workFolder_.clear();
}

int runApplication(HINSTANCE instance) {
  InitCommonControls();
  Application& application = Application::instance();
  if (!application.init(instance)) {
    // The work folder of a failed start-up goes now, while everything it needs still exists.
    application.shutdown();
    return -1;
  }
  application.runMessageLoop();
  application.shutdown();
  DisplayModeList::instance().release();
  return application.exitCode();
}

}  // namespace nxr
