// How filters, tests and global functions are called, and the interfaces they see: the render
// state, engine objects, and the tables the environment keeps them in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.h"
#include "jinja/error.h"
#include "jinja/value/value.h"
#include "jinja/value/value_ops.h"

namespace velloquin::jinja {

enum class UndefinedBehavior : std::uint8_t { Lenient, Strict };
enum class AutoEscape : std::uint8_t { None, Html, Json };

// The arguments of one call. Keyword arguments are kept by name; a callable that accepts none
// sees them as one trailing map argument (so `upper(a=1)` has too many arguments and
// `dict(a=1)` receives a map). Filters and tests get the piped value as positional[0].
struct Args {
  std::vector<Value> positional;
  std::vector<std::pair<std::string, Value>> kwargs;
  bool has_kwargs = false;  // true even for `f(**{})`

  Args() = default;
  explicit Args(std::vector<Value> pos) : positional(std::move(pos)) {}
  // The keyword arguments as a map value (key-ordered).
  Value kwargs_map() const;
};

// Reads arguments one by one, in declaration order, and reports what the caller got wrong.
//   ArgReader r(args, /*accepts_kwargs=*/true);
//   VQ_TRY(auto value, r.required()); auto width = r.optional(); auto first = r.keyword("first");
//   VQ_CHECK(r.finish());
class ArgReader {
 public:
  ArgReader(const Args& args, bool accepts_kwargs);

  std::size_t positional_count() const { return count_; }
  // The next positional argument; "missing argument" when absent.
  velloquin::Result<Value, Error> required();
  // The same without a copy: the argument stays where it is, valid while this reader lives.
  velloquin::Result<const Value*, Error> required_ref();
  // The next positional argument; nullopt when absent, none or undefined.
  std::optional<Value> optional();
  // The same without a copy: nullptr when absent, none or undefined; valid while this reader
  // lives.
  const Value* optional_ref();
  // The next positional argument as given (absent -> nullopt; none/undefined kept).
  std::optional<Value> raw();
  // All remaining positional arguments.
  std::vector<Value> rest();
  // A keyword argument (only when accepts_kwargs); nullopt when absent, none or undefined.
  std::optional<Value> keyword(std::string_view name);
  // A keyword argument, falling back to the next positional one (for `indent(width=...)`).
  std::optional<Value> positional_or_keyword(std::string_view name);
  // "too many arguments" for unread positionals, "too many arguments: unknown keyword argument
  // 'NAME'" for unread keywords.
  velloquin::Result<void, Error> finish();

 private:
  // The call's own arguments, not copied; plus the keyword arguments as a trailing map for
  // callables that take none.
  const Value& at(std::size_t i) const { return i < given_->size() ? (*given_)[i] : *extra_; }
  const std::vector<Value>* given_;
  std::optional<Value> extra_;
  std::size_t count_;
  const std::vector<std::pair<std::string, Value>>* kwargs_ = nullptr;
  std::vector<bool> kwarg_used_;
  std::size_t next_ = 0;
};

// Argument conversions with the language's error texts ("cannot convert KIND to TYPE").
velloquin::Result<std::int64_t, Error> arg_to_i64(const Value& v,
                                                  std::string_view type_name = "i64");
velloquin::Result<std::size_t, Error> arg_to_usize(const Value& v);
velloquin::Result<bool, Error> arg_to_bool(const Value& v);
// Strings as is, other values by display; "value is not a string" only where asked.
velloquin::Result<std::string, Error> arg_to_text(const Value& v);
velloquin::Result<std::string_view, Error> arg_as_str(const Value& v);  // strings only

using Function = std::function<ValueResult(class State&, const Args&)>;
using TestFunction = std::function<velloquin::Result<bool, Error>(class State&, const Args&)>;

// What builtins may ask of the render in progress. The evaluator implements it.
class State {
 public:
  virtual ~State() = default;
  virtual UndefinedBehavior undefined_behavior() const = 0;
  virtual AutoEscape auto_escape() const = 0;
  virtual const Function* find_filter(std::string_view name) const = 0;
  virtual const TestFunction* find_test(std::string_view name) const = 0;
  // The template's name (debug()).
  virtual std::string_view template_name() const = 0;
  // Every visible variable, sorted by name (debug()).
  virtual std::vector<std::pair<std::string, Value>> visible_variables() const = 0;
  virtual std::vector<std::string> filter_names() const = 0;
  virtual std::vector<std::string> test_names() const = 0;
  virtual std::vector<std::string> global_names() const = 0;

