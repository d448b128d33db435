#include "jinja/syntax/parser.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>

#include "base/try.h"
#include "jinja/syntax/lexer.h"
#include "jinja/syntax/token.h"

namespace velloquin::jinja {

namespace {

// Statements, expressions and bracketed sub-expressions being parsed at once.
constexpr int kMaxNesting = 150;
// Other recursion of the parser (else-chains, bracketed assignment targets).
constexpr int kMaxOtherNesting = 400;
// Height of one expression tree, so that evaluating and freeing it stays shallow.
constexpr std::uint32_t kMaxHeight = 400;
constexpr std::size_t kMaxArguments = 2000;
constexpr std::array<std::string_view, 8> kReservedNames = {"true", "True", "false", "False",
                                                            "none", "None", "loop",  "self"};

Error syntax_error(std::string detail) {
  return Error(ErrorKind::SyntaxError, std::move(detail));
}

Error too_deep() {
  return syntax_error("template exceeds maximum recursion limits");
}

std::uint32_t height(const ExprPtr& e) {
  return e ? e->height : 0;
}

std::uint32_t args_height(const std::vector<Arg>& args) {
  std::uint32_t h = 0;
  for (const auto& a : args) h = std::max(h, height(a.value));
  return h;
}

std::uint32_t children_height(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Const:
    case ExprKind::Var:
      return 0;
    case ExprKind::List: {
      std::uint32_t h = 0;
      for (const auto& i : static_cast<const ListExpr&>(e).items) h = std::max(h, height(i));
      return h;
    }
    case ExprKind::Map: {
      const auto& m = static_cast<const MapExpr&>(e);
      std::uint32_t h = 0;
      for (const auto& i : m.keys) h = std::max(h, height(i));
      for (const auto& i : m.values) h = std::max(h, height(i));
      return h;
    }
    case ExprKind::Neg:
    case ExprKind::Not:
      return height(static_cast<const UnaryExpr&>(e).operand);
    case ExprKind::Arith: {
      const auto& a = static_cast<const ArithExpr&>(e);
      return std::max(height(a.left), height(a.right));
    }
    case ExprKind::And:
    case ExprKind::Or: {
      const auto& a = static_cast<const LogicExpr&>(e);
      return std::max(height(a.left), height(a.right));
    }
    case ExprKind::Compare: {
      const auto& c = static_cast<const CompareExpr&>(e);
      std::uint32_t h = height(c.first);
      for (const auto& r : c.rest) h = std::max(h, height(r.second));
      return h;
    }
    case ExprKind::Cond: {
      const auto& c = static_cast<const CondExpr&>(e);
      return std::max({height(c.cond), height(c.then), height(c.otherwise)});
    }
    case ExprKind::GetAttr:
      return height(static_cast<const GetAttrExpr&>(e).object);
    case ExprKind::GetItem: {
      const auto& g = static_cast<const GetItemExpr&>(e);
      return std::max(height(g.object), height(g.index));
    }
    case ExprKind::Slice: {
      const auto& s = static_cast<const SliceExpr&>(e);
      return std::max({height(s.object), height(s.start), height(s.stop), height(s.step)});
    }
    case ExprKind::Call: {
      const auto& c = static_cast<const CallExpr&>(e);
      return std::max(height(c.callee), args_height(c.args));
    }
    case ExprKind::Filter: {
      const auto& f = static_cast<const FilterExpr&>(e);
      return std::max(height(f.object), args_height(f.args));
    }
    case ExprKind::Test: {
      const auto& t = static_cast<const TestExpr&>(e);
      return std::max(height(t.object), args_height(t.args));
    }
  }
  return 0;
}

// Built from literals only: the operands for which `and` folds at compile time.
bool is_constant(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Const:
      return true;
    case ExprKind::List:
      return std::all_of(static_cast<const ListExpr&>(e).items.begin(),
                         static_cast<const ListExpr&>(e).items.end(),
                         [](const ExprPtr& i) { return is_constant(*i); });
    case ExprKind::Map: {
      const auto& m = static_cast<const MapExpr&>(e);
      for (const auto& k : m.keys)
        if (!is_constant(*k)) return false;
      for (const auto& v : m.values)
        if (!is_constant(*v)) return false;
      return true;
    }
    case ExprKind::Neg:
    case ExprKind::Not:
      return is_constant(*static_cast<const UnaryExpr&>(e).operand);
    case ExprKind::Arith: {
      const auto& a = static_cast<const ArithExpr&>(e);
      return is_constant(*a.left) && is_constant(*a.right);
    }
    default:
      return false;
  }
}

std::string_view describe_expr(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Var:
      return "variable";
    case ExprKind::Const:
      return "constant";
    case ExprKind::Call:
      return "call";
    case ExprKind::List:
      return "list literal";
    case ExprKind::Map:
      return "map literal";
    case ExprKind::Test:
      return static_cast<const TestExpr&>(e).negated ? "expression" : "test expression";
    case ExprKind::Filter:
      return "filter expression";
    default:
      return "expression";
  }
}

class Parser {
 public:
  Parser(std::string_view source, const FilterTable* filters, const TestTable* tests)
      : lexer_(source), filters_(filters), tests_(tests) {
    pull();
  }

