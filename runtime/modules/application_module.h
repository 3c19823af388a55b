// "nxr.Application": the script methods that act on the application as a whole: its forms and
// windows, exit, command line, environment, project variables, printing and speech. Windows only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bridge/module_registry.h"
#include "bridge/runtime_module.h"
#include "support/win.h"

namespace nxr {

// What the module asks of the application object. The Application implements it; tests give a
// recording stand-in.
class ApplicationServices {
 public:
  virtual ~ApplicationServices() = default;

  // The form with index 0, or null.
  virtual FormInterface* mainForm() = 0;
  // The index the next form will get; every form so far has a smaller one.
  virtual int32_t nextFormIndex() const = 0;
  // Opens a new form; false when it could not be made.
  virtual bool createForm(const std::u16string& name, const std::u16string& moviePath, int32_t x,
                          int32_t y, int32_t width, int32_t height,
                          const std::u16string& styleName) = 0;
  // Stores the exit code, then sends the main form a close request.
  virtual void setExitCodeAndClose(int32_t code) = 0;
  // Closes the main form without a close request, which ends the run.
  virtual void closeMainForm() = 0;
  // Makes the main form topmost or not, without moving, sizing or activating it.
  virtual void setMainTopmost(bool on) = 0;
  // Speaks the text and returns when speaking has ended; whether it could speak.
  virtual bool speak(const std::u16string& text) = 0;
  // The deciphered project variable, or "nxr_notfound".
  virtual std::u16string getGlobalVar(const std::u16string& name) const = 0;
  virtual std::u16string getSecureVar(const std::u16string& name) const = 0;
  // Minimises the form with the index (0: the main form), or the main form into the tray when the
  // minimize-to-tray switch is on; then raises the application minimize event.
  virtual void minimize(int32_t formIndex) = 0;
  // Restores every form, then raises the application restore event.
  virtual void restore() = 0;
  virtual void setMinimizeToTray(bool on) = 0;
  virtual const std::u16string& title() const = 0;
  virtual void setTitle(const std::u16string& title) = 0;
  // The process command line as the system gives it.
  virtual std::u16string commandLine() const = 0;
  // Full path and file name of the running executable.
  virtual const std::u16string& executablePath() const = 0;
};

// Shows a question or message box: text, caption, type flags (support/message_box.h), owner.
using MessageBoxFunction =
    std::function<int32_t(const std::u16string&, const std::u16string&, uint32_t, HWND)>;

class ApplicationModule : public RuntimeModule {
 public:
  // The module acts on services and finds forms by index in registry; both must outlive it.
  // askUser shows the question of "exit"; by default a real message box.
  ApplicationModule(ApplicationServices& services, ModuleRegistry& registry,
                    MessageBoxFunction askUser = {});

  bool NXR_CALL registerMethods() override;

  // The text "exitWithModalResult" stored last; a form's modal run clears it when it starts and
  // returns it when it ends.
  const std::u16string& modalResult() const { return modalResult_; }
  void clearModalResult() { modalResult_.clear(); }
  bool fullScreen() const { return fullScreen_; }

  // The method bodies, by script name; args counted from 0 here.
  std::u16string createForm(const std::vector<std::u16string>& args);
  void exit(const std::vector<std::u16string>& args);
  void exitWithModalResult(FormInterface& form, const std::u16string& text);
  std::u16string getFormNames() const;
  void switchFullScreen(const std::u16string& on);
  void printVar(FormInterface& form, const std::u16string& text, bool showDialog) const;
  std::u16string setTitle(const std::u16string& title);
  std::u16string isMinimized();

  ApplicationServices& services() { return services_; }

 private:
  ApplicationServices& services_;
  ModuleRegistry& registry_;
  MessageBoxFunction askUser_;
  std::u16string modalResult_;
  bool fullScreen_ = false;
  // The main form's window style before full-screen was entered.
  LONG savedStyle_ = 0;
};

// The longest "delay" the module sleeps, in milliseconds: a longer or negative request sleeps
// for the nearest bound, so that a script cannot freeze the runtime for good.
constexpr uint32_t kMaxDelayMilliseconds = 60'000;
uint32_t clampedDelay(int32_t milliseconds);

// The entry at index of the command line split by the system's rules, or empty when index is 0,
// negative or past the last entry.
std::u16string commandLineEntry(const std::u16string& commandLine, int32_t index);

// Reads the process environment variable, whatever its length; false when it does not exist.
bool readEnvironmentVariable(const std::u16string& name, std::u16string& value);

// One printed line: its text and the vertical position it is drawn at.
struct PrintedLine {
  int32_t y;
  std::u16string text;
  bool operator==(const PrintedLine&) const = default;
};
// The lines of a printed text: split at every carriage return, line n (from 1) at n times the
// line height. Line feeds stay part of the lines.
std::vector<PrintedLine> layoutPrintedText(const std::u16string& text, int32_t lineHeight);

// A quoted project variable: a value that itself begins and ends with a double quote has every
// double quote in it replaced by "@q@" before the outer quotes are added.
std::u16string quoteVariableValue(const std::u16string& value);
// A list result: "[" then each item quoted with its double quotes replaced by "@q@", "," between
// them, then "]".
std::u16string listResult(const std::vector<std::u16string>& items);

// Start-up: creates the module, registers its methods and enters it in the registry. The caller
// owns the result; null when the name was already taken (a plug-in registered first).
std::unique_ptr<ApplicationModule> registerApplicationModule(ApplicationServices& services,
                                                             ModuleRegistry& registry);

}  // namespace nxr
