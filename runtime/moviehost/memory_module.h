// A DLL image mapped into executable memory by the program itself, without the system loader:
// the module is never registered and never written to disk. Its imports are resolved with the
// system loader; a derived class may route chosen imports to replacements through import stubs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "moviehost/executable_code.h"
#include "moviehost/pe_image.h"

namespace nxr {

class MemoryModule {
 public:
  // A replacement for one import: entered as procedure(real function, context, arguments...),
  // removing every argument on return (stdcall). `argumentCount` counts the caller's arguments.
  struct ImportReplacement {
    FARPROC procedure = nullptr;
    void* context = nullptr;
    int argumentCount = 0;
  };

  // One import by name and the slot it was written to.
  struct ImportRecord {
    std::string dllName;
    std::string functionName;
    void* slot = nullptr;
  };

  MemoryModule() = default;
  virtual ~MemoryModule();
  MemoryModule(const MemoryModule&) = delete;
  MemoryModule& operator=(const MemoryModule&) = delete;

  // Routes an import to a replacement; the base routes nothing.
  virtual bool importReplacement(const char* dllName, const char* functionName,
                                 ImportReplacement* replacement);

  // Maps and starts an image; a module loaded before is unloaded first. False when the bytes are
  // not a loadable image (nothing stays loaded then).
  bool load(const uint8_t* image, size_t size);
  // Detaches and frees the loaded module, its import stubs and its import libraries.
  void unload();

  HMODULE module() const { return reinterpret_cast<HMODULE>(base_); }
  bool loaded() const { return base_ != nullptr; }
  // Address of an export by name (case-sensitive); NULL when there is none.
  FARPROC getProcAddress(const char* name) const;
  // A resource of the module: integer ids (up to 0xFFFF) or ANSI names, the language level tried
  // with the thread, system and user locales, then neutral and 0x409.
  bool findResource(const char* type, const char* name, const void** data, DWORD* size) const;
  const std::vector<ImportRecord>& importRecords() const { return imports_; }
  size_t importStubCount() const { return stubs_.size(); }
  size_t importLibraryCount() const { return libraries_.size(); }

 private:
  // Loading steps, in the order of the image format.
  bool allocateImage(const pe::Headers& headers);
  void copyHeaders(const uint8_t* image, const pe::Headers& headers);
  void copySections(const uint8_t* image, size_t size, const pe::Headers& headers);
  void relocate(const pe::Headers& headers);
  void resolveImports(const pe::Headers& headers);
  void protectMemory(const pe::Headers& headers);
  void callEntryPoint(DWORD reason);

  uint64_t resolveImport(HMODULE library, const pe::ImportSlot& slot);

  uint8_t* base_ = nullptr;
  std::optional<pe::Headers> headers_;
  std::vector<std::unique_ptr<ExecutableCode>> stubs_;
  std::vector<ImportRecord> imports_;
  std::vector<HMODULE> libraries_;
  FARPROC entryPoint_ = nullptr;
};

}  // namespace nxr
