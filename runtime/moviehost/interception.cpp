// The control's imports that the loader routes to its own replacements. Each replacement is
// entered through an import stub with the real function and the loader in front of the control's
// arguments.
#include <windows.h>
// (the system headers below need windows.h first)
#include <mmsystem.h>
#include <urlmon.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "moviehost/control_loader.h"
#include "moviehost/fake_movie_path.h"
#include "moviehost/host_messages.h"
#include "moviehost/movie_registry.h"
#include "moviehost/url_moniker.h"
#include "support/win.h"

namespace nxr {
namespace {

bool isTextName(const char* name) { return name && !IS_INTRESOURCE(name); }

// A class name the control registered is replaced by the unique name registered for it.
const char* translateClassName(ControlLoader* loader, const char* name) {
  if (!isTextName(name)) return name;
  const std::string* unique = loader->uniqueClassName(name);
  return unique ? unique->c_str() : name;
}

HINSTANCE translateInstance(HINSTANCE instance) {
  return instance ? ControlLoader::programInstance() : instance;
}

bool isControlModule(ControlLoader* loader, HINSTANCE instance) {
  return instance && instance == reinterpret_cast<HINSTANCE>(loader->module());
}

// --- window classes -------------------------------------------------------------------------

using CreateWindowExAProc = decltype(&CreateWindowExA);
HWND WINAPI createWindowExA(CreateWindowExAProc real, ControlLoader* loader, DWORD exStyle,
                            LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID parameter) {
  return real(exStyle, translateClassName(loader, className), windowName, style, x, y, width,
              height, parent, menu, translateInstance(instance), parameter);
}

template <typename ClassStructure, typename Procedure>
ATOM registerClassCopy(Procedure real, ControlLoader* loader, const ClassStructure* windowClass) {
  if (!windowClass) return real(windowClass);
  ClassStructure copy = *windowClass;
  std::string unique;
  if (isTextName(copy.lpszClassName)) {
    unique = ControlLoader::makeUniqueName();
    loader->addClassName(copy.lpszClassName, unique);
    copy.lpszClassName = unique.c_str();
    copy.hInstance = ControlLoader::programInstance();
  }
  return real(&copy);
}

using RegisterClassExAProc = decltype(&RegisterClassExA);
ATOM WINAPI registerClassExA(RegisterClassExAProc real, ControlLoader* loader,
                             const WNDCLASSEXA* windowClass) {
  return registerClassCopy(real, loader, windowClass);
}

using RegisterClassAProc = decltype(&RegisterClassA);
ATOM WINAPI registerClassA(RegisterClassAProc real, ControlLoader* loader,
                           const WNDCLASSA* windowClass) {
  return registerClassCopy(real, loader, windowClass);
}

using UnregisterClassAProc = decltype(&UnregisterClassA);
BOOL WINAPI unregisterClassA(UnregisterClassAProc real, ControlLoader* loader, LPCSTR className,
                             HINSTANCE instance) {
  if (isTextName(className)) {
    if (const std::string* unique = loader->uniqueClassName(className)) {
      return real(unique->c_str(), ControlLoader::programInstance());
    }
  }
  return real(className, instance);
}

using GetClassInfoExAProc = decltype(&GetClassInfoExA);
BOOL WINAPI getClassInfoExA(GetClassInfoExAProc real, ControlLoader* loader, HINSTANCE instance,
                            LPCSTR className, LPWNDCLASSEXA info) {
  return real(translateInstance(instance), translateClassName(loader, className), info);
}

// --- resources of the control's module ------------------------------------------------------

using LoadCursorAProc = decltype(&LoadCursorA);
HCURSOR WINAPI loadCursorA(LoadCursorAProc real, ControlLoader* loader, HINSTANCE instance,
                           LPCSTR name) {
  if (!isControlModule(loader, instance)) return real(instance, name);
  if (HCURSOR cursor = loader->cachedCursor(name)) return cursor;
  const void* group = nullptr;
  DWORD groupSize = 0;
  if (!loader->findResource(MAKEINTRESOURCEA(12), name, &group, &groupSize)) return nullptr;
  const int id = LookupIconIdFromDirectory(static_cast<BYTE*>(const_cast<void*>(group)), FALSE);
  const void* data = nullptr;
  DWORD size = 0;
  if (id <= 0 || !loader->findResource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(id), &data, &size)) {
    return nullptr;
  }
  HCURSOR cursor =
      CreateIconFromResource(static_cast<BYTE*>(const_cast<void*>(data)), size, FALSE, 0x30000);
  if (cursor) loader->cacheCursor(name, cursor);
  return cursor;
}

using LoadMenuAProc = decltype(&LoadMenuA);
HMENU WINAPI loadMenuA(LoadMenuAProc real, ControlLoader* loader, HINSTANCE instance, LPCSTR name) {
  if (!isControlModule(loader, instance)) return real(instance, name);
  const void* data = nullptr;
  DWORD size = 0;
  if (!loader->findResource(MAKEINTRESOURCEA(4), name, &data, &size)) return nullptr;
  return LoadMenuIndirectA(static_cast<const MENUTEMPLATEA*>(data));
}

// --- files and libraries --------------------------------------------------------------------

// The host's Base property (ANSI), or the current directory when it is empty.
std::string ansiBaseFolder(HWND host) {
  TextOutBlock<char> block{nullptr, 0, E_FAIL};
  std::string base;
  SendMessageA(host, MHM_GET_BASE_A, 0, reinterpret_cast<LPARAM>(&block));
  if (SUCCEEDED(block.hr) && block.length > 1) {
    std::string text(block.length, '\0');
    block.buffer = text.data();
    block.hr = E_FAIL;
    SendMessageA(host, MHM_GET_BASE_A, 0, reinterpret_cast<LPARAM>(&block));
    if (SUCCEEDED(block.hr)) base = text.c_str();
  }
  if (base.empty()) {
    char folder[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH + 1, folder);
    base = folder;
  }
  return base;
}

std::u16string ansiToWide(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  return fromWide(wide.c_str());
}

std::string wideToAnsi(const std::u16string& text) {
  const auto* wide = reinterpret_cast<const wchar_t*>(text.c_str());
  const int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string ansi(length, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi.data(), length, nullptr, nullptr);
  return ansi.c_str();
}

using CreateFileAProc = decltype(&CreateFileA);
HANDLE WINAPI createFileA(CreateFileAProc real, ControlLoader* loader, LPCSTR path, DWORD access,
                          DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flags, HANDLE templateFile) {
  if (path) {
    const auto parts = parseFakeMoviePath(ansiToWide(path));
    HWND host = parts ? loader->movieRegistry().hostOfMovie(parts->number) : nullptr;
    if (host) {
      std::string local = ansiBaseFolder(host) + "/" + wideToAnsi(parts->relative);
      std::replace(local.begin(), local.end(), '/', '\\');
      HANDLE file = real(local.c_str(), access, share, security, disposition, flags, templateFile);
      if (file != INVALID_HANDLE_VALUE) return file;
    }
  }
  return real(path, access, share, security, disposition, flags, templateFile);
}

using CreateFileWProc = decltype(&CreateFileW);
HANDLE WINAPI createFileW(CreateFileWProc, ControlLoader*, LPCWSTR path, DWORD access, DWORD share,
                          LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                          HANDLE templateFile) {
  auto current = procedureCast<CreateFileWProc>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateFileW"));
  if (!current) return INVALID_HANDLE_VALUE;
  return current(path, access, share, security, disposition, flags, templateFile);
}

bool endsWithNoCase(const std::string& text, const char* suffix) {
  const size_t length = std::strlen(suffix);
  return text.size() >= length && lstrcmpiA(text.c_str() + text.size() - length, suffix) == 0;
}

using LoadLibraryAProc = decltype(&LoadLibraryA);
HMODULE WINAPI loadLibraryA(LoadLibraryAProc real, ControlLoader*, LPCSTR name) {
  // The control's support library is never loaded next to an in-memory control.
  if (name && (endsWithNoCase(name, "\\swsupport.dll") || endsWithNoCase(name, "\\swsupport"))) {
    return nullptr;
  }
  return real(name);
}

// --- memory ---------------------------------------------------------------------------------

using VirtualAllocProc = decltype(&VirtualAlloc);
LPVOID WINAPI virtualAlloc(VirtualAllocProc real, ControlLoader*, LPVOID address, SIZE_T size,
                           DWORD type, DWORD protection) {
  if (address && (protection & PAGE_GUARD)) {
    protection &= ~static_cast<DWORD>(PAGE_GUARD);
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(address, &info, sizeof info)) size = info.RegionSize;
  }
  return real(address, size, type, protection);
}

