#include "modules/application_module.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "bridge/protocol.h"
#include "modules/builtin_registration.h"
#include "support/message_box.h"
#include "support/text.h"

namespace nxr {

namespace {

using Args = std::vector<std::u16string>;

std::u16string quoted(const std::u16string& text) { return u"\"" + text + u"\""; }

std::u16string boolean(bool value) { return value ? u"true" : u"false"; }

// The part of a path after its last backslash.
std::u16string fileNamePart(const std::u16string& path) {
  const size_t slash = path.rfind(u'\\');
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

void printLines(HDC dc, const std::u16string& title, const std::u16string& text) {
  SetMapMode(dc, MM_TEXT);
  SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  DOCINFOW document{};
  document.cbSize = sizeof(document);
  document.lpszDocName = asWcstr(title);
  if (StartDocW(dc, &document) <= 0) return;
  StartPage(dc);
  SetViewportOrgEx(dc, 80, 100, nullptr);
  for (const PrintedLine& line : layoutPrintedText(text, metrics.tmHeight)) {
    TextOutW(dc, 2, line.y, asWcstr(line.text), static_cast<int>(line.text.size()));
  }
  EndPage(dc);
  EndDoc(dc);
}

}  // namespace

uint32_t clampedDelay(int32_t milliseconds) {
  if (milliseconds < 0) return 0;
  return std::min(static_cast<uint32_t>(milliseconds), kMaxDelayMilliseconds);
}

std::u16string commandLineEntry(const std::u16string& commandLine, int32_t index) {
  if (index < 1) return {};
  int count = 0;
  LPWSTR* entries = CommandLineToArgvW(asWcstr(commandLine), &count);
  if (!entries) return {};
  std::u16string entry;
  if (index < count) entry = fromWide(entries[index]);
  LocalFree(entries);
  return entry;
}

bool readEnvironmentVariable(const std::u16string& name, std::u16string& value) {
  // A value longer than the first buffer is read again with the size the system asks for.
  std::vector<wchar_t> buffer(2048);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableW(asWcstr(name), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value.clear();
      return true;
    }
    if (length < buffer.size()) {
      value = fromWide(buffer.data(), length);
      return true;
    }
    buffer.resize(length);
  }
}

std::vector<PrintedLine> layoutPrintedText(const std::u16string& text, int32_t lineHeight) {
  std::vector<PrintedLine> lines;
  size_t start = 0;
  for (int32_t n = 1;; ++n) {
    const size_t end = text.find(u'\r', start);
    lines.push_back({n * lineHeight, text.substr(start, end - start)});
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::u16string quoteVariableValue(const std::u16string& value) {
  const bool selfQuoted = value.size() >= 2 && value.front() == u'"' && value.back() == u'"';
  return quoted(selfQuoted ? replaceAll(value, u"\"", u"@q@") : value);
}

std::u16string listResult(const std::vector<std::u16string>& items) {
  std::u16string list = u"[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) list += u',';
    list += quoted(replaceAll(items[i], u"\"", u"@q@"));
  }
  return list + u"]";
}

ApplicationModule::ApplicationModule(ApplicationServices& services, ModuleRegistry& registry,
                                     MessageBoxFunction askUser)
    : RuntimeModule(u"nxr runtime", u"1.0.0", u"nxr.Application"),
      services_(services),
      registry_(registry),
      askUser_(askUser ? std::move(askUser) : MessageBoxFunction(showMessageBox)) {}

bool ApplicationModule::registerMethods() {
  using M = ApplicationModule;
  using F = FormInterface;
  using Body = std::function<std::u16string(M&, F&, const Args&)>;
  auto add = [this](const char16_t* name, Body body) {
    addMethod(name, [this, body](F& form, const Args& args) { return body(*this, form, args); });
  };
  auto none = [](M&, F&, const Args&) { return std::u16string(); };

  add(u"bArray", none);
  add(u"createForm", [](M& m, F&, const Args& a) { return m.createForm(a); });
  add(u"deleteForm", none);
  add(u"bringToFront", [](M& m, F&, const Args&) {
    m.services().setMainTopmost(true);
    return std::u16string();
  });
  add(u"delay", [](M&, F&, const Args& a) {
    if (!a.empty()) Sleep(clampedDelay(parseDecimal(a[0])));
    return std::u16string();
  });
  add(u"doEvents", none);
  add(u"enableExitHandler", [](M&, F& form, const Args&) {
    form.enableExitHandler();
    return std::u16string();
  });
  add(u"exit", [](M& m, F&, const Args& a) {
    m.exit(a);
    return std::u16string();
  });
  add(u"exitWithCode", [](M& m, F&, const Args& a) {
    if (!a.empty()) m.services().setExitCodeAndClose(parseDecimal(a[0]));
    return std::u16string();
  });
  add(u"exitWithModalResult", [](M& m, F& form, const Args& a) {
    if (!a.empty()) m.exitWithModalResult(form, a[0]);
    return std::u16string();
  });
  add(u"getCMDParams", [](M& m, F&, const Args& a) {
    if (a.empty()) return quoted(u"");
    return quoted(commandLineEntry(m.services().commandLine(), parseDecimal(a[0])));
  });
  add(u"getEnvVar", [](M&, F&, const Args& a) {
    std::u16string value;
    if (a.empty() || !readEnvironmentVariable(a[0], value)) return std::u16string();
    return quoted(replaceAll(value, u"\\", u"\\\\"));
  });
  add(u"getSecureVar", [](M& m, F&, const Args& a) {
    if (a.empty()) return quoted(u"nxr_notfound");
    return quoteVariableValue(m.services().getSecureVar(a[0]));
  });
  add(u"maximize", [](M&, F& form, const Args&) {
    form.maximize();
    return std::u16string();
  });
  add(u"minimize", [](M& m, F& form, const Args&) {
    m.services().minimize(form.getIndex());
    return std::u16string();
  });
  add(u"minimizeToTray", [](M& m, F&, const Args& a) {
    if (!a.empty()) m.services().setMinimizeToTray(a[0] == u"true");
    return std::u16string();
  });
  add(u"printVar", [](M& m, F& form, const Args& a) {
    if (a.size() >= 2) m.printVar(form, a[0], a[1] == u"true");
    return std::u16string();
  });
  add(u"restore", [](M& m, F&, const Args&) {
    m.services().restore();
    return std::u16string();
  });
  add(u"say", [](M& m, F&, const Args& a) {
    if (!a.empty()) m.services().speak(a[0]);
    return std::u16string();
  });
  add(u"sendToBack", [](M& m, F&, const Args&) {
    m.services().setMainTopmost(false);
    return std::u16string();
  });
  add(u"setEnvVar", [](M&, F&, const Args& a) {
    if (a.size() >= 2) SetEnvironmentVariableW(asWcstr(a[0]), asWcstr(a[1]));
    return std::u16string();
  });
  add(u"shake", [](M& m, F&, const Args& a) {
    FormInterface* main = m.services().mainForm();
    if (main && !a.empty()) main->shake(a[0].c_str());
    return std::u16string();
  });
  add(u"showTips", none);
  add(u"textAreaEnhance", none);
  add(u"getGlobalVar", [](M& m, F&, const Args& a) {
    if (a.empty()) return quoted(u"nxr_notfound");
    return quoteVariableValue(m.services().getGlobalVar(a[0]));
  });
  auto fileName = [](M& m, F&, const Args&) { return fileNamePart(m.services().executablePath()); };
  add(u"getfilename", fileName);
  add(u"getfilenameUnicode", fileName);
  add(u"getfilenameUnix", none);
  add(u"getisMinimized", [](M& m, F&, const Args&) { return m.isMinimized(); });
  auto path = [](M& m, F&, const Args&) { return m.services().executablePath(); };
  add(u"getpath", path);
  add(u"getpathUnicode", path);
  add(u"getpathUnix", none);
  add(u"settitle",
      [](M& m, F&, const Args& a) { return a.empty() ? std::u16string() : m.setTitle(a[0]); });
  add(u"getFormNames", [](M& m, F&, const Args&) { return m.getFormNames(); });
  add(u"switchFullScreen", [](M& m, F&, const Args& a) {
    if (!a.empty()) m.switchFullScreen(a[0]);
    return std::u16string();
  });
  return true;
}

std::u16string ApplicationModule::createForm(const Args& args) {
  if (args.size() < 7) return boolean(false);
  return boolean(services_.createForm(args[0], args[2], parseDecimal(args[3]),
                                      parseDecimal(args[4]), parseDecimal(args[5]),
                                      parseDecimal(args[6]), args[1]));
}

void ApplicationModule::exit(const Args& args) {
  if (args.size() >= 2 && args[0] == u"ask") {
    const int32_t answer =
        askUser_(args[1], u"Information", kBoxIconInformation | kBoxOkCancel, nullptr);
    if (answer == kBoxResultCancel) return;
  }
  services_.closeMainForm();
}

void ApplicationModule::exitWithModalResult(FormInterface& form, const std::u16string& text) {
  modalResult_ = text;
  form.hide();
}

std::u16string ApplicationModule::getFormNames() const {
  // Joined with "|" and split again, as the names would travel through a single text.
  std::u16string joined;
  bool first = true;
  for (int32_t index = 0; index <= services_.nextFormIndex(); ++index) {
    FormInterface* form = registry_.findForm(index);
    if (!form) continue;
    if (!first) joined += u'|';
    joined += form->name;
    first = false;
  }
  std::vector<std::u16string> names;
  if (!first) {
    size_t start = 0;
    for (;;) {
      const size_t bar = joined.find(u'|', start);
      names.push_back(joined.substr(start, bar - start));
      if (bar == std::u16string::npos) break;
      start = bar + 1;
    }
  }
  return listResult(names);
}

void ApplicationModule::switchFullScreen(const std::u16string& on) {
  if (on != u"true" && on != u"false") return;
  FormInterface* main = services_.mainForm();
  if (!main) return;
  HWND window = static_cast<HWND>(main->getWindow());
  if (on == u"true" && !fullScreen_) {
    savedStyle_ = GetWindowLongW(window, GWL_STYLE);
    SetWindowLongW(window, GWL_STYLE, WS_POPUP | WS_VISIBLE);
    main->maximize();
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    fullScreen_ = true;
  } else if (on == u"false" && fullScreen_) {
    main->restore();
    SetWindowLongW(window, GWL_STYLE, savedStyle_);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    fullScreen_ = false;
  }
}

void ApplicationModule::printVar(FormInterface& form, const std::u16string& text,
                                 bool showDialog) const {
  PRINTDLGW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = static_cast<HWND>(form.getWindow());
  dialog.nCopies = 1;
  dialog.Flags = PD_RETURNDC | (showDialog ? 0 : PD_RETURNDEFAULT);
  // Cancelled, or no printer: nothing is printed.
  if (!PrintDlgW(&dialog) || !dialog.hDC) return;
  printLines(dialog.hDC, services_.title(), text);
  DeleteDC(dialog.hDC);
  if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
  if (dialog.hDevNames) GlobalFree(dialog.hDevNames);
}

std::u16string ApplicationModule::setTitle(const std::u16string& title) {
  services_.setTitle(title);
  if (FormInterface* main = services_.mainForm()) {
    SetWindowTextW(static_cast<HWND>(main->getWindow()), asWcstr(title));
  }
  return {};
}

std::u16string ApplicationModule::isMinimized() {
  FormInterface* main = services_.mainForm();
  if (!main) return {};
  int32_t length = 0;
  const char16_t* state = main->getWindowState(&length);
  const bool minimized = state && std::u16string_view(state, length) == u"min";
  return boolean(minimized);
}

std::unique_ptr<ApplicationModule> registerApplicationModule(ApplicationServices& services,
                                                             ModuleRegistry& registry) {
  return enterBuiltinModule(registry, std::make_unique<ApplicationModule>(services, registry));
}

}  // namespace nxr
