// A small driver for end-to-end tests: starts a packed application as its own process, finds its
// windows, types into them, presses buttons and reads the exit code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace nxr::e2e {

// The folder holding the packed test applications (next to the test program).
std::wstring appsFolder();

class AppProcess {
 public:
  // Starts exe in the working directory cwd (empty: the apps folder).
  AppProcess(const std::wstring& exe, const std::wstring& cwd = L"");
  ~AppProcess();
  AppProcess(const AppProcess&) = delete;
  AppProcess& operator=(const AppProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  // Waits for the process to end; returns its exit code, or STILL_ACTIVE on time-out (the
  // process is then killed).
  DWORD waitForExit(DWORD timeoutMs = 20000);
  // Waits for a visible top-level window of this process with the given class and caption.
  HWND waitForWindow(const std::wstring& className, const std::wstring& caption,
                     DWORD timeoutMs = 20000);
  // Waits up to waitMs for the process to end, without killing it.
  bool hasExited(DWORD waitMs) const;
  // Whether any visible top-level window of this process exists now.
  bool hasVisibleWindow() const;

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Types text into a control as key presses would (one WM_CHAR per character).
void typeText(HWND control, const std::wstring& text);
// Presses the button with the given id in a dialog.
void pressButton(HWND dialog, int id);
// Whether a child of the window shows exactly the given text.
bool hasChildText(HWND window, const std::wstring& text);
// The names of the work folders (wrd*.~lk) in the temporary folder now.
std::vector<std::wstring> workFolders();

}  // namespace nxr::e2e
