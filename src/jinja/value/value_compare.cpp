// Equality and the total order of values, and key lookup in maps (which uses the order).
#include <algorithm>
#include <cmath>

#include "base/nesting_guard.h"
#include "jinja/runtime/functions.h"
#include "jinja/value/value.h"
#include "jinja/value/value_data.h"
#include "jinja/value/value_ops.h"

namespace velloquin::jinja {

namespace {

int sign(int c) {
  return (c > 0) - (c < 0);
}

// An integer of any width as sign and magnitude.
struct BigInt {
  bool negative = false;
  UInt128 magnitude = 0;
};

BigInt big_of(const Value& v) {
  if (auto u = v.to_uint128()) return {false, *u};
  Int128 i = *v.to_int128();
  return {true, static_cast<UInt128>(0) - static_cast<UInt128>(i)};
}

int cmp_big(const BigInt& a, const BigInt& b) {
  if (a.negative != b.negative) {
    if (a.magnitude == 0 && b.magnitude == 0) return 0;
    return a.negative ? -1 : 1;
  }
  int c = (a.magnitude > b.magnitude) - (a.magnitude < b.magnitude);
  return a.negative ? -c : c;
}

constexpr double kTwo128 = 340282366920938463463374607431768211456.0;

// Exact comparison of an integer with a float; NaN sorts above everything.
int cmp_big_float(const BigInt& a, double f) {
  if (std::isnan(f)) return -1;
  if (f >= kTwo128) return -1;
  if (f <= -kTwo128) return 1;
  double t = std::trunc(f);
  BigInt b{t < 0, static_cast<UInt128>(std::fabs(t))};
  int c = cmp_big(a, b);
  if (c != 0) return c;
  double frac = f - t;
  return frac > 0 ? -1 : frac < 0 ? 1 : 0;
}

int cmp_float(double a, double b) {
  bool an = std::isnan(a), bn = std::isnan(b);
  if (an || bn) return an - bn;
  return (a > b) - (a < b);
}

// Both operands numbers or booleans.
int cmp_numeric(const Value& a, const Value& b) {
  if (a.is_float() && b.is_float()) return cmp_float(a.as_float(), b.as_float());
  if (a.is_float()) return -cmp_big_float(big_of(b), a.as_float());
  if (b.is_float()) return cmp_big_float(big_of(a), b.as_float());
  if (a.tag() == Value::Tag::Int && b.tag() == Value::Tag::Int)
    return (a.as_int64() > b.as_int64()) - (a.as_int64() < b.as_int64());
  return cmp_big(big_of(a), big_of(b));
}

bool numeric(const Value& v) {
  return v.is_number() || v.is_bool();
}

// Items of a sequence-like value (sequences, iterators, sequence-kind objects).
std::vector<Value> materialise_items(const Value& v) {
  if (const auto* items = v.items()) return *items;
  std::vector<Value> out;
  if (auto r = v.range_spec()) {
    out.reserve(r->count);
    for (std::size_t i = 0; i < r->count; ++i)
      out.emplace_back(r->start + static_cast<std::int64_t>(i) * r->step);
  } else if (Object* o = v.object_ptr()) {
    if (auto items = o->iterate()) out = std::move(*items);
  }
  return out;
}

template <class F>
auto with_items(const Value& v, F&& f) {
  if (const auto* items = v.items()) return f(*items);
  auto owned = materialise_items(v);
  return f(owned);
}

template <class F>
auto with_entries(const Value& v, F&& f) {
  if (const Map* m = v.map_data()) return f(m->entries());
  auto owned = map_entries(v);
  return f(owned);
}

bool seq_like(ValueKind k) {
  return k == ValueKind::Seq || k == ValueKind::Iterator;
}

}  // namespace

bool values_equal(const Value& a, const Value& b) {
  if (numeric(a) && numeric(b)) {
    if (a.is_float() && b.is_float()) return a.as_float() == b.as_float();
    if ((a.is_float() && std::isnan(a.as_float())) || (b.is_float() && std::isnan(b.as_float())))
      return false;
    return cmp_numeric(a, b) == 0;
  }
  ValueKind ka = a.kind(), kb = b.kind();
  NestingGuard guard;
  if (guard.too_deep()) return ka == kb;
  if (seq_like(ka) && seq_like(kb)) {
    return with_items(a, [&](const std::vector<Value>& x) {
      return with_items(b, [&](const std::vector<Value>& y) {
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i)
          if (!values_equal(x[i], y[i])) return false;
        return true;
      });
    });
  }
  if (ka != kb) return false;
  switch (ka) {
    case ValueKind::Undefined:
    case ValueKind::None:
      return true;
    case ValueKind::String:
    case ValueKind::Bytes:
      return a.str() == b.str();
    case ValueKind::Map: {
      if (a.same_instance(b)) return true;
      return with_entries(a, [&](const MapEntries& x) {
        return with_entries(b, [&](const MapEntries& y) {
          if (x.size() != y.size()) return false;
          for (const auto& [k, v] : x) {
            const Value* other = b.map_data() ? b.map_data()->find(k) : nullptr;
            if (!b.map_data())
              for (const auto& e : y)
                if (compare_values(e.first, k) == 0) {
                  other = &e.second;
                  break;
                }
            if (!other || !values_equal(v, *other)) return false;
          }
          return true;
        });
      });
    }
    default:
      return a.same_instance(b);
  }
}

