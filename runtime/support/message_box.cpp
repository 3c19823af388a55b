#include "support/message_box.h"

namespace nxr {
namespace {

// The relabelling hook of the open Abort/Ignore box.
HHOOK relabelHook = nullptr;

LRESULT CALLBACK relabelButtons(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    if (HWND ok = GetDlgItem(box, IDOK)) SetWindowTextW(ok, L"&Abort");
    if (HWND cancel = GetDlgItem(box, IDCANCEL)) SetWindowTextW(cancel, L"&Ignore");
    return 0;
  }
  return CallNextHookEx(relabelHook, code, wParam, lParam);
}

}  // namespace

int32_t messageBoxResult(uint32_t type, int pressed) {
  if ((type & 0xFF00) == kBoxAbortIgnore) {
    if (pressed == IDOK) return kBoxResultAbort;
    if (pressed == IDCANCEL) return kBoxResultIgnore;
    return kBoxResultOther;
  }
  switch (pressed) {
    case IDOK:
      return kBoxResultOk;
    case IDCANCEL:
      return kBoxResultCancel;
    case IDABORT:
      return kBoxResultAbort;
    case IDRETRY:
      return kBoxResultRetry;
    case IDIGNORE:
      return kBoxResultIgnore;
    case IDYES:
      return kBoxResultYes;
    case IDNO:
      return kBoxResultNo;
    default:
      return kBoxResultOther;
  }
}

UINT messageBoxStyle(uint32_t type) {
  UINT style = 0;
  switch (type & 0xFF) {
    case kBoxIconQuestion:
      style |= MB_ICONQUESTION;
      break;
    case kBoxIconError:
      style |= MB_ICONHAND;
      break;
    case kBoxIconInformation:
      style |= MB_ICONASTERISK;
      break;
    case kBoxIconWarning:
      style |= MB_ICONEXCLAMATION;
      break;
    default:
      break;
  }
  switch (type & 0xFF00) {
    case kBoxOkCancel:
    case kBoxAbortIgnore:
      style |= MB_OKCANCEL;
      break;
    case kBoxRetryCancel:
      style |= MB_RETRYCANCEL;
      break;
    case kBoxYesNo:
      style |= MB_YESNO;
      break;
    case kBoxYesNoCancel:
      style |= MB_YESNOCANCEL;
      break;
    default:
      style |= MB_OK;
      break;
  }
  return style;
}

int32_t showMessageBox(const std::u16string& text, const std::u16string& caption, uint32_t type,
                       HWND owner) {
  const bool relabel = (type & 0xFF00) == kBoxAbortIgnore;
  if (relabel) {
    relabelHook = SetWindowsHookExW(WH_CBT, relabelButtons, nullptr, GetCurrentThreadId());
  }
  int pressed = MessageBoxW(owner ? owner : GetDesktopWindow(), asWcstr(text), asWcstr(caption),
                            messageBoxStyle(type));
  if (relabel) {
    if (relabelHook) UnhookWindowsHookEx(relabelHook);
    relabelHook = nullptr;
  }
  return messageBoxResult(type, pressed);
}

}  // namespace nxr
