// The single process-wide object: the project record, the work folder, the menus and the exit code.
// The entry function drives it: init, the message loop, shutdown.
#pragma once

#include <windows.h>

// After windows.h, which they build on.
#include <sapi.h>
#include <shobjidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/project_data.h"
#include "support/win.h"

namespace nxr {

class ControlLoader;
class LibraryModule;
class TimerModule;

class Application {
 public:
  // The process's Application, constructed on first use.
  static Application& instance();

  // Initialises COM for the thread and creates the shell's taskbar list; both results are ignored.
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The start-up sequence; false ends the process with -1.
  bool init(HINSTANCE instance);
  // The message loop, which ends when the main form has closed. Start-up cannot create forms yet,
  // so there is never a main form and it returns at once.
  void runMessageLoop();
  // The teardown; safe to call twice.
  void shutdown();

  // 1 for a screensaver build, else 2 for a kiosk build, else 0.
  int runModeFlag() const;
  // Stores the project title as the application title and derives the run modes again.
  void applyProjectTitle();
  // The decrypted value of the project's global or secure variable, or "nxr_notfound".
  std::u16string getGlobalVar(const std::u16string& name) const;
  std::u16string getSecureVar(const std::u16string& name) const;

  HINSTANCE instanceHandle() const { return instance_; }
  const ProjectData& project() const { return project_; }
  const std::u16string& currentDirectory() const { return currentDirectory_; }
  const std::u16string& executablePath() const { return executablePath_; }
  const std::u16string& workFolder() const { return workFolder_; }
  const std::u16string& title() const { return title_; }
  void setTitle(const std::u16string& title) { title_ = title; }
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
  ComPtr<ISpVoice> speechVoice_;
  // Built-in modules: the registry refers to them but does not own them.
  std::unique_ptr<LibraryModule> libraryModule_;
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

// Runs the password dialog with the desktop as owner; returns the button that ended it
// (IDOK or IDCANCEL, or 0/-1 when the dialog could not run) and the text entered.
INT_PTR runPasswordDialog(HINSTANCE instance, const std::u16string& caption,
                          std::u16string& entered);

// The entry function's work: init, loop, shutdown, release of the display modes; the exit code.
int runApplication(HINSTANCE instance);

}  // namespace nxr
