#include "codegen.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

#include "action_writer.h"
#include "actions.h"

namespace nxr::asc {
namespace {

// ---- analysis: which names each function declares, and which of them inner functions use

void declareIn(FunctionInfo& fn, const Node& n) {
  switch (n.kind) {
    case NodeKind::Var:
      for (const auto& d : n.kids) fn.declared.insert(d->text);
      return;
    case NodeKind::FunctionDecl:
      fn.declared.insert(n.fn->name);
      return;  // its body belongs to the inner function
    case NodeKind::Function:
      return;
    case NodeKind::Try:
      if (n.kids[1]->kind != NodeKind::Empty) fn.declared.insert(n.text);
      break;
    default:
      break;
  }
  // Only statements can declare; expressions cannot hold statements except inside functions.
  for (const auto& k : n.kids)
    if (k) declareIn(fn, *k);
}

void analyzeFunction(FunctionInfo& fn);

void analyzeUses(FunctionInfo& fn, Node& n) {
  switch (n.kind) {
    case NodeKind::Identifier: {
      if (n.text == "arguments" && !fn.declared.count("arguments")) {
        fn.usesArguments = true;
        break;
      }
      FunctionInfo* owner = &fn;
      while (owner && !owner->declared.count(n.text)) owner = owner->parent;
      if (owner && owner != &fn) owner->captured.insert(n.text);
      break;
    }
    case NodeKind::This:
      fn.usesThis = true;
      break;
    case NodeKind::Call:
      if (n.kids[0]->kind == NodeKind::Identifier && n.kids[0]->text == "eval") {
        // The text may name any variable in scope, so every enclosing function keeps its names.
        for (FunctionInfo* f = &fn; f; f = f->parent) f->usesEval = true;
      }
      break;
    case NodeKind::Function:
    case NodeKind::FunctionDecl:
      n.fn->parent = &fn;
      analyzeFunction(*n.fn);
      return;
    case NodeKind::ForIn:
      if (n.kids[0]->kind == NodeKind::Var) {
        // The declared name is used like an identifier.
        Node id(NodeKind::Identifier, n.kids[0]->loc);
        id.text = n.kids[0]->kids[0]->text;
        analyzeUses(fn, id);
      }
      break;
    case NodeKind::VarDecl: {
      Node id(NodeKind::Identifier, n.loc);
      id.text = n.text;
      analyzeUses(fn, id);
      break;
    }
    case NodeKind::Try:
      if (n.kids[1]->kind != NodeKind::Empty) {
        Node id(NodeKind::Identifier, n.loc);
        id.text = n.text;
        analyzeUses(fn, id);
      }
      break;
    default:
      break;
  }
  for (auto& k : n.kids)
    if (k) analyzeUses(fn, *k);
}

void analyzeFunction(FunctionInfo& fn) {
  fn.declared.clear();
  for (const auto& p : fn.params) fn.declared.insert(p);
  for (const auto& s : fn.body) declareIn(fn, *s);
  // A named function expression sees its own name, unless something inside declares it.
  fn.bindsOwnName = fn.isExpression && !fn.name.empty() && !fn.declared.count(fn.name);
  if (fn.bindsOwnName) {
    fn.declared.insert(fn.name);
    fn.usesArguments = true;  // the function is arguments.callee
  }
  for (auto& s : fn.body) analyzeUses(fn, *s);
}

// ---- generation

struct TryContext {
  int exitRegister;                         // holds the number of the exit taken, 1-based
  size_t loopsSize;                         // loops and switches around the try statement
  int blockEnd;                             // label at the end of the block being generated
  std::vector<std::pair<int, bool>> exits;  // target loop and whether it is a break
};

struct Breakable {
  int breakLabel;
  int continueLabel;  // -1 for a switch
  bool forIn;
  int tryDepth;
};

// The global functions that compile to actions of their own.
const char* const kActionGlobals[] = {
    "trace",
    "getURL",
    "loadMovie",
    "loadMovieNum",
    "unloadMovie",
    "unloadMovieNum",
    "fscommand",
    "getTimer",
    "play",
    "stop",
    "gotoAndPlay",
    "gotoAndStop",
    "nextFrame",
    "prevFrame",
    "duplicateMovieClip",
    "removeMovieClip",
    "startDrag",
    "stopDrag",
    "String",
    "Number",
    "int",
    "chr",
    "ord",
    "random",
    "eval",
};

class FunctionGen {
 public:
  FunctionGen(ConstantPool& pool, FunctionInfo& fn) : pool_(pool), fn_(fn), w_(pool) {}