int compare_values(const Value& a, const Value& b) {
  if (a.is_string() && b.is_string()) return sign(a.str().compare(b.str()));
  ValueKind ka = a.kind(), kb = b.kind();
  if (ka != kb) return ka < kb ? -1 : 1;
  NestingGuard guard;
  if (guard.too_deep()) return 0;
  switch (ka) {
    case ValueKind::Undefined:
    case ValueKind::None:
      return 0;
    case ValueKind::Bool:
      return static_cast<int>(a.as_bool()) - static_cast<int>(b.as_bool());
    case ValueKind::Number:
      return cmp_numeric(a, b);
    case ValueKind::String:
    case ValueKind::Bytes:
      return sign(a.str().compare(b.str()));
    case ValueKind::Seq:
    case ValueKind::Iterator:
      return with_items(a, [&](const std::vector<Value>& x) {
        return with_items(b, [&](const std::vector<Value>& y) {
          std::size_t n = std::min(x.size(), y.size());
          for (std::size_t i = 0; i < n; ++i)
            if (int c = compare_values(x[i], y[i])) return c;
          return (x.size() > y.size()) - (x.size() < y.size());
        });
      });
    case ValueKind::Map:
      return with_entries(a, [&](const MapEntries& x) {
        return with_entries(b, [&](const MapEntries& y) {
          std::size_t n = std::min(x.size(), y.size());
          for (std::size_t i = 0; i < n; ++i) {
            if (int c = compare_values(x[i].first, y[i].first)) return c;
            if (int c = compare_values(x[i].second, y[i].second)) return c;
          }
          return (x.size() > y.size()) - (x.size() < y.size());
        });
      });
    default:
      return sign(a.to_display_string().compare(b.to_display_string()));
  }
}

namespace {

// Strings sort after every kind ranked below them; only their text orders them among themselves.
int compare_with_text(const Value& key, std::string_view text) {
  if (key.kind() != ValueKind::String) return key.kind() < ValueKind::String ? -1 : 1;
  return sign(key.str().compare(text));
}

}  // namespace

const Value* Map::find(const Value& key) const {
  if (key.is_string()) return find(key.str());
  if (sorted_) {
    auto it = std::lower_bound(
        entries_.begin(), entries_.end(), key,
        [](const auto& e, const Value& k) { return compare_values(e.first, k) < 0; });
    if (it != entries_.end() && compare_values(it->first, key) == 0) return &it->second;
    return nullptr;
  }
  for (const auto& e : entries_)
    if (compare_values(e.first, key) == 0) return &e.second;
  return nullptr;
}

const Value* Map::find(std::string_view key) const {
  if (sorted_ && entries_.size() > 8) {
    auto it = std::lower_bound(
        entries_.begin(), entries_.end(), key,
        [](const auto& e, std::string_view k) { return compare_with_text(e.first, k) < 0; });
    if (it != entries_.end() && compare_with_text(it->first, key) == 0) return &it->second;
    return nullptr;
  }
  for (const auto& e : entries_)
    if (e.first.is_string() && e.first.str() == key) return &e.second;
  return nullptr;
}

}  // namespace velloquin::jinja
