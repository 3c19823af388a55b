#include "moviehost/thunk_code.h"

#include <cassert>

namespace nxr {
namespace {

class CodeWriter {
 public:
  void byte(uint8_t b) { code_.push_back(b); }
  void bytes(std::initializer_list<uint8_t> list) { code_.insert(code_.end(), list); }
  void imm32(uint32_t v) {
    for (int i = 0; i < 4; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
  }
  void imm64(uint64_t v) {
    imm32(static_cast<uint32_t>(v));
    imm32(static_cast<uint32_t>(v >> 32));
  }
  std::vector<uint8_t> take() { return std::move(code_); }

 private:
  std::vector<uint8_t> code_;
};

std::vector<uint8_t> encodeI386(const std::vector<uint64_t>& leading, uint64_t target) {
  CodeWriter w;
  w.byte(0x58);  // pop eax: the caller's return address
  for (auto it = leading.rbegin(); it != leading.rend(); ++it) {
    w.byte(0x68);  // push imm32
    w.imm32(static_cast<uint32_t>(*it));
  }
  w.byte(0x50);  // push eax
  w.byte(0x68);  // push target
  w.imm32(static_cast<uint32_t>(target));
  w.byte(0xC3);  // ret: enters target
  return w.take();
}

// Register numbers of the four integer argument registers: rcx, rdx, r8, r9.
constexpr uint8_t kArgumentRegister[4] = {1, 2, 8, 9};

void movRegisterRegister(CodeWriter& w, uint8_t destination, uint8_t source) {
  // mov r/m64, r64 (REX.W 89 /r), register to register
  w.byte(static_cast<uint8_t>(0x48 | ((source >> 3) << 2) | (destination >> 3)));
  w.byte(0x89);
  w.byte(static_cast<uint8_t>(0xC0 | ((source & 7) << 3) | (destination & 7)));
}

void movStackRegister(CodeWriter& w, uint32_t displacement, uint8_t source) {
  // mov [rsp + disp32], r64
  w.byte(static_cast<uint8_t>(0x48 | ((source >> 3) << 2)));
  w.bytes({0x89, static_cast<uint8_t>(0x84 | ((source & 7) << 3)), 0x24});
  w.imm32(displacement);
}

void movRaxStack(CodeWriter& w, uint32_t displacement) {
  w.bytes({0x48, 0x8B, 0x84, 0x24});  // mov rax, [rsp + disp32]
  w.imm32(displacement);
}

void movRegisterImmediate(CodeWriter& w, uint8_t destination, uint64_t value) {
  w.byte(static_cast<uint8_t>(0x48 | (destination >> 3)));  // mov r64, imm64
  w.byte(static_cast<uint8_t>(0xB8 | (destination & 7)));
  w.imm64(value);
}

std::vector<uint8_t> encodeAmd64(const std::vector<uint64_t>& leading, int argumentCount,
                                 uint64_t target) {
  const int inserted = static_cast<int>(leading.size());
  assert(inserted <= 4);
  const int total = argumentCount + inserted;
  const int stackArguments = total > 4 ? total - 4 : 0;
  // Shadow space plus stack arguments, sized so that rsp is 16-aligned at the call (it is
  // 8 off on entry because of the return address).
  uint32_t frame = 0x20 + 8 * stackArguments;
  if (frame % 16 != 8) frame += 8;
  // Incoming argument k (k >= 4) sits above the return address: [rsp + frame + 8 + 0x20 + 8(k-4)].
  const uint32_t incoming = frame + 0x28;

  CodeWriter w;
  w.bytes({0x48, 0x81, 0xEC});  // sub rsp, frame
  w.imm32(frame);
  for (int j = total - 1; j >= 4 && j >= inserted; --j) {
    const int k = j - inserted;
    const uint32_t destination = 0x20 + 8 * (j - 4);
    if (k >= 4) {
      movRaxStack(w, incoming + 8 * (k - 4));
      movStackRegister(w, destination, 0);  // rax
    } else {
      movStackRegister(w, destination, kArgumentRegister[k]);
    }
  }
  for (int j = 3; j >= inserted; --j) {
    if (j - inserted < argumentCount) {
      movRegisterRegister(w, kArgumentRegister[j], kArgumentRegister[j - inserted]);
    }
  }
  for (int j = 0; j < inserted; ++j) movRegisterImmediate(w, kArgumentRegister[j], leading[j]);
  movRegisterImmediate(w, 0, target);  // mov rax, target
  w.bytes({0xFF, 0xD0});               // call rax
  w.bytes({0x48, 0x81, 0xC4});         // add rsp, frame
  w.imm32(frame);
  w.byte(0xC3);  // ret
  return w.take();
}

}  // namespace

std::vector<uint8_t> encodeArgumentThunk(ThunkMachine machine, const std::vector<uint64_t>& leading,
                                         int argumentCount, uint64_t target) {
  return machine == ThunkMachine::kI386 ? encodeI386(leading, target)
                                        : encodeAmd64(leading, argumentCount, target);
}

}  // namespace nxr