  bool strict() const { return undefined_behavior() == UndefinedBehavior::Strict; }
};

// An engine object: loop object, namespace, global function, group of groupby, ...
// Defaults describe a plain, non-callable object without attributes.
class Object : public HeapData {
 public:
  // Map for namespaces and the loop object, Seq for sequence-like objects, Plain otherwise.
  virtual ValueKind kind() const { return ValueKind::Plain; }
  // Attribute by name; undefined when missing.
  virtual Value get_attr(std::string_view name) const;
  // Item by key; defaults to get_attr for string keys, undefined otherwise.
  virtual Value get_item(const Value& key) const;
  // `{% set obj.name = value %}`; default: "can only assign to namespaces, not KIND".
  virtual velloquin::Result<void, Error> set_attr(std::string_view name, Value value);
  virtual std::optional<std::size_t> length() const { return std::nullopt; }
  // What iteration yields; nullopt when not iterable.
  virtual std::optional<std::vector<Value>> iterate() const { return std::nullopt; }
  virtual bool truthy() const { return true; }
  // Printing form; repr is the same unless overridden.
  virtual void display(std::string& out) const;
  virtual void repr(std::string& out) const { display(out); }
  // `obj(args)`; default "object is not callable".
  virtual ValueResult call(State& state, const Args& args) const;
  // `obj.name(args)`; default "unknown method: KIND has no method named NAME".
  virtual ValueResult call_method(State& state, std::string_view name, const Args& args) const;
};

// Calls any value: objects through Object::call; other kinds:
// "value of type KIND is not callable".
ValueResult call_value(State& state, const Value& callee, const Args& args);
// Method call on any value, with the map-holding-a-callable fallback.
ValueResult call_method(State& state, const Value& base, std::string_view name, const Args& args);

// A table of named callables: the builtins (shared, static) plus the environment's own
// additions, which shadow builtins of the same name.
template <class F>
class FunctionTable {
 public:
  using Entry = std::pair<std::string_view, F>;

  // Sorted by name; the span must outlive the table (builtins use static storage).
  void set_builtins(std::span<const Entry> sorted) { builtins_ = sorted; }
  void add(std::string name, F function) {
    for (auto& e : added_) {
      if (e.first == name) {
        e.second = std::move(function);
        return;
      }
    }
    added_.emplace_back(std::move(name), std::move(function));
  }
  const F* find(std::string_view name) const {
    if (const F* added = find_added(name)) return added;
    return find_builtin(name);
  }
  // The environment's own callable of that name, if any.
  const F* find_added(std::string_view name) const {
    for (const auto& e : added_)
      if (e.first == name) return &e.second;
    return nullptr;
  }
  // The builtin of that name, if any: static storage, so the pointer stays valid for good.
  const F* find_builtin(std::string_view name) const {
    std::size_t lo = 0, hi = builtins_.size();
    while (lo < hi) {
      std::size_t mid = (lo + hi) / 2;
      int c = builtins_[mid].first.compare(name);
      if (c == 0) return &builtins_[mid].second;
      if (c < 0)
        lo = mid + 1;
      else
        hi = mid;
    }
    return nullptr;
  }
  // Every name, sorted and without duplicates.
  std::vector<std::string> names() const;

 private:
  std::span<const Entry> builtins_;
  std::vector<std::pair<std::string, F>> added_;
};

template <class F>
std::vector<std::string> FunctionTable<F>::names() const {
  std::vector<std::string> out;
  out.reserve(builtins_.size() + added_.size());
  for (const auto& e : builtins_) out.emplace_back(e.first);
  for (const auto& e : added_) out.push_back(e.first);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

using FilterTable = FunctionTable<Function>;
using TestTable = FunctionTable<TestFunction>;
using GlobalTable = FunctionTable<Value>;

// Called by the Environment constructor: cheap (they point the table at static builtins).
void register_builtin_filters(FilterTable& table);
void register_builtin_tests(TestTable& table);
void register_builtin_globals(GlobalTable& table);

// A mutable namespace (`namespace()`): a map-kind object whose attributes can be set.
std::shared_ptr<Object> make_namespace(MapEntries initial);

}  // namespace velloquin::jinja
