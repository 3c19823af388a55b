#include "moviehost/executable_code.h"

#include <cstring>

namespace nxr {

std::unique_ptr<ExecutableCode> ExecutableCode::create(const std::vector<uint8_t>& code) {
  void* memory = VirtualAlloc(nullptr, code.size(), MEM_COMMIT, PAGE_EXECUTE_READWRITE);
  if (!memory) return nullptr;
  std::memcpy(memory, code.data(), code.size());
  FlushInstructionCache(GetCurrentProcess(), memory, code.size());
  return std::unique_ptr<ExecutableCode>(new ExecutableCode(memory));
}

ExecutableCode::~ExecutableCode() { VirtualFree(memory_, 0, MEM_RELEASE); }

std::unique_ptr<ExecutableCode> makeImportStub(void* context, FARPROC realFunction,
                                               FARPROC replacement, int argumentCount) {
  return ExecutableCode::create(
      encodeImportStub(kNativeThunkMachine, reinterpret_cast<uintptr_t>(context),
                       reinterpret_cast<uintptr_t>(realFunction),
                       reinterpret_cast<uintptr_t>(replacement), argumentCount));
}

std::unique_ptr<ExecutableCode> makeWindowThunk(void* object, FARPROC target, int argumentCount) {
  return ExecutableCode::create(
      encodeWindowThunk(kNativeThunkMachine, reinterpret_cast<uintptr_t>(object),
                        reinterpret_cast<uintptr_t>(target), argumentCount));
}

}  // namespace nxr
