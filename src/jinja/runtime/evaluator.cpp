#include "jinja/runtime/evaluator.h"

#include <algorithm>
#include <map>

#include "base/try.h"
#include "jinja/builtins/builtin_support.h"
#include "jinja/runtime/environment.h"
#include "jinja/runtime/loop_object.h"
#include "jinja/value/value_ops.h"

namespace velloquin::jinja {

namespace {

// Frames alive at once: the root, each active `with` and loop, each level of loop recursion.
constexpr std::size_t kMaxFrames = 500;

// Gives an error without a location the line of the construct that raised it.
template <class R>
R located(R result, std::uint32_t line) {
  if (!result.ok() && !result.error().template_name()) result.error().set_location("", line);
  return result;
}

Error at_line(Error error, std::uint32_t line) {
  if (!error.template_name()) error.set_location("", line);
  return error;
}

const Value kUndefined;

// Units of work between two questions to the host: tens of microseconds of the cheapest loop.
// A unit is about one loop iteration, or as many items or bytes as a step builds or walks in
// that time.
constexpr std::size_t kCheckInterval = 4096;
constexpr std::size_t kItemsPerUnit = 16;
constexpr std::size_t kBytesPerUnit = 1024;

// The work behind a value made or read in one step: a filter, a call or an operator can build
// or walk many items or bytes at once.
inline std::size_t bulk(const Value& value) {
  if (value.tag() < Value::Tag::String) return 0;
  if (value.is_string()) return value.str().size() / kBytesPerUnit;
  if (const Map* m = value.map_data()) return m->size() / kItemsPerUnit;
  const std::vector<Value>* items = value.items();
  return items != nullptr ? items->size() / kItemsPerUnit : 0;
}

// The work of a filter or test over these arguments: one unit, and the bulk of each.
std::size_t units_for(const Args& args) {
  std::size_t units = 1;
  for (const Value& arg : args.positional) units += bulk(arg);
  return units;
}

Error recursion_limit() {
  return invalid_operation("recursion limit exceeded");
}

BinaryOp to_binary(ArithOp op) {
  switch (op) {
    case ArithOp::Add:
      return BinaryOp::Add;
    case ArithOp::Sub:
      return BinaryOp::Sub;
    case ArithOp::Mul:
      return BinaryOp::Mul;
    case ArithOp::Div:
      return BinaryOp::Div;
    case ArithOp::FloorDiv:
      return BinaryOp::FloorDiv;
    case ArithOp::Rem:
      return BinaryOp::Rem;
    case ArithOp::Pow:
    case ArithOp::Concat:
      break;
  }
  return BinaryOp::Pow;
}

// What a loop walks: a sequence's own items where it has them (shared, not copied), else the
// items iteration yields.
Result<std::shared_ptr<const std::vector<Value>>, Error> loop_items(const Value& iterable) {
  if (auto shared = iterable.shared_items()) return shared;
  VQ_TRY(std::vector<Value> items, collect(iterable));
  return std::make_shared<const std::vector<Value>>(std::move(items));
}

// The line an operation reports its errors on: the line of the last operand written before
// it, reading the expression as the reference engine compiles it (the node first, then its
// operands in order). Literal lists and maps set no line of their own. `{{ 'a'\n ~ x }}`
// fails on line 2, and so does `{{ x\n ~ 'a' }}`.
bool sets_no_line(const Expr& e);

std::uint32_t last_line(const Expr& e, std::uint32_t line) {
  if (!sets_no_line(e)) line = e.line;
  auto after = [&](const Expr* operand) {
    if (operand != nullptr) line = last_line(*operand, line);
  };
  auto after_args = [&](const std::vector<Arg>& args) {
    for (const auto& arg : args) after(arg.value.get());
  };
  switch (e.kind) {
    case ExprKind::Const:
    case ExprKind::Var:
      break;
    case ExprKind::List:
      if (!sets_no_line(e)) {
        for (const auto& item : static_cast<const ListExpr&>(e).items) after(item.get());
      }
      break;
    case ExprKind::Map:
      if (!sets_no_line(e)) {
        const auto& m = static_cast<const MapExpr&>(e);
        for (std::size_t i = 0; i < m.keys.size(); ++i) {
          after(m.keys[i].get());
          after(m.values[i].get());
        }
      }
      break;
    case ExprKind::Neg:
    case ExprKind::Not:
      after(static_cast<const UnaryExpr&>(e).operand.get());
      break;
    case ExprKind::Arith: {
      const auto& a = static_cast<const ArithExpr&>(e);
      after(a.left.get());
      after(a.right.get());
      break;
    }
    case ExprKind::And:
    case ExprKind::Or: {
      const auto& l = static_cast<const LogicExpr&>(e);
      after(l.left.get());
      after(l.right.get());
      break;
    }
    case ExprKind::Compare: {
      const auto& c = static_cast<const CompareExpr&>(e);
      after(c.first.get());
      for (const auto& [op, operand] : c.rest) after(operand.get());
      break;
    }
    case ExprKind::Cond: {
      const auto& c = static_cast<const CondExpr&>(e);
      after(c.cond.get());
      after(c.then.get());
      after(c.otherwise.get());
      break;
    }
    case ExprKind::GetAttr:
      after(static_cast<const GetAttrExpr&>(e).object.get());
      break;
    case ExprKind::GetItem: {
      const auto& g = static_cast<const GetItemExpr&>(e);
      after(g.object.get());
      after(g.index.get());
      break;
    }
    case ExprKind::Slice: {
      const auto& sl = static_cast<const SliceExpr&>(e);
      after(sl.object.get());
      after(sl.start.get());
      after(sl.stop.get());
      after(sl.step.get());
      break;
    }
    case ExprKind::Call: {
      const auto& c = static_cast<const CallExpr&>(e);
      after(c.callee.get());
      after_args(c.args);
      break;
    }
    case ExprKind::Filter: {
      const auto& f = static_cast<const FilterExpr&>(e);
      after(f.object.get());
      after_args(f.args);
      break;
    }
    case ExprKind::Test: {
      const auto& t = static_cast<const TestExpr&>(e);
      after(t.object.get());
      after_args(t.args);
      break;
    }
  }
  return line;
}

bool sets_no_line(const Expr& e) {
  auto literal = [](const ExprPtr& item) {
    return item->kind == ExprKind::Const || sets_no_line(*item);
  };
  if (e.kind == ExprKind::List) {
    const auto& items = static_cast<const ListExpr&>(e).items;
    return std::all_of(items.begin(), items.end(), literal);
  }
  if (e.kind == ExprKind::Map) {
    const auto& m = static_cast<const MapExpr&>(e);
    return std::all_of(m.keys.begin(), m.keys.end(), literal) &&
           std::all_of(m.values.begin(), m.values.end(), literal);
  }
  return false;
}

// Negation reports its own line; every other operation the line of its last operand.
std::uint32_t error_line(const Expr& e) {
  if (e.kind == ExprKind::Neg) return e.line;
  return last_line(e, e.line);
}

// `located` for an error of `expr`: its line is found by walking the expression, so only when
// there is an error to place.
template <class R>
R located(R result, const Expr& expr) {
  if (!result.ok() && !result.error().template_name()) {
    result.error().set_location("", error_line(expr));
  }
  return result;
}

bool unpackable(const Value& v) {
  if (v.is_seq_like() || v.is_map()) return true;
  if (const Object* o = v.object_ptr()) return o->kind() != ValueKind::Plain;
  return false;
}

}  // namespace

Evaluator::Evaluator(const Environment& env, std::string_view template_name, AutoEscape escape,
                     Value root, Interruption* interruption)
    : env_(env),
      name_(template_name),
      escape_(escape),
      initial_escape_(escape),
      strict_(env.undefined_behavior() == UndefinedBehavior::Strict),
      root_(std::move(root)),
      interruption_(interruption),
      until_check_(kCheckInterval) {
  // Frames never move (the stack is bounded), so lookups may hand out pointers into them.
  frames_.reserve(kMaxFrames);
  frames_.emplace_back();
}

UndefinedBehavior Evaluator::undefined_behavior() const {
  return env_.undefined_behavior();
}

const Function* Evaluator::find_filter(std::string_view name) const {
  return env_.filters().find(name);
}

const TestFunction* Evaluator::find_test(std::string_view name) const {
  return env_.tests().find(name);
}

std::vector<std::string> Evaluator::filter_names() const {
  return env_.filters().names();
}
std::vector<std::string> Evaluator::test_names() const {
  return env_.tests().names();
}
std::vector<std::string> Evaluator::global_names() const {
  return env_.global_names();
}

std::vector<std::pair<std::string, Value>> Evaluator::visible_variables() const {
  std::map<std::string, Value, std::less<>> seen;
  if (const Map* m = root_.map_data()) {
    for (const auto& [k, v] : m->entries()) {
      if (k.is_string()) seen[std::string(k.str())] = v;
    }
  }
  for (const auto& frame : frames_) {
    if (frame.loop_object != nullptr) seen["loop"] = frame.loop;
    for (const auto& [k, v] : frame.locals) seen[std::string(k)] = v;
  }
  return {seen.begin(), seen.end()};
}

// --- scopes ---------------------------------------------------------------------------------

Result<void, Error> Evaluator::push_frame() {
  if (frames_.size() >= kMaxFrames) return err(recursion_limit());
  frames_.emplace_back();
  return {};
}

const Value* Evaluator::lookup_ref(std::string_view name, Value& scratch) const {
  for (auto frame = frames_.rbegin(); frame != frames_.rend(); ++frame) {
    for (const auto& [key, value] : frame->locals) {
      if (key == name) return &value;
    }
    if (frame->loop_object != nullptr && name == "loop") return &frame->loop;
  }
  if (const Map* m = root_.map_data()) {
    if (const Value* v = m->find(name)) return v;
  } else if (const Object* o = root_.object_ptr()) {
    scratch = o->get_attr(name);
    if (!scratch.is_undefined()) return &scratch;
  }
  if (const Value* g = env_.globals().find(name)) return g;
  return &kUndefined;
}

Result<const Value*, Error> Evaluator::eval_ref(const Expr& expr, Value& scratch) {
  switch (expr.kind) {
    case ExprKind::Var:
      return lookup_ref(static_cast<const VarExpr&>(expr).name, scratch);
    case ExprKind::Const:
      return &static_cast<const ConstExpr&>(expr).value;
    case ExprKind::GetAttr: {
      auto found = get_attr_ref(static_cast<const GetAttrExpr&>(expr), scratch);
      if (!found.ok() && !found.error().template_name())
        found.error().set_location("", error_line(expr));
      return found;
    }
    default:
      break;
  }
  VQ_TRY(scratch, eval(expr));
  return static_cast<const Value*>(&scratch);
}

Result<const Value*, Error> Evaluator::get_attr_ref(const GetAttrExpr& g, Value& scratch) {
  VQ_TRY(const Value* base, eval_ref(*g.object, scratch));
  // A map that lives outside `scratch` (in a variable, a constant, an enclosing value) outlives
  // this expression: its entry is used where it is.
  if (const Map* m = base->map_data(); m != nullptr && base != &scratch) {
    const Value* v = m->find(g.name);
    return v != nullptr ? v : &kUndefined;
  }
  VQ_TRY(scratch, get_attr(*base, g.name));
  return static_cast<const Value*>(&scratch);
}

Value Evaluator::lookup(std::string_view name) const {
  for (auto frame = frames_.rbegin(); frame != frames_.rend(); ++frame) {
    for (const auto& [key, value] : frame->locals) {
      if (key == name) return value;
    }
    if (frame->loop_object != nullptr && name == "loop") return frame->loop;
  }
  if (const Map* m = root_.map_data()) {
    if (const Value* v = m->find(name)) return *v;
  } else if (const Object* o = root_.object_ptr()) {
    Value v = o->get_attr(name);
    if (!v.is_undefined()) return v;
  }
  if (const Value* g = env_.globals().find(name)) return *g;
  return Value();
}

void Evaluator::assign(std::string_view name, Value value) {
  auto& locals = frames_.back().locals;
  for (auto& [key, slot] : locals) {
    if (key == name) {
      slot = std::move(value);
      return;
    }
  }
  locals.emplace_back(name, std::move(value));
}

Result<void, Error> Evaluator::bind(const Target& target, const Value& value) {
  switch (target.kind) {
    case Target::Kind::Name:
      assign(target.name, value);
      return {};
    case Target::Kind::Attr: {
      VQ_TRY(Value object, eval(*target.object));
      Object* o = object.object_ptr();
      if (o == nullptr) {
        return err(at_line(invalid_operation("can only assign to namespaces, not " +
                                             std::string(kind_name(object.kind()))),
                           target.line));
      }
      return located(o->set_attr(target.name, value), target.line);
    }
    case Target::Kind::Tuple: {
      if (!unpackable(value)) {
        return err(at_line(Error(ErrorKind::CannotUnpack, "value is not iterable"), target.line));
      }
      auto items = collect(value);
      if (!items.ok()) return err(at_line(std::move(items).error(), target.line));
      if (items->size() != target.items.size()) {
        return err(at_line(
            Error(ErrorKind::CannotUnpack, "sequence of wrong length (expected " +
                                               std::to_string(target.items.size()) + ", got " +
                                               std::to_string(items->size()) + ")"),
            target.line));
      }
      for (std::size_t i = 0; i < target.items.size(); ++i) {
        VQ_CHECK(bind(target.items[i], (*items)[i]));
      }
      return {};
    }
  }
  return {};
}

// --- undefined handling ---------------------------------------------------------------------

Result<void, Error> Evaluator::check_defined(const Value& value) const {
  if (strict_ && value.is_undefined() && !value.is_silent_undefined()) {
    return err(undefined_error());
  }
  return {};
}

Result<bool, Error> Evaluator::truth(const Value& value) const {
  VQ_CHECK(check_defined(value));
  return value.truthy();
}

Result<void, Error> Evaluator::checkpoint() {
  until_check_ = kCheckInterval;
  if (interruption_ == nullptr) return {};
  return interruption_->check();
}

// --- statements -----------------------------------------------------------------------------

Result<void, Error> Evaluator::render(const Body& body, std::string& out) {
  return render_body(body, out);
}

Result<void, Error> Evaluator::render_body(const Body& body, std::string& out) {
  for (const auto& stmt : body) {
    if (stmt->kind == StmtKind::Text) {
      out += static_cast<const TextStmt&>(*stmt).text;
      continue;
    }
    auto result = render_stmt(*stmt, out);
    if (!result.ok()) {
      if (!result.error().template_name()) result.error().set_location("", stmt->line);
      return result;
    }
  }
  return {};
}

Value Evaluator::capture_value(std::string text) const {
  return escape_ == AutoEscape::None ? Value(std::move(text)) : Value::safe_string(std::move(text));
}

Result<void, Error> Evaluator::emit(const Value& value, std::string& out) {
  if (value.is_undefined()) {
    VQ_CHECK(check_defined(value));
    // JSON has a text for nothing, so an undefined the engine lets through prints as null.
    if (escape_ != AutoEscape::Json) return {};
  }
  if (escape_ == AutoEscape::None || value.is_safe()) {
    value.display(out);
    return {};
  }
  return write_escaped(out, escape_, value);
}

Result<void, Error> Evaluator::render_stmt(const Stmt& stmt, std::string& out) {
  switch (stmt.kind) {
    case StmtKind::Text:
      out += static_cast<const TextStmt&>(stmt).text;
      return {};
    case StmtKind::Emit:
      return render_emit(static_cast<const EmitStmt&>(stmt), out);
    case StmtKind::For:
      return render_for(static_cast<const ForStmt&>(stmt), out);
    case StmtKind::If:
      return render_if(static_cast<const IfStmt&>(stmt), out);
    case StmtKind::With:
      return render_with(static_cast<const WithStmt&>(stmt), out);
    case StmtKind::Set:
      return render_set(static_cast<const SetStmt&>(stmt));
    case StmtKind::SetBlock:
      return render_set_block(static_cast<const SetBlockStmt&>(stmt));
    case StmtKind::FilterBlock:
      return render_filter_block(static_cast<const FilterBlockStmt&>(stmt), out);
    case StmtKind::AutoEscape:
      return render_autoescape(static_cast<const AutoEscapeStmt&>(stmt), out);
    case StmtKind::Do: {
      VQ_TRY(Value ignored, eval(*static_cast<const DoStmt&>(stmt).call));
      (void)ignored;
      return {};
    }
  }
  return {};
}

Result<void, Error> Evaluator::render_emit(const EmitStmt& stmt, std::string& out) {
  Value scratch;
  VQ_TRY(const Value* v, eval_ref(*stmt.expr, scratch));
  return located(emit(*v, out), *stmt.expr);
}

Result<void, Error> Evaluator::render_set(const SetStmt& stmt) {
  VQ_TRY(Value v, eval(*stmt.value));
  return bind(stmt.target, v);
}

Result<void, Error> Evaluator::render_set_block(const SetBlockStmt& stmt) {
  std::string captured;
  VQ_CHECK(render_body(stmt.body, captured));
  Value v = capture_value(std::move(captured));
  if (stmt.filter) {
    VQ_TRY(v, eval_filter(static_cast<const FilterExpr&>(*stmt.filter), &v));
  }
  return bind(stmt.target, v);
}

Result<void, Error> Evaluator::render_filter_block(const FilterBlockStmt& stmt, std::string& out) {
  std::string captured;
  VQ_CHECK(render_body(stmt.body, captured));
  Value body = capture_value(std::move(captured));
  VQ_TRY(Value v, eval_filter(static_cast<const FilterExpr&>(*stmt.filter), &body));
  return emit(v, out);
}

Result<void, Error> Evaluator::render_if(const IfStmt& stmt, std::string& out) {
  for (const auto& branch : stmt.branches) {
    Value scratch;
    VQ_TRY(const Value* cond, eval_ref(*branch.cond, scratch));
    VQ_TRY(bool taken, located(truth(*cond), *branch.cond));
    if (taken) return render_body(branch.body, out);
  }
  return render_body(stmt.else_body, out);
}

Result<void, Error> Evaluator::render_with(const WithStmt& stmt, std::string& out) {
  VQ_CHECK(push_frame());
  auto result = [&]() -> Result<void, Error> {
    for (const auto& [target, expr] : stmt.assignments) {
      VQ_TRY(Value v, eval(*expr));
      VQ_CHECK(bind(target, v));
    }
    return render_body(stmt.body, out);
  }();
  pop_frame();
  return result;
}

Result<void, Error> Evaluator::render_autoescape(const AutoEscapeStmt& stmt, std::string& out) {
  VQ_TRY(Value v, eval(*stmt.enabled));
  AutoEscape mode = AutoEscape::None;
  if (v.is_string()) {
    const std::string_view s = v.str();
    if (s == "html") {
      mode = AutoEscape::Html;
    } else if (s == "json") {
      mode = AutoEscape::Json;
    } else if (s != "none") {
      return err(invalid_operation("invalid value to autoescape tag"));
    }
  } else if (values_equal(v, Value(true))) {
    mode = initial_escape_ == AutoEscape::None ? AutoEscape::Html : initial_escape_;
  }
  const AutoEscape saved = escape_;
  escape_ = mode;
  auto result = render_body(stmt.body, out);
  escape_ = saved;
  return result;
}

Result<void, Error> Evaluator::render_for(const ForStmt& stmt, std::string& out) {
  VQ_TRY(Value iterable, eval(*stmt.iter));
  VQ_CHECK(located(check_defined(iterable), *stmt.iter));
  auto collected = loop_items(iterable);
  if (!collected.ok()) return err(at_line(std::move(collected).error(), stmt.iter->line));
  std::shared_ptr<const std::vector<Value>> shared = std::move(collected).value();
  bool length_known = known_length(iterable).has_value();

  if (stmt.filter) {
    // The condition sees the loop variables but still the enclosing `loop`.
    VQ_CHECK(push_frame());
    std::vector<Value> kept;
    auto filtered = [&]() -> Result<void, Error> {
      for (const auto& item : *shared) {
        VQ_CHECK(spend(1));
        frames_.back().locals.clear();
        VQ_CHECK(bind(stmt.target, item));
        VQ_TRY(Value cond, eval(*stmt.filter));
        VQ_TRY(bool keep, located(truth(cond), *stmt.filter));
        if (keep) kept.push_back(item);
      }
      return {};
    }();
    pop_frame();
    VQ_CHECK(filtered);
    shared = std::make_shared<const std::vector<Value>>(std::move(kept));
    length_known = true;
  }

  if (shared->empty()) return render_body(stmt.else_body, out);

  std::uint32_t depth0 = 0;
  for (auto frame = frames_.rbegin(); frame != frames_.rend(); ++frame) {
    if (frame->loop_object != nullptr) {
      if (frame->loop_object->stmt().recursive) depth0 = frame->loop_object->depth0() + 1;
      break;
    }
  }
  return run_loop(stmt, std::move(shared), length_known, depth0, out);
}

Result<void, Error> Evaluator::run_loop(const ForStmt& stmt,
                                        std::shared_ptr<const std::vector<Value>> items,
                                        bool length_known, std::uint32_t depth0, std::string& out) {
  if (frames_.size() >= kMaxFrames) return err(at_line(recursion_limit(), stmt.line));
  auto loop = std::make_shared<LoopObject>(stmt, depth0);
  loop->start(items, length_known);
  frames_.emplace_back();
  const std::size_t frame_index = frames_.size() - 1;
  frames_[frame_index].loop = Value::object(loop);
  frames_[frame_index].loop_object = loop.get();
  auto result = [&]() -> Result<void, Error> {
    for (std::size_t i = 0; i < items->size(); ++i) {
      loop->set_index(i);
      frames_[frame_index].locals.clear();
      VQ_CHECK(bind(stmt.target, (*items)[i]));
      const std::size_t printed = out.size();
      VQ_CHECK(render_body(stmt.body, out));
      VQ_CHECK(spend(1 + (out.size() - printed) / kBytesPerUnit));
    }
    return {};
  }();
  frames_.resize(frame_index);
  return result;
}

ValueResult Evaluator::recurse(const LoopObject& loop, const Args& args) {
  // The argument count comes first, whatever the loop; keyword arguments count as one map.
  if (args.positional.size() + (args.has_kwargs ? 1 : 0) != 1) {
    return err(invalid_operation("loop() takes one argument"));
  }
  if (!loop.stmt().recursive) {
    return err(invalid_operation("cannot recurse outside of recursive loop"));
  }
  const Value iterable = args.has_kwargs ? args.kwargs_map() : args.positional[0];
  VQ_CHECK(check_defined(iterable));
  auto items = loop_items(iterable);
  if (!items.ok()) return err(invalid_operation("cannot recurse because of non-iterable value"));
  auto shared = std::move(items).value();
  const bool length_known = known_length(iterable).has_value();
  std::string captured;
  VQ_CHECK(run_loop(loop.stmt(), std::move(shared), length_known, loop.depth0() + 1, captured));
  return capture_value(std::move(captured));
}

// --- expressions ----------------------------------------------------------------------------

ValueResult Evaluator::eval(const Expr& expr) {
  ValueResult result = eval_inner(expr);
  if (!result.ok() && !result.error().template_name())
    result.error().set_location("", error_line(expr));
  return result;
}

// Each kind is its own function: only the one in use sits on the stack, which keeps the
// frames of deep recursion (loop recursion, nested expressions) small.
ValueResult Evaluator::eval_inner(const Expr& expr) {
  switch (expr.kind) {
    case ExprKind::Const:
      return static_cast<const ConstExpr&>(expr).value;
    case ExprKind::Var:
      return lookup(static_cast<const VarExpr&>(expr).name);
    case ExprKind::List:
      return eval_list(static_cast<const ListExpr&>(expr));
    case ExprKind::Map:
      return eval_map(static_cast<const MapExpr&>(expr));
    case ExprKind::Neg:
    case ExprKind::Not:
      return eval_unary(static_cast<const UnaryExpr&>(expr));
    case ExprKind::Arith:
      return eval_arith(static_cast<const ArithExpr&>(expr));
    case ExprKind::And:
    case ExprKind::Or:
      return eval_logic(static_cast<const LogicExpr&>(expr));
    case ExprKind::Compare:
      return eval_compare(static_cast<const CompareExpr&>(expr));
    case ExprKind::Cond:
      return eval_cond(static_cast<const CondExpr&>(expr));
    case ExprKind::GetAttr:
      return eval_get_attr(static_cast<const GetAttrExpr&>(expr));
    case ExprKind::GetItem:
      return eval_get_item(static_cast<const GetItemExpr&>(expr));
    case ExprKind::Slice:
      return eval_slice(static_cast<const SliceExpr&>(expr));
    case ExprKind::Call:
      return eval_call(static_cast<const CallExpr&>(expr));
    case ExprKind::Filter:
      return eval_filter(static_cast<const FilterExpr&>(expr), nullptr);
    case ExprKind::Test:
      return eval_test(static_cast<const TestExpr&>(expr));
  }
  return Value();
}

ValueResult Evaluator::eval_list(const ListExpr& list) {
  std::vector<Value> items;
  items.reserve(list.items.size());
  for (const auto& item : list.items) {
    VQ_TRY(Value v, eval(*item));
    items.push_back(std::move(v));
  }
  return Value::seq(std::move(items));
}

ValueResult Evaluator::eval_map(const MapExpr& map) {
  MapEntries entries;
  entries.reserve(map.keys.size());
  for (std::size_t i = 0; i < map.keys.size(); ++i) {
    VQ_TRY(Value k, eval(*map.keys[i]));
    VQ_TRY(Value v, eval(*map.values[i]));
    entries.emplace_back(std::move(k), std::move(v));
  }
  return Value::map(std::move(entries));
}

ValueResult Evaluator::eval_unary(const UnaryExpr& expr) {
  VQ_TRY(Value v, eval(*expr.operand));
  if (expr.kind == ExprKind::Neg) return neg(v);
  VQ_TRY(bool t, truth(v));
  return Value(!t);
}

ValueResult Evaluator::eval_cond(const CondExpr& c) {
  VQ_TRY(Value cond, eval(*c.cond));
  VQ_TRY(bool taken, located(truth(cond), *c.cond));
  if (taken) return eval(*c.then);
  if (c.otherwise) return eval(*c.otherwise);
  return Value::silent_undefined();
}

ValueResult Evaluator::eval_get_attr(const GetAttrExpr& g) {
  Value scratch;
  VQ_TRY(const Value* v, get_attr_ref(g, scratch));
  if (v == &scratch) return scratch;
  return *v;
}

ValueResult Evaluator::eval_get_item(const GetItemExpr& g) {
  Value scratch;
  VQ_TRY(const Value* base, eval_ref(*g.object, scratch));
  Value key_scratch;
  VQ_TRY(const Value* key, eval_ref(*g.index, key_scratch));
  return get_item(*base, *key);
}

ValueResult Evaluator::eval_slice(const SliceExpr& s) {
  Value base_scratch;
  VQ_TRY(const Value* base, eval_ref(*s.object, base_scratch));
  Value scratch[3];
  const Value* parts[3] = {&kUndefined, &kUndefined, &kUndefined};
  const Expr* exprs[3] = {s.start.get(), s.stop.get(), s.step.get()};
  for (int i = 0; i < 3; ++i) {
    if (exprs[i] != nullptr) {
      VQ_TRY(parts[i], eval_ref(*exprs[i], scratch[i]));
    }
  }
  // Unlike other uses, slicing rejects the silent undefined too.
  if (strict_ && base->is_undefined()) return err(undefined_error());
  return slice(*base, *parts[0], *parts[1], *parts[2]);
}

ValueResult Evaluator::eval_arith(const ArithExpr& expr) {
  VQ_TRY(Value left, eval(*expr.left));
  VQ_TRY(Value right, eval(*expr.right));
  ValueResult result = [&]() -> ValueResult {
    switch (expr.op) {
      case ArithOp::Concat:
        VQ_CHECK(check_defined(left));
        VQ_CHECK(check_defined(right));
        return concat(left, right);
      case ArithOp::Pow:
        return pow(left, right);
      default:
        return binary_op(to_binary(expr.op), left, right);
    }
  }();
  if (result.ok()) VQ_CHECK(spend(bulk(*result)));
  return result;
}

ValueResult Evaluator::eval_logic(const LogicExpr& expr) {
  VQ_TRY(Value left, eval(*expr.left));
  VQ_TRY(bool left_true, located(truth(left), expr.left->line));
  if (expr.kind == ExprKind::Or) {
    if (left_true) return left;
    return eval(*expr.right);
  }
  if (expr.both_constant) {
    // Literal operands are folded when compiled: a falsy result becomes `false`. Operands
    // that fail to fold keep the ordinary short-circuit.
    auto right = eval(*expr.right);
    if (right.ok()) {
      if (left_true && right->truthy()) return right;
      return Value(false);
    }
    if (!left_true) return left;
    return right;
  }
  if (!left_true) return left;
  return eval(*expr.right);
}

ValueResult Evaluator::eval_compare(const CompareExpr& expr) {
  Value scratch[2];
  int slot = 0;
  VQ_TRY(const Value* left, eval_ref(*expr.first, scratch[slot]));
  for (const auto& [op, operand] : expr.rest) {
    slot ^= 1;
    VQ_TRY(const Value* right, eval_ref(*operand, scratch[slot]));
    VQ_CHECK(check_defined(*left));
    VQ_CHECK(check_defined(*right));
    bool result = false;
    switch (op) {
      case CompareKind::Eq:
        result = compare(CompareOp::Eq, *left, *right);
        break;
      case CompareKind::Ne:
        result = compare(CompareOp::Ne, *left, *right);
        break;
      case CompareKind::Lt:
        result = compare(CompareOp::Lt, *left, *right);
        break;
      case CompareKind::Le:
        result = compare(CompareOp::Le, *left, *right);
        break;
      case CompareKind::Gt:
        result = compare(CompareOp::Gt, *left, *right);
        break;
      case CompareKind::Ge:
        result = compare(CompareOp::Ge, *left, *right);
        break;
      case CompareKind::In:
      case CompareKind::NotIn: {
        VQ_TRY(bool found, contains(*right, *left));
        VQ_CHECK(spend(1 + bulk(*right)));
        result = op == CompareKind::In ? found : !found;
        break;
      }
    }
    if (!result) return Value(false);
    left = right;
  }
  return Value(true);
}

Args Evaluator::fresh_args() {
  Args args;
  if (!spare_arguments_.empty()) {
    args.positional = std::move(spare_arguments_.back());
    spare_arguments_.pop_back();
  }
  return args;
}

void Evaluator::recycle(Args& args) {
  // Long splatted lists are not worth keeping around.
  constexpr std::size_t kMaxSpareCapacity = 16;
  if (args.positional.capacity() > kMaxSpareCapacity) return;
  args.positional.clear();
  spare_arguments_.push_back(std::move(args.positional));
}

Result<void, Error> Evaluator::eval_args(const std::vector<Arg>& args, Args& out) {
  out.positional.reserve(out.positional.size() + args.size());
  for (const auto& arg : args) {
    if (arg.kind == ArgKind::Positional) {
      Value scratch;
      VQ_TRY(const Value* v, eval_ref(*arg.value, scratch));
      if (v == &scratch)
        out.positional.push_back(std::move(scratch));
      else
        out.positional.push_back(*v);
      continue;
    }
    VQ_TRY(Value v, eval(*arg.value));
    switch (arg.kind) {
      case ArgKind::Positional:
        out.positional.push_back(std::move(v));
        break;
      case ArgKind::Keyword:
        out.kwargs.emplace_back(std::string(arg.name), std::move(v));
        out.has_kwargs = true;
        break;
      case ArgKind::Splat: {
        VQ_TRY(std::vector<Value> items, located(collect(v), arg.value->line));
        for (auto& item : items) out.positional.push_back(std::move(item));
        break;
      }
      case ArgKind::KeywordSplat: {
        const Map* m = v.map_data();
        if (m == nullptr) {
          return err(
              at_line(invalid_operation("attempted to apply keyword arguments from non map (got " +
                                        std::string(kind_name(v.kind())) + ")"),
                      arg.value->line));
        }
        for (const auto& [k, value] : m->entries()) {
          std::string key = k.is_string() ? std::string(k.str()) : k.to_display_string();
          auto existing = std::find_if(out.kwargs.begin(), out.kwargs.end(),
                                       [&](const auto& kw) { return kw.first == key; });
          if (existing != out.kwargs.end()) {
            existing->second = value;
          } else {
            out.kwargs.emplace_back(std::move(key), value);
          }
        }
        out.has_kwargs = true;
        break;
      }
    }
  }
  return {};
}

ValueResult Evaluator::eval_call(const CallExpr& expr) {
  const Expr& callee = *expr.callee;
  if (callee.kind == ExprKind::Var) {
    const std::string_view name = static_cast<const VarExpr&>(callee).name;
    if (name == "super") return err(invalid_operation("cannot super outside of block"));
    Args args = fresh_args();
    VQ_CHECK(eval_args(expr.args, args));
    Value function = lookup(name);
    if (function.is_undefined()) {
      return err(Error(ErrorKind::UnknownFunction, std::string(name) + " is unknown"));
    }
    ValueResult result = call_value(*this, function, args);
    recycle(args);
    if (result.ok()) VQ_CHECK(spend(1 + bulk(*result)));
    return result;
  }
  if (callee.kind == ExprKind::GetAttr) {
    const auto& method = static_cast<const GetAttrExpr&>(callee);
    VQ_TRY(Value base, eval(*method.object));
    Args args = fresh_args();
    VQ_CHECK(eval_args(expr.args, args));
    ValueResult result = call_method(*this, base, method.name, args);
    recycle(args);
    if (result.ok()) VQ_CHECK(spend(1 + bulk(*result)));
    return result;
  }
  VQ_TRY(Value function, eval(callee));
  Args args = fresh_args();
  VQ_CHECK(eval_args(expr.args, args));
  ValueResult result = call_value(*this, function, args);
  recycle(args);
  if (result.ok()) VQ_CHECK(spend(1 + bulk(*result)));
  return result;
}

const Function* Evaluator::resolve_filter(const FilterExpr& expr) const {
  const FilterTable& table = env_.filters();
  if (const Function* added = table.find_added(expr.name)) return added;
  return expr.builtin != nullptr ? expr.builtin : table.find_builtin(expr.name);
}

const TestFunction* Evaluator::resolve_test(const TestExpr& expr) const {
  const TestTable& table = env_.tests();
  if (const TestFunction* added = table.find_added(expr.name)) return added;
  return expr.builtin != nullptr ? expr.builtin : table.find_builtin(expr.name);
}

ValueResult Evaluator::eval_filter(const FilterExpr& expr, const Value* captured) {
  Args args = fresh_args();
  if (expr.object) {
    if (expr.object->kind == ExprKind::Filter) {
      VQ_TRY(Value input, eval_filter(static_cast<const FilterExpr&>(*expr.object), captured));
      args.positional.push_back(std::move(input));
    } else {
      Value scratch;
      VQ_TRY(const Value* input, eval_ref(*expr.object, scratch));
      if (input == &scratch)
        args.positional.push_back(std::move(scratch));
      else
        args.positional.push_back(*input);
    }
  } else if (captured != nullptr) {
    args.positional.push_back(*captured);
  } else {
    args.positional.emplace_back();
  }
  VQ_CHECK(eval_args(expr.args, args));
  const Function* filter = resolve_filter(expr);
  if (filter == nullptr) {
    return err(at_line(Error(ErrorKind::UnknownFilter, "filter " + expr.name + " is unknown"),
                       error_line(expr)));
  }
  ValueResult result = located((*filter)(*this, args), expr);
  if (result.ok()) VQ_CHECK(spend(units_for(args) + bulk(*result)));
  recycle(args);
  return result;
}

ValueResult Evaluator::eval_test(const TestExpr& expr) {
  VQ_TRY(Value input, eval(*expr.object));
  Args args = fresh_args();
  args.positional.push_back(std::move(input));
  VQ_CHECK(eval_args(expr.args, args));
  const TestFunction* test = resolve_test(expr);
  if (test == nullptr) {
    return err(Error(ErrorKind::UnknownTest, "test " + expr.name + " is unknown"));
  }
  auto result = (*test)(*this, args);
  const std::size_t units = units_for(args);
  recycle(args);
  VQ_TRY(bool passed, std::move(result));
  VQ_CHECK(spend(units));
  return Value(passed != expr.negated);
}

}  // namespace velloquin::jinja
