#include "jinja/syntax/analysis.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace velloquin::jinja {

namespace {

class Walker {
 public:
  Walker() { scopes_.push_back({"self"}); }

  std::set<std::string> take() { return std::move(found_); }

  void walk(const Body& body) {
    for (const auto& stmt : body) walk(*stmt);
  }

 private:
  void push() { scopes_.emplace_back(); }
  void pop() { scopes_.pop_back(); }
  void assign(std::string_view name) { scopes_.back().push_back(name); }

  bool assigned(std::string_view name) const {
    for (const auto& scope : scopes_) {
      if (std::find(scope.begin(), scope.end(), name) != scope.end()) return true;
    }
    return false;
  }

  void read(std::string_view name) {
    if (!assigned(name)) found_.emplace(name);
  }

  void walk_scoped(const Body& body) {
    push();
    walk(body);
    pop();
  }

  // Names a target binds; a namespace target reads its namespace instead.
  void assign_target(const Target& target) {
    switch (target.kind) {
      case Target::Kind::Name:
        assign(target.name);
        break;
      case Target::Kind::Attr:
        visit(target.object.get());
        break;
      case Target::Kind::Tuple:
        for (const auto& item : target.items) assign_target(item);
        break;
    }
  }

  void walk(const Stmt& stmt) {
    switch (stmt.kind) {
      case StmtKind::Text:
        break;
      case StmtKind::Emit:
        visit(static_cast<const EmitStmt&>(stmt).expr.get());
        break;
      case StmtKind::For: {
        const auto& f = static_cast<const ForStmt&>(stmt);
        push();
        assign("loop");
        visit(f.iter.get());
        assign_target(f.target);
        visit(f.filter.get());
        walk(f.body);
        pop();
        walk_scoped(f.else_body);
        break;
      }
      case StmtKind::If: {
        const auto& i = static_cast<const IfStmt&>(stmt);
        for (const auto& branch : i.branches) {
          visit(branch.cond.get());
          walk_scoped(branch.body);
        }
        walk_scoped(i.else_body);
        break;
      }
      case StmtKind::With: {
        const auto& w = static_cast<const WithStmt&>(stmt);
        push();
        for (const auto& [target, value] : w.assignments) {
          visit(value.get());
          assign_target(target);
        }
        walk(w.body);
        pop();
        break;
      }
      case StmtKind::Set: {
        const auto& s = static_cast<const SetStmt&>(stmt);
        visit(s.value.get());
        assign_target(s.target);
        break;
      }
      case StmtKind::SetBlock: {
        const auto& s = static_cast<const SetBlockStmt&>(stmt);
        visit(s.filter.get());
        walk_scoped(s.body);
        assign_target(s.target);
        break;
      }
      case StmtKind::FilterBlock: {
        const auto& f = static_cast<const FilterBlockStmt&>(stmt);
        visit(f.filter.get());
        walk_scoped(f.body);
        break;
      }
      case StmtKind::AutoEscape: {
        const auto& a = static_cast<const AutoEscapeStmt&>(stmt);
        visit(a.enabled.get());
        walk_scoped(a.body);
        break;
      }
      case StmtKind::Do:
        visit(static_cast<const DoStmt&>(stmt).call.get());
        break;
    }
  }

  void visit_args(const std::vector<Arg>& args) {
    for (const auto& arg : args) visit(arg.value.get());
  }

  void visit(const Expr* e) {
    if (e == nullptr) return;
    switch (e->kind) {
      case ExprKind::Const:
        break;
      case ExprKind::Var:
        read(static_cast<const VarExpr*>(e)->name);
        break;
      case ExprKind::List:
        for (const auto& item : static_cast<const ListExpr*>(e)->items) visit(item.get());
        break;
      case ExprKind::Map: {
        const auto* m = static_cast<const MapExpr*>(e);
        for (std::size_t i = 0; i < m->keys.size(); ++i) {
          visit(m->keys[i].get());
          visit(m->values[i].get());
        }
        break;
      }
      case ExprKind::Neg:
      case ExprKind::Not:
        visit(static_cast<const UnaryExpr*>(e)->operand.get());
        break;
      case ExprKind::Arith: {
        const auto* a = static_cast<const ArithExpr*>(e);
        visit(a->left.get());
        visit(a->right.get());
        break;
      }
      case ExprKind::And:
      case ExprKind::Or: {
        const auto* l = static_cast<const LogicExpr*>(e);
        visit(l->left.get());
        visit(l->right.get());
        break;
      }
      case ExprKind::Compare: {
        const auto* c = static_cast<const CompareExpr*>(e);
        visit(c->first.get());
        for (const auto& r : c->rest) visit(r.second.get());
        break;
      }
      case ExprKind::Cond: {
        const auto* c = static_cast<const CondExpr*>(e);
        visit(c->then.get());
        visit(c->cond.get());
        visit(c->otherwise.get());
        break;
      }
      case ExprKind::GetAttr:
        visit(static_cast<const GetAttrExpr*>(e)->object.get());
        break;
      case ExprKind::GetItem: {
        const auto* g = static_cast<const GetItemExpr*>(e);
        visit(g->object.get());
        visit(g->index.get());
        break;
      }
      case ExprKind::Slice: {
        const auto* s = static_cast<const SliceExpr*>(e);
        visit(s->object.get());
        visit(s->start.get());
        visit(s->stop.get());
        visit(s->step.get());
        break;
      }
      case ExprKind::Call: {
        const auto* c = static_cast<const CallExpr*>(e);
        visit(c->callee.get());
        visit_args(c->args);
        break;
      }
      case ExprKind::Filter: {
        const auto* f = static_cast<const FilterExpr*>(e);
        visit(f->object.get());
        visit_args(f->args);
        break;
      }
      case ExprKind::Test: {
        const auto* t = static_cast<const TestExpr*>(e);
        visit(t->object.get());
        visit_args(t->args);
        break;
      }
    }
  }

  std::vector<std::vector<std::string_view>> scopes_;
  std::set<std::string> found_;
};

}  // namespace

std::set<std::string> undeclared_names(const Body& body) {
  Walker walker;
  walker.walk(body);
  return walker.take();
}

}  // namespace velloquin::jinja
