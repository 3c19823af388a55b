// Machine code of the small trampolines that put fixed arguments in front of a call: the import
// stubs (real function and loader before the control's arguments) and the window thunks (object
// before a window or hook procedure's arguments). Portable: it only produces bytes, so both
// encodings can be checked on any host; the Windows side copies them into executable memory.
#pragma once

#include <cstdint>
#include <vector>

namespace nxr {

enum class ThunkMachine { kI386, kAmd64 };

// The machine the running program is built for.
constexpr ThunkMachine kNativeThunkMachine =
    sizeof(void*) == 8 ? ThunkMachine::kAmd64 : ThunkMachine::kI386;

// Code that calls `target` with `leading` inserted in front of the caller's `argumentCount`
// arguments and returns its result to the caller.
// i386: the caller's arguments stay where they are: the return address is popped, the leading
// values pushed (last first), the return address pushed back and the target entered by `ret`;
// the target (stdcall) removes every argument. `argumentCount` is not needed.
// amd64: a new frame is built with the arguments moved right by leading.size() positions (integer
// and pointer arguments only), the target is called and the frame dropped.
std::vector<uint8_t> encodeArgumentThunk(ThunkMachine machine, const std::vector<uint64_t>& leading,
                                         int argumentCount, uint64_t target);

// Import stub: target(realFunction, context, arguments...).
inline std::vector<uint8_t> encodeImportStub(ThunkMachine machine, uint64_t context,
                                             uint64_t realFunction, uint64_t replacement,
                                             int argumentCount) {
  return encodeArgumentThunk(machine, {realFunction, context}, argumentCount, replacement);
}

// Window thunk: target(object, arguments...).
inline std::vector<uint8_t> encodeWindowThunk(ThunkMachine machine, uint64_t object,
                                              uint64_t target, int argumentCount) {
  return encodeArgumentThunk(machine, {object}, argumentCount, target);
}

}  // namespace nxr
