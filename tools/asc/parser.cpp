#include "parser.h"

#include <cmath>
#include <cstdio>
#include <map>

namespace nxr::asc {
namespace {

// Deeper nesting than this is refused, so that hostile input cannot exhaust the stack.
constexpr int kMaxDepth = 500;

const std::map<std::string, int, std::less<>> kBinaryPrecedence = {
    {"||", 1},  {"&&", 2}, {"|", 3}, {"^", 4},  {"&", 5},  {"==", 6},         {"!=", 6}, {"===", 6},
    {"!==", 6}, {"<", 7},  {">", 7}, {"<=", 7}, {">=", 7}, {"instanceof", 7}, {"<<", 8}, {">>", 8},
    {">>>", 8}, {"+", 9},  {"-", 9}, {"*", 10}, {"/", 10}, {"%", 10},
};

bool isAssignOp(const std::string& s) {
  return s == "=" || s == "+=" || s == "-=" || s == "*=" || s == "/=" || s == "%=" || s == "<<=" ||
         s == ">>=" || s == ">>>=" || s == "&=" || s == "|=" || s == "^=";
}

std::string numberKey(double v) {
  char buf[40];
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", v);
  } else {
    std::snprintf(buf, sizeof buf, "%.15g", v);
  }
  return buf;
}

class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : toks_(tokens) {}

  Program program() {
    Program prog;
    while (true) {
      auto script = std::make_shared<FunctionInfo>();
      script->isScript = true;
      script->loc = cur().loc;
      while (cur().kind != TokenKind::End && cur().kind != TokenKind::FrameBreak)
        script->body.push_back(statement());
      prog.frames.push_back(script);
      if (cur().kind == TokenKind::End) break;
      ++pos_;  // FrameBreak
    }
    return prog;
  }

 private:
  struct DepthGuard {
    explicit DepthGuard(Parser& p) : p(p) {
      if (++p.depth_ > kMaxDepth) throw CompileError(p.cur().loc, "nesting too deep");
    }
    ~DepthGuard() { --p.depth_; }
    Parser& p;
  };

  // Loops that build left-nested trees count against the same limit as recursion, because
  // the later stages walk those trees recursively.
  void checkChain(int chain) const {
    if (depth_ + chain > kMaxDepth) throw CompileError(cur().loc, "nesting too deep");
  }

  const Token& cur() const { return toks_[pos_]; }
  const Token& next() const { return toks_[pos_ + 1 < toks_.size() ? pos_ + 1 : pos_]; }
  bool isPunct(const char* p) const {
    return cur().kind == TokenKind::Punctuator && cur().text == p;
  }
  bool isKeyword(const char* k) const {
    return cur().kind == TokenKind::Keyword && cur().text == k;
  }
  bool acceptPunct(const char* p) {
    if (!isPunct(p)) return false;
    ++pos_;
    return true;
  }
  bool acceptKeyword(const char* k) {
    if (!isKeyword(k)) return false;
    ++pos_;
    return true;
  }
  [[noreturn]] void fail(const std::string& what) const {
    std::string found;
    switch (cur().kind) {
      case TokenKind::End:
        found = "end of input";
        break;
      case TokenKind::FrameBreak:
        found = "#frame";
        break;
      case TokenKind::String:
        found = "a string";
        break;
      case TokenKind::Number:
        found = "a number";
        break;
      default:
        found = "'" + cur().text + "'";
    }
    throw CompileError(cur().loc, "expected " + what + " but found " + found);
  }
  void expectPunct(const char* p) {
    if (!acceptPunct(p)) fail(std::string("'") + p + "'");
  }
  std::string identifier() {
    if (cur().kind != TokenKind::Identifier) fail("an identifier");
    return toks_[pos_++].text;
  }
  // Property names after '.' and in object literals may be keywords.
  std::string propertyName() {
    if (cur().kind != TokenKind::Identifier && cur().kind != TokenKind::Keyword)
      fail("a property name");
    return toks_[pos_++].text;
  }
  void consumeSemicolon() {
    if (acceptPunct(";")) return;
    if (isPunct("}") || cur().kind == TokenKind::End || cur().kind == TokenKind::FrameBreak ||
        cur().newlineBefore)
      return;
    fail("';'");
  }
  // ': Type' annotations are accepted and ignored.
  void typeAnnotation() {
    if (!acceptPunct(":")) return;
    if (cur().kind != TokenKind::Identifier && !isKeyword("void")) fail("a type name");
    ++pos_;
    while (acceptPunct(".")) identifier();
  }
  NodePtr make(NodeKind k, SourceLoc loc) { return std::make_unique<Node>(k, loc); }