  Result<Body, Error> parse() {
    auto body = subparse({});
    if (!body.ok()) {
      Error e = std::move(body).error();
      if (!e.template_name()) e.set_location("", last_line_);
      return err(std::move(e));
    }
    return body;
  }

 private:
  // --- token stream -------------------------------------------------------------------------

  void pull() {
    auto r = lexer_.next(cur_);
    if (!r.ok()) {
      state_ = State::Failed;
      error_.emplace(std::move(r).error());
    } else {
      state_ = r.value() ? State::Token : State::End;
    }
  }

  // The current token without consuming it; nullptr at the end of input.
  Result<const Token*, Error> peek() {
    if (state_ == State::Failed) return err(*error_);
    if (state_ == State::End) return static_cast<const Token*>(nullptr);
    return static_cast<const Token*>(&cur_);
  }

  // Consumes the current token into `out`; false at the end of input.
  Result<bool, Error> next(Token& out) {
    if (state_ == State::Failed) return err(*error_);
    if (state_ == State::End) return false;
    std::swap(out, cur_);
    last_line_ = out.line;
    pull();
    return true;
  }

  // Consumes the current token without handing it out.
  Result<void, Error> bump() {
    if (state_ == State::Failed) return err(*error_);
    if (state_ == State::End) return {};
    last_line_ = cur_.line;
    pull();
    return {};
  }

  Result<bool, Error> matches(TokenKind kind) {
    VQ_TRY(const Token* t, peek());
    return t != nullptr && t->kind == kind;
  }

  Result<bool, Error> matches_word(std::string_view word) {
    VQ_TRY(const Token* t, peek());
    return t != nullptr && t->is_ident(word);
  }

  Result<bool, Error> skip(TokenKind kind) {
    VQ_TRY(bool m, matches(kind));
    if (m) {
      VQ_CHECK(bump());
    }
    return m;
  }

  Result<bool, Error> skip_word(std::string_view word) {
    VQ_TRY(bool m, matches_word(word));
    if (m) {
      VQ_CHECK(bump());
    }
    return m;
  }

  static Error unexpected(std::string_view got, std::string_view expected) {
    std::string detail = "unexpected ";
    detail += got;
    detail += ", expected ";
    detail += expected;
    return syntax_error(std::move(detail));
  }

  // Consumes a token of `kind` into `out`, or fails with "unexpected X, expected WHAT".
  Result<void, Error> expect(TokenKind kind, std::string_view what, Token& out) {
    VQ_TRY(bool got, next(out));
    if (!got) return err(unexpected("end of input", what));
    if (out.kind != kind) return err(unexpected(token_name(out.kind), what));
    return {};
  }

  Result<void, Error> expect(TokenKind kind, std::string_view what) {
    Token t;
    return expect(kind, what, t);
  }

  Result<void, Error> expect_word(std::string_view word) {
    Token t;
    VQ_CHECK(expect(TokenKind::Ident, word, t));
    if (t.text != word) return err(unexpected(token_name(t.kind), word));
    return {};
  }

  Result<std::string_view, Error> expect_ident() {
    Token t;
    VQ_CHECK(expect(TokenKind::Ident, "identifier", t));
    return t.text;
  }

  Result<ExprPtr, Error> finish(ExprPtr e) {
    e->height = children_height(*e) + 1;
    if (e->height > kMaxHeight) return err(too_deep());
    return e;
  }

  // --- statements ---------------------------------------------------------------------------

  Result<Body, Error> subparse(std::initializer_list<std::string_view> end_words) {
    Body body;
    Token tok;
    while (true) {
      VQ_TRY(bool got, next(tok));
      if (!got) return body;
      switch (tok.kind) {
        case TokenKind::TemplateData:
          body.push_back(std::make_unique<TextStmt>(tok.line, tok.text));
          break;
        case TokenKind::VariableStart: {
          const std::uint32_t line = tok.line;
          VQ_TRY(ExprPtr e, parse_expr());
          body.push_back(std::make_unique<EmitStmt>(line, std::move(e)));
          VQ_CHECK(expect(TokenKind::VariableEnd, "end of variable block"));
          break;
        }
        case TokenKind::BlockStart: {
          VQ_TRY(const Token* keyword, peek());
          if (keyword == nullptr) {
            return err(syntax_error("unexpected end of input, expected keyword"));
          }
          if (keyword->kind == TokenKind::Ident &&
              std::find(end_words.begin(), end_words.end(), keyword->text) != end_words.end()) {
            return body;
          }
          VQ_TRY(StmtPtr s, parse_stmt());
          body.push_back(std::move(s));
          VQ_CHECK(expect(TokenKind::BlockEnd, "end of block"));
          break;
        }
        default:
          return err(unexpected(token_name(tok.kind), "statement"));
      }
    }
  }

  Result<StmtPtr, Error> parse_stmt() {
    if (++depth_ > kMaxNesting) return err(too_deep());
    auto r = parse_stmt_inner();
    --depth_;
    return r;
  }

