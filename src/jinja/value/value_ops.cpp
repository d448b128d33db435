#include "jinja/value/value_ops.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/markup_escape.h"
#include "base/try.h"
#include "base/utf8.h"
#include "jinja/runtime/functions.h"
#include "jinja/value/value_data.h"

namespace velloquin::jinja {

Error invalid_operation(std::string detail) {
  return Error(ErrorKind::InvalidOperation, std::move(detail));
}

Error undefined_error() {
  return Error(ErrorKind::UndefinedError);
}

std::string_view op_symbol(BinaryOp op) {
  switch (op) {
    case BinaryOp::Add:
      return "+";
    case BinaryOp::Sub:
      return "-";
    case BinaryOp::Mul:
      return "*";
    case BinaryOp::Div:
      return "/";
    case BinaryOp::FloorDiv:
      return "//";
    case BinaryOp::Rem:
      return "%";
    case BinaryOp::Pow:
      return "**";
  }
  return "?";
}

namespace {

constexpr std::size_t kMaxRepeatedString = 100'000'000;
// Sequence repetition is materialised, so it needs a bound of its own.
constexpr std::size_t kMaxRepeatedItems = 10'000'000;

Error unsupported(BinaryOp op, const Value& a, const Value& b) {
  return invalid_operation("tried to use " + std::string(op_symbol(op)) +
                           " operator on unsupported types " + std::string(kind_name(a.kind())) +
                           " and " + std::string(kind_name(b.kind())));
}

Error unable(BinaryOp op, const Value& a, const Value& b) {
  std::string detail = "unable to calculate ";
  a.display(detail);
  detail += ' ';
  detail += op_symbol(op);
  detail += ' ';
  b.display(detail);
  return invalid_operation(std::move(detail));
}

// What two operands become before arithmetic.
struct Coerced {
  enum class Kind { None, Int, Float, Str } kind = Kind::None;
  Int128 ia = 0, ib = 0;
  double fa = 0, fb = 0;
};

bool int_like(const Value& v) {
  return v.is_integer() || v.is_bool();
}

Coerced coerce(const Value& a, const Value& b) {
  Coerced c;
  bool na = int_like(a) || a.is_float(), nb = int_like(b) || b.is_float();
  if (na && nb) {
    if (a.is_float() || b.is_float()) {
      c.kind = Coerced::Kind::Float;
      c.fa = *a.to_double();
      c.fb = *b.to_double();
      return c;
    }
    auto x = a.to_int128(), y = b.to_int128();
    if (x && y) {
      c.kind = Coerced::Kind::Int;
      c.ia = *x;
      c.ib = *y;
    }
    return c;
  }
  if (a.is_string() && b.is_string()) c.kind = Coerced::Kind::Str;
  return c;
}

// A repetition count: integers up to the unsigned 64-bit range, integral floats and booleans,
// not negative. Counts beyond what fits in memory are refused by the size checks of `repeat`.
std::optional<std::uint64_t> repeat_count(const Value& v) {
  if (auto i = v.to_int64_lossless()) {
    if (*i < 0) return std::nullopt;
    return static_cast<std::uint64_t>(*i);
  }
  auto u = v.is_integer() ? v.to_uint128() : std::nullopt;
  if (!u || *u > std::numeric_limits<std::uint64_t>::max()) return std::nullopt;
  return static_cast<std::uint64_t>(*u);
}

bool container_operand(const Value& v) {
  return v.is_seq_like() || v.is_map() || v.is_object();
}

bool seq_operand(const Value& v) {
  return v.is_seq_like() || (v.is_object() && v.kind() == ValueKind::Seq);
}

ValueResult repeat(const Value& target, const Value& count) {
  if (target.is_string()) {
    auto n = repeat_count(count);
    if (!n) return err(invalid_operation("strings can only be multiplied with integers"));
    std::string_view s = target.str();
    if (s.empty()) return Value(std::string());
    if (*n > kMaxRepeatedString / s.size())
      return err(invalid_operation("repeated string is too large"));
    std::string out;
    out.reserve(s.size() * *n);
    for (std::size_t i = 0; i < *n; ++i) out += s;
    return Value(std::move(out));
  }
  auto n = repeat_count(count);
  if (!n)
    return err(invalid_operation("sequences and iterables can only be multiplied with integers"));
  if (target.is_iterator() && !target.iterator_sized())
    return err(invalid_operation("cannot repeat unsized iterables"));
  VQ_TRY(std::vector<Value> items, collect(target));
  if (items.empty()) return Value::iterator({});
  if (*n > kMaxRepeatedItems / items.size())
    return err(invalid_operation("repeated sequence is too large"));
  std::vector<Value> out;
  out.reserve(items.size() * *n);
  for (std::size_t i = 0; i < *n; ++i) out.insert(out.end(), items.begin(), items.end());
  return Value::iterator(std::move(out));
}

Int128 floor_div_euclid(Int128 a, Int128 b) {
  Int128 q = a / b;
  if (a % b < 0) return b > 0 ? q - 1 : q + 1;
  return q;
}

Int128 rem_euclid(Int128 a, Int128 b) {
  Int128 r = a % b;
  if (r < 0) r = b < 0 ? r - b : r + b;
  return r;
}

double float_div_euclid(double a, double b) {
  double q = std::trunc(a / b);
  if (std::fmod(a, b) < 0) return b > 0 ? q - 1 : q + 1;
  return q;
}

constexpr Int128 kInt128Min = static_cast<Int128>(static_cast<UInt128>(1) << 127);

std::optional<Int128> checked_pow(Int128 base, std::uint64_t exp) {
  Int128 result = 1;
  while (exp > 0) {
    if (exp & 1) {
      if (__builtin_mul_overflow(result, base, &result)) return std::nullopt;
    }
    exp >>= 1;
    if (exp > 0 && __builtin_mul_overflow(base, base, &base)) return std::nullopt;
  }
  return result;
}

}  // namespace

ValueResult binary_op(BinaryOp op, const Value& a, const Value& b) {
  switch (op) {
    case BinaryOp::Add:
      return add(a, b);
    case BinaryOp::Sub:
      return sub(a, b);
    case BinaryOp::Mul:
      return mul(a, b);
    case BinaryOp::Div:
      return div(a, b);
    case BinaryOp::FloorDiv:
      return floor_div(a, b);
    case BinaryOp::Rem:
      return rem(a, b);
    case BinaryOp::Pow:
      return pow(a, b);
  }
  return err(unsupported(op, a, b));
}

ValueResult add(const Value& a, const Value& b) {
  if (a.tag() == Value::Tag::Int && b.tag() == Value::Tag::Int) {
    std::int64_t r;
    if (!__builtin_add_overflow(a.as_int64(), b.as_int64(), &r)) return Value(r);
  }
  if (a.is_seq_like() && b.is_seq_like()) {
    VQ_TRY(std::vector<Value> x, collect(a));
    VQ_TRY(std::vector<Value> y, collect(b));
    x.insert(x.end(), y.begin(), y.end());
    bool sized =
        (!a.is_iterator() || a.iterator_sized()) && (!b.is_iterator() || b.iterator_sized());
    return Value::iterator(std::move(x), sized);
  }
  Coerced c = coerce(a, b);
  switch (c.kind) {
    case Coerced::Kind::Int: {
      Int128 r;
      if (__builtin_add_overflow(c.ia, c.ib, &r)) return err(unable(BinaryOp::Add, a, b));
      return Value(r);
    }
    case Coerced::Kind::Float:
      return Value(c.fa + c.fb);
    case Coerced::Kind::Str: {
      std::string out;
      out.reserve(a.str().size() + b.str().size());
      out += a.str();
      out += b.str();
      return Value(std::move(out));
    }
    case Coerced::Kind::None:
      break;
  }
  return err(unsupported(BinaryOp::Add, a, b));
}

ValueResult sub(const Value& a, const Value& b) {
  Coerced c = coerce(a, b);
  if (c.kind == Coerced::Kind::Int) {
    Int128 r;
    if (__builtin_sub_overflow(c.ia, c.ib, &r)) return err(unable(BinaryOp::Sub, a, b));
    return Value(r);
  }
  if (c.kind == Coerced::Kind::Float) return Value(c.fa - c.fb);
  return err(unsupported(BinaryOp::Sub, a, b));
}

ValueResult mul(const Value& a, const Value& b) {
  // The string operand wins (left first), then a sequence operand; the other is the count.
  if (a.is_string()) return repeat(a, b);
  if (b.is_string()) return repeat(b, a);
  // Only the first container operand is considered: a map on the left hides a sequence on
  // the right.
  if (container_operand(a)) {
    if (seq_operand(a)) return repeat(a, b);
  } else if (seq_operand(b)) {
    return repeat(b, a);
  }
  Coerced c = coerce(a, b);
  if (c.kind == Coerced::Kind::Int) {
    Int128 r;
    if (__builtin_mul_overflow(c.ia, c.ib, &r)) return err(unable(BinaryOp::Mul, a, b));
    return Value(r);
  }
  if (c.kind == Coerced::Kind::Float) return Value(c.fa * c.fb);
  return err(unsupported(BinaryOp::Mul, a, b));
}

ValueResult div(const Value& a, const Value& b) {
  Coerced c = coerce(a, b);
  if (c.kind == Coerced::Kind::Int)
    return Value(static_cast<double>(c.ia) / static_cast<double>(c.ib));
  if (c.kind == Coerced::Kind::Float) return Value(c.fa / c.fb);
  return err(unsupported(BinaryOp::Div, a, b));
}

ValueResult floor_div(const Value& a, const Value& b) {
  Coerced c = coerce(a, b);
  if (c.kind == Coerced::Kind::Int) {
    if (c.ib == 0 || (c.ia == kInt128Min && c.ib == -1))
      return err(unable(BinaryOp::FloorDiv, a, b));
    return Value(floor_div_euclid(c.ia, c.ib));
  }
  if (c.kind == Coerced::Kind::Float) return Value(float_div_euclid(c.fa, c.fb));
  return err(unsupported(BinaryOp::FloorDiv, a, b));
}

ValueResult rem(const Value& a, const Value& b) {
  Coerced c = coerce(a, b);
  if (c.kind == Coerced::Kind::Int) {
    if (c.ib == 0 || (c.ia == kInt128Min && c.ib == -1)) return err(unable(BinaryOp::Rem, a, b));
    return Value(rem_euclid(c.ia, c.ib));
  }
  if (c.kind == Coerced::Kind::Float) return Value(std::fmod(c.fa, c.fb));
  return err(unsupported(BinaryOp::Rem, a, b));
}

ValueResult pow(const Value& a, const Value& b) {
  Coerced c = coerce(a, b);
  if (c.kind == Coerced::Kind::Int) {
    if (c.ib < 0 || c.ib > std::numeric_limits<std::uint32_t>::max())
      return err(unable(BinaryOp::Pow, a, b));
    auto r = checked_pow(c.ia, static_cast<std::uint64_t>(c.ib));
    if (!r) return err(unable(BinaryOp::Pow, a, b));
    return Value(*r);
  }
  if (c.kind == Coerced::Kind::Float) return Value(std::pow(c.fa, c.fb));
  return err(unsupported(BinaryOp::Pow, a, b));
}

ValueResult neg(const Value& a) {
  if (a.is_float()) return Value(-a.as_float());
  if (a.is_integer()) {
    auto i = a.to_int128();
    if (!i) {
      // 2^127 only exists unsigned (the literal), but its negation is the smallest signed value.
      if (a.to_uint128() == static_cast<UInt128>(kInt128Min)) return Value(kInt128Min);
      return err(Error(ErrorKind::InvalidOperation));
    }
    if (*i == kInt128Min) return err(invalid_operation("overflow"));
    return Value(-*i);
  }
  return err(Error(ErrorKind::InvalidOperation));
}

Value concat(const Value& a, const Value& b) {
  std::string out;
  a.display(out);
  b.display(out);
  return Value(std::move(out));
}

bool compare(CompareOp op, const Value& a, const Value& b) {
  switch (op) {
    case CompareOp::Eq:
      return values_equal(a, b);
    case CompareOp::Ne:
      return !values_equal(a, b);
    case CompareOp::Lt:
      return compare_values(a, b) < 0;
    case CompareOp::Le:
      return compare_values(a, b) <= 0;
    case CompareOp::Gt:
      return compare_values(a, b) > 0;
    case CompareOp::Ge:
      return compare_values(a, b) >= 0;
  }
  return false;
}

velloquin::Result<bool, Error> contains(const Value& container, const Value& needle) {
  switch (container.kind()) {
    case ValueKind::Undefined:
      return false;
    case ValueKind::String: {
      if (needle.is_string()) return container.str().find(needle.str()) != std::string_view::npos;
      return container.str().find(needle.to_display_string()) != std::string_view::npos;
    }
    case ValueKind::Map:
      if (const Map* m = container.map_data()) return m->find(needle) != nullptr;
      [[fallthrough]];
    case ValueKind::Seq:
    case ValueKind::Iterator: {
      VQ_TRY(auto it, iterate(container));
      while (auto item = it.next())
        if (values_equal(*item, needle)) return true;
      return false;
    }
    default:
      break;
  }
  return err(invalid_operation("cannot perform a containment check on this value"));
}

namespace {

// Python-style index of a possibly negative position; nullopt when out of range.
std::optional<std::size_t> resolve_index(const Value& key, std::size_t size) {
  auto i = key.to_int64_lossless();
  if (!i) return std::nullopt;
  std::int64_t idx = *i;
  if (idx < 0) idx += static_cast<std::int64_t>(size);
  if (idx < 0 || static_cast<std::size_t>(idx) >= size) return std::nullopt;
  return static_cast<std::size_t>(idx);
}

Value string_char_at(std::string_view s, const Value& key) {
  if (!key.to_int64_lossless()) return Value();
  auto idx = resolve_index(key, utf8::count(s));
  if (!idx) return Value();
  std::size_t pos = 0;
  for (std::size_t n = 0; n < *idx; ++n) pos += utf8::char_len(s, pos);
  return Value(s.substr(pos, utf8::char_len(s, pos)));
}

}  // namespace

ValueResult get_attr(const Value& base, std::string_view name) {
  switch (base.tag()) {
    case Value::Tag::Undefined:
      return err(undefined_error());
    case Value::Tag::Map: {
      const Value* v = base.map_data()->find(name);
      return v ? *v : Value();
    }
    case Value::Tag::Object:
      return base.object_ptr()->get_attr(name);
    default:
      return Value();
  }
}

ValueResult get_item(const Value& base, const Value& key) {
  switch (base.tag()) {
    case Value::Tag::Undefined:
      return err(undefined_error());
    case Value::Tag::Map: {
      const Value* v = base.map_data()->find(key);
      return v ? *v : Value();
    }
    case Value::Tag::Object:
      return base.object_ptr()->get_item(key);
    case Value::Tag::String:
      return string_char_at(base.str(), key);
    case Value::Tag::Seq:
    case Value::Tag::Iterator: {
      if (const auto* items = base.items()) {
        auto idx = resolve_index(key, items->size());
        return idx ? (*items)[*idx] : Value();
      }
      if (auto r = base.range_spec()) {
        auto idx = resolve_index(key, r->count);
        if (!idx) return Value();
        return Value(r->start + static_cast<std::int64_t>(*idx) * r->step);
      }
      return Value();
    }
    default:
      return Value();
  }
}

namespace {

velloquin::Result<std::optional<std::int64_t>, Error> slice_part(const Value& v) {
  if (v.is_none() || v.is_undefined()) return std::optional<std::int64_t>();
  if (auto i = v.to_int64_lossless()) return std::optional<std::int64_t>(*i);
  return err(invalid_operation("cannot convert " + std::string(kind_name(v.kind())) + " to i64"));
}

// The first position and the end of a slice with a positive step, as Python clamps them.
std::pair<std::size_t, std::size_t> forward_slice_bounds(std::size_t size,
                                                         std::optional<std::int64_t> start,
                                                         std::optional<std::int64_t> stop) {
  const auto n = static_cast<std::int64_t>(size);
  auto clamp = [&](std::optional<std::int64_t> v, std::int64_t dflt) {
    if (!v) return dflt;
    std::int64_t x = *v;
    if (x < 0) x += n;
    return std::clamp<std::int64_t>(x, 0, n);
  };
  return {static_cast<std::size_t>(clamp(start, 0)), static_cast<std::size_t>(clamp(stop, n))};
}

// Characters [first, end) of a text, in one piece: a step of one selects a contiguous run, so
// there is no need to list every character's position.
std::string_view character_run(std::string_view text, std::size_t first, std::size_t end) {
  std::size_t at = 0;
  std::size_t index = 0;
  for (; index < first; ++index) at += utf8::char_len(text, at);
  const std::size_t from = at;
  for (; index < end; ++index) at += utf8::char_len(text, at);
  return text.substr(from, at - from);
}

// The positions a Python slice selects from a sequence of `size` items.
std::vector<std::size_t> slice_positions(std::size_t size, std::optional<std::int64_t> start,
                                         std::optional<std::int64_t> stop, std::int64_t step) {
  auto n = static_cast<std::int64_t>(size);
  auto clamp = [&](std::optional<std::int64_t> v, std::int64_t dflt, std::int64_t lo,
                   std::int64_t hi) {
    if (!v) return dflt;
    std::int64_t x = *v;
    if (x < 0) x += n;
    return std::clamp(x, lo, hi);
  };
  std::vector<std::size_t> out;
  if (step > 0) {
    const auto [b, e] = forward_slice_bounds(size, start, stop);
    for (std::size_t i = b; i < e; i += static_cast<std::size_t>(step)) out.push_back(i);
  } else {
    std::int64_t b = clamp(start, n - 1, -1, n - 1), e = clamp(stop, -1, -1, n - 1);
    for (std::int64_t i = b; i > e; i += step) out.push_back(static_cast<std::size_t>(i));
  }
  return out;
}

}  // namespace

ValueResult slice(const Value& base, const Value& start, const Value& stop, const Value& step) {
  VQ_TRY(auto s, slice_part(start));
  VQ_TRY(auto e, slice_part(stop));
  VQ_TRY(auto st, slice_part(step));
  std::int64_t stride = st.value_or(1);
  if (stride == 0) return err(invalid_operation("cannot slice by step size of 0"));

  if (base.is_none() || base.is_undefined()) return Value::seq({});
  if (base.is_string()) {
    std::string_view text = base.str();
    if (stride == 1 && utf8::ascii_prefix(text) == text.size()) {
      // One byte per character: the bounds are byte offsets.
      const auto [first, end] = forward_slice_bounds(text.size(), s, e);
      return Value(first < end ? text.substr(first, end - first) : std::string_view());
    }
    if (stride == 1) {
      const auto [first, end] = forward_slice_bounds(utf8::count(text), s, e);
      return Value(first < end ? character_run(text, first, end) : std::string_view());
    }
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); i += utf8::char_len(text, i)) starts.push_back(i);
    std::string out;
    for (std::size_t p : slice_positions(starts.size(), s, e, stride))
      out += text.substr(starts[p], utf8::char_len(text, starts[p]));
    return Value(std::move(out));
  }
  if (base.is_seq_like() || (base.is_object() && base.kind() == ValueKind::Seq)) {
    VQ_TRY(auto items, collect(base));
    std::vector<Value> out;
    for (std::size_t p : slice_positions(items.size(), s, e, stride)) out.push_back(items[p]);
    return Value::iterator(std::move(out));
  }
  return err(invalid_operation("value of type " + std::string(kind_name(base.kind())) +
                               " cannot be sliced"));
}

