// The in-memory loader against the fixture DLL: mapping, relocation, imports, entry point calls,
// unloading, exports, resources and the host window classes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "moviehost/control_loader.h"
#include "moviehost/memory_module.h"
#include "moviehost/test_support.h"

namespace nxr {
namespace {

using test::exportOf;
using test::fixtureImage;

bool insideModule(const MemoryModule& module, const void* pointer) {
  MEMORY_BASIC_INFORMATION info{};
  return VirtualQuery(pointer, &info, sizeof info) && info.AllocationBase == module.module();
}

TEST(MemoryModule, MapsRelocatesAndStartsTheImage) {
  ASSERT_FALSE(fixtureImage().empty());
  test::clearFixtureEvents();
  MemoryModule module;
  ASSERT_TRUE(module.load(fixtureImage().data(), fixtureImage().size()));
  EXPECT_EQ(test::fixtureEvents(), "Aa");

  auto moduleOf = exportOf<HINSTANCE (*)()>(module, "fixtureModule");
  ASSERT_NE(moduleOf, nullptr);
  EXPECT_EQ(moduleOf(), reinterpret_cast<HINSTANCE>(module.module()));

  // The pointer table in initialised data points into the mapped copy, not the linked address.
  auto text = exportOf<const char* (*)(int)>(module, "fixtureText");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text(1), "beta");
  EXPECT_TRUE(insideModule(module, text(2)));

  // Imports by name are recorded with their slots and resolved to the system's functions.
  bool sawSetEnvironment = false;
  for (const auto& record : module.importRecords()) {
    if (record.functionName == "SetEnvironmentVariableA") {
      sawSetEnvironment = true;
      EXPECT_TRUE(insideModule(module, record.slot));
      EXPECT_EQ(*static_cast<FARPROC*>(record.slot),
                GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetEnvironmentVariableA"));
    }
  }
  EXPECT_TRUE(sawSetEnvironment);
  EXPECT_EQ(module.importStubCount(), 0u);  // the base routes nothing
}

TEST(MemoryModule, ExportsAreFoundByExactNameOnly) {
  MemoryModule module;
  EXPECT_EQ(module.getProcAddress("fixtureModule"), nullptr);  // nothing loaded
  ASSERT_TRUE(module.load(fixtureImage().data(), fixtureImage().size()));
  EXPECT_NE(module.getProcAddress("fixtureModule"), nullptr);
  EXPECT_EQ(module.getProcAddress("FixtureModule"), nullptr);
  EXPECT_EQ(module.getProcAddress("fixtureModul"), nullptr);
  EXPECT_EQ(module.getProcAddress("DllGetClassObject"), nullptr);
}

TEST(MemoryModule, UnloadingDetachesAndFreesEverything) {
  // msimg32.dll is imported by the fixture only, so its presence shows the import libraries.
  ASSERT_EQ(GetModuleHandleA("msimg32.dll"), nullptr);
  test::clearFixtureEvents();
  MemoryModule module;
  ASSERT_TRUE(module.load(fixtureImage().data(), fixtureImage().size()));
  const void* firstBase = module.module();
  EXPECT_NE(GetModuleHandleA("msimg32.dll"), nullptr);

  module.unload();
  EXPECT_EQ(test::fixtureEvents(), "AadD");
  EXPECT_EQ(GetModuleHandleA("msimg32.dll"), nullptr);
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_TRUE(VirtualQuery(firstBase, &info, sizeof info));
  EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
  EXPECT_TRUE(module.importRecords().empty());
  EXPECT_FALSE(module.loaded());
}

TEST(MemoryModule, SecondLoadUnloadsTheFirstBeforeMapping) {
  test::clearFixtureEvents();
  MemoryModule module;
  ASSERT_TRUE(module.load(fixtureImage().data(), fixtureImage().size()));
  const size_t records = module.importRecords().size();
  ASSERT_TRUE(module.load(fixtureImage().data(), fixtureImage().size()));
  EXPECT_EQ(test::fixtureEvents(), "AadDAa");
  EXPECT_EQ(module.importRecords().size(), records);
  EXPECT_EQ(module.importLibraryCount(), 4u);  // kernel32, user32, urlmon, msimg32
}

TEST(MemoryModule, RejectsBytesThatAreNoImage) {
  MemoryModule module;
  const uint8_t notAnImage[64] = {'M', 'Z'};
  EXPECT_FALSE(module.load(notAnImage, sizeof notAnImage));
  // A truncated image: its sections do not fit the bytes given.
  EXPECT_FALSE(module.load(fixtureImage().data(), 1024));
  EXPECT_FALSE(module.loaded());
}

std::string resourceText(const MemoryModule& module, const char* type, const char* name) {
  const void* data = nullptr;
  DWORD size = 0;
  if (!module.findResource(type, name, &data, &size)) return "(none)";
  return std::string(static_cast<const char*>(data), strnlen(static_cast<const char*>(data), size));
}

TEST(MemoryModule, ResourceLanguageFallsBackThroughTheLocaleList) {
  MemoryModule module;
  ASSERT_TRUE(module.load(fixtureImage().data(), fixtureImage().size()));
  // The system and user locales must not be one of the fixture's specific languages for the
  // expectations below; Wine's default is English (United States).
  const LANGID systemLanguage = LANGIDFROMLCID(GetSystemDefaultLCID());
  const LANGID userLanguage = LANGIDFROMLCID(GetUserDefaultLCID());
  for (LANGID language : {systemLanguage, userLanguage}) {
    ASSERT_NE(language, 0x407) << "system or user locale is German";
    ASSERT_NE(language, 0x40C) << "system or user locale is French";
  }
  const LCID saved = GetThreadLocale();
  struct Case {
    LCID threadLocale;
    int id;
    const char* expected;
  };
  const Case cases[] = {
      {0x407, 10, "german"},                          // the thread's language first
      {0x40C, 10, "neutral"},                         // French missing: system, user, then neutral
      {0x407, 11, "english"},                         // only 0x409 present: the last fall-back
      {0x40C, 12, "french"},  {0x407, 12, "(none)"},  // present only in another language
      {0x407, 13, "(none)"},
  };
  for (const Case& c : cases) {
    SetThreadLocale(c.threadLocale);
    EXPECT_EQ(resourceText(module, MAKEINTRESOURCEA(10), MAKEINTRESOURCEA(c.id)), c.expected)
        << "locale " << std::hex << c.threadLocale << " id " << std::dec << c.id;
  }
  SetThreadLocale(saved);
  EXPECT_EQ(resourceText(module, "TESTDATA", "MOVIE"), "named");
  EXPECT_EQ(resourceText(module, "TESTDATA", "movie"), "(none)");  // names are case-sensitive
  EXPECT_EQ(resourceText(module, "TESTDAT", "MOVIE"), "(none)");
}

TEST(ControlLoader, TwoLoadersRegisterDistinctClasses) {
  ControlLoader* first = createLoader(fixtureImage().data(), fixtureImage().size());
  ControlLoader* second = createLoader(fixtureImage().data(), fixtureImage().size());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first->ansiClassName(), second->ansiClassName());
  EXPECT_NE(first->wideClassName(), second->wideClassName());
  EXPECT_NE(first->ansiClassName(),
            std::string(first->wideClassName().begin(), first->wideClassName().end()));
  EXPECT_NE(loaderWindowClass(first), loaderWindowClass(second));
  EXPECT_NE(loaderWindowClass(first), 0);

