#include "moviehost/thunk_code.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "moviehost/executable_code.h"
#endif

namespace nxr {
namespace {

TEST(ThunkCode, I386ImportStubMovesTheReturnAddressBehindTwoPushedValues) {
  const auto code = encodeImportStub(ThunkMachine::kI386, 0x11223344, 0x55667788, 0x99AABBCC, 7);
  const std::vector<uint8_t> expected = {0x58, 0x68, 0x44, 0x33, 0x22, 0x11, 0x68, 0x88, 0x77,
                                         0x66, 0x55, 0x50, 0x68, 0xCC, 0xBB, 0xAA, 0x99, 0xC3};
  EXPECT_EQ(code, expected);
}

TEST(ThunkCode, I386WindowThunkPushesTheObject) {
  const auto code = encodeWindowThunk(ThunkMachine::kI386, 0xCAFEBABE, 0x01020304, 4);
  const std::vector<uint8_t> expected = {0x58, 0x68, 0xBE, 0xBA, 0xFE, 0xCA, 0x50,
                                         0x68, 0x04, 0x03, 0x02, 0x01, 0xC3};
  EXPECT_EQ(code, expected);
}

TEST(ThunkCode, Amd64ThunkKeepsTheStackAlignedAndEndsWithReturn) {
  for (int arguments = 0; arguments <= 12; ++arguments) {
    for (int leading = 1; leading <= 2; ++leading) {
      const std::vector<uint64_t> values(leading, 0x1122334455667788);
      const auto code = encodeArgumentThunk(ThunkMachine::kAmd64, values, arguments, 0xABCD);
      ASSERT_GE(code.size(), 8u);
      // sub rsp, frame ... add rsp, frame; ret
      EXPECT_EQ(code[0], 0x48);
      EXPECT_EQ(code[1], 0x81);
      EXPECT_EQ(code[2], 0xEC);
      const uint32_t frame = code[3] | (code[4] << 8) | (code[5] << 16) | (code[6] << 24);
      EXPECT_EQ(frame % 16, 8u) << arguments;
      EXPECT_GE(frame, 0x20u + 8u * std::max(0, arguments + leading - 4)) << arguments;
      EXPECT_EQ(code.back(), 0xC3);
    }
  }
}

#ifdef _WIN32
// Targets that return a checksum of all their arguments, weighted by position, so that a lost,
// duplicated or misplaced argument changes the result.
using U = uintptr_t;
U WINAPI target0(U a, U b) { return a * 1 + b * 2; }
U WINAPI target1(U a, U b, U c) { return a * 1 + b * 2 + c * 3; }
U WINAPI target3(U a, U b, U c, U d, U e) { return a + b * 2 + c * 3 + d * 4 + e * 5; }
U WINAPI target4(U a, U b, U c, U d, U e, U f) { return a + b * 2 + c * 3 + d * 4 + e * 5 + f * 6; }
U WINAPI target12(U a, U b, U c, U d, U e, U f, U g, U h, U i, U j, U k, U l, U m, U n) {
  return a + b * 2 + c * 3 + d * 4 + e * 5 + f * 6 + g * 7 + h * 8 + i * 9 + j * 10 + k * 11 +
         l * 12 + m * 13 + n * 14;
}
U WINAPI windowTarget(U object, U a, U b, U c, U d) {
  return object + a * 2 + b * 3 + c * 4 + d * 5;
}

TEST(ThunkCode, NativeImportStubPassesEveryArgument) {
  const U real = 1000, context = 20000;
  auto stub0 = makeImportStub(reinterpret_cast<void*>(context), reinterpret_cast<FARPROC>(real),
                              procedureCast<FARPROC>(&target0), 0);
  EXPECT_EQ(stub0->as<U(WINAPI*)()>()(), target0(real, context));
  auto stub1 = makeImportStub(reinterpret_cast<void*>(context), reinterpret_cast<FARPROC>(real),
                              procedureCast<FARPROC>(&target1), 1);
  EXPECT_EQ(stub1->as<U(WINAPI*)(U)>()(7), target1(real, context, 7));
  auto stub3 = makeImportStub(reinterpret_cast<void*>(context), reinterpret_cast<FARPROC>(real),
                              procedureCast<FARPROC>(&target3), 3);
  EXPECT_EQ(stub3->as<U(WINAPI*)(U, U, U)>()(7, 8, 9), target3(real, context, 7, 8, 9));
  auto stub4 = makeImportStub(reinterpret_cast<void*>(context), reinterpret_cast<FARPROC>(real),
                              procedureCast<FARPROC>(&target4), 4);
  EXPECT_EQ(stub4->as<U(WINAPI*)(U, U, U, U)>()(7, 8, 9, 10), target4(real, context, 7, 8, 9, 10));
  auto stub12 = makeImportStub(reinterpret_cast<void*>(context), reinterpret_cast<FARPROC>(real),
                               procedureCast<FARPROC>(&target12), 12);
  using Twelve = U(WINAPI*)(U, U, U, U, U, U, U, U, U, U, U, U);
  EXPECT_EQ(stub12->as<Twelve>()(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12),
            target12(real, context, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12));
}

TEST(ThunkCode, NativeWindowThunkPutsTheObjectFirst) {
  auto thunk =
      makeWindowThunk(reinterpret_cast<void*>(U{77}), procedureCast<FARPROC>(&windowTarget), 4);
  EXPECT_EQ(thunk->as<U(WINAPI*)(U, U, U, U)>()(1, 2, 3, 4), windowTarget(77, 1, 2, 3, 4));
}
#endif

}  // namespace
}  // namespace nxr
