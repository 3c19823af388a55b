#include "moviehost/control_loader.h"

#include <objbase.h>

#include <cstdio>
#include <cstring>

#include "moviehost/movie_host.h"
#include "moviehost/movie_registry.h"
#include "support/text.h"
#include "support/win.h"

namespace nxr {
namespace {

constexpr char kInstalledControlKey[] =
    "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InprocServer32";
constexpr UINT kWorkingSetPeriodMs = 10000;

// Every ten seconds the process gives back the pages it does not use.
void CALLBACK trimWorkingSet(HWND, UINT, UINT_PTR, DWORD) {
  using SetWorkingSetSize = BOOL(WINAPI*)(HANDLE, SIZE_T, SIZE_T);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto trim =
      kernel ? procedureCast<SetWorkingSetSize>(GetProcAddress(kernel, "SetProcessWorkingSetSize"))
             : nullptr;
  if (trim) trim(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

// The window procedure of the loader's host classes, reached through the loader's thunk.
LRESULT WINAPI classWindowProcedure(ControlLoader* loader, HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) {
  if (message == WM_CREATE) {
    return MovieHost::createForWindow(loader, window, reinterpret_cast<CREATESTRUCTW*>(lParam));
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

ControlLoader::ControlLoader() {
  comInitialized_ = CoInitialize(nullptr);
  registry_ = std::make_unique<MovieRegistry>(this);
  timer_ = SetTimer(nullptr, 0, kWorkingSetPeriodMs, trimWorkingSet);
}

ControlLoader::~ControlLoader() {
  const HINSTANCE instance = programInstance();
  if (ansiAtom_) UnregisterClassA(reinterpret_cast<LPCSTR>(MAKEINTATOM(ansiAtom_)), instance);
  if (wideAtom_) UnregisterClassW(reinterpret_cast<LPCWSTR>(MAKEINTATOM(wideAtom_)), instance);
  classThunk_.reset();
  if (timer_) KillTimer(nullptr, timer_);
  // The registry lets go of the control's callbacks while the control's code is still mapped.
  registry_.reset();
  unload();
  for (auto& entry : cursorsById_) DestroyCursor(entry.second);
  for (auto& entry : cursorsByName_) DestroyCursor(entry.second);
  if (SUCCEEDED(comInitialized_)) CoUninitialize();
}

HRESULT ControlLoader::initialize(const uint8_t* image, size_t size) {
  if (!image) return loadInstalledControl();
  return load(image, size) ? S_OK : E_FAIL;
}

HRESULT ControlLoader::loadInstalledControl() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kInstalledControlKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return E_FAIL;
  }
  DWORD bytes = 0;
  std::string path;
  if (RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS &&
      bytes > 0) {
    path.resize(bytes);
    if (RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path.data()),
                         &bytes) != ERROR_SUCCESS) {
      path.clear();
    }
    path.resize(strnlen(path.c_str(), path.size()));
  }
  RegCloseKey(key);
  if (path.empty()) return E_FAIL;

  ScopedFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return E_FAIL;
  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(file.get(), &fileSize) || fileSize.QuadPart <= 0) return E_FAIL;
  ScopedHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return E_FAIL;
  const void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
  if (!view) return E_FAIL;
  const bool loadedImage =
      load(static_cast<const uint8_t*>(view), static_cast<size_t>(fileSize.QuadPart));
  UnmapViewOfFile(view);
  return loadedImage ? S_OK : E_FAIL;
}

std::string ControlLoader::makeUniqueName() {
  GUID guid;
  char name[64];
  if (SUCCEEDED(CoCreateGuid(&guid))) {
    DWORD data4 = 0;
    std::memcpy(&data4, guid.Data4, sizeof data4);
    std::snprintf(name, sizeof name, "%.8lx_%.8x_%.8x_%.8lx",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3,
                  static_cast<unsigned long>(data4));
  } else {
    std::snprintf(name, sizeof name, "movhost__%lu", static_cast<unsigned long>(GetTickCount()));
  }
  return name;
}

bool ControlLoader::registerClasses(const char* ansiName, const char16_t* wideName) {
  classThunk_ = makeWindowThunk(this, procedureCast<FARPROC>(&classWindowProcedure), 4);
  if (!classThunk_) return false;
  const auto procedure = classThunk_->as<WNDPROC>();

  ansiClassName_ = ansiName ? ansiName : makeUniqueName();
  WNDCLASSEXA ansiClass{};
  ansiClass.cbSize = sizeof ansiClass;
  ansiClass.style = CS_GLOBALCLASS | CS_DBLCLKS;
  ansiClass.lpfnWndProc = procedure;
  ansiClass.hInstance = programInstance();
  ansiClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  ansiClass.lpszClassName = ansiClassName_.c_str();
  ansiAtom_ = RegisterClassExA(&ansiClass);
  if (!ansiAtom_) return false;

  if (GetProcAddress(GetModuleHandleA("user32.dll"), "RegisterClassExW")) {
    wideClassName_ = wideName ? std::u16string(wideName) : asU16(makeUniqueName());
    WNDCLASSEXW wideClass{};
    wideClass.cbSize = sizeof wideClass;
    wideClass.style = CS_GLOBALCLASS | CS_DBLCLKS;
    wideClass.lpfnWndProc = procedure;
    wideClass.hInstance = programInstance();
    wideClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wideClass.lpszClassName = asWcstr(wideClassName_);
    wideAtom_ = RegisterClassExW(&wideClass);
  }
  return true;
}

const std::string* ControlLoader::uniqueClassName(const char* askedName) {
  SectionGuard guard(lock_);
  for (const auto& entry : classNames_) {
    if (entry.first == askedName) return &entry.second;
  }
  return nullptr;
}

void ControlLoader::addClassName(const std::string& askedName, const std::string& uniqueName) {
  SectionGuard guard(lock_);
  classNames_.emplace_back(askedName, uniqueName);
}

HCURSOR ControlLoader::cachedCursor(const char* name) {
  SectionGuard guard(lock_);
  if (IS_INTRESOURCE(name)) {
    const uint16_t id = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name));
    for (const auto& entry : cursorsById_) {
      if (entry.first == id) return entry.second;
    }
  } else {
    for (const auto& entry : cursorsByName_) {
      if (entry.first == name) return entry.second;
    }
  }
  return nullptr;
}

void ControlLoader::cacheCursor(const char* name, HCURSOR cursor) {
  SectionGuard guard(lock_);
  if (IS_INTRESOURCE(name)) {
    cursorsById_.emplace_back(static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name)), cursor);
  } else {
    cursorsByName_.emplace_back(name, cursor);
  }
}

ControlLoader* createLoader(const void* image, size_t size) {
  auto loader = std::make_unique<ControlLoader>();
  if (FAILED(loader->initialize(static_cast<const uint8_t*>(image), size)) ||
      !loader->registerClasses()) {
    return nullptr;
  }
  return loader.release();
}

bool destroyLoader(ControlLoader* loader) {
  if (!loader) return false;
  delete loader;
  return true;
}

ATOM loaderWindowClass(ControlLoader* loader) { return loader ? loader->wideClassAtom() : 0; }

}  // namespace nxr
