// The parsed form of a template: statements and expressions, each with its first line.
//
// Names and template text are views into the template's source, which the Template keeps
// alive for as long as its tree.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jinja/runtime/functions.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {

enum class ExprKind : std::uint8_t {
  Const,
  Var,
  List,
  Map,
  Neg,
  Not,
  Arith,
  And,
  Or,
  Compare,
  Cond,
  GetAttr,
  GetItem,
  Slice,
  Call,
  Filter,
  Test,
};

struct Expr {
  Expr(ExprKind k, std::uint32_t l) : kind(k), line(l) {}
  virtual ~Expr() = default;
  ExprKind kind;
  std::uint32_t line;
  // Height of the subtree; the parser bounds it so that walking the tree stays shallow.
  std::uint32_t height = 1;
};
using ExprPtr = std::unique_ptr<Expr>;

struct ConstExpr : Expr {
  ConstExpr(std::uint32_t l, Value v) : Expr(ExprKind::Const, l), value(std::move(v)) {}
  Value value;
};

struct VarExpr : Expr {
  VarExpr(std::uint32_t l, std::string_view n) : Expr(ExprKind::Var, l), name(n) {}
  std::string_view name;
};

struct ListExpr : Expr {
  explicit ListExpr(std::uint32_t l) : Expr(ExprKind::List, l) {}
  std::vector<ExprPtr> items;
};

struct MapExpr : Expr {
  explicit MapExpr(std::uint32_t l) : Expr(ExprKind::Map, l) {}
  std::vector<ExprPtr> keys;
  std::vector<ExprPtr> values;
};

// `-x` and `not x`.
struct UnaryExpr : Expr {
  UnaryExpr(ExprKind k, std::uint32_t l, ExprPtr o) : Expr(k, l), operand(std::move(o)) {}
  ExprPtr operand;
};

enum class ArithOp : std::uint8_t { Add, Sub, Mul, Div, FloorDiv, Rem, Pow, Concat };

struct ArithExpr : Expr {
  ArithExpr(std::uint32_t l, ArithOp o, ExprPtr a, ExprPtr b)
      : Expr(ExprKind::Arith, l), op(o), left(std::move(a)), right(std::move(b)) {}
  ArithOp op;
  ExprPtr left;
  ExprPtr right;
};

// `and` / `or`. `both_constant`: both operands are built from literals only, where `and`
// gives `false` instead of its falsy operand.
struct LogicExpr : Expr {
  LogicExpr(ExprKind k, std::uint32_t l, ExprPtr a, ExprPtr b)
      : Expr(k, l), left(std::move(a)), right(std::move(b)) {}
  ExprPtr left;
  ExprPtr right;
  bool both_constant = false;
};

enum class CompareKind : std::uint8_t { Eq, Ne, Lt, Le, Gt, Ge, In, NotIn };

// A chain `a < b <= c`: each middle operand is evaluated once.
struct CompareExpr : Expr {
  CompareExpr(std::uint32_t l, ExprPtr f) : Expr(ExprKind::Compare, l), first(std::move(f)) {}
  ExprPtr first;
  std::vector<std::pair<CompareKind, ExprPtr>> rest;
};

// `then if cond else otherwise`; no `else` gives the silent undefined.
struct CondExpr : Expr {
  CondExpr(std::uint32_t l) : Expr(ExprKind::Cond, l) {}
  ExprPtr cond;
  ExprPtr then;
  ExprPtr otherwise;
};

struct GetAttrExpr : Expr {
  GetAttrExpr(std::uint32_t l, ExprPtr o, std::string_view n)
      : Expr(ExprKind::GetAttr, l), object(std::move(o)), name(n) {}
  ExprPtr object;
  std::string_view name;
};

struct GetItemExpr : Expr {
  GetItemExpr(std::uint32_t l, ExprPtr o, ExprPtr i)
      : Expr(ExprKind::GetItem, l), object(std::move(o)), index(std::move(i)) {}
  ExprPtr object;
  ExprPtr index;
};

struct SliceExpr : Expr {
  SliceExpr(std::uint32_t l, ExprPtr o) : Expr(ExprKind::Slice, l), object(std::move(o)) {}
  ExprPtr object;
  ExprPtr start;
  ExprPtr stop;
  ExprPtr step;
};

enum class ArgKind : std::uint8_t { Positional, Keyword, Splat, KeywordSplat };