  // The DefineFunction2 action of an inner function.
  std::vector<uint8_t> defineFunction() {
    int next = 1;
    uint16_t flags = fn2::SuppressSuper;
    if (fn_.usesThis) {
      thisReg_ = next++;
      flags |= fn2::PreloadThis;
    } else {
      flags |= fn2::SuppressThis;
    }
    if (fn_.usesArguments) {
      argsReg_ = next++;
      flags |= fn2::PreloadArguments;
    } else {
      flags |= fn2::SuppressArguments;
    }
    // Registers for what no inner function sees; a few stay free for temporaries.
    auto wantsRegister = [&](const std::string& name) {
      return !fn_.usesEval && !fn_.captured.count(name) && !regOf_.count(name) && next < 240;
    };
    std::vector<int> paramRegs;
    for (const auto& p : fn_.params) {
      if (wantsRegister(p)) regOf_[p] = next++;
      paramRegs.push_back(regOf_.count(p) ? regOf_[p] : 0);
    }
    // A repeated parameter name: only the last one's register holds the value.
    std::map<std::string, size_t> lastParam;
    for (size_t i = 0; i < fn_.params.size(); ++i) lastParam[fn_.params[i]] = i;
    for (size_t i = 0; i < fn_.params.size(); ++i)
      if (lastParam[fn_.params[i]] != i) paramRegs[i] = 0;
    for (const auto& name : fn_.declared) {
      if (lastParam.count(name)) continue;
      if (wantsRegister(name)) regOf_[name] = next++;
    }
    firstTemp_ = next;
    maxReg_ = next - 1;
    // Names that live in the activation object are defined there first, so that assignments
    // never reach a variable of the same name further out.
    for (const auto& name : fn_.declared) {
      if (regOf_.count(name)) continue;
      if (lastParam.count(name)) continue;
      w_.push(PushValue::str(name));
      w_.op(op::DefineLocal2);
    }
    if (fn_.bindsOwnName) {
      int r = registerOf(fn_.name);
      if (!r) w_.push(PushValue::str(fn_.name));
      w_.push(PushValue::reg(argsReg_));
      w_.push(PushValue::str("callee"));
      w_.op(op::GetMember);
      if (r) {
        w_.storeRegister(r);
        w_.op(op::Pop);
      } else {
        w_.op(op::DefineLocal);
      }
    }
    body();
    std::vector<uint8_t> code = w_.finish(fn_.loc);
    if (code.size() > 0xFFFF) throw CompileError(fn_.loc, "function body larger than 64 KiB");
    if (maxReg_ > 255) throw CompileError(fn_.loc, "function needs more than 255 registers");

    std::vector<uint8_t> payload;
    ActionWriter::appendString(payload, "");
    ActionWriter::appendU16(payload, static_cast<uint16_t>(fn_.params.size()));
    payload.push_back(static_cast<uint8_t>(maxReg_ + 1));
    ActionWriter::appendU16(payload, flags);
    for (size_t i = 0; i < fn_.params.size(); ++i) {
      payload.push_back(static_cast<uint8_t>(paramRegs[i]));
      ActionWriter::appendString(payload, fn_.params[i]);
    }
    ActionWriter::appendU16(payload, static_cast<uint16_t>(code.size()));
    if (payload.size() > 0xFFFF) throw CompileError(fn_.loc, "function header too large");
    std::vector<uint8_t> out;
    out.push_back(op::DefineFunction2);
    ActionWriter::appendU16(out, static_cast<uint16_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), code.begin(), code.end());
    return out;
  }

  // A frame's top-level code, ending with End.
  std::vector<uint8_t> script() {
    firstTemp_ = 0;
    maxReg_ = -1;
    body();
    w_.op(op::End);
    return w_.finish(fn_.loc);
  }

 private:
  // ---- helpers

  bool isScript() const { return fn_.isScript; }

  int allocTemp(SourceLoc loc) {
    int r = firstTemp_ + tempsInUse_++;
    if (isScript() && r > 3)
      throw CompileError(loc, "expression too complex: a frame script has only 4 registers");
    if (r > 255) throw CompileError(loc, "expression too complex: out of registers");
    maxReg_ = std::max(maxReg_, r);
    return r;
  }
  void freeTemp() { --tempsInUse_; }

  // Register of a local name, or 0 when it is looked up by name.
  int registerOf(const std::string& name) const {
    auto it = regOf_.find(name);
    return it == regOf_.end() ? 0 : it->second;
  }

  // Whether a name is declared by this function or one around it.
  bool isDeclared(const std::string& name) const {
    for (const FunctionInfo* f = &fn_; f; f = f->parent)
      if (f->declared.count(name)) return true;
    return false;
  }

  void hoistFunctions() {
    for (auto& s : fn_.body) {
      if (s->kind == NodeKind::FunctionDecl) {
        defineNamedFunction(*s);
        hoisted_.insert(s.get());
      }
    }
  }

  void body() {
    hoistFunctions();
    for (auto& s : fn_.body) statement(*s);
  }

  void pushFunction(FunctionInfo& inner) {
    FunctionGen child(pool_, inner);
    w_.raw(child.defineFunction());
  }

  void defineNamedFunction(Node& decl) {
    const std::string& name = decl.fn->name;
    int r = registerOf(name);
    if (r) {
      pushFunction(*decl.fn);
      w_.storeRegister(r);
      w_.op(op::Pop);
    } else {
      w_.push(PushValue::str(name));
      pushFunction(*decl.fn);
      w_.op(op::DefineLocal);
    }
  }

  // ---- statements

