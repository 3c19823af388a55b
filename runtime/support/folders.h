// Folders and paths: the working directory, the temporary folder, the shell's special folders
// and removing a folder tree. Windows only.
#pragma once

#include <string>

namespace nxr {

// The process's current directory; empty on failure.
std::u16string workingDirectory();

// The temporary folder as the system reports it, ending with a backslash; empty on failure.
std::u16string tempFolder();

// The special folders as the movie sees them (properties of "System.Paths") and the shell's
// CSIDL number of each; the temporary folder has none (-1) and comes from tempFolder().
struct SpecialFolderName {
  const char16_t* property;
  int csidl;
};
inline constexpr SpecialFolderName kSpecialFolders[] = {
    {u"programs", 2},
    {u"programFiles", 38},
    {u"windows", 36},
    {u"system", 37},
    {u"temp", -1},
    {u"desktop", 0},
    {u"personal", 5},
    {u"favorites", 6},
    {u"startup", 7},
    {u"recent", 8},
    {u"fonts", 20},
    {u"history", 34},
    {u"cookies", 33},
    {u"network", 19},
    {u"startMenu", 11},
    {u"appData", 26},
    {u"commonAdminTools", 47},
    {u"commonAppData", 35},
    {u"commonPrograms", 23},
    {u"commonStartMenu", 22},
    {u"commonStartup", 24},
    {u"allUsersAppData", 35},
    {u"allUsersPrograms", 23},
    {u"allUsersStartMenu", 22},
    {u"allUsersStartup", 24},
};

// The shell's path of a special folder by its CSIDL number; empty when the machine has no such
// folder or it is not a file-system folder.
std::u16string specialFolder(int csidl);

// Removes a folder and everything in it: the files directly inside first, then the folder with
// whatever is left through the shell. Nothing is reported or shown; false when the folder is
// still there afterwards.
bool deleteFolderTree(const std::u16string& folder);

}  // namespace nxr