std::optional<std::size_t> known_length(const Value& v) {
  switch (v.tag()) {
    case Value::Tag::Seq:
      return v.items()->size();
    case Value::Tag::Map:
      return v.map_data()->size();
    case Value::Tag::Iterator:
      if (auto r = v.range_spec()) return r->count;
      if (v.iterator_sized()) return v.items()->size();
      return std::nullopt;
    case Value::Tag::Object:
      return v.object_ptr()->length();
    default:
      return std::nullopt;
  }
}

velloquin::Result<std::size_t, Error> length(const Value& v) {
  if (v.is_string()) return utf8::count(v.str());
  if (v.tag() == Value::Tag::Bytes) return v.str().size();
  if (auto n = known_length(v)) return *n;
  return err(invalid_operation("cannot calculate length of value of type " +
                               std::string(kind_name(v.kind()))));
}

std::optional<Value> ValueIterator::next() {
  if (pos_ >= end_) return std::nullopt;
  switch (mode_) {
    case Mode::Empty:
      return std::nullopt;
    case Mode::Items: {
      const auto* items = owned_ ? owned_.get() : source_.items();
      return (*items)[pos_++];
    }
    case Mode::MapKeys:
      return source_.map_data()->entries()[pos_++].first;
    case Mode::Chars: {
      std::string_view text = source_.str();
      std::size_t len = utf8::char_len(text, pos_);
      Value out(text.substr(pos_, len));
      pos_ += len;
      return out;
    }
    case Mode::Range: {
      auto r = *source_.range_spec();
      return Value(r.start + static_cast<std::int64_t>(pos_++) * r.step);
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> ValueIterator::remaining() const {
  if (!sized_ || mode_ == Mode::Chars) return std::nullopt;
  return end_ - pos_;
}

velloquin::Result<ValueIterator, Error> iterate(const Value& v) {
  ValueIterator it;
  switch (v.tag()) {
    case Value::Tag::Undefined:
    case Value::Tag::None:
      return it;
    case Value::Tag::String:
      it.mode_ = ValueIterator::Mode::Chars;
      it.source_ = v;
      it.end_ = v.str().size();
      return it;
    case Value::Tag::Seq:
    case Value::Tag::Iterator:
      it.source_ = v;
      if (auto r = v.range_spec()) {
        it.mode_ = ValueIterator::Mode::Range;
        it.end_ = r->count;
      } else {
        it.mode_ = ValueIterator::Mode::Items;
        it.end_ = v.items()->size();
        it.sized_ = !v.is_iterator() || v.iterator_sized();
      }
      return it;
    case Value::Tag::Map:
      it.mode_ = ValueIterator::Mode::MapKeys;
      it.source_ = v;
      it.end_ = v.map_data()->size();
      return it;
    case Value::Tag::Object:
      if (auto items = v.object_ptr()->iterate()) {
        it.mode_ = ValueIterator::Mode::Items;
        it.end_ = items->size();
        it.owned_ = std::make_shared<const std::vector<Value>>(std::move(*items));
        return it;
      }
      break;
    default:
      break;
  }
  return err(invalid_operation(std::string(kind_name(v.kind())) + " is not iterable"));
}

velloquin::Result<std::vector<Value>, Error> collect(const Value& v) {
  if (const auto* items = v.items()) return *items;
  VQ_TRY(auto it, iterate(v));
  std::vector<Value> out;
  if (auto n = it.remaining()) out.reserve(*n);
  while (auto item = it.next()) out.push_back(std::move(*item));
  return out;
}

MapEntries map_entries(const Value& v) {
  if (const Map* m = v.map_data()) return m->entries();
  MapEntries out;
  if (Object* o = v.object_ptr()) {
    if (auto keys = o->iterate())
      for (auto& k : *keys) out.emplace_back(k, o->get_item(k));
  }
  return out;
}

void html_escape(std::string& out, std::string_view text) {
  append_markup_escaped<MarkupEscape::Attribute>(out, text);
}

}  // namespace velloquin::jinja
