// Renders a parsed template: walks its statements with a stack of scopes and appends the
// output to one buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.h"
#include "jinja/runtime/functions.h"
#include "jinja/runtime/interruption.h"
#include "jinja/syntax/ast.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {

class Environment;
class LoopObject;

class Evaluator final : public State {
 public:
  // `interruption`, when given, is asked now and then whether to go on (it must outlive the
  // render).
  Evaluator(const Environment& env, std::string_view template_name, AutoEscape escape, Value root,
            Interruption* interruption = nullptr);

  // Renders the template's statements; errors carry a line and an empty template name.
  Result<void, Error> render(const Body& body, std::string& out);

  // `loop(items)` inside a recursive loop: the loop's body again, one level deeper.
  ValueResult recurse(const LoopObject& loop, const Args& args);

  UndefinedBehavior undefined_behavior() const override;
  AutoEscape auto_escape() const override { return escape_; }
  const Function* find_filter(std::string_view name) const override;
  const TestFunction* find_test(std::string_view name) const override;
  std::string_view template_name() const override { return name_; }
  std::vector<std::pair<std::string, Value>> visible_variables() const override;
  std::vector<std::string> filter_names() const override;
  std::vector<std::string> test_names() const override;
  std::vector<std::string> global_names() const override;

 private:
  struct Frame {
    std::vector<std::pair<std::string_view, Value>> locals;
    Value loop;  // the loop object of a loop frame
    const LoopObject* loop_object = nullptr;
  };

  Result<void, Error> push_frame();
  void pop_frame() { frames_.pop_back(); }
  Value lookup(std::string_view name) const;
  // Where a variable's value is stored (or `scratch`, holding a copy); undefined when unknown.
  const Value* lookup_ref(std::string_view name, Value& scratch) const;
  // Evaluates `expr` without copying a variable's or constant's value.
  Result<const Value*, Error> eval_ref(const Expr& expr, Value& scratch);
  // `x.name` the same way: a map's entry in place where the map outlives the expression.
  Result<const Value*, Error> get_attr_ref(const GetAttrExpr& expr, Value& scratch);
  void assign(std::string_view name, Value value);

  Result<void, Error> render_body(const Body& body, std::string& out);
  Result<void, Error> render_stmt(const Stmt& stmt, std::string& out);
  [[gnu::noinline]] Result<void, Error> render_emit(const EmitStmt& stmt, std::string& out);
  [[gnu::noinline]] Result<void, Error> render_set(const SetStmt& stmt);
  [[gnu::noinline]] Result<void, Error> render_set_block(const SetBlockStmt& stmt);
  [[gnu::noinline]] Result<void, Error> render_filter_block(const FilterBlockStmt& stmt,
                                                            std::string& out);
  [[gnu::noinline]] Result<void, Error> render_for(const ForStmt& stmt, std::string& out);
  Result<void, Error> run_loop(const ForStmt& stmt, std::shared_ptr<const std::vector<Value>> items,
                               bool length_known, std::uint32_t depth0, std::string& out);
  [[gnu::noinline]] Result<void, Error> render_if(const IfStmt& stmt, std::string& out);
  [[gnu::noinline]] Result<void, Error> render_with(const WithStmt& stmt, std::string& out);
  [[gnu::noinline]] Result<void, Error> render_autoescape(const AutoEscapeStmt& stmt,
                                                          std::string& out);
  Result<void, Error> emit(const Value& value, std::string& out);
  Result<void, Error> bind(const Target& target, const Value& value);
  Value capture_value(std::string text) const;

  ValueResult eval(const Expr& expr);
  ValueResult eval_inner(const Expr& expr);
  [[gnu::noinline]] ValueResult eval_list(const ListExpr& expr);
  [[gnu::noinline]] ValueResult eval_map(const MapExpr& expr);
  [[gnu::noinline]] ValueResult eval_unary(const UnaryExpr& expr);
  [[gnu::noinline]] ValueResult eval_cond(const CondExpr& expr);
  [[gnu::noinline]] ValueResult eval_get_attr(const GetAttrExpr& expr);
  [[gnu::noinline]] ValueResult eval_get_item(const GetItemExpr& expr);
  [[gnu::noinline]] ValueResult eval_slice(const SliceExpr& expr);
  [[gnu::noinline]] ValueResult eval_arith(const ArithExpr& expr);
  [[gnu::noinline]] ValueResult eval_logic(const LogicExpr& expr);
  [[gnu::noinline]] ValueResult eval_compare(const CompareExpr& expr);
  [[gnu::noinline]] ValueResult eval_call(const CallExpr& expr);
  [[gnu::noinline]] ValueResult eval_filter(const FilterExpr& expr, const Value* captured);
  [[gnu::noinline]] ValueResult eval_test(const TestExpr& expr);
  // Appends the call's arguments to `out`.
  [[gnu::noinline]] Result<void, Error> eval_args(const std::vector<Arg>& args, Args& out);
  // Arguments whose positional vector comes from the spares (no allocation once warm).
  Args fresh_args();
  void recycle(Args& args);
  const Function* resolve_filter(const FilterExpr& expr) const;
  const TestFunction* resolve_test(const TestExpr& expr) const;
  Result<bool, Error> truth(const Value& value) const;
  Result<void, Error> check_defined(const Value& value) const;

  // Counts `units` of work (about a loop iteration each); every so many the host's interruption
  // is asked whether to go on. Cheap enough for every loop iteration and every call.
  Result<void, Error> spend(std::size_t units) {
    if (units < until_check_) {
      until_check_ -= units;
      return {};
    }
    return checkpoint();
  }
  [[gnu::noinline]] Result<void, Error> checkpoint();

  const Environment& env_;
  std::string_view name_;
  AutoEscape escape_;
  AutoEscape initial_escape_;
  bool strict_;
  Value root_;
  std::vector<Frame> frames_;
  Interruption* interruption_;
  std::size_t until_check_;
  // Positional argument vectors of finished calls, emptied, for the next calls to fill.
  std::vector<std::vector<Value>> spare_arguments_;
};

}  // namespace velloquin::jinja