  // The names are four hexadecimal groups of a new GUID.
  const std::string& name = first->ansiClassName();
  ASSERT_EQ(name.size(), 35u) << name;
  for (size_t i = 0; i < name.size(); ++i) {
    EXPECT_TRUE(i % 9 == 8 ? name[i] == '_' : std::isxdigit(static_cast<unsigned char>(name[i])))
        << name;
  }

  // Each class is registered on the program's module with the loader's own procedure.
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr),
                              reinterpret_cast<LPCWSTR>(first->wideClassName().c_str()), &info));
  EXPECT_EQ(info.style, static_cast<UINT>(CS_GLOBALCLASS | CS_DBLCLKS));
  EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  WNDCLASSEXW other{};
  other.cbSize = sizeof other;
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr),
                              reinterpret_cast<LPCWSTR>(second->wideClassName().c_str()), &other));
  EXPECT_NE(info.lpfnWndProc, other.lpfnWndProc);

  const std::u16string firstClass = first->wideClassName();
  EXPECT_TRUE(destroyLoader(first));
  EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr),
                               reinterpret_cast<LPCWSTR>(firstClass.c_str()), &info));
  EXPECT_TRUE(destroyLoader(second));
  EXPECT_FALSE(destroyLoader(nullptr));
}

TEST(ControlLoader, WithoutAnImageLoadsTheInstalledControlFromTheRegistry) {
  const char* key = "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InprocServer32";
  RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
  EXPECT_EQ(createLoader(nullptr, 0), nullptr);  // no installed control

  HKEY entry = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &entry, nullptr),
      ERROR_SUCCESS);
  const std::string missing = test::programFolder() + "no_such_control.dll";
  RegSetValueExA(entry, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing.c_str()),
                 static_cast<DWORD>(missing.size() + 1));
  EXPECT_EQ(createLoader(nullptr, 0), nullptr);  // the named file is missing

  const std::string path = test::programFolder() + "fixture_control.dll";
  RegSetValueExA(entry, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>(path.size() + 1));
  RegCloseKey(entry);
  test::clearFixtureEvents();
  ControlLoader* loader = createLoader(nullptr, 0);
  RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
  ASSERT_NE(loader, nullptr);
  EXPECT_EQ(test::fixtureEvents(), "Aa");
  EXPECT_NE(loader->getProcAddress("fixtureText"), nullptr);
  // Mapped from its own copy: the file is not held by the system loader.
  EXPECT_EQ(GetModuleHandleA("fixture_control.dll"), nullptr);
  destroyLoader(loader);
  EXPECT_EQ(test::fixtureEvents(), "AadD");
}

}  // namespace
}  // namespace nxr
