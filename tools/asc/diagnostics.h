// Source positions and compile errors shared by the compiler stages.
#pragma once

#include <stdexcept>
#include <string>

namespace nxr::asc {

struct SourceLoc {
  int line = 1;
  int column = 1;
};

// Thrown inside the compiler only; compile() turns it into a returned diagnostic.
class CompileError : public std::runtime_error {
 public:
  CompileError(SourceLoc loc, const std::string& message)
      : std::runtime_error(message), loc_(loc) {}
  SourceLoc loc() const { return loc_; }

 private:
  SourceLoc loc_;
};

}  // namespace nxr::asc
