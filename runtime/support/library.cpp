#include "support/library.h"

namespace nxr {

bool Library::load(const std::u16string& path) {
  if (!free()) return false;
  module_ = LoadLibraryW(asWcstr(path));
  borrowed_ = false;
  return module_ != nullptr;
}

FARPROC Library::entryPoint(const char* name) const {
  return module_ ? GetProcAddress(module_, name) : nullptr;
}

bool Library::free() {
  bool freed = true;
  if (module_ && !borrowed_) freed = FreeLibrary(module_) != FALSE;
  module_ = nullptr;
  borrowed_ = false;
  return freed;
}

}  // namespace nxr
