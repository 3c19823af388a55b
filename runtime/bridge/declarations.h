// The two declaration texts a movie asks for during its handshake: the class declarations, from
// which the script side builds its "nxr" objects, and the form declarations. Portable: the
// machine's values come in as data.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nxr {

// The values of the running machine that the class declarations carry.
struct DeclarationEnvironment {
  std::u16string executablePath;  // full path of the running program
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  std::u16string tempPath;  // the user's temporary folder, ending with a backslash
  // Shell folders by CSIDL value, without a trailing backslash; a missing entry is a folder the
  // shell could not report.
  std::map<int32_t, std::u16string> specialFolders;
};

// The CSIDL values whose folders the "System.Paths" class needs.
std::vector<int32_t> systemPathFolderIds();

// The full class declaration text for the registered module names (in registry order).
std::u16string classDeclarationText(const std::vector<std::u16string>& moduleNames,
                                    const DeclarationEnvironment& environment);

struct FormDeclaration {
  int32_t index = 0;
  std::u16string name;
  bool transparent = false;
};

// The form declarations for the calling form; forms in ascending index order.
std::u16string formDeclarationText(const std::vector<FormDeclaration>& forms, int32_t callerIndex);

}  // namespace nxr