  void statement(Node& n) {
    switch (n.kind) {
      case NodeKind::Empty:
        return;
      case NodeKind::Var:
        for (auto& d : n.kids) varDecl(*d);
        return;
      case NodeKind::ExprStmt:
        effect(*n.kids[0]);
        return;
      case NodeKind::Block:
        for (auto& k : n.kids) statement(*k);
        return;
      case NodeKind::FunctionDecl:
        if (!hoisted_.count(&n)) defineNamedFunction(n);
        return;
      case NodeKind::If: {
        int elseLabel = w_.newLabel();
        condition(*n.kids[0], elseLabel);
        statement(*n.kids[1]);
        if (n.kids.size() > 2) {
          int end = w_.newLabel();
          w_.branch(op::Jump, end);
          w_.place(elseLabel);
          statement(*n.kids[2]);
          w_.place(end);
        } else {
          w_.place(elseLabel);
        }
        return;
      }
      case NodeKind::While: {
        int top = w_.newLabel(), end = w_.newLabel();
        w_.place(top);
        condition(*n.kids[0], end);
        loops_.push_back({end, top, false, tryDepth_});
        statement(*n.kids[1]);
        loops_.pop_back();
        w_.branch(op::Jump, top);
        w_.place(end);
        return;
      }
      case NodeKind::DoWhile: {
        int top = w_.newLabel(), cont = w_.newLabel(), end = w_.newLabel();
        w_.place(top);
        loops_.push_back({end, cont, false, tryDepth_});
        statement(*n.kids[0]);
        loops_.pop_back();
        w_.place(cont);
        expr(*n.kids[1]);
        w_.branch(op::If, top);
        w_.place(end);
        return;
      }
      case NodeKind::For: {
        statement(*n.kids[0]);
        int top = w_.newLabel(), cont = w_.newLabel(), end = w_.newLabel();
        w_.place(top);
        if (n.kids[1]->kind != NodeKind::Empty) condition(*n.kids[1], end);
        loops_.push_back({end, cont, false, tryDepth_});
        statement(*n.kids[3]);
        loops_.pop_back();
        w_.place(cont);
        if (n.kids[2]->kind != NodeKind::Empty) effect(*n.kids[2]);
        w_.branch(op::Jump, top);
        w_.place(end);
        return;
      }
      case NodeKind::ForIn:
        forIn(n);
        return;
      case NodeKind::Break:
      case NodeKind::Continue:
        breakOrContinue(n);
        return;
      case NodeKind::Return:
        returnStatement(n);
        return;
      case NodeKind::Throw:
        expr(*n.kids[0]);
        w_.op(op::Throw);
        return;
      case NodeKind::Switch:
        switchStatement(n);
        return;
      case NodeKind::Try:
        tryStatement(n);
        return;
      default:
        throw CompileError(n.loc, "not a statement");
    }
  }

  void varDecl(Node& d) {
    int r = registerOf(d.text);
    if (r) {
      if (d.kids.empty()) return;
      expr(*d.kids[0]);
      w_.storeRegister(r);
      w_.op(op::Pop);
      return;
    }
    w_.push(PushValue::str(d.text));
    if (d.kids.empty()) {
      if (!isScript()) {
        w_.op(op::Pop);  // already defined on entry
        return;
      }
      w_.op(op::DefineLocal2);
      return;
    }
    expr(*d.kids[0]);
    w_.op(op::DefineLocal);
  }

  // Jumps to falseLabel when the condition is false.
  void condition(Node& c, int falseLabel) {
    expr(c);
    w_.op(op::Not);
    w_.branch(op::If, falseLabel);
  }

  // Drops what an enumeration left on the stack, down to and including its null sentinel.
  void drainEnumeration() {
    int again = w_.newLabel();
    w_.place(again);
    w_.push(PushValue::null());
    w_.op(op::Equals2);
    w_.op(op::Not);
    w_.branch(op::If, again);
  }

  void forIn(Node& n) {
    expr(*n.kids[1]);
    w_.op(op::Enumerate2);
    int top = w_.newLabel(), done = w_.newLabel(), end = w_.newLabel();
    w_.place(top);
    w_.op(op::PushDuplicate);
    w_.push(PushValue::null());
    w_.op(op::Equals2);
    w_.branch(op::If, done);
    // The name is on top of the stack: store it into the target.
    Node& target = *n.kids[0];
    if (target.kind == NodeKind::Var) {
      const std::string& name = target.kids[0]->text;
      int r = registerOf(name);
      if (r) {
        w_.storeRegister(r);
        w_.op(op::Pop);
      } else {
        w_.push(PushValue::str(name));
        w_.op(op::StackSwap);
        w_.op(op::DefineLocal);
      }
    } else if (target.kind == NodeKind::Identifier) {
      int r = registerOf(target.text);
      if (r) {
        w_.storeRegister(r);
        w_.op(op::Pop);
      } else {
        w_.push(PushValue::str(target.text));
        w_.op(op::StackSwap);
        w_.op(op::SetVariable);
      }
    } else {
      expr(*target.kids[0]);
      w_.op(op::StackSwap);
      if (target.kind == NodeKind::Member) {
        w_.push(PushValue::str(target.text));
      } else {
        expr(*target.kids[1]);
      }
      w_.op(op::StackSwap);
      w_.op(op::SetMember);
    }
    loops_.push_back({end, top, true, tryDepth_});
    ++forInDepth_;
    statement(*n.kids[2]);
    --forInDepth_;
    loops_.pop_back();
    w_.branch(op::Jump, top);
    w_.place(done);
    w_.op(op::Pop);
    w_.place(end);
  }

  void breakOrContinue(Node& n) {
    bool isBreak = n.kind == NodeKind::Break;
    int i = static_cast<int>(loops_.size()) - 1;
    while (i >= 0 && !isBreak && loops_[i].continueLabel < 0) --i;  // continue skips switches
    if (i < 0)
      throw CompileError(n.loc,
                         isBreak ? "break outside a loop or switch" : "continue outside a loop");
    jumpTo(i, isBreak);
  }

