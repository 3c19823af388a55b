// Splits ActionScript source (UTF-8) into tokens and collects the '#' directive lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "diagnostics.h"

namespace nxr::asc {

enum class TokenKind {
  End,
  Identifier,
  Keyword,
  Number,
  String,
  Punctuator,
  FrameBreak,  // the '#frame' directive: following code belongs to the next frame
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;   // identifier, keyword, punctuator, or the decoded string value
  double number = 0;  // value of a Number token
  SourceLoc loc;
  bool newlineBefore = false;  // a line break separates this token from the previous one
};

struct Directive {
  std::string name;               // without the '#'
  std::vector<std::string> args;  // the words after the name
  SourceLoc loc;
  int frame = 0;  // index of the frame the directive appears in
};

struct LexResult {
  std::vector<Token> tokens;  // always ends with an End token
  std::vector<Directive> directives;
};

// Throws CompileError on malformed input.
LexResult tokenize(std::string_view source);

}  // namespace nxr::asc
