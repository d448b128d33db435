// The builtin tests (`x is NAME`), one function each.
#include "jinja/builtins/builtin_tests.h"

#include <cmath>

#include "base/try.h"
#include "base/utf8.h"
#include "jinja/builtins/builtin_support.h"
#include "jinja/unicode/text_case.h"

namespace velloquin::jinja::tests {

namespace {

using BoolResult = velloquin::Result<bool, Error>;

// Reads the value and exactly `extra` further arguments.
velloquin::Result<std::vector<Value>, Error> read(const Args& args, std::size_t extra) {
  ArgReader r(args, false);
  std::vector<Value> out;
  for (std::size_t i = 0; i <= extra; ++i) {
    VQ_TRY(auto v, r.required());
    out.push_back(std::move(v));
  }
  VQ_CHECK(r.finish());
  return out;
}

template <class F>
BoolResult unary(const Args& args, F&& f) {
  VQ_TRY(auto a, read(args, 0));
  return f(a[0]);
}

template <class F>
BoolResult binary(const Args& args, F&& f) {
  VQ_TRY(auto a, read(args, 1));
  return f(a[0], a[1]);
}

// The integer a value stands for: integers, booleans and integral floats.
std::optional<Int128> integral(const Value& v) {
  if (auto i = v.to_int128()) return i;
  if (auto u = v.to_uint128()) return static_cast<Int128>(*u & 1);  // parity is all that is used
  if (v.is_float()) {
    double d = v.as_float();
    if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 1.7e38)
      return static_cast<Int128>(d);
  }
  return std::nullopt;
}

// Heap-shared kinds compare by identity in `sameas`.
// The tested value is converted before the other arguments are counted.
BoolResult text_affix(State& state, const Args& args, bool prefix) {
  ArgReader r(args, false);
  VQ_TRY(auto value, r.required());
  VQ_TRY(auto text, text_input(state, value));
  VQ_TRY(auto other, r.required());
  VQ_CHECK(r.finish());
  VQ_TRY(auto affix, text_input(state, other));
  std::string_view t = text, a = affix;
  if (a.size() > t.size()) return false;
  return prefix ? t.substr(0, a.size()) == a : t.substr(t.size() - a.size()) == a;
}

template <class Pred>
BoolResult all_chars(const Args& args, Pred&& pred) {
  ArgReader r(args, false);
  VQ_TRY(auto value, r.required());
  VQ_TRY(auto s, string_only(value));
  VQ_CHECK(r.finish());
  for (std::size_t i = 0; i < s.size();)
    if (!pred(utf8::next(s, i))) return false;
  return true;
}

}  // namespace

BoolResult defined(State&, const Args& args) {
  return unary(args, [](const Value& v) { return !v.is_undefined(); });
}
BoolResult undefined(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_undefined(); });
}
BoolResult none(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_none(); });
}
BoolResult safe(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_safe(); });
}
BoolResult boolean(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_bool(); });
}
BoolResult odd(State&, const Args& args) {
  return unary(args, [](const Value& v) {
    auto i = integral(v);
    return i && *i % 2 != 0;
  });
}
BoolResult even(State&, const Args& args) {
  return unary(args, [](const Value& v) {
    auto i = integral(v);
    return i && *i % 2 == 0;
  });
}
BoolResult divisibleby(State&, const Args& args) {
  VQ_TRY(auto a, read(args, 1));
  const Value& v = a[0];
  const Value& n = a[1];
  bool numeric_v = v.is_number() || v.is_bool(), numeric_n = n.is_number() || n.is_bool();
  if (!numeric_v || !numeric_n) return false;
  if (v.is_float() || n.is_float()) return std::fmod(*v.to_double(), *n.to_double()) == 0.0;
  auto x = v.to_int128(), y = n.to_int128();
  if (!x || !y) return false;
  if (*y == 0) return err(invalid_operation("cannot check divisibility by zero"));
  if (*y == -1) return true;
  return *x % *y == 0;
}
BoolResult number(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_number(); });
}
BoolResult integer(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_integer(); });
}
BoolResult float_(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_float(); });
}
BoolResult string(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_string(); });
}
BoolResult sequence(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.kind() == ValueKind::Seq; });
}
BoolResult iterable(State&, const Args& args) {
  return unary(args, [](const Value& v) {
    if (v.is_undefined() || v.is_none()) return true;
    if (Object* o = v.object_ptr()) return o->iterate().has_value();
    return v.is_string() || v.is_seq_like() || v.is_map() || v.kind() == ValueKind::Bytes;
  });
}
BoolResult mapping(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.kind() == ValueKind::Map; });
}
BoolResult startingwith(State& state, const Args& args) {
  return text_affix(state, args, true);
}
BoolResult endingwith(State& state, const Args& args) {
  return text_affix(state, args, false);
}
BoolResult lower(State&, const Args& args) {
  return all_chars(args, [](char32_t c) { return is_lower_char(c); });
}
BoolResult upper(State&, const Args& args) {
  return all_chars(args, [](char32_t c) { return is_upper_char(c); });
}
BoolResult sameas(State&, const Args& args) {
  return binary(args, [](const Value& a, const Value& b) {
    bool oa = is_container(a), ob = is_container(b);
    if (oa || ob) return oa && ob && a.same_instance(b);
    return a.kind() == b.kind() && a.is_integer() == b.is_integer() && values_equal(a, b);
  });
}
BoolResult eq(State&, const Args& args) {
  return binary(args, [](const Value& a, const Value& b) { return compare(CompareOp::Eq, a, b); });
}
BoolResult ne(State&, const Args& args) {
  return binary(args, [](const Value& a, const Value& b) { return compare(CompareOp::Ne, a, b); });
}
BoolResult lt(State&, const Args& args) {
  return binary(args, [](const Value& a, const Value& b) { return compare(CompareOp::Lt, a, b); });
}
BoolResult le(State&, const Args& args) {
  return binary(args, [](const Value& a, const Value& b) { return compare(CompareOp::Le, a, b); });
}
BoolResult gt(State&, const Args& args) {
  return binary(args, [](const Value& a, const Value& b) { return compare(CompareOp::Gt, a, b); });
}
BoolResult ge(State&, const Args& args) {
  return binary(args, [](const Value& a, const Value& b) { return compare(CompareOp::Ge, a, b); });
}
BoolResult in(State& state, const Args& args) {
  VQ_TRY(auto a, read(args, 1));
  VQ_CHECK(check_defined(state, a[1]));
  auto r = contains(a[1], a[0]);
  return r.ok() && r.value();
}
BoolResult true_(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_bool() && v.as_bool(); });
}
BoolResult false_(State&, const Args& args) {
  return unary(args, [](const Value& v) { return v.is_bool() && !v.as_bool(); });
}
BoolResult filter(State& state, const Args& args) {
  VQ_TRY(auto a, read(args, 0));
  VQ_TRY(auto s, string_only(a[0]));
  return state.find_filter(s) != nullptr;
}
BoolResult test(State& state, const Args& args) {
  VQ_TRY(auto a, read(args, 0));
  VQ_TRY(auto s, string_only(a[0]));
  return state.find_test(s) != nullptr;
}

}  // namespace velloquin::jinja::tests