  // Leaves for loops_[i]. A jump never crosses the edge of a try, catch or finally block: it
  // stores which exit it takes and ends the block normally, so that the player runs the finally
  // block; the code after the try statement then continues the jump.
  void jumpTo(int i, bool isBreak) {
    const Breakable& target = loops_[i];
    if (!tries_.empty() && target.tryDepth < tryDepth_) {
      TryContext& t = tries_.back();
      for (int j = static_cast<int>(loops_.size()) - 1; j >= static_cast<int>(t.loopsSize); --j)
        if (loops_[j].forIn) drainEnumeration();
      t.exits.push_back({i, isBreak});
      w_.push(PushValue::num(static_cast<double>(t.exits.size())));
      w_.storeRegister(t.exitRegister);
      w_.op(op::Pop);
      w_.branch(op::Jump, t.blockEnd);
      return;
    }
    for (int j = static_cast<int>(loops_.size()) - 1; j >= i; --j) {
      if (!loops_[j].forIn) continue;
      if (j == i && !isBreak) continue;  // continuing the enumeration itself
      drainEnumeration();
    }
    // A break out of a for-in has drained it already, so go past its own cleanup.
    w_.branch(op::Jump, isBreak ? target.breakLabel : target.continueLabel);
  }

  // Whether a statement holds a break or continue (outside inner functions).
  static bool containsJump(const Node& n) {
    if (n.kind == NodeKind::Break || n.kind == NodeKind::Continue) return true;
    if (n.kind == NodeKind::Function || n.kind == NodeKind::FunctionDecl) return false;
    for (const auto& k : n.kids)
      if (k && containsJump(*k)) return true;
    return false;
  }

  void returnStatement(Node& n) {
    if (isScript()) throw CompileError(n.loc, "return outside a function");
    if (n.kids.empty()) {
      w_.push(PushValue::undefined());
    } else {
      expr(*n.kids[0]);
    }
    if (forInDepth_ > 0) {
      int t = allocTemp(n.loc);
      w_.storeRegister(t);
      w_.op(op::Pop);
      for (int i = 0; i < forInDepth_; ++i) drainEnumeration();
      w_.push(PushValue::reg(t));
      freeTemp();
    }
    w_.op(op::Return);
  }

  void switchStatement(Node& n) {
    int t = allocTemp(n.loc);
    expr(*n.kids[0]);
    w_.storeRegister(t);
    w_.op(op::Pop);
    int end = w_.newLabel();
    std::vector<int> labels;
    int defaultLabel = -1;
    for (size_t i = 1; i < n.kids.size(); ++i) {
      Node& c = *n.kids[i];
      labels.push_back(w_.newLabel());
      if (c.flag) {
        defaultLabel = labels.back();
        continue;
      }
      w_.push(PushValue::reg(t));
      expr(*c.kids[0]);
      w_.op(op::StrictEquals);
      w_.branch(op::If, labels.back());
    }
    freeTemp();
    w_.branch(op::Jump, defaultLabel >= 0 ? defaultLabel : end);
    loops_.push_back({end, -1, false, tryDepth_});
    for (size_t i = 1; i < n.kids.size(); ++i) {
      Node& c = *n.kids[i];
      w_.place(labels[i - 1]);
      for (size_t k = c.flag ? 0 : 1; k < c.kids.size(); ++k) statement(*c.kids[k]);
    }
    loops_.pop_back();
    w_.place(end);
  }

  void tryStatement(Node& n) {
    bool hasCatch = n.kids[1]->kind != NodeKind::Empty;
    bool hasFinally = n.kids[2]->kind != NodeKind::Empty;
    int catchReg = hasCatch ? registerOf(n.text) : 0;
    std::vector<uint8_t> payload;
    uint8_t flags = 0;
    if (hasCatch) flags |= tryflag::HasCatch;
    if (hasFinally) flags |= tryflag::HasFinally;
    if (catchReg) flags |= tryflag::CatchInRegister;
    payload.push_back(flags);
    ActionWriter::appendU16(payload, 0);
    ActionWriter::appendU16(payload, 0);
    ActionWriter::appendU16(payload, 0);
    if (catchReg) {
      payload.push_back(static_cast<uint8_t>(catchReg));
    } else {
      ActionWriter::appendString(payload, hasCatch ? n.text : "");
    }
    // The register that says which break or continue left the statement (frame scripts use
    // register 0 too); -1 when the statement has none.
    int exitRegister = containsJump(n) ? allocTemp(n.loc) : -1;
    if (exitRegister >= 0) {
      w_.push(PushValue::num(0));
      w_.storeRegister(exitRegister);
      w_.op(op::Pop);
    }
    size_t header = w_.offset() + 3;  // the size fields follow the code and length
    w_.opWith(op::Try, payload);
    tries_.push_back({exitRegister, loops_.size(), -1, {}});
    ++tryDepth_;
    size_t sizes[3] = {0, 0, 0};
    for (int part = 0; part < 3; ++part) {
      if (n.kids[part]->kind == NodeKind::Empty) continue;
      int end = w_.newLabel();
      tries_.back().blockEnd = end;
      size_t start = w_.offset();
      statement(*n.kids[part]);
      w_.place(end);
      sizes[part] = w_.offset() - start;
    }
    --tryDepth_;
    TryContext done = std::move(tries_.back());
    tries_.pop_back();
    if (sizes[0] > 0xFFFF || sizes[1] > 0xFFFF || sizes[2] > 0xFFFF)
      throw CompileError(n.loc, "try block larger than 64 KiB");
    w_.patchU16(header + 1, static_cast<uint16_t>(sizes[0]));
    w_.patchU16(header + 3, static_cast<uint16_t>(sizes[1]));
    w_.patchU16(header + 5, static_cast<uint16_t>(sizes[2]));
    if (!done.exits.empty()) {
      std::vector<int> labels;
      for (size_t k = 0; k < done.exits.size(); ++k) {
        labels.push_back(w_.newLabel());
        w_.push(PushValue::reg(exitRegister));
        w_.push(PushValue::num(static_cast<double>(k + 1)));
        w_.op(op::StrictEquals);
        w_.branch(op::If, labels.back());
      }
      int after = w_.newLabel();
      w_.branch(op::Jump, after);
      for (size_t k = 0; k < done.exits.size(); ++k) {
        w_.place(labels[k]);
        jumpTo(done.exits[k].first, done.exits[k].second);
      }
      w_.place(after);
    }
    if (exitRegister >= 0) freeTemp();
  }