  Result<StmtPtr, Error> parse_stmt_inner() {
    Token tok;
    VQ_CHECK(expect_any(tok, "keyword"));
    if (tok.kind != TokenKind::Ident) {
      std::string detail = "unknown ";
      detail += token_name(tok.kind);
      detail += ", expected statement";
      return err(syntax_error(std::move(detail)));
    }
    const std::string_view word = tok.text;
    const std::uint32_t line = tok.line;
    if (word == "for") return parse_for(line);
    if (word == "if") return parse_if(line);
    if (word == "with") return parse_with(line);
    if (word == "set") return parse_set(line);
    if (word == "autoescape") return parse_autoescape(line);
    if (word == "filter") return parse_filter_block(line);
    if (word == "do") return parse_do(line);
    return err(syntax_error("unknown statement " + std::string(word)));
  }

  Result<void, Error> expect_any(Token& out, std::string_view what) {
    VQ_TRY(bool got, next(out));
    if (!got) return err(unexpected("end of input", what));
    return {};
  }

  Result<StmtPtr, Error> parse_for(std::uint32_t line) {
    auto stmt = std::make_unique<ForStmt>(line);
    VQ_TRY(stmt->target, parse_assignment(false));
    VQ_CHECK(expect_word("in"));
    VQ_TRY(stmt->iter, parse_or());
    VQ_TRY(bool has_filter, skip_word("if"));
    if (has_filter) {
      VQ_TRY(stmt->filter, parse_expr());
    }
    VQ_TRY(stmt->recursive, skip_word("recursive"));
    VQ_CHECK(expect(TokenKind::BlockEnd, "end of block"));
    VQ_TRY(stmt->body, subparse({"endfor", "else"}));
    VQ_TRY(bool has_else, skip_word("else"));
    if (has_else) {
      VQ_CHECK(expect(TokenKind::BlockEnd, "end of block"));
      VQ_TRY(stmt->else_body, subparse({"endfor"}));
    }
    Token end;
    VQ_TRY(bool ignored, next(end));
    (void)ignored;
    return StmtPtr(std::move(stmt));
  }

  Result<StmtPtr, Error> parse_if(std::uint32_t line) {
    auto stmt = std::make_unique<IfStmt>(line);
    while (true) {
      IfStmt::Branch branch;
      VQ_TRY(branch.cond, parse_or());
      VQ_CHECK(expect(TokenKind::BlockEnd, "end of block"));
      VQ_TRY(branch.body, subparse({"endif", "else", "elif"}));
      stmt->branches.push_back(std::move(branch));
      Token tok;
      VQ_TRY(bool got, next(tok));
      if (got && tok.is_ident("elif")) continue;
      if (got && tok.is_ident("else")) {
        VQ_CHECK(expect(TokenKind::BlockEnd, "end of block"));
        VQ_TRY(stmt->else_body, subparse({"endif"}));
        VQ_TRY(bool ignored, next(tok));
        (void)ignored;
      }
      return StmtPtr(std::move(stmt));
    }
  }

  Result<StmtPtr, Error> parse_with(std::uint32_t line) {
    auto stmt = std::make_unique<WithStmt>(line);
    while (true) {
      VQ_TRY(bool at_end, matches(TokenKind::BlockEnd));
      if (at_end) break;
      if (!stmt->assignments.empty()) VQ_CHECK(expect(TokenKind::Comma, "comma"));
      Target target;
      VQ_TRY(bool paren, skip(TokenKind::ParenOpen));
      if (paren) {
        VQ_TRY(target, parse_assignment(false));
        VQ_CHECK(expect(TokenKind::ParenClose, "`)`"));
      } else {
        VQ_TRY(target, parse_assign_name(false));
      }
      VQ_CHECK(expect(TokenKind::Assign, "assignment operator"));
      VQ_TRY(ExprPtr value, parse_expr());
      stmt->assignments.emplace_back(std::move(target), std::move(value));
    }
    VQ_CHECK(expect(TokenKind::BlockEnd, "end of block"));
    VQ_TRY(stmt->body, subparse({"endwith"}));
    Token end;
    VQ_TRY(bool ignored, next(end));
    (void)ignored;
    return StmtPtr(std::move(stmt));
  }