  // ---- statements

  NodePtr statement() {
    DepthGuard guard(*this);
    SourceLoc loc = cur().loc;
    if (cur().kind == TokenKind::Keyword) {
      const std::string& k = cur().text;
      if (k == "var") {
        ++pos_;
        auto n = varList(loc);
        consumeSemicolon();
        return n;
      }
      if (k == "function" && next().kind == TokenKind::Identifier) {
        ++pos_;
        auto n = make(NodeKind::FunctionDecl, loc);
        n->fn = function(loc, true);
        return n;
      }
      if (k == "if") return ifStatement();
      if (k == "while") {
        ++pos_;
        auto n = make(NodeKind::While, loc);
        expectPunct("(");
        n->kids.push_back(expression());
        expectPunct(")");
        n->kids.push_back(statement());
        return n;
      }
      if (k == "do") {
        ++pos_;
        auto n = make(NodeKind::DoWhile, loc);
        n->kids.push_back(statement());
        if (!acceptKeyword("while")) fail("'while'");
        expectPunct("(");
        n->kids.push_back(expression());
        expectPunct(")");
        acceptPunct(";");
        return n;
      }
      if (k == "for") return forStatement();
      if (k == "break" || k == "continue") {
        auto n = make(k == "break" ? NodeKind::Break : NodeKind::Continue, loc);
        ++pos_;
        if (cur().kind == TokenKind::Identifier && !cur().newlineBefore)
          throw CompileError(cur().loc, "labelled break and continue are not supported");
        consumeSemicolon();
        return n;
      }
      if (k == "return") {
        ++pos_;
        auto n = make(NodeKind::Return, loc);
        if (!isPunct(";") && !isPunct("}") && cur().kind != TokenKind::End &&
            cur().kind != TokenKind::FrameBreak && !cur().newlineBefore)
          n->kids.push_back(expression());
        consumeSemicolon();
        return n;
      }
      if (k == "throw") {
        ++pos_;
        auto n = make(NodeKind::Throw, loc);
        if (cur().newlineBefore)
          throw CompileError(cur().loc, "no line break allowed after 'throw'");
        n->kids.push_back(expression());
        consumeSemicolon();
        return n;
      }
      if (k == "switch") return switchStatement();
      if (k == "try") return tryStatement();
      if (k == "with") throw CompileError(loc, "'with' is not supported");
      if (k == "class" || k == "interface" || k == "import" || k == "dynamic" || k == "intrinsic")
        throw CompileError(loc, "'" + k + "' declarations are not supported");
    }
    if (isPunct("{")) return block();
    if (acceptPunct(";")) return make(NodeKind::Empty, loc);
    auto n = make(NodeKind::ExprStmt, loc);
    n->kids.push_back(expression());
    consumeSemicolon();
    return n;
  }

  NodePtr block() {
    auto n = make(NodeKind::Block, cur().loc);
    expectPunct("{");
    while (!isPunct("}")) {
      if (cur().kind == TokenKind::End || cur().kind == TokenKind::FrameBreak) fail("'}'");
      n->kids.push_back(statement());
    }
    ++pos_;
    return n;
  }

  NodePtr varList(SourceLoc loc) {
    auto n = make(NodeKind::Var, loc);
    do {
      auto d = make(NodeKind::VarDecl, cur().loc);
      d->text = identifier();
      typeAnnotation();
      if (acceptPunct("=")) d->kids.push_back(assignment());
      n->kids.push_back(std::move(d));
    } while (acceptPunct(","));
    return n;
  }

  NodePtr ifStatement() {
    auto n = make(NodeKind::If, cur().loc);
    ++pos_;
    expectPunct("(");
    n->kids.push_back(expression());
    expectPunct(")");
    n->kids.push_back(statement());
    if (acceptKeyword("else")) n->kids.push_back(statement());
    return n;
  }