  // ---- expressions

  // Evaluates for side effects only, leaving nothing on the stack.
  void effect(Node& n) {
    switch (n.kind) {
      case NodeKind::Assign:
        assign(n, false);
        return;
      case NodeKind::Update:
        update(n, false);
        return;
      case NodeKind::Call:
        call(n, false);
        return;
      case NodeKind::Comma:
        for (auto& k : n.kids) effect(*k);
        return;
      default:
        expr(n);
        w_.op(op::Pop);
    }
  }

  void pushName(const std::string& name) { w_.push(PushValue::str(name)); }

  void getVariable(const std::string& name) {
    if (int r = registerOf(name)) {
      w_.push(PushValue::reg(r));
      return;
    }
    pushName(name);
    w_.op(op::GetVariable);
  }

  // Leaves exactly one value on the stack.
  void expr(Node& n) {
    switch (n.kind) {
      case NodeKind::Number:
        w_.push(PushValue::num(n.number));
        return;
      case NodeKind::String:
        w_.push(PushValue::str(n.text));
        return;
      case NodeKind::True:
        w_.push(PushValue::boolean(true));
        return;
      case NodeKind::False:
        w_.push(PushValue::boolean(false));
        return;
      case NodeKind::Null:
        w_.push(PushValue::null());
        return;
      case NodeKind::Undefined:
        w_.push(PushValue::undefined());
        return;
      case NodeKind::This:
        if (thisReg_) {
          w_.push(PushValue::reg(thisReg_));
        } else {
          pushName("this");
          w_.op(op::GetVariable);
        }
        return;
      case NodeKind::Identifier:
        if (n.text == "arguments" && argsReg_ && !isDeclared("arguments")) {
          w_.push(PushValue::reg(argsReg_));
        } else if (n.text == "NaN" && !isDeclared("NaN")) {
          w_.push(PushValue::num(std::numeric_limits<double>::quiet_NaN()));
        } else if (n.text == "Infinity" && !isDeclared("Infinity")) {
          w_.push(PushValue::num(std::numeric_limits<double>::infinity()));
        } else {
          getVariable(n.text);
        }
        return;
      case NodeKind::Member:
        expr(*n.kids[0]);
        pushName(n.text);
        w_.op(op::GetMember);
        return;
      case NodeKind::Index:
        expr(*n.kids[0]);
        expr(*n.kids[1]);
        w_.op(op::GetMember);
        return;
      case NodeKind::Call:
        call(n, true);
        return;
      case NodeKind::New:
        newExpr(n);
        return;
      case NodeKind::Unary:
        unary(n);
        return;
      case NodeKind::Update:
        update(n, true);
        return;
      case NodeKind::Binary:
        expr(*n.kids[0]);
        expr(*n.kids[1]);
        binaryOp(n.text, n.loc);
        return;
      case NodeKind::Logical: {
        int end = w_.newLabel();
        expr(*n.kids[0]);
        w_.op(op::PushDuplicate);
        if (n.text == "&&") w_.op(op::Not);
        w_.branch(op::If, end);
        w_.op(op::Pop);
        expr(*n.kids[1]);
        w_.place(end);
        return;
      }
      case NodeKind::Conditional: {
        int whenTrue = w_.newLabel(), end = w_.newLabel();
        expr(*n.kids[0]);
        w_.branch(op::If, whenTrue);
        expr(*n.kids[2]);
        w_.branch(op::Jump, end);
        w_.place(whenTrue);
        expr(*n.kids[1]);
        w_.place(end);
        return;
      }
      case NodeKind::Assign:
        assign(n, true);
        return;
      case NodeKind::Function:
        pushFunction(*n.fn);
        return;
      case NodeKind::ObjectLit:
        for (size_t i = 0; i + 1 < n.kids.size(); i += 2) {
          pushName(n.kids[i]->text);
          expr(*n.kids[i + 1]);
        }
        w_.push(PushValue::num(static_cast<double>(n.kids.size() / 2)));
        w_.op(op::InitObject);
        return;
      case NodeKind::ArrayLit:
        for (size_t i = n.kids.size(); i-- > 0;) expr(*n.kids[i]);
        w_.push(PushValue::num(static_cast<double>(n.kids.size())));
        w_.op(op::InitArray);
        return;
      case NodeKind::Comma:
        for (size_t i = 0; i + 1 < n.kids.size(); ++i) effect(*n.kids[i]);
        expr(*n.kids.back());
        return;
      default:
        throw CompileError(n.loc, "not an expression");
    }
  }

