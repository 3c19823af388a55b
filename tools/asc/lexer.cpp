#include "lexer.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>

namespace nxr::asc {
namespace {

const std::set<std::string, std::less<>> kKeywords = {
    "break",      "case",      "catch",   "continue",   "default",  "delete",  "do",
    "else",       "false",     "finally", "for",        "function", "if",      "in",
    "instanceof", "new",       "null",    "return",     "switch",   "this",    "throw",
    "true",       "try",       "typeof",  "var",        "void",     "while",   "with",
    "class",      "interface", "extends", "implements", "import",   "dynamic", "intrinsic",
};

// Longest first, so that the greedy match below finds e.g. '>>>=' before '>>'.
const char* const kPunctuators[] = {
    ">>>=", "===", "!==", ">>>", "<<=", ">>=", "==", "!=", "<=", ">=", "&&", "||",
    "++",   "--",  "+=",  "-=",  "*=",  "/=",  "%=", "&=", "|=", "^=", "<<", ">>",
    "{",    "}",   "(",   ")",   "[",   "]",   ";",  ",",  "<",  ">",  "+",  "-",
    "*",    "/",   "%",   "&",   "|",   "^",   "!",  "~",  "?",  ":",  "=",  ".",
};

bool isIdentStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}
bool isIdentPart(unsigned char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

class Lexer {
 public:
  explicit Lexer(std::string_view src) : src_(src) {}

  LexResult run() {
    LexResult result;
    bool newline = true;
    bool lineStart = true;  // only white space so far on this line
    while (true) {
      // White space, comments and directive lines.
      while (pos_ < src_.size()) {
        char c = src_[pos_];
        if (c == '\n') {
          advance();
          newline = true;
          lineStart = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
          advance();
        } else if (c == '/' && peek(1) == '/') {
          while (pos_ < src_.size() && src_[pos_] != '\n') advance();
        } else if (c == '/' && peek(1) == '*') {
          SourceLoc start = loc();
          advance();
          advance();
          while (true) {
            if (pos_ >= src_.size()) throw CompileError(start, "unterminated comment");
            if (src_[pos_] == '*' && peek(1) == '/') {
              advance();
              advance();
              break;
            }
            if (src_[pos_] == '\n') newline = true;
            advance();
          }
        } else if (c == '#' && lineStart) {
          directive(result);
        } else if (static_cast<unsigned char>(c) == 0xEF && peek(1) == '\xBB' &&
                   peek(2) == '\xBF' && pos_ == 0) {
          pos_ += 3;  // byte order mark
        } else {
          break;
        }
      }
      lineStart = false;
      Token t;
      t.loc = loc();
      t.newlineBefore = newline;
      newline = false;
      if (pendingFrameBreak_) {
        // Emitted where the directive stood, before the next real token.
        pendingFrameBreak_ = false;
        Token fb;
        fb.kind = TokenKind::FrameBreak;
        fb.loc = frameBreakLoc_;
        fb.newlineBefore = true;
        result.tokens.push_back(fb);
        t.newlineBefore = true;
      }
      if (pos_ >= src_.size()) {
        t.kind = TokenKind::End;
        result.tokens.push_back(t);
        return result;
      }
      unsigned char c = static_cast<unsigned char>(src_[pos_]);
      if (isIdentStart(c)) {
        size_t start = pos_;
        while (pos_ < src_.size() && isIdentPart(static_cast<unsigned char>(src_[pos_]))) advance();
        t.text = std::string(src_.substr(start, pos_ - start));
        t.kind = kKeywords.count(t.text) ? TokenKind::Keyword : TokenKind::Identifier;
      } else if ((c >= '0' && c <= '9') || (c == '.' && peek(1) >= '0' && peek(1) <= '9')) {
        t.kind = TokenKind::Number;
        t.number = number(t.loc);
      } else if (c == '"' || c == '\'') {
        t.kind = TokenKind::String;
        t.text = string(t.loc);
      } else {
        for (const char* p : kPunctuators) {
          std::string_view pv(p);
          if (src_.substr(pos_, pv.size()) == pv) {
            t.kind = TokenKind::Punctuator;
            t.text = std::string(pv);
            for (size_t i = 0; i < pv.size(); ++i) advance();
            break;
          }
        }
        if (t.kind != TokenKind::Punctuator) {
          std::string shown = c >= 0x20 && c < 0x7F
                                  ? std::string(1, static_cast<char>(c))
                                  : "\\x" + std::string(1, "0123456789ABCDEF"[c >> 4]) +
                                        std::string(1, "0123456789ABCDEF"[c & 15]);
          throw CompileError(t.loc, "unexpected character '" + shown + "'");
        }
      }
      result.tokens.push_back(std::move(t));
    }
  }

 private:
  char peek(size_t ahead) const { return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : '\0'; }
  SourceLoc loc() const { return {line_, column_}; }
  void advance() {
    if (pos_ >= src_.size()) return;
    unsigned char c = static_cast<unsigned char>(src_[pos_]);
    ++pos_;
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column_;  // columns count characters, not UTF-8 continuation bytes
    }
  }

  void directive(LexResult& result) {
    Directive d;
    d.loc = loc();
    advance();  // '#'
    std::string lineText;
    while (pos_ < src_.size() && src_[pos_] != '\n') {
      lineText += src_[pos_];
      advance();
    }
    std::vector<std::string> words;
    std::string word;
    for (char ch : lineText) {
      if (ch == ' ' || ch == '\t' || ch == '\r') {
        if (!word.empty()) words.push_back(std::move(word));
        word.clear();
      } else {
        word += ch;
      }
    }
    if (!word.empty()) words.push_back(std::move(word));
    if (words.empty()) throw CompileError(d.loc, "empty directive");
    d.name = words[0];
    d.args.assign(words.begin() + 1, words.end());
    if (d.name == "frame") {
      if (!d.args.empty()) throw CompileError(d.loc, "#frame takes no arguments");
      if (pendingFrameBreak_) {
        // Two breaks in a row still make an empty frame in between.
        Token fb;
        fb.kind = TokenKind::FrameBreak;
        fb.loc = frameBreakLoc_;
        fb.newlineBefore = true;
        result.tokens.push_back(fb);
      }
      pendingFrameBreak_ = true;
      frameBreakLoc_ = d.loc;
      ++frame_;
      return;
    }
    d.frame = frame_;
    result.directives.push_back(std::move(d));
  }

  double number(SourceLoc start) {
    size_t begin = pos_;
    double value = 0;
    if (src_[pos_] == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
      advance();
      advance();
      if (hexValue(peek(0)) < 0) throw CompileError(start, "malformed hexadecimal number");
      while (pos_ < src_.size() && hexValue(src_[pos_]) >= 0) {
        value = value * 16 + hexValue(src_[pos_]);
        advance();
      }
    } else {
      while (pos_ < src_.size() && src_[pos_] >= '0' && src_[pos_] <= '9') advance();
      if (peek(0) == '.') {
        advance();
        while (pos_ < src_.size() && src_[pos_] >= '0' && src_[pos_] <= '9') advance();
      }
      if (peek(0) == 'e' || peek(0) == 'E') {
        advance();
        if (peek(0) == '+' || peek(0) == '-') advance();
        if (!(peek(0) >= '0' && peek(0) <= '9'))
          throw CompileError(start, "malformed number exponent");
        while (pos_ < src_.size() && src_[pos_] >= '0' && src_[pos_] <= '9') advance();
      }
      std::string text(src_.substr(begin, pos_ - begin));
      value = std::strtod(text.c_str(), nullptr);
    }
    if (pos_ < src_.size() && isIdentStart(static_cast<unsigned char>(src_[pos_])))
      throw CompileError(start, "identifier starts immediately after a number");
    return value;
  }

  std::string string(SourceLoc start) {
    char quote = src_[pos_];
    advance();
    std::string out;
    while (true) {
      if (pos_ >= src_.size() || src_[pos_] == '\n')
        throw CompileError(start, "unterminated string");
      char c = src_[pos_];
      if (c == quote) {
        advance();
        break;
      }
      if (c != '\\') {
        out += c;
        advance();
        continue;
      }
      SourceLoc escLoc = loc();
      advance();
      if (pos_ >= src_.size()) throw CompileError(start, "unterminated string");
      char e = src_[pos_];
      advance();
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'v':
          out += '\v';
          break;
        case '\n':
          break;  // line continuation
        case 'x':
        case 'u': {
          int digits = e == 'x' ? 2 : 4;
          uint32_t cp = 0;
          for (int i = 0; i < digits; ++i) {
            int h = hexValue(peek(0));
            if (h < 0) throw CompileError(escLoc, std::string("malformed \\") + e + " escape");
            cp = cp * 16 + static_cast<uint32_t>(h);
            advance();
          }
          if (cp == 0) throw CompileError(escLoc, "a string cannot contain a NUL character");
          appendUtf8(out, cp);
          break;
        }
        case '0':
          if (peek(0) >= '0' && peek(0) <= '9')
            throw CompileError(escLoc, "octal escapes are not supported");
          throw CompileError(escLoc, "a string cannot contain a NUL character");
        default:
          out += e;  // \\ \' \" and any other character stand for themselves
      }
    }
    return out;
  }

  std::string_view src_;
  size_t pos_ = 0;
  int line_ = 1;
  int column_ = 1;
  int frame_ = 0;
  bool pendingFrameBreak_ = false;
  SourceLoc frameBreakLoc_;
};

}  // namespace

LexResult tokenize(std::string_view source) {
  if (source.find('\0') != std::string_view::npos) {
    // Locate the NUL for the message.
    SourceLoc at;
    for (char c : source.substr(0, source.find('\0'))) {
      if (c == '\n') {
        ++at.line;
        at.column = 1;
      } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
        ++at.column;
      }
    }
    throw CompileError(at, "source contains a NUL character");
  }
  return Lexer(source).run();
}

}  // namespace nxr::asc
