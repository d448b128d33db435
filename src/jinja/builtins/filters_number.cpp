// Filters that convert values or compute with numbers.
#include <charconv>
#include <cmath>
#include <limits>

#include "base/try.h"
#include "jinja/builtins/builtin_filters.h"
#include "jinja/builtins/builtin_support.h"
#include "jinja/value/number_parse.h"

namespace velloquin::jinja::filters {

ValueResult abs(State&, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  if (v.is_float()) return Value(std::fabs(v.as_float()));
  if (v.tag() == Value::Tag::UInt128) return v;
  if (v.is_integer()) {
    Int128 i = *v.to_int128();
    if (i == static_cast<Int128>(static_cast<UInt128>(1) << 127))
      return err(invalid_operation("overflow on abs"));
    return Value(i < 0 ? -i : i);
  }
  return err(invalid_operation("cannot get absolute value"));
}

ValueResult bool_(State& state, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  VQ_CHECK(check_defined(state, v));
  return Value(v.truthy());
}

ValueResult default_(State& state, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(const Value* v, r.required_ref());
  auto fallback = r.raw();
  auto lax = r.raw();
  VQ_CHECK(r.finish());
  bool replace = v->is_undefined();
  if (lax) {
    VQ_CHECK(check_defined(state, *lax));
    if (!replace) replace = lax->truthy() && !v->truthy();
  }
  if (!replace) return *v;
  return fallback ? *fallback : Value("");
}

ValueResult float_(State& state, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  VQ_CHECK(check_defined(state, v));
  if (v.is_undefined() || v.is_none()) return Value(0.0);
  if (v.is_string()) {
    VQ_TRY(auto f, parse_float_literal(v.str()));
    return Value(f);
  }
  if (auto d = v.to_double()) return Value(*d);
  return err(invalid_operation("cannot convert " + std::string(kind_name(v.kind())) + " to float"));
}

ValueResult int_(State& state, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  VQ_CHECK(check_defined(state, v));
  if (v.is_undefined() || v.is_none()) return Value(0);
  if (v.is_bool()) return Value(v.as_bool() ? 1 : 0);
  if (v.is_integer()) return v;
  if (v.is_float()) return Value(saturating_int128(v.as_float()));
  if (v.is_string()) {
    if (auto i = parse_int128(v.str())) return Value(*i);
    VQ_TRY(auto f, parse_float_literal(v.str()));
    return Value(saturating_int128(f));
  }
  return err(
      invalid_operation("cannot convert " + std::string(kind_name(v.kind())) + " to integer"));
}

ValueResult round(State&, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  auto precision_arg = r.optional();
  VQ_CHECK(r.finish());
  std::int64_t precision = 0;
  if (precision_arg) {
    VQ_TRY(auto p, arg_to_i64(*precision_arg, "i32"));
    if (p < std::numeric_limits<std::int32_t>::min() ||
        p > std::numeric_limits<std::int32_t>::max())
      return err(invalid_operation("cannot convert number to i32"));
    precision = p;
  }
  if (v.is_integer()) return v;
  if (v.is_float()) {
    double x = std::pow(10.0, static_cast<double>(precision));
    return Value(std::round(x * v.as_float()) / x);
  }
  return err(invalid_operation("cannot round value (" + std::string(kind_name(v.kind())) + ")"));
}

ValueResult pprint(State&, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  return Value(v.pretty_repr());
}

}  // namespace velloquin::jinja::filters
