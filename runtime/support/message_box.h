// Message boxes with the runtime's own type flags and result codes. Windows only.
#pragma once

#include <cstdint>
#include <string>

#include "support/win.h"

namespace nxr {

// Type flags: one icon in the low byte, one button set in the second byte.
enum MessageBoxType : uint32_t {
  kBoxIconQuestion = 0x01,
  kBoxIconError = 0x02,
  kBoxIconInformation = 0x04,
  kBoxIconWarning = 0x08,
  kBoxOk = 0x0100,
  kBoxOkCancel = 0x0200,
  kBoxRetryCancel = 0x0400,
  kBoxYesNo = 0x0800,
  kBoxYesNoCancel = 0x1000,
  kBoxAbortIgnore = 0x2000,  // OK and Cancel relabelled "&Abort" and "&Ignore"
};

// Result codes: the button pressed.
enum MessageBoxResult : int32_t {
  kBoxResultAbort = 1,
  kBoxResultCancel = 2,
  kBoxResultIgnore = 4,
  kBoxResultNo = 8,
  kBoxResultOk = 16,
  kBoxResultRetry = 32,
  kBoxResultYes = 64,
  kBoxResultOther = 128,
};

// The Windows style for a type: icon from the low byte, buttons from the second byte.
UINT messageBoxStyle(uint32_t type);

// The result code for the button MessageBoxW reported for a box of the type.
int32_t messageBoxResult(uint32_t type, int pressed);

// Shows a modal box; owner null means the desktop window. Only one box of type 0x2000 may be
// open at a time in the process (its relabelling hook is kept in one place).
int32_t showMessageBox(const std::u16string& text, const std::u16string& caption, uint32_t type,
                       HWND owner = nullptr);

}  // namespace nxr