using FlushInstructionCacheProc = decltype(&FlushInstructionCache);
BOOL WINAPI flushInstructionCache(FlushInstructionCacheProc real, ControlLoader*, HANDLE process,
                                  LPCVOID address, SIZE_T size) {
  DWORD previous = 0;
  VirtualProtect(const_cast<LPVOID>(address), size, PAGE_EXECUTE_READWRITE, &previous);
  return real(process, address, size);
}

// --- URL monikers ---------------------------------------------------------------------------

using CreateURLMonikerProc = decltype(&CreateURLMoniker);
HRESULT WINAPI createURLMoniker(CreateURLMonikerProc, ControlLoader* loader, IMoniker* context,
                                LPCWSTR url, IMoniker** moniker) {
  return createWrappingMoniker(&loader->movieRegistry(), context, url, moniker);
}

// --- passed on unchanged --------------------------------------------------------------------

MMRESULT WINAPI passWaveOutOpen(decltype(&waveOutOpen) real, ControlLoader*, LPHWAVEOUT out,
                                UINT device, LPCWAVEFORMATEX format, DWORD_PTR callback,
                                DWORD_PTR instance, DWORD flags) {
  return real(out, device, format, callback, instance, flags);
}
MMRESULT WINAPI passWaveOutClose(decltype(&waveOutClose) real, ControlLoader*, HWAVEOUT out) {
  return real(out);
}
MMRESULT WINAPI passWaveOutWrite(decltype(&waveOutWrite) real, ControlLoader*, HWAVEOUT out,
                                 LPWAVEHDR header, UINT size) {
  return real(out, header, size);
}
int WINAPI passGetClassNameA(decltype(&GetClassNameA) real, ControlLoader*, HWND window, LPSTR name,
                             int size) {
  return real(window, name, size);
}
HMODULE WINAPI passGetModuleHandleA(decltype(&GetModuleHandleA) real, ControlLoader*, LPCSTR name) {
  return real(name);
}
HMODULE WINAPI passLoadLibraryExA(decltype(&LoadLibraryExA) real, ControlLoader*, LPCSTR name,
                                  HANDLE file, DWORD flags) {
  return real(name, file, flags);
}
HRSRC WINAPI passFindResourceA(decltype(&FindResourceA) real, ControlLoader*, HMODULE module,
                               LPCSTR name, LPCSTR type) {
  return real(module, name, type);
}
HRSRC WINAPI passFindResourceExA(decltype(&FindResourceExA) real, ControlLoader*, HMODULE module,
                                 LPCSTR type, LPCSTR name, WORD language) {
  return real(module, type, name, language);
}
HRSRC WINAPI passFindResourceExW(decltype(&FindResourceExW) real, ControlLoader*, HMODULE module,
                                 LPCWSTR type, LPCWSTR name, WORD language) {
  return real(module, type, name, language);
}
UINT_PTR WINAPI passSetTimer(decltype(&SetTimer) real, ControlLoader*, HWND window, UINT_PTR id,
                             UINT period, TIMERPROC procedure) {
  return real(window, id, period, procedure);
}

