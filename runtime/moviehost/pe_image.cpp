#include "moviehost/pe_image.h"

#include <algorithm>
#include <cstring>

namespace nxr::pe {
namespace {

uint16_t read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t read64(const uint8_t* p) {
  return static_cast<uint64_t>(read32(p)) | (static_cast<uint64_t>(read32(p + 4)) << 32);
}
void write32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void write64(uint8_t* p, uint64_t v) {
  write32(p, static_cast<uint32_t>(v));
  write32(p + 4, static_cast<uint32_t>(v >> 32));
}

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kFileHeaderSize = 20;

// True when [offset, offset + length) lies inside a block of `total` bytes.
bool fits(uint64_t offset, uint64_t length, uint64_t total) {
  return offset <= total && length <= total - offset;
}

// A zero-terminated text at an RVA of the mapped image, or NULL when it runs off the image.
const char* textAt(const uint8_t* base, const Headers& headers, uint32_t rva) {
  if (rva == 0 || rva >= headers.sizeOfImage) return nullptr;
  const void* end = std::memchr(base + rva, 0, headers.sizeOfImage - rva);
  return end ? reinterpret_cast<const char*>(base + rva) : nullptr;
}

}  // namespace

std::optional<Headers> readHeaders(const uint8_t* image, size_t size) {
  if (!image || size < 0x40 || image[0] != 'M' || image[1] != 'Z') return std::nullopt;
  const uint32_t nt = read32(image + 0x3C);
  if (!fits(nt, 4 + kFileHeaderSize + 2, size) || std::memcmp(image + nt, "PE\0\0", 4) != 0) {
    return std::nullopt;
  }
  const uint8_t* file = image + nt + 4;
  const uint8_t* optional = file + kFileHeaderSize;
  Headers h;
  h.machine = read16(file);
  h.sectionCount = read16(file + 2);
  const uint16_t optionalSize = read16(file + 16);
  const uint16_t magic = read16(optional);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return std::nullopt;
  h.pe32Plus = magic == kPe32PlusMagic;
  const uint32_t directoryField = h.pe32Plus ? 108 : 92;
  if (optionalSize < directoryField + 4 || !fits(nt + 4 + kFileHeaderSize, optionalSize, size)) {
    return std::nullopt;
  }
  h.addressOfEntryPoint = read32(optional + 16);
  h.imageBase = h.pe32Plus ? read64(optional + 24) : read32(optional + 28);
  h.sizeOfImage = read32(optional + 56);
  h.sizeOfHeaders = read32(optional + 60);
  h.dataDirectoryCount = std::min<uint32_t>(read32(optional + directoryField),
                                            (optionalSize - directoryField - 4) / 8);
  h.dataDirectoryOffset = nt + 4 + kFileHeaderSize + directoryField + 4;
  h.sectionTableOffset = nt + 4 + kFileHeaderSize + optionalSize;
  if (!fits(h.sectionTableOffset, uint64_t{h.sectionCount} * kSectionHeaderSize, size) ||
      h.sizeOfHeaders > size || h.sizeOfHeaders > h.sizeOfImage ||
      h.sectionTableOffset + uint64_t{h.sectionCount} * kSectionHeaderSize > h.sizeOfHeaders) {
    return std::nullopt;
  }
  // Every section must fit the image in memory and, for its stored bytes, the file.
  for (uint16_t i = 0; i < h.sectionCount; ++i) {
    const uint8_t* s = image + h.sectionTableOffset + i * kSectionHeaderSize;
    const uint32_t virtualSize = read32(s + 8), virtualAddress = read32(s + 12);
    const uint32_t rawSize = read32(s + 16), rawPointer = read32(s + 20);
    if (!fits(virtualAddress, virtualSize, h.sizeOfImage) ||
        !fits(rawPointer, std::min(virtualSize, rawSize), size)) {
      return std::nullopt;
    }
  }
  return h;
}

DataDirectory dataDirectory(const uint8_t* headersBase, const Headers& headers, int index) {
  if (index < 0 || static_cast<uint32_t>(index) >= headers.dataDirectoryCount) return {};
  const uint8_t* entry = headersBase + headers.dataDirectoryOffset + 8 * index;
  DataDirectory d{read32(entry), read32(entry + 4)};
  if (!fits(d.virtualAddress, d.size, headers.sizeOfImage)) return {};
  return d;
}

void copyHeaders(const uint8_t* image, const Headers& headers, uint8_t* base) {
  std::memcpy(base, image, headers.sizeOfHeaders);
}

void copySections(const uint8_t* image, size_t, const Headers& headers, uint8_t* base) {
  for (uint16_t i = 0; i < headers.sectionCount; ++i) {
    const uint8_t* s = image + headers.sectionTableOffset + i * kSectionHeaderSize;
    const uint32_t virtualSize = read32(s + 8), virtualAddress = read32(s + 12);
    const uint32_t rawSize = read32(s + 16), rawPointer = read32(s + 20);
    std::memset(base + virtualAddress, 0, virtualSize);
    std::memcpy(base + virtualAddress, image + rawPointer, std::min(virtualSize, rawSize));
  }
}

size_t applyRelocations(uint8_t* base, const Headers& headers, uint64_t newBase) {
  constexpr uint16_t kAbsolute = 0, kDir64 = 10;
  const DataDirectory dir = dataDirectory(base, headers, kRelocationDirectory);
  const uint64_t delta = newBase - headers.imageBase;
  size_t changed = 0;
  uint32_t offset = 0;
  while (dir.size >= 8 && offset <= dir.size - 8) {
    const uint8_t* block = base + dir.virtualAddress + offset;
    const uint32_t page = read32(block), blockSize = read32(block + 4);
    if (blockSize < 8 || blockSize > dir.size - offset) break;
    for (uint32_t i = 0; i < (blockSize - 8) / 2; ++i) {
      const uint16_t entry = read16(block + 8 + 2 * i);
      const uint16_t type = entry >> 12;
      const uint64_t target = uint64_t{page} + (entry & 0xFFF);
      if (type == kAbsolute) continue;
      if (type == kDir64) {
        if (!fits(target, 8, headers.sizeOfImage)) continue;
        write64(base + target, read64(base + target) + delta);
      } else {
        if (!fits(target, 4, headers.sizeOfImage)) continue;
        write32(base + target, read32(base + target) + static_cast<uint32_t>(delta));
      }
      ++changed;
    }
    offset += blockSize;
  }
  return changed;
}

void resolveImports(uint8_t* base, const Headers& headers,
                    const std::function<bool(const char* dllName)>& openLibrary,
                    const std::function<uint64_t(const ImportSlot&)>& resolve) {
  constexpr uint32_t kDescriptorSize = 20;
  const DataDirectory dir = dataDirectory(base, headers, kImportDirectory);
  if (dir.virtualAddress == 0) return;
  const uint32_t width = headers.pe32Plus ? 8 : 4;
  for (uint32_t d = dir.virtualAddress; fits(d, kDescriptorSize, headers.sizeOfImage);
       d += kDescriptorSize) {
    const uint8_t* descriptor = base + d;
    const uint32_t nameRva = read32(descriptor + 12);
    if (nameRva == 0) break;
    const char* dllName = textAt(base, headers, nameRva);
    if (!dllName || !openLibrary(dllName)) continue;
    const uint32_t lookupRva = read32(descriptor);
    const uint32_t addressRva = read32(descriptor + 16);
    // The lookup table keeps the names even in a bound image; an image without one names its
    // imports in the address table itself.
    const uint32_t namesRva = lookupRva ? lookupRva : addressRva;
    for (uint32_t i = 0;; ++i) {
      const uint64_t nameEntry = uint64_t{namesRva} + uint64_t{i} * width;
      const uint64_t slotEntry = uint64_t{addressRva} + uint64_t{i} * width;
      if (!fits(nameEntry, width, headers.sizeOfImage) ||
          !fits(slotEntry, width, headers.sizeOfImage)) {
        break;
      }
      const uint64_t value = headers.pe32Plus ? read64(base + nameEntry) : read32(base + nameEntry);
      if (value == 0) break;
      const bool byOrdinal = headers.pe32Plus ? (value >> 63) != 0 : (value >> 31) != 0;
      ImportSlot slot;
      slot.dllName = dllName;
      slot.slot = base + slotEntry;
      if (byOrdinal) {
        slot.ordinal = static_cast<uint16_t>(value & 0xFFFF);
      } else {
        const uint32_t hintName = static_cast<uint32_t>(value & 0x7FFFFFFF);
        slot.functionName = textAt(base, headers, hintName + 2);
        if (!slot.functionName) break;
      }
      const uint64_t address = resolve(slot);
      if (headers.pe32Plus) {
        write64(slot.slot, address);
      } else {
        write32(slot.slot, static_cast<uint32_t>(address));
      }
    }
  }
}

uint32_t findExport(const uint8_t* base, const Headers& headers, const char* name) {
  const DataDirectory dir = dataDirectory(base, headers, kExportDirectory);
  if (dir.virtualAddress == 0 || dir.size < 40 || !name) return 0;
  const uint8_t* exports = base + dir.virtualAddress;
  const uint32_t functionCount = read32(exports + 20), nameCount = read32(exports + 24);
  const uint32_t functions = read32(exports + 28), names = read32(exports + 32);
  const uint32_t ordinals = read32(exports + 36);
  if (!fits(names, uint64_t{nameCount} * 4, headers.sizeOfImage) ||
      !fits(ordinals, uint64_t{nameCount} * 2, headers.sizeOfImage) ||
      !fits(functions, uint64_t{functionCount} * 4, headers.sizeOfImage)) {
    return 0;
  }
  for (uint32_t i = 0; i < nameCount; ++i) {
    const char* exportName = textAt(base, headers, read32(base + names + 4 * i));
    if (!exportName || std::strcmp(exportName, name) != 0) continue;
    const uint16_t index = read16(base + ordinals + 2 * i);
    if (index >= functionCount) return 0;
    return read32(base + functions + 4 * index);
  }
  return 0;
}

namespace {

// The entries of one resource directory level; offsets are from the resource section's start.
struct ResourceLevel {
  const uint8_t* root;
  uint32_t rootSize;
  uint32_t offset;
};

// Finds the entry for `key` in a level and returns its OffsetToData field, or nullopt.
std::optional<uint32_t> findEntry(const ResourceLevel& level, const ResourceKey& key) {
  if (!fits(level.offset, 16, level.rootSize)) return std::nullopt;
  const uint8_t* directory = level.root + level.offset;
  const uint32_t named = read16(directory + 12), ids = read16(directory + 14);
  if (!fits(level.offset + 16, uint64_t{named + ids} * 8, level.rootSize)) return std::nullopt;
  for (uint32_t i = 0; i < named + ids; ++i) {
    const uint8_t* entry = directory + 16 + 8 * i;
    const uint32_t nameField = read32(entry);
    const bool isName = (nameField & 0x80000000u) != 0;
    if (key.isId) {
      if (isName || (nameField & 0xFFFF) != key.id) continue;
    } else {
      if (!isName) continue;
      const uint32_t textOffset = nameField & 0x7FFFFFFF;
      if (!fits(textOffset, 2, level.rootSize)) continue;
      const uint16_t length = read16(level.root + textOffset);
      if (length != key.text.size() || !fits(textOffset + 2, uint64_t{length} * 2, level.rootSize))
        continue;
      bool equal = true;
      for (uint16_t c = 0; c < length && equal; ++c) {
        equal = read16(level.root + textOffset + 2 + 2 * c) == key.text[c];
      }
      if (!equal) continue;
    }
    return read32(entry + 4);
  }
  return std::nullopt;
}

}  // namespace

std::optional<ResourceData> findResource(const uint8_t* base, const Headers& headers,
                                         const ResourceKey& type, const ResourceKey& name,
                                         std::span<const uint32_t> languages) {
  constexpr uint32_t kSubdirectory = 0x80000000u;
  const DataDirectory dir = dataDirectory(base, headers, kResourceDirectory);
  if (dir.virtualAddress == 0) return std::nullopt;
  ResourceLevel level{base + dir.virtualAddress, dir.size, 0};
  for (const ResourceKey* key : {&type, &name}) {
    const auto next = findEntry(level, *key);
    if (!next || !(*next & kSubdirectory)) return std::nullopt;
    level.offset = *next & ~kSubdirectory;
  }
  for (uint32_t language : languages) {
    const auto entry = findEntry(level, ResourceKey::fromId(static_cast<uint16_t>(language)));
    if (!entry || (*entry & kSubdirectory) || !fits(*entry, 16, dir.size)) continue;
    const uint8_t* data = level.root + *entry;
    const uint32_t rva = read32(data), size = read32(data + 4);
    if (!fits(rva, size, headers.sizeOfImage)) return std::nullopt;
    return ResourceData{base + rva, size};
  }
  return std::nullopt;
}

}  // namespace nxr::pe
