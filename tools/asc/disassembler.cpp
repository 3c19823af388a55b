#include "disassembler.h"

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "actions.h"
#include "swf_writer.h"

namespace nxr::asc {
namespace {

// Largest uncompressed movie the disassembler accepts.
constexpr uint32_t kMaxMovieBytes = 64u << 20;

struct Truncated : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t pos() const { return pos_; }
  size_t size() const { return size_; }
  bool atEnd() const { return pos_ >= size_; }
  uint8_t u8() {
    need(1);
    return data_[pos_++];
  }
  uint16_t u16() {
    need(2);
    uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t u32() {
    uint32_t lo = u16();
    return lo | (static_cast<uint32_t>(u16()) << 16);
  }
  std::string str() {
    size_t start = pos_;
    while (pos_ < size_ && data_[pos_] != 0) ++pos_;
    if (pos_ >= size_) throw Truncated("unterminated string");
    std::string s(reinterpret_cast<const char*>(data_ + start), pos_ - start);
    ++pos_;
    return s;
  }
  void skip(size_t n) {
    need(n);
    pos_ += n;
  }
  const uint8_t* here() const { return data_ + pos_; }

 private:
  void need(size_t n) const {
    if (size_ - pos_ < n) throw Truncated("data ends early");
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

std::string quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string number(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  char buf[40];
  for (int precision = 15; precision <= 17; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, d);
    if (std::strtod(buf, nullptr) == d) break;
  }
  return buf;
}

std::string hex4(size_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04zX", v);
  return buf;
}

const char* tagName(int code) {
  switch (code) {
    case 0:
      return "End";
    case 1:
      return "ShowFrame";
    case 2:
      return "DefineShape";
    case 9:
      return "SetBackgroundColor";
    case 12:
      return "DoAction";
    case 26:
      return "PlaceObject2";
    case 28:
      return "RemoveObject2";
    case 39:
      return "DefineSprite";
    case 43:
      return "FrameLabel";
    case 56:
      return "ExportAssets";
    case 59:
      return "DoInitAction";
    case 69:
      return "FileAttributes";
    case 77:
      return "Metadata";
    case 82:
      return "DoABC";
    default:
      return nullptr;
  }
}

class Disassembler {
 public:
  explicit Disassembler(std::string& out) : out_(out) {}

  void actions(const uint8_t* data, size_t size, const std::string& indent) {
    Reader r(data, size);
    std::vector<std::string> pool;
    // End offsets of the function bodies being listed, for indentation.
    std::vector<size_t> bodies;
    while (!r.atEnd()) {
      while (!bodies.empty() && r.pos() >= bodies.back()) bodies.pop_back();
      size_t at = r.pos();
      uint8_t code = r.u8();
      std::string line = indent + hex4(at) + " " + std::string(bodies.size() * 2, ' ');
      const char* name = actionName(code);
      line += name ? name : "Unknown0x" + hex4(code).substr(2);
      if (code < 0x80) {
        out_ += line + "\n";
        if (code == op::End && bodies.empty() && r.atEnd()) break;
        continue;
      }
      uint16_t length = r.u16();
      const uint8_t* payload = r.here();
      r.skip(length);  // checks that the operands are inside the data
      Reader p(payload, length);
      size_t next = r.pos();
      line += operands(code, p, pool, next, bodies);
      out_ += line + "\n";
    }
    while (!bodies.empty() && r.pos() >= bodies.back()) bodies.pop_back();
    if (!bodies.empty()) out_ += indent + "; a block runs past the end of the actions\n";
  }

 private:
  std::string operands(uint8_t code, Reader& p, std::vector<std::string>& pool, size_t next,
                       std::vector<size_t>& bodies) {
    std::string s;
    switch (code) {
      case op::ConstantPool: {
        uint16_t count = p.u16();
        pool.clear();
        for (uint16_t i = 0; i < count; ++i) {
          pool.push_back(p.str());
          s += " " + std::to_string(i) + ":" + quote(pool.back());
        }
        break;
      }
      case op::Push:
        while (!p.atEnd()) {
          uint8_t type = p.u8();
          s += " ";
          switch (type) {
            case 0:
              s += quote(p.str());
              break;
            case 1: {
              uint32_t bits = p.u32();
              float f;
              std::memcpy(&f, &bits, sizeof f);
              s += number(f) + "f";
              break;
            }
            case 2:
              s += "null";
              break;
            case 3:
              s += "undefined";
              break;
            case 4:
              s += "r" + std::to_string(p.u8());
              break;
            case 5:
              s += p.u8() ? "true" : "false";
              break;
            case 6: {
              uint64_t hi = p.u32();
              uint64_t lo = p.u32();
              uint64_t bits = (hi << 32) | lo;
              double d;
              std::memcpy(&d, &bits, sizeof d);
              s += number(d);
              break;
            }
            case 7:
              s += std::to_string(static_cast<int32_t>(p.u32()));
              break;
            case 8:
            case 9: {
              size_t idx = type == 8 ? p.u8() : p.u16();
              s += "c" + std::to_string(idx) + ":" +
                   (idx < pool.size() ? quote(pool[idx]) : std::string("<missing>"));
              break;
            }
            default:
              s += "<unknown type " + std::to_string(type) + ">";
              return s;
          }
        }
        break;
      case op::Jump:
      case op::If: {
        int16_t delta = static_cast<int16_t>(p.u16());
        long target = static_cast<long>(next) + delta;
        s += " -> " + (target < 0 ? std::to_string(target) : hex4(static_cast<size_t>(target)));
        break;
      }
      case op::StoreRegister:
        s += " r" + std::to_string(p.u8());
        break;
      case op::GotoFrame:
        s += " " + std::to_string(p.u16());
        break;
      case op::GetURL: {
        std::string url = p.str();
        s += " " + quote(url) + " " + quote(p.str());
        break;
      }
      case op::GetURL2: {
        uint8_t f = p.u8();
        s += " method=" + std::to_string(f & 3);
        if (f & 0x40) s += " target";
        if (f & 0x80) s += " variables";
        break;
      }
      case op::GotoFrame2: {
        uint8_t f = p.u8();
        s += (f & 1) ? " play" : " stop";
        if (f & 2) s += " bias=" + std::to_string(p.u16());
        break;
      }
      case 0x8A:  // WaitForFrame
        s += " " + std::to_string(p.u16());
        s += " skip=" + std::to_string(p.u8());
        break;
      case 0x8D:  // WaitForFrame2
        s += " skip=" + std::to_string(p.u8());
        break;
      case 0x8B:  // SetTarget
      case op::GoToLabel:
        s += " " + quote(p.str());
        break;
      case op::DefineFunction: {
        s += " " + quote(p.str()) + " (";
        uint16_t n = p.u16();
        for (uint16_t i = 0; i < n; ++i) s += (i ? ", " : "") + p.str();
        uint16_t size = p.u16();
        s += ") size=" + std::to_string(size);
        bodies.push_back(next + size);
        break;
      }
      case op::DefineFunction2: {
        s += " " + quote(p.str());
        uint16_t n = p.u16();
        uint8_t regs = p.u8();
        uint16_t flags = p.u16();
        s += " (";
        for (uint16_t i = 0; i < n; ++i) {
          uint8_t reg = p.u8();
          std::string pname = p.str();
          s += (i ? ", " : "") + (reg ? "r" + std::to_string(reg) + ":" : std::string()) + pname;
        }
        s += ") regs=" + std::to_string(regs) + " flags=";
        static const char* const kFlagNames[] = {
            "PreloadThis",       "SuppressThis",  "PreloadArguments",
            "SuppressArguments", "PreloadSuper",  "SuppressSuper",
            "PreloadRoot",       "PreloadParent", "PreloadGlobal"};
        std::string names;
        for (int b = 0; b < 9; ++b)
          if (flags & (1 << b)) names += (names.empty() ? "" : "|") + std::string(kFlagNames[b]);
        s += names.empty() ? "0" : names;
        uint16_t size = p.u16();
        s += " size=" + std::to_string(size);
        bodies.push_back(next + size);
        break;
      }
      case op::Try: {
        uint8_t f = p.u8();
        uint16_t trySize = p.u16(), catchSize = p.u16(), finallySize = p.u16();
        std::string var =
            (f & tryflag::CatchInRegister) ? "r" + std::to_string(p.u8()) : quote(p.str());
        size_t tryEnd = next + trySize, catchEnd = tryEnd + catchSize;
        s += " try " + hex4(next) + "-" + hex4(tryEnd);
        if (f & tryflag::HasCatch)
          s += " catch(" + var + ") " + hex4(tryEnd) + "-" + hex4(catchEnd);
        if (f & tryflag::HasFinally)
          s += " finally " + hex4(catchEnd) + "-" + hex4(catchEnd + finallySize);
        bodies.push_back(catchEnd + finallySize);  // the blocks are listed indented
        break;
      }
      case 0x94:  // With
        s += " size=" + std::to_string(p.u16());
        break;
      default:
        if (p.size() > 0) s += " <" + std::to_string(p.size()) + " bytes>";
        break;
    }
    return s;
  }

  std::string& out_;
};

void listTags(Reader& r, std::string& out, const std::string& indent, int depth) {
  while (!r.atEnd()) {
    uint16_t header = r.u16();
    int code = header >> 6;
    uint32_t length = header & 0x3F;
    if (length == 0x3F) length = r.u32();
    if (length > r.size() - r.pos()) throw Truncated("tag runs past the end of the file");
    Reader body(r.here(), length);
    r.skip(length);
    const char* name = tagName(code);
    std::string line = indent + (name ? name : "Tag" + std::to_string(code)) + " (" +
                       std::to_string(code) + ") length " + std::to_string(length);
    switch (code) {
      case tag::FileAttributes: {
        char buf[24];
        std::snprintf(buf, sizeof buf, " flags=0x%08X", body.u32());
        out += line + buf + "\n";
        break;
      }
      case tag::SetBackgroundColor: {
        char buf[16];
        uint8_t red = body.u8(), green = body.u8(), blue = body.u8();
        std::snprintf(buf, sizeof buf, " #%02X%02X%02X", red, green, blue);
        out += line + buf + "\n";
        break;
      }
      case tag::FrameLabel:
        out += line + " " + quote(body.str()) + "\n";
        break;
      case tag::DoAction:
        out += line + "\n";
        Disassembler(out).actions(body.here(), length, indent + "  ");
        break;
      case tag::DoInitAction: {
        uint16_t sprite = body.u16();
        out += line + " sprite=" + std::to_string(sprite) + "\n";
        Disassembler(out).actions(body.here(), length - 2, indent + "  ");
        break;
      }
      case tag::DefineSprite: {
        uint16_t id = body.u16();
        uint16_t frames = body.u16();
        out += line + " id=" + std::to_string(id) + " frames=" + std::to_string(frames) + "\n";
        if (depth < 8) listTags(body, out, indent + "  ", depth + 1);
        break;
      }
      default:
        out += line + "\n";
    }
    if (code == tag::End) break;
  }
}

}  // namespace

bool disassemble(const std::vector<uint8_t>& file, std::string& out, std::string& error) {
  out.clear();
  if (file.size() < 8 || (file[0] != 'F' && file[0] != 'C') || file[1] != 'W' || file[2] != 'S') {
    error = "not a SWF file (FWS or CWS)";
    return false;
  }
  int version = file[3];
  uint32_t total = static_cast<uint32_t>(file[4] | (file[5] << 8) | (file[6] << 16)) |
                   (static_cast<uint32_t>(file[7]) << 24);
  std::vector<uint8_t> body;
  if (file[0] == 'C') {
    if (total < 8 || total > kMaxMovieBytes) {
      error = "implausible uncompressed length " + std::to_string(total);
      return false;
    }
    body.resize(total - 8);
    uLongf size = static_cast<uLongf>(body.size());
    int rc = uncompress(body.data(), &size, file.data() + 8, static_cast<uLong>(file.size() - 8));
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      error = "compressed data is damaged";
      return false;
    }
    body.resize(size);
  } else {
    body.assign(file.begin() + 8, file.end());
  }
  try {
    Reader r(body.data(), body.size());
    uint8_t first = r.u8();
    int bits = first >> 3;
    size_t rectBytes = (5 + 4 * static_cast<size_t>(bits) + 7) / 8;
    // Decode Xmax and Ymax from the bit stream.
    std::vector<uint8_t> rect(rectBytes);
    rect[0] = first;
    for (size_t i = 1; i < rectBytes; ++i) rect[i] = r.u8();
    auto field = [&](int index) {
      int64_t v = 0;
      size_t start = 5 + static_cast<size_t>(index) * static_cast<size_t>(bits);
      for (int b = 0; b < bits; ++b) {
        size_t bit = start + static_cast<size_t>(b);
        v = (v << 1) | ((rect[bit / 8] >> (7 - bit % 8)) & 1);
      }
      if (bits > 0 && (v >> (bits - 1)) & 1) v -= int64_t(1) << bits;  // sign extension
      return v;
    };
    int64_t xmin = field(0), xmax = field(1), ymin = field(2), ymax = field(3);
    uint16_t rate = r.u16();
    uint16_t frames = r.u16();
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s version %d, %u bytes, stage %gx%g px, %g fps, %u frames\n",
                  file[0] == 'C' ? "CWS" : "FWS", version, total,
                  static_cast<double>(xmax - xmin) / 20, static_cast<double>(ymax - ymin) / 20,
                  rate / 256.0, frames);
    out += buf;
    listTags(r, out, "", 0);
  } catch (const Truncated& e) {
    error = std::string("malformed SWF: ") + e.what();
    return false;
  }
  return true;
}

}  // namespace nxr::asc
