#include "action_writer.h"

#include <cmath>
#include <cstring>

#include "actions.h"

namespace nxr::asc {

int ConstantPool::indexOf(const std::string& s) {
  auto it = index_.find(s);
  if (it != index_.end()) return it->second;
  // The action's length field is 16 bits, and so is the count.
  if (strings_.size() >= 0xFFFF || bytes_ + s.size() + 1 > 0xFFFF) return -1;
  int idx = static_cast<int>(strings_.size());
  strings_.push_back(s);
  index_.emplace(s, idx);
  bytes_ += s.size() + 1;
  return idx;
}

std::vector<uint8_t> ConstantPool::action() const {
  std::vector<uint8_t> out;
  if (strings_.empty()) return out;
  out.push_back(op::ConstantPool);
  ActionWriter::appendU16(out, static_cast<uint16_t>(bytes_));
  ActionWriter::appendU16(out, static_cast<uint16_t>(strings_.size()));
  for (const auto& s : strings_) ActionWriter::appendString(out, s);
  return out;
}

void ActionWriter::appendU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void ActionWriter::appendString(std::vector<uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

void ActionWriter::push(const PushValue& v) {
  std::vector<uint8_t> item;
  switch (v.type) {
    case PushValue::Type::String: {
      int idx = pool_.indexOf(v.text);
      if (idx >= 0 && idx < 256) {
        item = {8, static_cast<uint8_t>(idx)};
      } else if (idx >= 0) {
        item = {9};
        appendU16(item, static_cast<uint16_t>(idx));
      } else {
        item = {0};
        appendString(item, v.text);
      }
      break;
    }
    case PushValue::Type::Number: {
      double d = v.number;
      bool negZero = d == 0 && std::signbit(d);
      if (d == std::floor(d) && d >= -2147483648.0 && d <= 2147483647.0 && !negZero) {
        uint32_t u = static_cast<uint32_t>(static_cast<int32_t>(d));
        item = {7, static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
      } else {
        // Doubles are stored as two little-endian 32-bit halves, the high half first.
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        item = {6};
        for (int shift : {32, 40, 48, 56, 0, 8, 16, 24})
          item.push_back(static_cast<uint8_t>(bits >> shift));
      }
      break;
    }
    case PushValue::Type::True:
      item = {5, 1};
      break;
    case PushValue::Type::False:
      item = {5, 0};
      break;
    case PushValue::Type::Null:
      item = {2};
      break;
    case PushValue::Type::Undefined:
      item = {3};
      break;
    case PushValue::Type::Register:
      item = {4, static_cast<uint8_t>(v.registerNumber)};
      break;
  }
  if (pending_.size() + item.size() > 0xFFFF) flush();
  pending_.insert(pending_.end(), item.begin(), item.end());
}

void ActionWriter::flush() {
  if (pending_.empty()) return;
  bytes_.push_back(op::Push);
  appendU16(bytes_, static_cast<uint16_t>(pending_.size()));
  bytes_.insert(bytes_.end(), pending_.begin(), pending_.end());
  pending_.clear();
}

void ActionWriter::op(uint8_t code) {
  flush();
  bytes_.push_back(code);
}

void ActionWriter::opWith(uint8_t code, const std::vector<uint8_t>& payload) {
  flush();
  bytes_.push_back(code);
  appendU16(bytes_, static_cast<uint16_t>(payload.size()));
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
}

void ActionWriter::storeRegister(int reg) {
  opWith(op::StoreRegister, {static_cast<uint8_t>(reg)});
}

void ActionWriter::raw(const std::vector<uint8_t>& actions) {
  flush();
  bytes_.insert(bytes_.end(), actions.begin(), actions.end());
}

int ActionWriter::newLabel() {
  labels_.push_back(-1);
  return static_cast<int>(labels_.size() - 1);
}

void ActionWriter::place(int label) {
  flush();
  labels_[label] = static_cast<long>(bytes_.size());
}

void ActionWriter::branch(uint8_t code, int label) {
  flush();
  bytes_.push_back(code);
  appendU16(bytes_, 2);
  size_t at = bytes_.size();
  appendU16(bytes_, 0);
  fixups_.push_back({at, bytes_.size(), label});
}

size_t ActionWriter::offset() {
  flush();
  return bytes_.size();
}

void ActionWriter::patchU16(size_t at, uint16_t value) {
  bytes_[at] = static_cast<uint8_t>(value & 0xFF);
  bytes_[at + 1] = static_cast<uint8_t>(value >> 8);
}

std::vector<uint8_t> ActionWriter::finish(SourceLoc where) {
  flush();
  for (const Fixup& f : fixups_) {
    long target = labels_[f.label];
    long delta = target - static_cast<long>(f.end);
    if (target < 0 || delta < -32768 || delta > 32767)
      throw CompileError(where, "code too large: a branch spans more than 32 KiB");
    patchU16(f.at, static_cast<uint16_t>(static_cast<int16_t>(delta)));
  }
  fixups_.clear();
  return std::move(bytes_);
}

}  // namespace nxr::asc