  Result<StmtPtr, Error> parse_set(std::uint32_t line) {
    Target target;
    VQ_TRY(bool empty, matches(TokenKind::BlockEnd));
    if (empty) {
      target.kind = Target::Kind::Tuple;
      target.line = line;
    } else {
      VQ_TRY(target, parse_assign_item(true));
      VQ_TRY(bool tuple, matches(TokenKind::Comma));
      if (tuple) {
        Target group;
        group.kind = Target::Kind::Tuple;
        group.line = target.line;
        group.items.push_back(std::move(target));
        while (true) {
          VQ_TRY(bool comma, skip(TokenKind::Comma));
          if (!comma) break;
          VQ_TRY(Target item, parse_assign_item(true));
          group.items.push_back(std::move(item));
        }
        target = std::move(group);
      }
    }
    VQ_TRY(bool block_end, matches(TokenKind::BlockEnd));
    VQ_TRY(bool pipe, matches(TokenKind::Pipe));
    if (block_end || pipe) {
      auto stmt = std::make_unique<SetBlockStmt>(line);
      stmt->target = std::move(target);
      if (pipe) {
        VQ_TRY(bool consumed_pipe, skip(TokenKind::Pipe));
        (void)consumed_pipe;
        VQ_TRY(stmt->filter, parse_filter_chain());
      }
      VQ_CHECK(expect(TokenKind::BlockEnd, "end of block"));
      VQ_TRY(stmt->body, subparse({"endset"}));
      Token end;
      VQ_TRY(bool ignored, next(end));
      (void)ignored;
      return StmtPtr(std::move(stmt));
    }
    VQ_CHECK(expect(TokenKind::Assign, "assignment operator"));
    auto stmt = std::make_unique<SetStmt>(line);
    stmt->target = std::move(target);
    VQ_TRY(ExprPtr value, parse_expr());
    VQ_TRY(bool list, matches(TokenKind::Comma));
    if (list) {
      auto items = std::make_unique<ListExpr>(value->line);
      items->items.push_back(std::move(value));
      while (true) {
        VQ_TRY(bool comma, skip(TokenKind::Comma));
        if (!comma) break;
        VQ_TRY(bool end, matches(TokenKind::BlockEnd));
        if (end) break;
        VQ_TRY(ExprPtr item, parse_expr());
        items->items.push_back(std::move(item));
      }
      VQ_TRY(value, finish(std::move(items)));
    }
    stmt->value = std::move(value);
    return StmtPtr(std::move(stmt));
  }

  Result<StmtPtr, Error> parse_autoescape(std::uint32_t line) {
    auto stmt = std::make_unique<AutoEscapeStmt>(line);
    VQ_TRY(stmt->enabled, parse_expr());
    VQ_CHECK(expect(TokenKind::BlockEnd, "end of block"));
    VQ_TRY(stmt->body, subparse({"endautoescape"}));
    Token end;
    VQ_TRY(bool ignored, next(end));
    (void)ignored;
    return StmtPtr(std::move(stmt));
  }

  Result<StmtPtr, Error> parse_filter_block(std::uint32_t line) {
    auto stmt = std::make_unique<FilterBlockStmt>(line);
    VQ_TRY(stmt->filter, parse_filter_chain());
    VQ_CHECK(expect(TokenKind::BlockEnd, "end of block"));
    VQ_TRY(stmt->body, subparse({"endfilter"}));
    Token end;
    VQ_TRY(bool ignored, next(end));
    (void)ignored;
    return StmtPtr(std::move(stmt));
  }

  Result<StmtPtr, Error> parse_do(std::uint32_t line) {
    VQ_TRY(ExprPtr call, parse_expr());
    if (call->kind != ExprKind::Call) {
      return err(syntax_error("expected call expression in call block, got " +
                              std::string(describe_expr(*call))));
    }
    return StmtPtr(std::make_unique<DoStmt>(line, std::move(call)));
  }

  // A filter chain without a value: `f(args) | g`.
  Result<ExprPtr, Error> parse_filter_chain() {
    ExprPtr chain;
    while (true) {
      VQ_TRY(bool at_end, matches(TokenKind::BlockEnd));
      if (at_end) break;
      if (chain) VQ_CHECK(expect(TokenKind::Pipe, "`|`"));
      VQ_TRY(ExprPtr filter, parse_filter_call(std::move(chain)));
      chain = std::move(filter);
    }
    if (!chain) return err(syntax_error("expected a filter"));
    return chain;
  }

  // --- assignment targets -------------------------------------------------------------------

  Result<Target, Error> parse_assign_name(bool dotted) {
    Token tok;
    VQ_CHECK(expect(TokenKind::Ident, "identifier", tok));
    if (std::find(kReservedNames.begin(), kReservedNames.end(), tok.text) != kReservedNames.end()) {
      return err(syntax_error("cannot assign to reserved variable name " + std::string(tok.text)));
    }
    Target target;
    target.line = tok.line;
    target.name = tok.text;
    if (!dotted) return target;
    ExprPtr object;
    while (true) {
      VQ_TRY(bool dot, skip(TokenKind::Dot));
      if (!dot) break;
      VQ_TRY(std::string_view attr, expect_ident());
      if (!object) {
        VQ_TRY(object, finish(std::make_unique<VarExpr>(target.line, target.name)));
      } else {
        VQ_TRY(object,
               finish(std::make_unique<GetAttrExpr>(target.line, std::move(object), target.name)));
      }
      target.name = attr;
    }
    if (object) {
      target.kind = Target::Kind::Attr;
      target.object = std::move(object);
    }
    return target;
  }

  // One element of an unpacking target: a name or a parenthesised group.
  Result<Target, Error> parse_assign_item(bool dotted) {
    VQ_TRY(bool paren, skip(TokenKind::ParenOpen));
    if (!paren) return parse_assign_name(dotted);
    VQ_TRY(Target inner, parse_assignment(dotted));
    VQ_CHECK(expect(TokenKind::ParenClose, "`)`"));
    return inner;
  }

