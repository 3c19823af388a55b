// The image mapping steps over the i686 build of the loader's fixture DLL (PE32), checked as
// data on the build host: the 32-bit relocations, import thunks, exports and resources.
#include "moviehost/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace nxr::pe {
namespace {

std::vector<uint8_t> fixtureImage() {
  std::ifstream file(NXR_I686_FIXTURE, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

struct Mapped {
  Headers headers;
  std::vector<uint8_t> memory;
};

Mapped map(const std::vector<uint8_t>& image) {
  Mapped mapped;
  const auto headers = readHeaders(image.data(), image.size());
  EXPECT_TRUE(headers.has_value());
  if (!headers) return mapped;
  mapped.headers = *headers;
  mapped.memory.assign(headers->sizeOfImage, 0xCC);
  copyHeaders(image.data(), *headers, mapped.memory.data());
  copySections(image.data(), image.size(), *headers, mapped.memory.data());
  return mapped;
}

uint32_t read32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}

TEST(PeImage32, HeadersOfTheI686Fixture) {
  const auto image = fixtureImage();
  ASSERT_FALSE(image.empty()) << NXR_I686_FIXTURE;
  const auto headers = readHeaders(image.data(), image.size());
  ASSERT_TRUE(headers.has_value());
  EXPECT_FALSE(headers->pe32Plus);
  EXPECT_EQ(headers->machine, 0x14C);
  EXPECT_GT(headers->sizeOfImage, headers->sizeOfHeaders);
  EXPECT_FALSE(readHeaders(image.data(), 512).has_value());  // sections past the bytes
}

TEST(PeImage32, HighLowRelocationsMoveEveryAddressByTheDelta) {
  const auto image = fixtureImage();
  ASSERT_FALSE(image.empty());
  Mapped linked = map(image), moved = map(image);
  // At the linked address nothing changes.
  applyRelocations(linked.memory.data(), linked.headers, linked.headers.imageBase);
  EXPECT_EQ(linked.memory, map(image).memory);

  const uint64_t delta = 0x12345678;
  const size_t changed =
      applyRelocations(moved.memory.data(), moved.headers, moved.headers.imageBase + delta);
  ASSERT_GT(changed, 0u);
  EXPECT_NE(moved.memory, linked.memory);
  // Every relocated value is a 32-bit address inside the linked image, now inside the moved one:
  // moving back by the same distance restores the linked bytes exactly.
  applyRelocations(moved.memory.data(), moved.headers, moved.headers.imageBase - delta);
  EXPECT_EQ(moved.memory, linked.memory);
  // The pointer table behind fixtureText holds the address of "beta", moved by the delta.
  size_t pointers = 0;
  Mapped shifted = map(image);
  applyRelocations(shifted.memory.data(), shifted.headers, shifted.headers.imageBase + delta);
  for (size_t offset = 0; offset + 4 <= linked.memory.size(); offset += 4) {
    const uint32_t before = read32(&linked.memory[offset]);
    const uint64_t rva = uint64_t{before} - linked.headers.imageBase;
    if (before < linked.headers.imageBase || rva >= linked.headers.sizeOfImage ||
        std::strcmp(reinterpret_cast<const char*>(&linked.memory[rva]), "beta") != 0) {
      continue;
    }
    EXPECT_EQ(read32(&shifted.memory[offset]) - before, static_cast<uint32_t>(delta));
    ++pointers;
  }
  EXPECT_EQ(pointers, 1u);
}

TEST(PeImage32, ImportsAreResolvedIntoFourByteSlots) {
  const auto image = fixtureImage();
  ASSERT_FALSE(image.empty());
  Mapped mapped = map(image);
  std::vector<std::string> libraries, functions;
  std::vector<uint8_t*> slots;
  uint32_t next = 0xABC00000;
  resolveImports(
      mapped.memory.data(), mapped.headers,
      [&](const char* dll) {
        libraries.push_back(dll);
        return true;
      },
      [&](const ImportSlot& slot) {
        functions.push_back(slot.functionName ? slot.functionName : "#ordinal");
        slots.push_back(slot.slot);
        return uint64_t{next++};
      });
  EXPECT_NE(std::find(libraries.begin(), libraries.end(), "urlmon.dll"), libraries.end());
  EXPECT_NE(std::find(functions.begin(), functions.end(), "CreateURLMoniker"), functions.end());
  EXPECT_NE(std::find(functions.begin(), functions.end(), "CreateFileA"), functions.end());
  for (size_t i = 0; i < slots.size(); ++i) {
    EXPECT_EQ(read32(slots[i]), 0xABC00000 + i);
    // Slots are 4 bytes apart within one library's table.
    if (i > 0 && slots[i] > slots[i - 1] && slots[i] - slots[i - 1] < 8) {
      EXPECT_EQ(slots[i] - slots[i - 1], 4);
    }
  }
}

TEST(PeImage32, ExportsAndResources) {
  const auto image = fixtureImage();
  ASSERT_FALSE(image.empty());
  Mapped mapped = map(image);
  const uint8_t* base = mapped.memory.data();
  const uint32_t text = findExport(base, mapped.headers, "fixtureText");
  EXPECT_GT(text, 0u);
  EXPECT_LT(text, mapped.headers.sizeOfImage);
  EXPECT_EQ(findExport(base, mapped.headers, "fixturetext"), 0u);
  EXPECT_EQ(findExport(base, mapped.headers, "DllGetClassObject"), 0u);

  struct Case {
    std::vector<uint32_t> languages;
    uint16_t id;
    const char* expected;
  };
  const Case cases[] = {
      {{0x407, 0x409, 0x409, 0, 0x409}, 10, "german"},
      {{0x40C, 0x409, 0x409, 0, 0x409}, 10, "neutral"},
      {{0x10407, 0, 0x409}, 10, "german"},  // only the low 16 bits count
      {{0x407, 0x409, 0x409, 0, 0x409}, 11, "english"},
      {{0x407, 0x409, 0x409, 0, 0x409}, 12, nullptr},
  };
  for (const Case& c : cases) {
    const auto found = findResource(base, mapped.headers, ResourceKey::fromId(10),
                                    ResourceKey::fromId(c.id), c.languages);
    if (!c.expected) {
      EXPECT_FALSE(found.has_value()) << c.id;
      continue;
    }
    ASSERT_TRUE(found.has_value()) << c.id;
    EXPECT_STREQ(reinterpret_cast<const char*>(found->data), c.expected);
  }
  const std::vector<uint32_t> neutral = {0};
  const auto named = findResource(base, mapped.headers, ResourceKey::fromText(u"TESTDATA"),
                                  ResourceKey::fromText(u"MOVIE"), neutral);
  ASSERT_TRUE(named.has_value());
  EXPECT_STREQ(reinterpret_cast<const char*>(named->data), "named");
}

}  // namespace
}  // namespace nxr::pe
