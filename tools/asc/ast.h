// Syntax tree of a compiled program: one list of statements per frame.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "diagnostics.h"

namespace nxr::asc {

enum class NodeKind {
  // Expressions
  Number,  // number
  String,  // text
  True,
  False,
  Null,
  Undefined,
  Identifier,  // text
  This,
  Member,       // kids[0].text (text = property name)
  Index,        // kids[0][kids[1]]
  Call,         // kids[0](kids[1..])
  New,          // new kids[0](kids[1..])
  Unary,        // text kids[0]: ! ~ - + typeof void delete
  Update,       // text is "++" or "--"; flag = prefix; kids[0] target
  Binary,       // kids[0] text kids[1]
  Logical,      // && or ||
  Conditional,  // kids[0] ? kids[1] : kids[2]
  Assign,       // kids[0] text kids[1]; text is "=" or a compound operator such as "+="
  Function,     // fn
  ObjectLit,    // kids alternate key (String node) and value
  ArrayLit,     // kids are the elements
  Comma,        // kids evaluated in order, value of the last
  // Statements
  Var,       // kids are VarDecl
  VarDecl,   // text name; kids[0] initializer when present
  ExprStmt,  // kids[0]
  Block,     // kids
  If,        // kids[0] cond, kids[1] then, kids[2] else (optional)
  While,     // kids[0] cond, kids[1] body
  DoWhile,   // kids[0] body, kids[1] cond
  For,       // kids[0] init, kids[1] cond, kids[2] update (each may be Empty), kids[3] body
  ForIn,  // kids[0] target (Var with one VarDecl, or an expression), kids[1] object, kids[2] body
  Break,
  Continue,
  Return,        // kids[0] value when present
  Throw,         // kids[0]
  Switch,        // kids[0] discriminant, then Case nodes
  Case,          // flag = default; kids[0] test (not for default), then statements
  Try,           // kids[0] try Block, kids[1] catch Block or Empty, kids[2] finally Block or Empty;
                 // text = catch variable name
  FunctionDecl,  // fn
  Empty,
};

struct Node;
using NodePtr = std::unique_ptr<Node>;
struct FunctionInfo;

struct Node {
  NodeKind kind;
  SourceLoc loc;
  std::string text;
  double number = 0;
  bool flag = false;
  std::vector<NodePtr> kids;
  std::shared_ptr<FunctionInfo> fn;

  Node(NodeKind k, SourceLoc l) : kind(k), loc(l) {}
};

// A function, or the top-level script of a frame. The code generator fills in the analysis.
struct FunctionInfo {
  std::string name;  // empty for function expressions without a name
  std::vector<std::string> params;
  std::vector<NodePtr> body;
  SourceLoc loc;
  bool isScript = false;      // a frame's top-level code
  bool isExpression = false;  // a function expression: its name is visible only inside it

  // Analysis
  FunctionInfo* parent = nullptr;
  std::set<std::string> declared;  // params, vars, inner function declarations, catch names
  std::set<std::string> captured;  // declared names used by an inner function
  bool usesThis = false;
  bool usesArguments = false;
  bool usesEval = false;      // eval() or other name lookups by text: keep every local named
  bool bindsOwnName = false;  // the expression's name is a local holding the function itself
};

struct Program {
  std::vector<std::shared_ptr<FunctionInfo>> frames;  // one script per frame
};

}  // namespace nxr::asc