struct Interception {
  const char* functionName;
  FARPROC replacement;
  int argumentCount;
};

template <typename Procedure>
Interception entry(const char* name, Procedure procedure, int argumentCount) {
  return {name, procedureCast<FARPROC>(procedure), argumentCount};
}

const Interception* findInterception(const char* functionName) {
  static const Interception table[] = {
      entry("CreateURLMoniker", &createURLMoniker, 3),
      entry("CreateWindowExA", &createWindowExA, 12),
      entry("RegisterClassExA", &registerClassExA, 1),
      entry("RegisterClassA", &registerClassA, 1),
      entry("UnregisterClassA", &unregisterClassA, 2),
      entry("GetClassInfoExA", &getClassInfoExA, 3),
      entry("LoadCursorA", &loadCursorA, 2),
      entry("LoadMenuA", &loadMenuA, 2),
      entry("CreateFileA", &createFileA, 7),
      entry("CreateFileW", &createFileW, 7),
      entry("LoadLibraryA", &loadLibraryA, 1),
      entry("VirtualAlloc", &virtualAlloc, 4),
      entry("FlushInstructionCache", &flushInstructionCache, 3),
      entry("waveOutOpen", &passWaveOutOpen, 6),
      entry("waveOutClose", &passWaveOutClose, 1),
      entry("waveOutWrite", &passWaveOutWrite, 3),
      entry("GetClassNameA", &passGetClassNameA, 3),
      entry("GetModuleHandleA", &passGetModuleHandleA, 1),
      entry("LoadLibraryExA", &passLoadLibraryExA, 3),
      entry("FindResourceA", &passFindResourceA, 3),
      entry("FindResourceExA", &passFindResourceExA, 4),
      entry("FindResourceExW", &passFindResourceExW, 4),
      entry("SetTimer", &passSetTimer, 4),
  };
  for (const Interception& interception : table) {
    if (lstrcmpiA(interception.functionName, functionName) == 0) return &interception;
  }
  return nullptr;
}

}  // namespace

bool ControlLoader::importReplacement(const char*, const char* functionName,
                                      ImportReplacement* replacement) {
  const Interception* interception = functionName ? findInterception(functionName) : nullptr;
  if (!interception || !replacement) return false;
  replacement->procedure = interception->replacement;
  replacement->context = this;
  replacement->argumentCount = interception->argumentCount;
  return true;
}

}  // namespace nxr