  Result<Target, Error> parse_assignment(bool dotted) {
    if (++other_depth_ > kMaxOtherNesting) return err(too_deep());
    auto r = parse_assignment_inner(dotted);
    --other_depth_;
    return r;
  }

  Result<Target, Error> parse_assignment_inner(bool dotted) {
    Target group;
    group.kind = Target::Kind::Tuple;
    group.line = last_line_;
    bool is_tuple = false;
    while (true) {
      if (!group.items.empty()) VQ_CHECK(expect(TokenKind::Comma, "`,`"));
      VQ_TRY(const Token* t, peek());
      if (t == nullptr || t->kind == TokenKind::ParenClose || t->kind == TokenKind::VariableEnd ||
          t->kind == TokenKind::BlockEnd || t->is_ident("in")) {
        break;
      }
      VQ_TRY(Target item, parse_assign_item(dotted));
      group.items.push_back(std::move(item));
      VQ_TRY(bool comma, matches(TokenKind::Comma));
      if (!comma) break;
      is_tuple = true;
    }
    if (!is_tuple && group.items.size() == 1) return std::move(group.items.front());
    return group;
  }

  // --- expressions --------------------------------------------------------------------------

  Result<ExprPtr, Error> parse_expr() {
    if (++depth_ > kMaxNesting) return err(too_deep());
    auto r = parse_cond();
    --depth_;
    return r;
  }

  Result<ExprPtr, Error> parse_cond() {
    VQ_TRY(ExprPtr expr, parse_or());
    while (true) {
      VQ_TRY(bool has_if, skip_word("if"));
      if (!has_if) return expr;
      auto cond = std::make_unique<CondExpr>(expr->line);
      cond->then = std::move(expr);
      VQ_TRY(cond->cond, parse_or());
      VQ_TRY(bool has_else, skip_word("else"));
      if (has_else) {
        if (++other_depth_ > kMaxOtherNesting) return err(too_deep());
        auto otherwise = parse_cond();
        --other_depth_;
        VQ_TRY(cond->otherwise, std::move(otherwise));
      }
      VQ_TRY(expr, finish(std::move(cond)));
    }
  }

  Result<ExprPtr, Error> parse_or() {
    VQ_TRY(ExprPtr left, parse_and());
    while (true) {
      VQ_TRY(bool op, skip_word("or"));
      if (!op) return left;
      VQ_TRY(ExprPtr right, parse_and());
      VQ_TRY(left, make_logic(ExprKind::Or, std::move(left), std::move(right)));
    }
  }

  Result<ExprPtr, Error> parse_and() {
    VQ_TRY(ExprPtr left, parse_not());
    while (true) {
      VQ_TRY(bool op, skip_word("and"));
      if (!op) return left;
      VQ_TRY(ExprPtr right, parse_not());
      VQ_TRY(left, make_logic(ExprKind::And, std::move(left), std::move(right)));
    }
  }

  Result<ExprPtr, Error> make_logic(ExprKind kind, ExprPtr left, ExprPtr right) {
    const std::uint32_t line = left->line;
    const bool constant = is_constant(*left) && is_constant(*right);
    auto node = std::make_unique<LogicExpr>(kind, line, std::move(left), std::move(right));
    node->both_constant = constant;
    return finish(std::move(node));
  }