  void binaryOp(const std::string& o, SourceLoc loc) {
    static const std::map<std::string, std::vector<uint8_t>> kOps = {
        {"+", {op::Add2}},
        {"-", {op::Subtract}},
        {"*", {op::Multiply}},
        {"/", {op::Divide}},
        {"%", {op::Modulo}},
        {"<", {op::Less2}},
        {">", {op::Greater}},
        {"<=", {op::Greater, op::Not}},
        {">=", {op::Less2, op::Not}},
        {"==", {op::Equals2}},
        {"!=", {op::Equals2, op::Not}},
        {"===", {op::StrictEquals}},
        {"!==", {op::StrictEquals, op::Not}},
        {"&", {op::BitAnd}},
        {"|", {op::BitOr}},
        {"^", {op::BitXor}},
        {"<<", {op::BitLShift}},
        {">>", {op::BitRShift}},
        {">>>", {op::BitURShift}},
        {"instanceof", {op::InstanceOf}},
    };
    auto it = kOps.find(o);
    if (it == kOps.end()) throw CompileError(loc, "unknown operator " + o);
    for (uint8_t code : it->second) w_.op(code);
  }

  void unary(Node& n) {
    const std::string& o = n.text;
    Node& e = *n.kids[0];
    if (o == "delete") {
      if (e.kind == NodeKind::Identifier) {
        if (registerOf(e.text)) {
          w_.push(PushValue::boolean(false));  // a local cannot be deleted
        } else {
          pushName(e.text);
          w_.op(op::Delete2);
        }
      } else {
        expr(*e.kids[0]);
        if (e.kind == NodeKind::Member) {
          pushName(e.text);
        } else {
          expr(*e.kids[1]);
        }
        w_.op(op::Delete);
      }
      return;
    }
    expr(e);
    if (o == "!") {
      w_.op(op::Not);
    } else if (o == "~") {
      w_.push(PushValue::num(-1));
      w_.op(op::BitXor);
    } else if (o == "-") {
      w_.push(PushValue::num(-1));
      w_.op(op::Multiply);
    } else if (o == "+") {
      w_.op(op::ToNumber);
    } else if (o == "typeof") {
      w_.op(op::TypeOf);
    } else if (o == "void") {
      w_.op(op::Pop);
      w_.push(PushValue::undefined());
    } else {
      throw CompileError(n.loc, "unknown operator " + o);
    }
  }

  // Assignment and compound assignment; leaves the assigned value when wanted.
  void assign(Node& n, bool want) {
    Node& target = *n.kids[0];
    Node& value = *n.kids[1];
    std::string compound = n.text == "=" ? "" : n.text.substr(0, n.text.size() - 1);
    if (target.kind == NodeKind::Identifier) {
      if (int r = registerOf(target.text)) {
        if (!compound.empty()) w_.push(PushValue::reg(r));
        expr(value);
        if (!compound.empty()) binaryOp(compound, n.loc);
        w_.storeRegister(r);
        if (!want) w_.op(op::Pop);
        return;
      }
      pushName(target.text);
      if (!compound.empty()) getVariable(target.text);
      expr(value);
      if (!compound.empty()) binaryOp(compound, n.loc);
      finishStore(op::SetVariable, want, n.loc);
      return;
    }
    if (compound.empty()) {
      expr(*target.kids[0]);
      memberKey(target);
      expr(value);
      finishStore(op::SetMember, want, n.loc);
      return;
    }
    // The object's register is held while the key is evaluated; the key's only afterwards.
    int obj = allocTemp(n.loc);
    expr(*target.kids[0]);
    w_.storeRegister(obj);
    memberKey(target);
    int key = allocTemp(n.loc);
    w_.storeRegister(key);
    w_.push(PushValue::reg(obj));
    w_.push(PushValue::reg(key));
    w_.op(op::GetMember);
    expr(value);
    binaryOp(compound, n.loc);
    freeTemp();
    freeTemp();
    finishStore(op::SetMember, want, n.loc);
  }

  void memberKey(Node& target) {
    if (target.kind == NodeKind::Member) {
      pushName(target.text);
    } else {
      expr(*target.kids[1]);
    }
  }

  // The value to store is on top; keeps a copy in a register when the expression's value is used.
  void finishStore(uint8_t storeOp, bool want, SourceLoc loc) {
    if (!want) {
      w_.op(storeOp);
      return;
    }
    int t = allocTemp(loc);
    w_.storeRegister(t);
    w_.op(storeOp);
    w_.push(PushValue::reg(t));
    freeTemp();
  }

  void update(Node& n, bool want) {
    Node& target = *n.kids[0];
    uint8_t step = n.text == "++" ? op::Increment : op::Decrement;
    bool prefix = n.flag;
    if (target.kind == NodeKind::Identifier) {
      if (int r = registerOf(target.text)) {
        w_.push(PushValue::reg(r));
        if (want && !prefix) {
          w_.op(op::ToNumber);
          w_.op(op::PushDuplicate);
        }
        w_.op(step);
        w_.storeRegister(r);
        if (!want || !prefix) w_.op(op::Pop);
        return;
      }
      pushName(target.text);
      getVariable(target.text);
      updateStore(step, prefix, want, op::SetVariable, n.loc);
      return;
    }
    // The object's register is held while the key is evaluated; the key's only afterwards.
    int obj = allocTemp(n.loc);
    expr(*target.kids[0]);
    w_.storeRegister(obj);
    memberKey(target);
    int key = allocTemp(n.loc);
    w_.storeRegister(key);
    w_.push(PushValue::reg(obj));
    w_.push(PushValue::reg(key));
    w_.op(op::GetMember);
    freeTemp();
    freeTemp();
    updateStore(step, prefix, want, op::SetMember, n.loc);
  }

