// The single process-wide object: the project record, the work folder, the menus and the exit code.
// The entry function drives it: init, the message loop, shutdown.
#pragma once

#include <windows.h>

// After windows.h, which they build on.
#include <sapi.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/project_data.h"
#include "forms/form_interface.h"
#include "modules/application_module.h"
#include "support/win.h"

namespace nxr {

class ControlLoader;
class LibraryModule;
class ScreensaverModule;
class TimerModule;

class Application : public ApplicationServices {
 public:
  // The process's Application, constructed on first use.
  static Application& instance();

  // Initialises COM for the thread and creates the shell's taskbar list; both results are ignored.
  Application();
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The start-up sequence; false ends the process with -1.
  bool init(HINSTANCE instance);
  // The message loop: runs while a main form exists and has not closed. Without a main form
  // nothing could ever end it, so it returns at once.
  void runMessageLoop();
  // The teardown; only the first call acts.
  void shutdown();

  // 1 for a screensaver build, else 2 for a kiosk build, else 0.
  int runModeFlag() const;
  // Stores the project title as the application title and derives the run modes again.
  void applyProjectTitle();
  // The decrypted value of the project's global or secure variable, or "nxr_notfound".
  std::u16string getGlobalVar(const std::u16string& name) const override;
  std::u16string getSecureVar(const std::u16string& name) const override;

  // The forms, in creation order. The forms take their indices from takeFormIndex and enter
  // themselves here; the one with index 0 becomes the main form.
  int32_t takeFormIndex() { return nextFormIndex_++; }
  void addForm(FormInterface* form);
  const std::vector<FormInterface*>& forms() const { return forms_; }
  FormInterface* mainForm() override { return mainForm_; }
  int32_t nextFormIndex() const override { return nextFormIndex_; }
  // Whether the main form has closed, which ends the message loop.
  bool mainFormClosed() const { return mainFormClosed_; }

  // The operations the Application module calls.
  bool createForm(const std::u16string& name, const std::u16string& moviePath, int32_t x, int32_t y,
                  int32_t width, int32_t height, const std::u16string& styleName) override;
  void setExitCodeAndClose(int32_t code) override;
  void closeMainForm() override;
  void setMainTopmost(bool on) override;
  bool speak(const std::u16string& text) override;
  void minimize(int32_t formIndex) override;
  void restore() override;
  void setMinimizeToTray(bool on) override { minimizeToTray_ = on; }
  std::u16string commandLine() const override;
  // Removes the tray icon if it was added.
  void removeTrayIcon();
  bool trayIconAdded() const { return trayIconAdded_; }
  ApplicationModule* applicationModule() const { return applicationModule_.get(); }

  HINSTANCE instanceHandle() const { return instance_; }
  const ProjectData& project() const { return project_; }
  const std::u16string& currentDirectory() const { return currentDirectory_; }
  const std::u16string& executablePath() const override { return executablePath_; }
  const std::u16string& workFolder() const { return workFolder_; }
  const std::u16string& title() const override { return title_; }
  void setTitle(const std::u16string& title) override { title_ = title; }
  bool screensaverMode() const { return screensaverMode_; }
  bool kioskMode() const { return kioskMode_; }
  HMENU trayMenu() const { return trayMenu_.get(); }
  HMENU contextMenu() const { return contextMenu_.get(); }
  ControlLoader* controlLoader() const { return controlLoader_; }
  int32_t exitCode() const { return exitCode_; }
  void setExitCode(int32_t code) { exitCode_ = code; }
  std::vector<std::u16string>& extractedFiles() { return extractedFiles_; }

 private:
  bool readProjectData();
  void registerWindowClass();
  bool loadControl();
  bool askPassword();
  bool registerBuiltinModules();
  void createMenus();
  void createSpeechVoice();

  ScopedComInitializer com_;
  ControlLoader* controlLoader_ = nullptr;  // owned; serves every host window until exit
  ComPtr<ITaskbarList> taskbarList_;
  HINSTANCE instance_ = nullptr;
  ProjectData project_;
  bool screensaverMode_ = false;
  bool kioskMode_ = false;
  std::u16string currentDirectory_;
  std::u16string executablePath_;
  std::u16string workFolder_;
  std::u16string title_;
  ScopedMenu trayMenu_;
  ScopedMenu contextMenu_;
  int32_t exitCode_ = 0;
  bool shutDown_ = false;
  ComPtr<ISpVoice> speechVoice_;
  std::vector<FormInterface*> forms_;
  FormInterface* mainForm_ = nullptr;
  int32_t nextFormIndex_ = 0;
  bool mainFormClosed_ = false;
  bool minimizeToTray_ = false;
  NOTIFYICONDATAW trayIcon_{};
  HICON trayIconImage_ = nullptr;  // shared icon from the executable: never destroyed
  bool trayIconAdded_ = false;
  // Built-in modules: the registry refers to them but does not own them.
  std::unique_ptr<ApplicationModule> applicationModule_;
  std::unique_ptr<LibraryModule> libraryModule_;
  std::unique_ptr<ScreensaverModule> screensaverModule_;
  std::unique_ptr<TimerModule> timerModule_;
  std::vector<std::u16string> extractedFiles_;
};

// The name of the frame window class of every form.
inline constexpr char16_t kFormWindowClass[] = u"NXRBRIX3WINDOW";
// Resource ids of the executable.
constexpr int kApplicationIconId = 107;
constexpr int kPasswordDialogId = 150;
constexpr int kPasswordEditId = 1000;
constexpr int kControlResourceId = 135;
// The message the tray icon sends to the main form.
constexpr UINT kTrayCallbackMessage = WM_USER + 1;

// Runs the password dialog with the desktop as owner; returns the button that ended it
// (IDOK or IDCANCEL, or 0/-1 when the dialog could not run) and the text entered.
INT_PTR runPasswordDialog(HINSTANCE instance, const std::u16string& caption,
                          std::u16string& entered);

// The entry function's work: init, loop, shutdown, release of the display modes; the exit code.
int runApplication(HINSTANCE instance);

}  // namespace nxr
