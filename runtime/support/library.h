// A dynamic library handle that is freed only by its owner. Windows only.
#pragma once

#include <string>

#include "support/win.h"

namespace nxr {

class Library {
 public:
  Library() = default;
  // Holds a handle that belongs to someone else (borrowed) or is handed over (not borrowed).
  Library(HMODULE module, bool borrowed) : module_(module), borrowed_(borrowed) {}
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library() { free(); }

  // Frees a held library of its own first (fails when that fails), then loads the path.
  bool load(const std::u16string& path);
  FARPROC entryPoint(const char* name) const;
  // Frees the held library unless it is borrowed; the handle is forgotten either way.
  // False only when FreeLibrary failed.
  bool free();

  HMODULE get() const { return module_; }
  bool borrowed() const { return borrowed_; }

 private:
  HMODULE module_ = nullptr;
  bool borrowed_ = false;
};

}  // namespace nxr