  // The current value is on top, the store's name or object and key below it.
  void updateStore(uint8_t step, bool prefix, bool want, uint8_t storeOp, SourceLoc loc) {
    if (!want) {
      w_.op(step);
      w_.op(storeOp);
      return;
    }
    int t = allocTemp(loc);
    if (prefix) {
      w_.op(step);
      w_.storeRegister(t);
    } else {
      w_.op(op::ToNumber);
      w_.storeRegister(t);
      w_.op(step);
    }
    w_.op(storeOp);
    w_.push(PushValue::reg(t));
    freeTemp();
  }

  void pushArgs(Node& call, size_t first) {
    for (size_t i = call.kids.size(); i-- > first;) expr(*call.kids[i]);
    w_.push(PushValue::num(static_cast<double>(call.kids.size() - first)));
  }

  bool isActionGlobal(const Node& callee) const {
    if (callee.kind != NodeKind::Identifier || isDeclared(callee.text)) return false;
    for (const char* g : kActionGlobals)
      if (callee.text == g) return true;
    return false;
  }

  void call(Node& n, bool want) {
    Node& callee = *n.kids[0];
    if (isActionGlobal(callee) && actionCall(n, want)) return;
    pushArgs(n, 1);
    if (callee.kind == NodeKind::Identifier && !registerOf(callee.text)) {
      pushName(callee.text);
      w_.op(op::CallFunction);
    } else if (callee.kind == NodeKind::Member) {
      expr(*callee.kids[0]);
      pushName(callee.text);
      w_.op(op::CallMethod);
    } else if (callee.kind == NodeKind::Index) {
      expr(*callee.kids[0]);
      expr(*callee.kids[1]);
      w_.op(op::CallMethod);
    } else {
      expr(callee);
      w_.push(PushValue::undefined());
      w_.op(op::CallMethod);
    }
    if (!want) w_.op(op::Pop);
  }

  void newExpr(Node& n) {
    Node& callee = *n.kids[0];
    pushArgs(n, 1);
    if (callee.kind == NodeKind::Identifier && !registerOf(callee.text)) {
      pushName(callee.text);
      w_.op(op::NewObject);
    } else if (callee.kind == NodeKind::Member) {
      expr(*callee.kids[0]);
      pushName(callee.text);
      w_.op(op::NewMethod);
    } else if (callee.kind == NodeKind::Index) {
      expr(*callee.kids[0]);
      expr(*callee.kids[1]);
      w_.op(op::NewMethod);
    } else {
      expr(callee);
      w_.push(PushValue::undefined());
      w_.op(op::NewMethod);
    }
  }

  // Pushes the text of an argument, folding string constants with a prefix.
  void textArg(Node& arg, const std::string& prefix) {
    if (arg.kind == NodeKind::String) {
      w_.push(PushValue::str(prefix + arg.text));
      return;
    }
    if (arg.kind == NodeKind::Number && prefix == "_level" && arg.number >= 0 &&
        arg.number == std::floor(arg.number) && arg.number < 1e9) {
      w_.push(PushValue::str(prefix + std::to_string(static_cast<long>(arg.number))));
      return;
    }
    if (prefix.empty()) {
      expr(arg);
      return;
    }
    w_.push(PushValue::str(prefix));
    expr(arg);
    w_.op(op::StringAdd);
  }

  // The GetURL2 method bits from an optional "GET" or "POST" argument.
  uint8_t methodFlag(Node& n, size_t index) {
    if (n.kids.size() <= index) return 0;
    Node& m = *n.kids[index];
    if (m.kind != NodeKind::String)
      throw CompileError(m.loc, "the method must be the string \"GET\" or \"POST\"");
    std::string upper = m.text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "GET") return 1;
    if (upper == "POST") return 2;
    throw CompileError(m.loc, "the method must be the string \"GET\" or \"POST\"");
  }

  void needArgs(Node& n, size_t min, size_t max) {
    size_t count = n.kids.size() - 1;
    if (count < min || count > max)
      throw CompileError(n.kids[0]->loc,
                         n.kids[0]->text + " takes " +
                             (min == max ? std::to_string(min)
                                         : std::to_string(min) + " to " + std::to_string(max)) +
                             " argument" + (max == 1 ? "" : "s"));
  }

