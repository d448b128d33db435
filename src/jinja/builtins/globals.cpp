// The global functions: range, dict, debug, namespace.
#include "jinja/builtins/builtin_globals.h"

#include "base/try.h"
#include "jinja/builtins/builtin_support.h"
#include "jinja/value/value_ops.h"

namespace velloquin::jinja::globals {

namespace {

constexpr std::int64_t kMaxRangeItems = 100'000;

velloquin::Result<std::int64_t, Error> range_arg(const Value& v) {
  return arg_to_i64(v, "isize");
}

}  // namespace

ValueResult range(State&, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto first, r.required());
  auto second = r.optional();
  auto third = r.optional();
  VQ_CHECK(r.finish());
  VQ_TRY(auto a, range_arg(first));
  std::int64_t start = 0, stop = a, step = 1;
  if (second) {
    VQ_TRY(auto b, range_arg(*second));
    start = a;
    stop = b;
  }
  if (third) {
    VQ_TRY(step, range_arg(*third));
  }
  if (step == 0) return err(invalid_operation("cannot create range with step of 0"));
  Int128 span = step > 0 ? static_cast<Int128>(stop) - start : static_cast<Int128>(start) - stop;
  Int128 abs_step = step > 0 ? static_cast<Int128>(step) : -static_cast<Int128>(step);
  Int128 count = span <= 0 ? 0 : (span + abs_step - 1) / abs_step;
  if (count > kMaxRangeItems) return err(invalid_operation("range has too many elements"));
  return Value::range(start, step, static_cast<std::size_t>(count));
}

ValueResult dict(State&, const Args& args) {
  ArgReader r(args, true);
  auto base = r.optional();
  // Keyword arguments are all read below.
  for (const auto& [name, value] : args.kwargs) r.keyword(name);
  VQ_CHECK(r.finish());
  MapEntries entries;
  if (base) {
    if (base->kind() != ValueKind::Map) return err(Error(ErrorKind::InvalidOperation));
    entries = map_entries(*base);
  }
  for (const auto& [name, value] : args.kwargs) entries.emplace_back(Value(name), value);
  return Value::map(std::move(entries));
}

ValueResult debug(State& state, const Args& args) {
  if (!args.positional.empty() || args.has_kwargs) {
    std::vector<Value> values = args.positional;
    if (args.has_kwargs) values.push_back(args.kwargs_map());
    if (values.size() == 1) return Value(values[0].pretty_repr());
    return Value(Value::seq(std::move(values)).pretty_repr());
  }
  auto names_value = [](const std::vector<std::string>& names) {
    std::vector<Value> items;
    items.reserve(names.size());
    for (const auto& n : names) items.emplace_back(n);
    return Value::seq(std::move(items));
  };
  auto indent = [](const std::string& text) {
    std::string out;
    for (char c : text) {
      out += c;
      if (c == '\n') out += "    ";
    }
    return out;
  };
  MapEntries ctx;
  for (auto& [name, value] : state.visible_variables()) ctx.emplace_back(Value(name), value);
  std::string out = "State {\n";
  out += "    name: " + Value(std::string(state.template_name())).repr() + ",\n";
  out += "    current_block: None,\n";
  out += std::string("    auto_escape: ") +
         (state.auto_escape() == AutoEscape::Html   ? "Html"
          : state.auto_escape() == AutoEscape::Json ? "Json"
                                                    : "None") +
         ",\n";
  out += "    ctx: " + indent(Value::map_in_order(std::move(ctx)).pretty_repr()) + ",\n";
  out += "    env: Environment {\n";
  std::string globals;
  for (const auto& g : state.global_names()) {
    if (!globals.empty()) globals += ", ";
    globals += Value(g).repr() + ": ...";
  }
  out += "        globals: { " + globals + " },\n";
  out += "        tests: " + indent(indent(names_value(state.test_names()).pretty_repr())) + ",\n";
  out +=
      "        filters: " + indent(indent(names_value(state.filter_names()).pretty_repr())) + ",\n";
  out += "        templates: [],\n";
  out += "    },\n}";
  return Value(std::move(out));
}

ValueResult namespace_(State&, const Args& args) {
  ArgReader r(args, true);
  auto base = r.optional();
  if (base && args.has_kwargs) return err(Error(ErrorKind::TooManyArguments));
  for (const auto& [name, value] : args.kwargs) r.keyword(name);
  VQ_CHECK(r.finish());
  MapEntries entries;
  if (base) {
    if (base->kind() != ValueKind::Map) {
      return err(invalid_operation("expected object or keyword arguments, got " +
                                   std::string(kind_name(base->kind()))));
    }
    entries = map_entries(*base);
  }
  for (const auto& [name, value] : args.kwargs) entries.emplace_back(Value(name), value);
  return Value::object(make_namespace(std::move(entries)));
}

}  // namespace velloquin::jinja::globals
