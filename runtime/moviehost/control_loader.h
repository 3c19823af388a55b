// The in-memory player control: its module, the window classes whose windows host it, and the
// state its intercepted imports need (class-name map, cursor cache, movie registry). One loader
// serves every host window of the process.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "moviehost/executable_code.h"
#include "moviehost/lock.h"
#include "moviehost/memory_module.h"

namespace nxr {

class MovieRegistry;

class ControlLoader : public MemoryModule {
 public:
  ControlLoader();
  ~ControlLoader() override;

  // Loads the control image; without an image, the installed control named in the registry.
  // S_OK, or E_FAIL when nothing could be loaded.
  HRESULT initialize(const uint8_t* image, size_t size);
  // Registers the ANSI and wide host window classes (unique names unless given).
  bool registerClasses(const char* ansiName = nullptr, const char16_t* wideName = nullptr);

  bool importReplacement(const char* dllName, const char* functionName,
                         ImportReplacement* replacement) override;

  ATOM ansiClassAtom() const { return ansiAtom_; }
  ATOM wideClassAtom() const { return wideAtom_; }
  const std::string& ansiClassName() const { return ansiClassName_; }
  const std::u16string& wideClassName() const { return wideClassName_; }
  MovieRegistry& movieRegistry() { return *registry_; }
  CriticalSection& lock() { return lock_; }

  // The program's own module: the instance of every window class made for the control.
  static HINSTANCE programInstance() { return GetModuleHandleW(nullptr); }
  // A name no other class of this process has: four groups of a new GUID, or a tick count.
  static std::string makeUniqueName();

  // Window classes the control registered: the unique name used for a name it asked for.
  const std::string* uniqueClassName(const char* askedName);
  void addClassName(const std::string& askedName, const std::string& uniqueName);

  // Cursors the control loaded from its own module, by integer id or by name.
  HCURSOR cachedCursor(const char* name);
  void cacheCursor(const char* name, HCURSOR cursor);

 private:
  HRESULT loadInstalledControl();

  CriticalSection lock_;
  std::unique_ptr<MovieRegistry> registry_;
  std::vector<std::pair<std::string, std::string>> classNames_;
  std::vector<std::pair<uint16_t, HCURSOR>> cursorsById_;
  std::vector<std::pair<std::string, HCURSOR>> cursorsByName_;
  std::string ansiClassName_;
  std::u16string wideClassName_;
  ATOM ansiAtom_ = 0;
  ATOM wideAtom_ = 0;
  std::unique_ptr<ExecutableCode> classThunk_;
  UINT_PTR timer_ = 0;
  HRESULT comInitialized_ = E_FAIL;
};

// Library entry points of the movie host.
ControlLoader* createLoader(const void* image, size_t size);
bool destroyLoader(ControlLoader* loader);
ATOM loaderWindowClass(ControlLoader* loader);

}  // namespace nxr
