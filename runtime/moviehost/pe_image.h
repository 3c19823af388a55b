// Reading and mapping a PE image (PE32 for i686, PE32+ for x86-64) held in memory. Portable: it
// works on bytes only, so the mapping steps can be checked on any host; the Windows module loader
// drives it over executable memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace nxr::pe {

// The parts of the DOS, file and optional headers the loader uses.
struct Headers {
  bool pe32Plus = false;  // PE32+ (64-bit) when true, PE32 otherwise
  uint16_t machine = 0;
  uint64_t imageBase = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t addressOfEntryPoint = 0;
  uint16_t sectionCount = 0;
  uint32_t sectionTableOffset = 0;  // from the start of the image
  uint32_t dataDirectoryOffset = 0;
  uint32_t dataDirectoryCount = 0;
};

struct DataDirectory {
  uint32_t virtualAddress = 0;
  uint32_t size = 0;
};

enum DirectoryIndex : int {
  kExportDirectory = 0,
  kImportDirectory = 1,
  kResourceDirectory = 2,
  kRelocationDirectory = 5,
};

// Reads the headers of a file image; nullopt when the bytes are not a PE image or its headers,
// sections or size do not fit the given bytes.
std::optional<Headers> readHeaders(const uint8_t* image, size_t size);

// Data directory `index` of an image whose headers are at `headersBase` (file or mapped image).
DataDirectory dataDirectory(const uint8_t* headersBase, const Headers& headers, int index);

// Mapping steps, in the order of loading. `base` holds sizeOfImage writable bytes.
void copyHeaders(const uint8_t* image, const Headers& headers, uint8_t* base);
void copySections(const uint8_t* image, size_t size, const Headers& headers, uint8_t* base);
// Adds (newBase - imageBase) to every relocated value: 32-bit for HIGHLOW (and the other
// non-absolute 32-bit kinds), 64-bit for DIR64. Returns the number of values changed.
size_t applyRelocations(uint8_t* base, const Headers& headers, uint64_t newBase);

// One import as found in a mapped image's import address table.
struct ImportSlot {
  const char* dllName = nullptr;
  const char* functionName = nullptr;  // NULL for an import by ordinal
  uint16_t ordinal = 0;
  uint8_t* slot = nullptr;  // 4 bytes wide for PE32, 8 for PE32+
};

// Walks the import descriptors of a mapped image. `openLibrary` is called once per descriptor
// (false skips its entries); `resolve` gives each entry's address, which is written into the slot.
void resolveImports(uint8_t* base, const Headers& headers,
                    const std::function<bool(const char* dllName)>& openLibrary,
                    const std::function<uint64_t(const ImportSlot&)>& resolve);

// RVA of the export `name` (exact comparison) of a mapped image; 0 when there is none.
uint32_t findExport(const uint8_t* base, const Headers& headers, const char* name);

// A resource type or name: a 16-bit id or a text.
struct ResourceKey {
  bool isId = true;
  uint16_t id = 0;
  std::u16string text;
  static ResourceKey fromId(uint16_t id) { return {true, id, {}}; }
  static ResourceKey fromText(std::u16string text) { return {false, 0, std::move(text)}; }
};

struct ResourceData {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
};

// Finds a resource of a mapped image; the language level tries `languages` in order (low 16 bits
// compared), the first hit winning.
std::optional<ResourceData> findResource(const uint8_t* base, const Headers& headers,
                                         const ResourceKey& type, const ResourceKey& name,
                                         std::span<const uint32_t> languages);

}  // namespace nxr::pe
