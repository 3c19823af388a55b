// A block of executable memory holding one trampoline (import stub or window thunk).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "moviehost/thunk_code.h"

namespace nxr {

// Converts between procedure pointer types (through the generic procedure type, which the
// compiler accepts without a warning).
template <typename To, typename From>
To procedureCast(From procedure) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(procedure));
}

class ExecutableCode {
 public:
  // Copies `code` into fresh read-write-execute memory; NULL when memory cannot be had.
  static std::unique_ptr<ExecutableCode> create(const std::vector<uint8_t>& code);
  ~ExecutableCode();
  ExecutableCode(const ExecutableCode&) = delete;
  ExecutableCode& operator=(const ExecutableCode&) = delete;

  void* entry() const { return memory_; }
  template <typename Procedure>
  Procedure as() const {
    return reinterpret_cast<Procedure>(memory_);
  }

 private:
  explicit ExecutableCode(void* memory) : memory_(memory) {}
  void* memory_;
};

// Import stub: calls replacement(realFunction, context, the caller's argumentCount arguments).
std::unique_ptr<ExecutableCode> makeImportStub(void* context, FARPROC realFunction,
                                               FARPROC replacement, int argumentCount);

// Window thunk: calls target(object, the caller's argumentCount arguments); window procedures
// take 4 arguments, hook procedures 3.
std::unique_ptr<ExecutableCode> makeWindowThunk(void* object, FARPROC target, int argumentCount);

}  // namespace nxr