  // Compiles a call of a global that is an action. Returns false when the call is left to the
  // ordinary path (a form the action does not cover).
  bool actionCall(Node& n, bool want) {
    const std::string& name = n.kids[0]->text;
    auto arg = [&](size_t i) -> Node& { return *n.kids[i + 1]; };
    size_t argc = n.kids.size() - 1;
    bool pushesValue = false;
    if (name == "trace") {
      needArgs(n, 1, 1);
      expr(arg(0));
      w_.op(op::Trace);
    } else if (name == "getURL") {
      needArgs(n, 1, 3);
      if (argc <= 2 && arg(0).kind == NodeKind::String &&
          (argc == 1 || arg(1).kind == NodeKind::String)) {
        std::vector<uint8_t> payload;
        ActionWriter::appendString(payload, arg(0).text);
        ActionWriter::appendString(payload, argc == 2 ? arg(1).text : "");
        w_.opWith(op::GetURL, payload);
      } else {
        expr(arg(0));
        if (argc >= 2) {
          expr(arg(1));
        } else {
          w_.push(PushValue::str(""));
        }
        w_.opWith(op::GetURL2, {methodFlag(n, 3)});
      }
    } else if (name == "loadMovie") {
      needArgs(n, 2, 3);
      expr(arg(0));
      expr(arg(1));
      w_.opWith(op::GetURL2, {static_cast<uint8_t>(0x40 | methodFlag(n, 3))});
    } else if (name == "loadMovieNum") {
      needArgs(n, 2, 3);
      expr(arg(0));
      textArg(arg(1), "_level");
      w_.opWith(op::GetURL2, {methodFlag(n, 3)});
    } else if (name == "unloadMovie") {
      needArgs(n, 1, 1);
      w_.push(PushValue::str(""));
      expr(arg(0));
      w_.opWith(op::GetURL2, {0x40});
    } else if (name == "unloadMovieNum") {
      needArgs(n, 1, 1);
      w_.push(PushValue::str(""));
      textArg(arg(0), "_level");
      w_.opWith(op::GetURL2, {0});
    } else if (name == "fscommand") {
      needArgs(n, 1, 2);
      textArg(arg(0), "FSCommand:");
      if (argc == 2) {
        expr(arg(1));
      } else {
        w_.push(PushValue::str(""));
      }
      w_.opWith(op::GetURL2, {0});
    } else if (name == "getTimer") {
      needArgs(n, 0, 0);
      w_.op(op::GetTime);
      pushesValue = true;
    } else if (name == "play" || name == "stop" || name == "nextFrame" || name == "prevFrame" ||
               name == "stopDrag") {
      needArgs(n, 0, 0);
      w_.op(name == "play"        ? op::Play
            : name == "stop"      ? op::Stop
            : name == "nextFrame" ? op::NextFrame
            : name == "prevFrame" ? op::PrevFrame
                                  : op::EndDrag);
    } else if (name == "gotoAndPlay" || name == "gotoAndStop") {
      needArgs(n, 1, 2);
      bool play = name == "gotoAndPlay";
      Node& frame = arg(argc - 1);  // a scene argument is not supported and must be absent
      if (argc == 2) throw CompileError(n.loc, "scenes are not supported: give only the frame");
      if (frame.kind == NodeKind::Number && frame.number >= 1 && frame.number <= 65536 &&
          frame.number == std::floor(frame.number)) {
        std::vector<uint8_t> payload;
        ActionWriter::appendU16(payload, static_cast<uint16_t>(frame.number - 1));
        w_.opWith(op::GotoFrame, payload);
        if (play) w_.op(op::Play);
      } else if (frame.kind == NodeKind::String) {
        std::vector<uint8_t> payload;
        ActionWriter::appendString(payload, frame.text);
        w_.opWith(op::GoToLabel, payload);
        if (play) w_.op(op::Play);
      } else {
        expr(frame);
        w_.opWith(op::GotoFrame2, {static_cast<uint8_t>(play ? 1 : 0)});
      }
    } else if (name == "duplicateMovieClip") {
      needArgs(n, 3, 3);
      expr(arg(0));
      expr(arg(1));
      expr(arg(2));
      w_.push(PushValue::num(16384));  // depths of duplicated clips start above the timeline's
      w_.op(op::Add2);
      w_.op(op::CloneSprite);
    } else if (name == "removeMovieClip") {
      needArgs(n, 1, 1);
      expr(arg(0));
      w_.op(op::RemoveSprite);
    } else if (name == "startDrag") {
      if (argc != 1 && argc != 2 && argc != 6)
        throw CompileError(n.kids[0]->loc, "startDrag takes 1, 2 or 6 arguments");
      if (argc == 6) {
        for (size_t i = 2; i < 6; ++i) expr(arg(i));
        w_.push(PushValue::num(1));
      } else {
        w_.push(PushValue::num(0));
      }
      if (argc >= 2) {
        expr(arg(1));
      } else {
        w_.push(PushValue::boolean(false));
      }
      expr(arg(0));
      w_.op(op::StartDrag);
    } else if (name == "String" || name == "Number" || name == "int" || name == "chr" ||
               name == "ord" || name == "random" || name == "eval") {
      if (argc != 1) return false;
      expr(arg(0));
      w_.op(name == "String"   ? op::ToString
            : name == "Number" ? op::ToNumber
            : name == "int"    ? op::ToInteger
            : name == "chr"    ? op::AsciiToChar
            : name == "ord"    ? op::CharToAscii
            : name == "random" ? op::RandomNumber
                               : op::GetVariable);
      pushesValue = true;
    } else {
      return false;
    }
    if (pushesValue && !want) w_.op(op::Pop);
    if (!pushesValue && want) w_.push(PushValue::undefined());
    return true;
  }

  ConstantPool& pool_;
  FunctionInfo& fn_;
  ActionWriter w_;
  std::map<std::string, int> regOf_;
  std::set<const Node*> hoisted_;
  std::vector<Breakable> loops_;
  int thisReg_ = 0;
  int argsReg_ = 0;
  int firstTemp_ = 0;
  int tempsInUse_ = 0;
  int maxReg_ = 0;
  int tryDepth_ = 0;
  std::vector<TryContext> tries_;
  int forInDepth_ = 0;
};

}  // namespace

std::vector<std::vector<uint8_t>> generateFrames(Program& program) {
  std::vector<std::vector<uint8_t>> frames;
  for (auto& script : program.frames) {
    analyzeFunction(*script);
    ConstantPool pool;
    FunctionGen gen(pool, *script);
    std::vector<uint8_t> code = gen.script();
    std::vector<uint8_t> out = pool.action();
    out.insert(out.end(), code.begin(), code.end());
    frames.push_back(std::move(out));
  }
  return frames;
}

}  // namespace nxr::asc