struct Arg {
  ArgKind kind = ArgKind::Positional;
  std::string_view name;  // keyword arguments
  ExprPtr value;
};

struct CallExpr : Expr {
  CallExpr(std::uint32_t l, ExprPtr c) : Expr(ExprKind::Call, l), callee(std::move(c)) {}
  ExprPtr callee;
  std::vector<Arg> args;
};

// `object|name(args)`; in the chain of a filter block or set block the innermost filter has
// no object (the captured body takes its place).
// `builtin`: the builtin filter of that name, found once when compiled; a filter the
// environment adds under the same name still takes precedence.
struct FilterExpr : Expr {
  FilterExpr(std::uint32_t l, std::string n, ExprPtr o)
      : Expr(ExprKind::Filter, l), name(std::move(n)), object(std::move(o)) {}
  std::string name;
  ExprPtr object;
  std::vector<Arg> args;
  const Function* builtin = nullptr;
};

struct TestExpr : Expr {
  TestExpr(std::uint32_t l, std::string n, ExprPtr o)
      : Expr(ExprKind::Test, l), name(std::move(n)), object(std::move(o)) {}
  std::string name;
  ExprPtr object;
  std::vector<Arg> args;
  bool negated = false;
  const TestFunction* builtin = nullptr;  // as for filters
};

// What `for`, `set` and `with` assign to.
struct Target {
  enum class Kind : std::uint8_t { Name, Attr, Tuple };
  Kind kind = Kind::Name;
  std::uint32_t line = 0;
  std::string_view name;      // Name: the variable; Attr: the attribute set
  ExprPtr object;             // Attr: the namespace expression
  std::vector<Target> items;  // Tuple
};

enum class StmtKind : std::uint8_t {
  Text,
  Emit,
  For,
  If,
  With,
  Set,
  SetBlock,
  FilterBlock,
  AutoEscape,
  Do,
};

struct Stmt {
  Stmt(StmtKind k, std::uint32_t l) : kind(k), line(l) {}
  virtual ~Stmt() = default;
  StmtKind kind;
  std::uint32_t line;
};
using StmtPtr = std::unique_ptr<Stmt>;
using Body = std::vector<StmtPtr>;

struct TextStmt : Stmt {
  TextStmt(std::uint32_t l, std::string_view t) : Stmt(StmtKind::Text, l), text(t) {}
  std::string_view text;
};

struct EmitStmt : Stmt {
  EmitStmt(std::uint32_t l, ExprPtr e) : Stmt(StmtKind::Emit, l), expr(std::move(e)) {}
  ExprPtr expr;
};

struct ForStmt : Stmt {
  explicit ForStmt(std::uint32_t l) : Stmt(StmtKind::For, l) {}
  Target target;
  ExprPtr iter;
  ExprPtr filter;
  bool recursive = false;
  Body body;
  Body else_body;
};

// `if` with its `elif` branches in order, then the `else` body.
struct IfStmt : Stmt {
  explicit IfStmt(std::uint32_t l) : Stmt(StmtKind::If, l) {}
  struct Branch {
    ExprPtr cond;
    Body body;
  };
  std::vector<Branch> branches;
  Body else_body;
};

struct WithStmt : Stmt {
  explicit WithStmt(std::uint32_t l) : Stmt(StmtKind::With, l) {}
  std::vector<std::pair<Target, ExprPtr>> assignments;
  Body body;
};

struct SetStmt : Stmt {
  explicit SetStmt(std::uint32_t l) : Stmt(StmtKind::Set, l) {}
  Target target;
  ExprPtr value;
};

struct SetBlockStmt : Stmt {
  explicit SetBlockStmt(std::uint32_t l) : Stmt(StmtKind::SetBlock, l) {}
  Target target;
  ExprPtr filter;  // may be null
  Body body;
};

struct FilterBlockStmt : Stmt {
  explicit FilterBlockStmt(std::uint32_t l) : Stmt(StmtKind::FilterBlock, l) {}
  ExprPtr filter;
  Body body;
};

struct AutoEscapeStmt : Stmt {
  explicit AutoEscapeStmt(std::uint32_t l) : Stmt(StmtKind::AutoEscape, l) {}
  ExprPtr enabled;
  Body body;
};

struct DoStmt : Stmt {
  DoStmt(std::uint32_t l, ExprPtr c) : Stmt(StmtKind::Do, l), call(std::move(c)) {}
  ExprPtr call;
};

}  // namespace velloquin::jinja