  NodePtr forStatement() {
    SourceLoc loc = cur().loc;
    ++pos_;
    expectPunct("(");
    NodePtr init;
    if (isPunct(";")) {
      init = make(NodeKind::Empty, cur().loc);
    } else if (isKeyword("var")) {
      SourceLoc vloc = cur().loc;
      ++pos_;
      init = varList(vloc);
    } else {
      init = expression();
    }
    if (acceptKeyword("in")) {
      if (init->kind == NodeKind::Var) {
        if (init->kids.size() != 1 || !init->kids[0]->kids.empty())
          throw CompileError(init->loc, "a for-in loop declares exactly one variable");
      } else if (init->kind != NodeKind::Identifier && init->kind != NodeKind::Member &&
                 init->kind != NodeKind::Index) {
        throw CompileError(init->loc, "invalid for-in target");
      }
      auto n = make(NodeKind::ForIn, loc);
      n->kids.push_back(std::move(init));
      n->kids.push_back(expression());
      expectPunct(")");
      n->kids.push_back(statement());
      return n;
    }
    auto n = make(NodeKind::For, loc);
    if (init->kind != NodeKind::Var && init->kind != NodeKind::Empty) {
      auto stmt = make(NodeKind::ExprStmt, init->loc);
      stmt->kids.push_back(std::move(init));
      init = std::move(stmt);
    }
    n->kids.push_back(std::move(init));
    expectPunct(";");
    n->kids.push_back(isPunct(";") ? make(NodeKind::Empty, cur().loc) : expression());
    expectPunct(";");
    n->kids.push_back(isPunct(")") ? make(NodeKind::Empty, cur().loc) : expression());
    expectPunct(")");
    n->kids.push_back(statement());
    return n;
  }

  NodePtr switchStatement() {
    auto n = make(NodeKind::Switch, cur().loc);
    ++pos_;
    expectPunct("(");
    n->kids.push_back(expression());
    expectPunct(")");
    expectPunct("{");
    bool sawDefault = false;
    while (!acceptPunct("}")) {
      auto c = make(NodeKind::Case, cur().loc);
      if (acceptKeyword("default")) {
        if (sawDefault) throw CompileError(c->loc, "more than one default in a switch");
        sawDefault = true;
        c->flag = true;
      } else if (acceptKeyword("case")) {
        c->kids.push_back(expression());
      } else {
        fail("'case', 'default' or '}'");
      }
      expectPunct(":");
      while (!isKeyword("case") && !isKeyword("default") && !isPunct("}")) {
        if (cur().kind == TokenKind::End || cur().kind == TokenKind::FrameBreak) fail("'}'");
        c->kids.push_back(statement());
      }
      n->kids.push_back(std::move(c));
    }
    return n;
  }

  NodePtr tryStatement() {
    auto n = make(NodeKind::Try, cur().loc);
    ++pos_;
    n->kids.push_back(block());
    if (acceptKeyword("catch")) {
      expectPunct("(");
      n->text = identifier();
      typeAnnotation();
      expectPunct(")");
      n->kids.push_back(block());
    } else {
      n->kids.push_back(make(NodeKind::Empty, cur().loc));
    }
    if (acceptKeyword("finally")) {
      n->kids.push_back(block());
    } else {
      n->kids.push_back(make(NodeKind::Empty, cur().loc));
    }
    if (n->kids[1]->kind == NodeKind::Empty && n->kids[2]->kind == NodeKind::Empty)
      fail("'catch' or 'finally'");
    return n;
  }

  // After the 'function' keyword.
  std::shared_ptr<FunctionInfo> function(SourceLoc loc, bool needName) {
    auto fn = std::make_shared<FunctionInfo>();
    fn->loc = loc;
    if (cur().kind == TokenKind::Identifier) {
      fn->name = identifier();
    } else if (needName) {
      fail("a function name");
    }
    expectPunct("(");
    if (!isPunct(")")) {
      do {
        fn->params.push_back(identifier());
        typeAnnotation();
      } while (acceptPunct(","));
    }
    expectPunct(")");
    typeAnnotation();
    expectPunct("{");
    while (!isPunct("}")) {
      if (cur().kind == TokenKind::End || cur().kind == TokenKind::FrameBreak) fail("'}'");
      fn->body.push_back(statement());
    }
    ++pos_;
    return fn;
  }

  // ---- expressions

  NodePtr expression() {
    NodePtr first = assignment();
    if (!isPunct(",")) return first;
    auto n = make(NodeKind::Comma, first->loc);
    n->kids.push_back(std::move(first));
    while (acceptPunct(",")) n->kids.push_back(assignment());
    return n;
  }

  NodePtr assignment() {
    DepthGuard guard(*this);
    NodePtr lhs = conditional();
    if (cur().kind == TokenKind::Punctuator && isAssignOp(cur().text)) {
      if (lhs->kind != NodeKind::Identifier && lhs->kind != NodeKind::Member &&
          lhs->kind != NodeKind::Index)
        throw CompileError(cur().loc, "invalid assignment target");
      auto n = make(NodeKind::Assign, cur().loc);
      n->text = cur().text;
      ++pos_;
      n->kids.push_back(std::move(lhs));
      n->kids.push_back(assignment());
      return n;
    }
    return lhs;
  }

