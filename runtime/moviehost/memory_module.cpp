#include "moviehost/memory_module.h"

#include <array>

#include "support/text.h"

namespace nxr {
namespace {

using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

// An integer resource type or name is a pointer value up to 0xFFFF.
pe::ResourceKey resourceKey(const char* value) {
  const uintptr_t number = reinterpret_cast<uintptr_t>(value);
  if (number <= 0xFFFF) return pe::ResourceKey::fromId(static_cast<uint16_t>(number));
  const int length = MultiByteToWideChar(CP_ACP, 0, value, -1, nullptr, 0);
  std::u16string text(length > 0 ? length - 1 : 0, u'\0');
  if (length > 1) {
    MultiByteToWideChar(CP_ACP, 0, value, -1, reinterpret_cast<wchar_t*>(text.data()), length);
  }
  return pe::ResourceKey::fromText(std::move(text));
}

}  // namespace

MemoryModule::~MemoryModule() { unload(); }

bool MemoryModule::importReplacement(const char*, const char*, ImportReplacement*) { return false; }

bool MemoryModule::load(const uint8_t* image, size_t size) {
  if (loaded()) unload();
  const auto headers = pe::readHeaders(image, size);
  if (!headers || !allocateImage(*headers)) return false;
  headers_ = headers;
  copyHeaders(image, *headers);
  copySections(image, size, *headers);
  relocate(*headers);
  resolveImports(*headers);
  protectMemory(*headers);
  entryPoint_ = headers->addressOfEntryPoint
                    ? reinterpret_cast<FARPROC>(base_ + headers->addressOfEntryPoint)
                    : nullptr;
  callEntryPoint(DLL_PROCESS_ATTACH);
  callEntryPoint(DLL_THREAD_ATTACH);
  return true;
}

bool MemoryModule::allocateImage(const pe::Headers& headers) {
  // Every page stays readable, writable and executable: the module may write its own code.
  base_ = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, headers.sizeOfImage, MEM_COMMIT, PAGE_EXECUTE_READWRITE));
  return base_ != nullptr;
}

void MemoryModule::copyHeaders(const uint8_t* image, const pe::Headers& headers) {
  pe::copyHeaders(image, headers, base_);
}

void MemoryModule::copySections(const uint8_t* image, size_t size, const pe::Headers& headers) {
  pe::copySections(image, size, headers, base_);
}

void MemoryModule::relocate(const pe::Headers& headers) {
  pe::applyRelocations(base_, headers, reinterpret_cast<uintptr_t>(base_));
}

void MemoryModule::resolveImports(const pe::Headers& headers) {
  HMODULE library = nullptr;
  pe::resolveImports(
      base_, headers,
      [&](const char* dllName) {
        // A library that does not load leaves its slots NULL; the module fails when it calls them.
        library = LoadLibraryA(dllName);
        if (library) libraries_.push_back(library);
        return true;
      },
      [&](const pe::ImportSlot& slot) { return resolveImport(library, slot); });
}

uint64_t MemoryModule::resolveImport(HMODULE library, const pe::ImportSlot& slot) {
  if (!slot.functionName) {
    return library ? reinterpret_cast<uintptr_t>(
                         GetProcAddress(library, MAKEINTRESOURCEA(slot.ordinal)))
                   : 0;
  }
  FARPROC real = library ? GetProcAddress(library, slot.functionName) : nullptr;
  FARPROC address = real;
  ImportReplacement replacement;
  if (importReplacement(slot.dllName, slot.functionName, &replacement) && replacement.procedure) {
    auto stub =
        makeImportStub(replacement.context, real, replacement.procedure, replacement.argumentCount);
    if (stub) {
      address = stub->as<FARPROC>();
      stubs_.push_back(std::move(stub));
    }
  }
  imports_.push_back({slot.dllName, slot.functionName, slot.slot});
  return reinterpret_cast<uintptr_t>(address);
}

void MemoryModule::protectMemory(const pe::Headers& headers) {
  // The pages keep their read-write-execute protection; the new code must reach the processor.
  FlushInstructionCache(GetCurrentProcess(), base_, headers.sizeOfImage);
}

void MemoryModule::callEntryPoint(DWORD reason) {
  if (entryPoint_) {
    procedureCast<DllEntry>(entryPoint_)(reinterpret_cast<HINSTANCE>(base_), reason, nullptr);
  }
}

void MemoryModule::unload() {
  if (!base_) return;
  callEntryPoint(DLL_THREAD_DETACH);
  callEntryPoint(DLL_PROCESS_DETACH);
  VirtualFree(base_, 0, MEM_RELEASE);
  base_ = nullptr;
  headers_.reset();
  entryPoint_ = nullptr;
  imports_.clear();
  // The stubs served only the module's import slots, which are gone now.
  stubs_.clear();
  for (HMODULE library : libraries_) FreeLibrary(library);
  libraries_.clear();
}

FARPROC MemoryModule::getProcAddress(const char* name) const {
  if (!base_ || !name) return nullptr;
  const uint32_t rva = pe::findExport(base_, *headers_, name);
  return rva ? reinterpret_cast<FARPROC>(base_ + rva) : nullptr;
}

bool MemoryModule::findResource(const char* type, const char* name, const void** data,
                                DWORD* size) const {
  if (!base_) return false;
  const std::array<uint32_t, 5> languages = {GetThreadLocale(), GetSystemDefaultLCID(),
                                             GetUserDefaultLCID(), 0, 0x409};
  const auto found =
      pe::findResource(base_, *headers_, resourceKey(type), resourceKey(name), languages);
  if (!found) return false;
  if (data) *data = found->data;
  if (size) *size = found->size;
  return true;
}

}  // namespace nxr