  Result<ExprPtr, Error> parse_not() {
    std::vector<std::uint32_t> lines;
    while (true) {
      VQ_TRY(const Token* t, peek());
      if (t == nullptr || !t->is_ident("not")) break;
      lines.push_back(t->line);
      VQ_CHECK(bump());
    }
    VQ_TRY(ExprPtr expr, parse_compare());
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
      VQ_TRY(expr, finish(std::make_unique<UnaryExpr>(ExprKind::Not, *it, std::move(expr))));
    }
    return expr;
  }

  Result<ExprPtr, Error> parse_compare() {
    VQ_TRY(ExprPtr first, parse_math1());
    std::unique_ptr<CompareExpr> chain;
    while (true) {
      VQ_TRY(const Token* t, peek());
      if (t == nullptr) break;
      CompareKind op;
      bool negated_in = false;
      switch (t->kind) {
        case TokenKind::Eq:
          op = CompareKind::Eq;
          break;
        case TokenKind::Ne:
          op = CompareKind::Ne;
          break;
        case TokenKind::Lt:
          op = CompareKind::Lt;
          break;
        case TokenKind::Lte:
          op = CompareKind::Le;
          break;
        case TokenKind::Gt:
          op = CompareKind::Gt;
          break;
        case TokenKind::Gte:
          op = CompareKind::Ge;
          break;
        case TokenKind::Ident:
          if (t->text == "in") {
            op = CompareKind::In;
          } else if (t->text == "not") {
            op = CompareKind::NotIn;
            negated_in = true;
          } else {
            goto done;
          }
          break;
        default:
          goto done;
      }
      {
        VQ_CHECK(bump());
        if (negated_in) VQ_CHECK(expect_word("in"));
        VQ_TRY(ExprPtr right, parse_math1());
        if (!chain) {
          const std::uint32_t line = first->line;
          chain = std::make_unique<CompareExpr>(line, std::move(first));
        }
        chain->rest.emplace_back(op, std::move(right));
      }
    }
  done:
    if (!chain) return first;
    return finish(std::move(chain));
  }

  template <class Next>
  Result<ExprPtr, Error> parse_binary(Next next_level,
                                      std::initializer_list<std::pair<TokenKind, ArithOp>> ops) {
    VQ_TRY(ExprPtr left, (this->*next_level)());
    while (true) {
      VQ_TRY(const Token* t, peek());
      if (t == nullptr) return left;
      const auto found =
          std::find_if(ops.begin(), ops.end(), [&](const auto& p) { return p.first == t->kind; });
      if (found == ops.end()) return left;
      VQ_CHECK(bump());
      VQ_TRY(ExprPtr right, (this->*next_level)());
      const std::uint32_t line = left->line;
      VQ_TRY(left, finish(std::make_unique<ArithExpr>(line, found->second, std::move(left),
                                                      std::move(right))));
    }
  }

  Result<ExprPtr, Error> parse_math1() {
    return parse_binary(&Parser::parse_concat,
                        {{TokenKind::Plus, ArithOp::Add}, {TokenKind::Minus, ArithOp::Sub}});
  }
  Result<ExprPtr, Error> parse_concat() {
    return parse_binary(&Parser::parse_math2, {{TokenKind::Tilde, ArithOp::Concat}});
  }
  Result<ExprPtr, Error> parse_math2() {
    return parse_binary(&Parser::parse_pow, {{TokenKind::Mul, ArithOp::Mul},
                                             {TokenKind::Div, ArithOp::Div},
                                             {TokenKind::FloorDiv, ArithOp::FloorDiv},
                                             {TokenKind::Mod, ArithOp::Rem}});
  }
  Result<ExprPtr, Error> parse_pow() {
    return parse_binary(&Parser::parse_unary, {{TokenKind::Pow, ArithOp::Pow}});
  }

  Result<ExprPtr, Error> parse_unary() {
    VQ_TRY(const Token* t, peek());
    const std::uint32_t line = t ? t->line : last_line_;
    VQ_TRY(ExprPtr expr, parse_unary_only());
    VQ_TRY(expr, parse_postfix(std::move(expr), line));
    return parse_filters(std::move(expr));
  }

  // Prefix minus binds to the primary alone, before any postfix operation.
  Result<ExprPtr, Error> parse_unary_only() {
    std::vector<std::uint32_t> lines;
    while (true) {
      VQ_TRY(const Token* t, peek());
      if (t == nullptr || t->kind != TokenKind::Minus) break;
      lines.push_back(t->line);
      VQ_CHECK(bump());
    }
    VQ_TRY(ExprPtr expr, parse_primary());
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
      VQ_TRY(expr, finish(std::make_unique<UnaryExpr>(ExprKind::Neg, *it, std::move(expr))));
    }
    return expr;
  }

  Result<ExprPtr, Error> parse_postfix(ExprPtr expr, std::uint32_t line) {
    while (true) {
      VQ_TRY(const Token* t, peek());
      if (t == nullptr) return expr;
      const std::uint32_t next_line = t->line;
      if (t->kind == TokenKind::Dot) {
        VQ_CHECK(bump());
        Token name;
        VQ_TRY(bool got, next(name));
        if (!got) return err(unexpected("end of input", "identifier or integer"));
        if (name.kind == TokenKind::Ident) {
          VQ_TRY(expr, finish(std::make_unique<GetAttrExpr>(line, std::move(expr), name.text)));
        } else if (name.kind == TokenKind::Int) {
          auto index = std::make_unique<ConstExpr>(
              name.line, Value(static_cast<unsigned long long>(name.u64)));
          VQ_TRY(expr,
                 finish(std::make_unique<GetItemExpr>(line, std::move(expr), std::move(index))));
        } else {
          return err(unexpected(token_name(name.kind), "identifier or integer"));
        }
      } else if (t->kind == TokenKind::BracketOpen) {
        VQ_CHECK(bump());
        ExprPtr start, stop, step;
        bool is_slice = false;
        VQ_TRY(bool colon, matches(TokenKind::Colon));
        if (!colon) {
          VQ_TRY(start, parse_expr());
        }
        VQ_TRY(bool first_colon, skip(TokenKind::Colon));
        if (first_colon) {
          is_slice = true;
          VQ_TRY(bool close, matches(TokenKind::BracketClose));
          VQ_TRY(bool colon2, matches(TokenKind::Colon));
          if (!close && !colon2) {
            VQ_TRY(stop, parse_expr());
          }
          VQ_TRY(bool second_colon, skip(TokenKind::Colon));
          if (second_colon) {
            VQ_TRY(bool close2, matches(TokenKind::BracketClose));
            if (!close2) {
              VQ_TRY(step, parse_expr());
            }
          }
        }
        VQ_CHECK(expect(TokenKind::BracketClose, "`]`"));
        if (is_slice) {
          auto s = std::make_unique<SliceExpr>(line, std::move(expr));
          s->start = std::move(start);
          s->stop = std::move(stop);
          s->step = std::move(step);
          VQ_TRY(expr, finish(std::move(s)));
        } else {
          VQ_TRY(expr,
                 finish(std::make_unique<GetItemExpr>(line, std::move(expr), std::move(start))));
        }
      } else if (t->kind == TokenKind::ParenOpen) {
        auto call = std::make_unique<CallExpr>(line, std::move(expr));
        VQ_TRY(call->args, parse_args());
        VQ_TRY(expr, finish(std::move(call)));
      } else {
        return expr;
      }
      line = next_line;
    }
  }

  // A filter or test name: identifiers joined by dots.
  Result<std::pair<std::string, std::uint32_t>, Error> parse_dotted_name() {
    Token tok;
    VQ_CHECK(expect(TokenKind::Ident, "identifier", tok));
    std::string name(tok.text);
    while (true) {
      VQ_TRY(bool dot, skip(TokenKind::Dot));
      if (!dot) break;
      VQ_TRY(std::string_view part, expect_ident());
      name += '.';
      name += part;
    }
    return std::pair<std::string, std::uint32_t>(std::move(name), tok.line);
  }

  Result<ExprPtr, Error> parse_filter_call(ExprPtr object) {
    VQ_TRY(auto name, parse_dotted_name());
    auto filter =
        std::make_unique<FilterExpr>(name.second, std::move(name.first), std::move(object));
    if (filters_ != nullptr) filter->builtin = filters_->find_builtin(filter->name);
    VQ_TRY(bool paren, matches(TokenKind::ParenOpen));
    if (paren) {
      VQ_TRY(filter->args, parse_args());
    }
    return finish(std::move(filter));
  }

  Result<ExprPtr, Error> parse_filters(ExprPtr expr) {
    while (true) {
      VQ_TRY(const Token* t, peek());
      if (t == nullptr) return expr;
      if (t->kind == TokenKind::Pipe) {
        VQ_CHECK(bump());
        VQ_TRY(expr, parse_filter_call(std::move(expr)));
      } else if (t->is_ident("is")) {
        VQ_CHECK(bump());
        VQ_TRY(bool negated, skip_word("not"));
        VQ_TRY(auto name, parse_dotted_name());
        auto test = std::make_unique<TestExpr>(name.second, std::move(name.first), std::move(expr));
        test->negated = negated;
        if (tests_ != nullptr) test->builtin = tests_->find_builtin(test->name);
        VQ_TRY(const Token* a, peek());
        if (a != nullptr && a->kind == TokenKind::ParenOpen) {
          VQ_TRY(test->args, parse_args());
        } else if (a != nullptr && takes_bare_argument(*a)) {
          const std::uint32_t line = a->line;
          VQ_TRY(ExprPtr arg, parse_unary_only());
          VQ_TRY(arg, parse_postfix(std::move(arg), line));
          Arg bare;
          bare.value = std::move(arg);
          test->args.push_back(std::move(bare));
        }
        VQ_TRY(expr, finish(std::move(test)));
      } else {
        return expr;
      }
    }
  }

  static bool takes_bare_argument(const Token& t) {
    switch (t.kind) {
      case TokenKind::Ident:
        return t.text != "and" && t.text != "or" && t.text != "else" && t.text != "is";
      case TokenKind::String:
      case TokenKind::Int:
      case TokenKind::Int128:
      case TokenKind::Float:
      case TokenKind::Plus:
      case TokenKind::Minus:
      case TokenKind::BracketOpen:
      case TokenKind::BraceOpen:
        return true;
      default:
        return false;
    }
  }

  Result<std::vector<Arg>, Error> parse_args() {
    std::vector<Arg> args;
    bool has_kwargs = false;
    VQ_CHECK(expect(TokenKind::ParenOpen, "`(`"));
    while (true) {
      VQ_TRY(bool close, skip(TokenKind::ParenClose));
      if (close) break;
      if (!args.empty() || has_kwargs) {
        VQ_CHECK(expect(TokenKind::Comma, "`,`"));
        VQ_TRY(bool close2, skip(TokenKind::ParenClose));
        if (close2) break;
      }
      Arg arg;
      VQ_TRY(bool kw_splat, skip(TokenKind::Pow));
      bool splat = false;
      if (!kw_splat) {
        VQ_TRY(splat, skip(TokenKind::Mul));
      }
      VQ_TRY(arg.value, parse_expr());
      if (kw_splat) {
        arg.kind = ArgKind::KeywordSplat;
        has_kwargs = true;
      } else if (splat) {
        arg.kind = ArgKind::Splat;
      } else {
        bool keyword = false;
        if (arg.value->kind == ExprKind::Var) {
          VQ_TRY(keyword, skip(TokenKind::Assign));
        }
        if (keyword) {
          arg.kind = ArgKind::Keyword;
          arg.name = static_cast<const VarExpr&>(*arg.value).name;
          VQ_TRY(arg.value, parse_expr());
          has_kwargs = true;
        } else if (has_kwargs) {
          return err(syntax_error("non-keyword arg after keyword arg"));
        }
      }
      args.push_back(std::move(arg));
      if (args.size() > kMaxArguments) {
        return err(syntax_error("Too many arguments in function call"));
      }
    }
    return args;
  }

  Result<ExprPtr, Error> parse_primary() {
    if (++depth_ > kMaxNesting) return err(too_deep());
    auto r = parse_primary_inner();
    --depth_;
    return r;
  }

  Result<ExprPtr, Error> parse_primary_inner() {
    Token tok;
    VQ_TRY(bool got, next(tok));
    if (!got) return err(unexpected("end of input", "expression"));
    const std::uint32_t line = tok.line;
    switch (tok.kind) {
      case TokenKind::Ident:
        if (tok.text == "true" || tok.text == "True") {
          return ExprPtr(std::make_unique<ConstExpr>(line, Value(true)));
        }
        if (tok.text == "false" || tok.text == "False") {
          return ExprPtr(std::make_unique<ConstExpr>(line, Value(false)));
        }
        if (tok.text == "none" || tok.text == "None") {
          return ExprPtr(std::make_unique<ConstExpr>(line, Value::none()));
        }
        return ExprPtr(std::make_unique<VarExpr>(line, tok.text));
      case TokenKind::String: {
        std::string text = std::move(tok.decoded);
        while (true) {
          VQ_TRY(const Token* t, peek());
          if (t == nullptr || t->kind != TokenKind::String) break;
          text += t->decoded;
          VQ_CHECK(bump());
        }
        return ExprPtr(std::make_unique<ConstExpr>(line, Value(std::move(text))));
      }
      case TokenKind::Int:
        return ExprPtr(
            std::make_unique<ConstExpr>(line, Value(static_cast<unsigned long long>(tok.u64))));
      case TokenKind::Int128:
        return ExprPtr(std::make_unique<ConstExpr>(line, Value(static_cast<UInt128>(tok.u128))));
      case TokenKind::Float:
        return ExprPtr(std::make_unique<ConstExpr>(line, Value(tok.f64)));
      case TokenKind::ParenOpen:
        return parse_tuple_or_expr(line);
      case TokenKind::BracketOpen:
        return parse_list(line);
      case TokenKind::BraceOpen:
        return parse_map(line);
      default:
        return err(syntax_error("unexpected " + std::string(token_name(tok.kind))));
    }
  }

  Result<ExprPtr, Error> parse_list(std::uint32_t line) {
    auto list = std::make_unique<ListExpr>(line);
    while (true) {
      VQ_TRY(bool close, skip(TokenKind::BracketClose));
      if (close) break;
      if (!list->items.empty()) {
        VQ_CHECK(expect(TokenKind::Comma, "`,`"));
        VQ_TRY(bool close2, skip(TokenKind::BracketClose));
        if (close2) break;
      }
      VQ_TRY(ExprPtr item, parse_expr());
      list->items.push_back(std::move(item));
    }
    return finish(std::move(list));
  }

  Result<ExprPtr, Error> parse_map(std::uint32_t line) {
    auto map = std::make_unique<MapExpr>(line);
    while (true) {
      VQ_TRY(bool close, skip(TokenKind::BraceClose));
      if (close) break;
      if (!map->keys.empty()) {
        VQ_CHECK(expect(TokenKind::Comma, "`,`"));
        VQ_TRY(bool close2, skip(TokenKind::BraceClose));
        if (close2) break;
      }
      VQ_TRY(ExprPtr key, parse_expr());
      VQ_CHECK(expect(TokenKind::Colon, "`:`"));
      VQ_TRY(ExprPtr value, parse_expr());
      map->keys.push_back(std::move(key));
      map->values.push_back(std::move(value));
    }
    return finish(std::move(map));
  }

  Result<ExprPtr, Error> parse_tuple_or_expr(std::uint32_t line) {
    VQ_TRY(bool empty, skip(TokenKind::ParenClose));
    if (empty) return finish(std::make_unique<ListExpr>(line));
    VQ_TRY(ExprPtr expr, parse_expr());
    VQ_TRY(bool tuple, matches(TokenKind::Comma));
    if (!tuple) {
      VQ_CHECK(expect(TokenKind::ParenClose, "`)`"));
      return expr;
    }
    auto list = std::make_unique<ListExpr>(line);
    list->items.push_back(std::move(expr));
    while (true) {
      VQ_TRY(bool close, skip(TokenKind::ParenClose));
      if (close) break;
      VQ_CHECK(expect(TokenKind::Comma, "`,`"));
      VQ_TRY(bool close2, skip(TokenKind::ParenClose));
      if (close2) break;
      VQ_TRY(ExprPtr item, parse_expr());
      list->items.push_back(std::move(item));
    }
    return finish(std::move(list));
  }

  enum class State : std::uint8_t { Token, End, Failed };

  Lexer lexer_;
  const FilterTable* filters_;
  const TestTable* tests_;
  Token cur_;
  State state_ = State::End;
  std::optional<Error> error_;
  std::uint32_t last_line_ = 0;
  int depth_ = 0;
  int other_depth_ = 0;
};

}  // namespace

Result<Body, Error> parse_template(std::string_view source, const FilterTable* filters,
                                   const TestTable* tests) {
  return Parser(source, filters, tests).parse();
}

}  // namespace velloquin::jinja