  NodePtr conditional() {
    NodePtr c = binary(1);
    if (!isPunct("?")) return c;
    auto n = make(NodeKind::Conditional, cur().loc);
    ++pos_;
    n->kids.push_back(std::move(c));
    n->kids.push_back(assignment());
    expectPunct(":");
    n->kids.push_back(assignment());
    return n;
  }

  int precedenceOfCurrent() const {
    if (cur().kind != TokenKind::Punctuator && !isKeyword("instanceof")) return 0;
    auto it = kBinaryPrecedence.find(cur().text);
    return it == kBinaryPrecedence.end() ? 0 : it->second;
  }

  NodePtr binary(int minPrec) {
    DepthGuard guard(*this);
    NodePtr lhs = unary();
    int chain = 0;  // each operator in a row makes the tree one level deeper
    while (true) {
      int prec = precedenceOfCurrent();
      if (prec == 0 || prec < minPrec) return lhs;
      checkChain(++chain);
      std::string op = cur().text;
      SourceLoc loc = cur().loc;
      ++pos_;
      NodePtr rhs = binary(prec + 1);
      auto n = make(op == "&&" || op == "||" ? NodeKind::Logical : NodeKind::Binary, loc);
      n->text = op;
      n->kids.push_back(std::move(lhs));
      n->kids.push_back(std::move(rhs));
      lhs = std::move(n);
    }
  }

  NodePtr unary() {
    DepthGuard guard(*this);
    SourceLoc loc = cur().loc;
    if (cur().kind == TokenKind::Punctuator &&
        (cur().text == "!" || cur().text == "~" || cur().text == "-" || cur().text == "+")) {
      std::string op = cur().text;
      ++pos_;
      NodePtr operand = unary();
      if (op == "-" && operand->kind == NodeKind::Number) {
        operand->number = -operand->number;
        operand->loc = loc;
        return operand;
      }
      auto n = make(NodeKind::Unary, loc);
      n->text = op;
      n->kids.push_back(std::move(operand));
      return n;
    }
    if (isKeyword("typeof") || isKeyword("void") || isKeyword("delete")) {
      std::string op = cur().text;
      ++pos_;
      auto n = make(NodeKind::Unary, loc);
      n->text = op;
      n->kids.push_back(unary());
      if (op == "delete" && n->kids[0]->kind != NodeKind::Identifier &&
          n->kids[0]->kind != NodeKind::Member && n->kids[0]->kind != NodeKind::Index)
        throw CompileError(loc, "delete needs a variable or a property");
      return n;
    }
    if (isPunct("++") || isPunct("--")) {
      auto n = make(NodeKind::Update, loc);
      n->text = cur().text;
      n->flag = true;
      ++pos_;
      n->kids.push_back(unary());
      checkUpdateTarget(*n);
      return n;
    }
    NodePtr e = postfix();
    return e;
  }

  void checkUpdateTarget(const Node& n) {
    NodeKind k = n.kids[0]->kind;
    if (k != NodeKind::Identifier && k != NodeKind::Member && k != NodeKind::Index)
      throw CompileError(n.loc, "invalid " + n.text + " target");
  }

  NodePtr postfix() {
    NodePtr e = leftHandSide();
    if ((isPunct("++") || isPunct("--")) && !cur().newlineBefore) {
      auto n = make(NodeKind::Update, cur().loc);
      n->text = cur().text;
      n->flag = false;
      ++pos_;
      n->kids.push_back(std::move(e));
      checkUpdateTarget(*n);
      return n;
    }
    return e;
  }

  void arguments(Node& call) {
    expectPunct("(");
    if (!isPunct(")")) {
      do {
        call.kids.push_back(assignment());
      } while (acceptPunct(","));
    }
    expectPunct(")");
  }

