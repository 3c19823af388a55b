// Writes AVM1 action bytes: merges consecutive pushes, resolves branch labels and maps strings to
// the frame's constant pool.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "diagnostics.h"

namespace nxr::asc {

// The strings of one DoAction, referenced by index from its pushes.
class ConstantPool {
 public:
  // Index of the string, adding it when there is room; -1 when the pool is full.
  int indexOf(const std::string& s);
  const std::vector<std::string>& strings() const { return strings_; }
  // The ConstantPool action, or nothing when no string was pooled.
  std::vector<uint8_t> action() const;

 private:
  std::map<std::string, int> index_;
  std::vector<std::string> strings_;
  size_t bytes_ = 2;  // the count field
};

struct PushValue {
  enum class Type { String, Number, True, False, Null, Undefined, Register };
  Type type;
  std::string text;
  double number = 0;
  int registerNumber = 0;

  static PushValue str(std::string s) { return {Type::String, std::move(s), 0, 0}; }
  static PushValue num(double v) { return {Type::Number, {}, v, 0}; }
  static PushValue boolean(bool b) { return {b ? Type::True : Type::False, {}, 0, 0}; }
  static PushValue null() { return {Type::Null, {}, 0, 0}; }
  static PushValue undefined() { return {Type::Undefined, {}, 0, 0}; }
  static PushValue reg(int r) { return {Type::Register, {}, 0, r}; }
};

class ActionWriter {
 public:
  explicit ActionWriter(ConstantPool& pool) : pool_(pool) {}

  void push(const PushValue& v);
  void op(uint8_t code);                                           // an action without operands
  void opWith(uint8_t code, const std::vector<uint8_t>& payload);  // an action with operands
  void storeRegister(int reg);
  void raw(const std::vector<uint8_t>& actions);  // complete actions, appended as they are
  int newLabel();
  void place(int label);
  void branch(uint8_t code, int label);  // Jump or If to a label
  // Current offset, after any pending push has been written.
  size_t offset();
  void patchU16(size_t at, uint16_t value);
  // The finished bytes with every branch resolved; throws when a branch does not fit.
  std::vector<uint8_t> finish(SourceLoc where);

  static void appendU16(std::vector<uint8_t>& out, uint16_t v);
  static void appendString(std::vector<uint8_t>& out, const std::string& s);

 private:
  void flush();

  ConstantPool& pool_;
  std::vector<uint8_t> bytes_;
  std::vector<uint8_t> pending_;  // payload of an unwritten Push
  std::vector<long> labels_;      // offset of each placed label, -1 until placed
  struct Fixup {
    size_t at;   // offset of the 16-bit operand
    size_t end;  // offset after the branch action
    int label;
  };
  std::vector<Fixup> fixups_;
};

}  // namespace nxr::asc
