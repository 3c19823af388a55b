// Builds the syntax tree from tokens.
#pragma once

#include <vector>

#include "ast.h"
#include "lexer.h"

namespace nxr::asc {

// Throws CompileError on a syntax error.
Program parseProgram(const std::vector<Token>& tokens);

}  // namespace nxr::asc