  // Member accesses and calls, with 'new' binding to the nearest argument list.
  NodePtr leftHandSide() {
    DepthGuard guard(*this);
    NodePtr e;
    if (isKeyword("new")) {
      SourceLoc loc = cur().loc;
      ++pos_;
      auto n = make(NodeKind::New, loc);
      n->kids.push_back(memberOnly());
      if (isPunct("(")) arguments(*n);
      e = std::move(n);
    } else {
      e = primary();
    }
    int chain = 0;
    while (true) {
      SourceLoc loc = cur().loc;
      checkChain(++chain);
      if (acceptPunct(".")) {
        auto n = make(NodeKind::Member, loc);
        n->text = propertyName();
        n->kids.push_back(std::move(e));
        e = std::move(n);
      } else if (acceptPunct("[")) {
        auto n = make(NodeKind::Index, loc);
        n->kids.push_back(std::move(e));
        n->kids.push_back(expression());
        expectPunct("]");
        e = std::move(n);
      } else if (isPunct("(")) {
        auto n = make(NodeKind::Call, loc);
        n->kids.push_back(std::move(e));
        arguments(*n);
        e = std::move(n);
      } else {
        return e;
      }
    }
  }

  // The constructor part of 'new X.Y[z](...)': member accesses without calls.
  NodePtr memberOnly() {
    DepthGuard guard(*this);
    NodePtr e;
    if (isKeyword("new")) {
      SourceLoc loc = cur().loc;
      ++pos_;
      auto n = make(NodeKind::New, loc);
      n->kids.push_back(memberOnly());
      if (isPunct("(")) arguments(*n);
      e = std::move(n);
    } else {
      e = primary();
    }
    int chain = 0;
    while (true) {
      SourceLoc loc = cur().loc;
      checkChain(++chain);
      if (acceptPunct(".")) {
        auto n = make(NodeKind::Member, loc);
        n->text = propertyName();
        n->kids.push_back(std::move(e));
        e = std::move(n);
      } else if (acceptPunct("[")) {
        auto n = make(NodeKind::Index, loc);
        n->kids.push_back(std::move(e));
        n->kids.push_back(expression());
        expectPunct("]");
        e = std::move(n);
      } else {
        return e;
      }
    }
  }

  NodePtr primary() {
    DepthGuard guard(*this);
    const Token& t = cur();
    SourceLoc loc = t.loc;
    switch (t.kind) {
      case TokenKind::Number: {
        auto n = make(NodeKind::Number, loc);
        n->number = t.number;
        ++pos_;
        return n;
      }
      case TokenKind::String: {
        auto n = make(NodeKind::String, loc);
        n->text = t.text;
        ++pos_;
        return n;
      }
      case TokenKind::Identifier: {
        auto n = make(t.text == "undefined" ? NodeKind::Undefined : NodeKind::Identifier, loc);
        n->text = t.text;
        ++pos_;
        return n;
      }
      case TokenKind::Keyword: {
        if (t.text == "this" || t.text == "true" || t.text == "false" || t.text == "null") {
          NodeKind k = t.text == "this"    ? NodeKind::This
                       : t.text == "true"  ? NodeKind::True
                       : t.text == "false" ? NodeKind::False
                                           : NodeKind::Null;
          ++pos_;
          return make(k, loc);
        }
        if (t.text == "function") {
          ++pos_;
          auto n = make(NodeKind::Function, loc);
          n->fn = function(loc, false);
          n->fn->isExpression = true;
          return n;
        }
        break;
      }
      case TokenKind::Punctuator: {
        if (t.text == "(") {
          ++pos_;
          NodePtr e = expression();
          expectPunct(")");
          return e;
        }
        if (t.text == "[") {
          ++pos_;
          auto n = make(NodeKind::ArrayLit, loc);
          if (!isPunct("]")) {
            do {
              if (isPunct("]")) break;  // trailing comma
              if (isPunct(",")) {
                n->kids.push_back(make(NodeKind::Undefined, cur().loc));  // a hole
                continue;
              }
              n->kids.push_back(assignment());
            } while (acceptPunct(","));
          }
          expectPunct("]");
          return n;
        }
        if (t.text == "{") {
          ++pos_;
          auto n = make(NodeKind::ObjectLit, loc);
          if (!isPunct("}")) {
            do {
              if (isPunct("}")) break;  // trailing comma
              auto key = make(NodeKind::String, cur().loc);
              if (cur().kind == TokenKind::String) {
                key->text = cur().text;
                ++pos_;
              } else if (cur().kind == TokenKind::Number) {
                key->text = numberKey(cur().number);
                ++pos_;
              } else {
                key->text = propertyName();
              }
              expectPunct(":");
              n->kids.push_back(std::move(key));
              n->kids.push_back(assignment());
            } while (acceptPunct(","));
          }
          expectPunct("}");
          return n;
        }
        break;
      }
      default:
        break;
    }
    fail("an expression");
  }

  const std::vector<Token>& toks_;
  size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

Program parseProgram(const std::vector<Token>& tokens) { return Parser(tokens).program(); }

}  // namespace nxr::asc
