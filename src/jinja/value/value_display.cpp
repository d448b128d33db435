// Printing and repr forms of values, and the number formats they use.
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/debug_quote.h"
#include "base/nesting_guard.h"
#include "jinja/runtime/functions.h"
#include "jinja/value/value.h"
#include "jinja/value/value_data.h"

namespace velloquin::jinja {

namespace {

// Shortest round-trip digits of a finite, non-zero |d| and the decimal exponent of the first.
struct Digits {
  char buf[32];
  std::size_t len = 0;
  int exp10 = 0;  // value = 0.DIGITS * 10^(exp10 + 1), i.e. first digit at 10^exp10
};

Digits shortest_digits(double d) {
  char tmp[64];
  auto res = std::to_chars(tmp, tmp + sizeof tmp, std::fabs(d), std::chars_format::scientific);
  Digits out;
  const char* p = tmp;
  for (; p < res.ptr && *p != 'e'; ++p)
    if (*p != '.') out.buf[out.len++] = *p;
  if (p < res.ptr) {
    int e = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), res.ptr, e);
    out.exp10 = e;
  }
  while (out.len > 1 && out.buf[out.len - 1] == '0') --out.len;
  return out;
}

bool write_special(std::string& out, double d) {
  if (std::isnan(d)) {
    out += "NaN";
    return true;
  }
  if (std::isinf(d)) {
    out += d < 0 ? "-inf" : "inf";
    return true;
  }
  return false;
}

void write_plain(std::string& out, double d) {
  if (std::signbit(d)) out += '-';
  if (d == 0.0) {
    out += "0.0";
    return;
  }
  Digits g = shortest_digits(d);
  std::string_view digits(g.buf, g.len);
  if (g.exp10 < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-g.exp10 - 1), '0');
    out += digits;
    return;
  }
  auto int_len = static_cast<std::size_t>(g.exp10) + 1;
  if (digits.size() <= int_len) {
    out += digits;
    out.append(int_len - digits.size(), '0');
    out += ".0";
  } else {
    out += digits.substr(0, int_len);
    out += '.';
    out += digits.substr(int_len);
  }
}

}  // namespace

void write_float_display(std::string& out, double d) {
  if (write_special(out, d)) return;
  write_plain(out, d);
}

void write_float_repr(std::string& out, double d) {
  if (write_special(out, d)) return;
  double a = std::fabs(d);
  if (a == 0.0 || (a >= 1e-4 && a < 1e16)) {
    write_plain(out, d);
    return;
  }
  if (d < 0) out += '-';
  Digits g = shortest_digits(d);
  out += g.buf[0];
  if (g.len > 1) {
    out += '.';
    out.append(g.buf + 1, g.len - 1);
  }
  out += 'e';
  out += std::to_string(g.exp10);
}

void write_uint128(std::string& out, UInt128 v) {
  char buf[48];
  std::size_t n = 0;
  do {
    buf[n++] = static_cast<char>('0' + static_cast<int>(v % 10));
    v /= 10;
  } while (v != 0);
  while (n > 0) out += buf[--n];
}

void write_int128(std::string& out, Int128 v) {
  if (v < 0) {
    out += '-';
    write_uint128(out, static_cast<UInt128>(0) - static_cast<UInt128>(v));
  } else {
    write_uint128(out, static_cast<UInt128>(v));
  }
}

namespace {

void write_utf8_lossy(std::string& out, std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    auto c = static_cast<unsigned char>(bytes[i]);
    std::size_t len = c < 0x80         ? 1
                      : (c >> 5) == 6  ? 2
                      : (c >> 4) == 14 ? 3
                      : (c >> 3) == 30 ? 4
                                       : 0;
    bool ok = len != 0 && i + len <= bytes.size();
    for (std::size_t k = 1; ok && k < len; ++k)
      ok = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
    if (ok) {
      out.append(bytes.substr(i, len));
      i += len;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
}

enum class Form { Display, Repr };

void write_value(std::string& out, const Value& v, Form form);

template <class Items>
void write_list(std::string& out, const Items& items) {
  out += '[';
  bool first = true;
  for (const Value& item : items) {
    if (!first) out += ", ";
    first = false;
    write_value(out, item, Form::Repr);
  }
  out += ']';
}

void write_range(std::string& out, const Value::RangeSpec& r) {
  out += '[';
  for (std::size_t i = 0; i < r.count; ++i) {
    if (i) out += ", ";
    out += std::to_string(r.start + static_cast<std::int64_t>(i) * r.step);
  }
  out += ']';
}

void write_map(std::string& out, const Map& map) {
  out += '{';
  bool first = true;
  for (const auto& [k, val] : map.entries()) {
    if (!first) out += ", ";
    first = false;
    write_value(out, k, Form::Repr);
    out += ": ";
    write_value(out, val, Form::Repr);
  }
  out += '}';
}

void write_value(std::string& out, const Value& v, Form form) {
  using Tag = Value::Tag;
  NestingGuard guard;
  if (guard.too_deep()) {
    out += "...";
    return;
  }
  switch (v.tag()) {
    case Tag::Undefined:
      if (form == Form::Repr) out += "undefined";
      return;
    case Tag::None:
      out += "None";
      return;
    case Tag::Bool:
      out += v.as_bool() ? "True" : "False";
      return;
    case Tag::Int: {
      char buf[24];
      auto res = std::to_chars(buf, buf + sizeof buf, v.as_int64());
      out.append(buf, res.ptr);
      return;
    }
    case Tag::Int128:
      write_int128(out, *v.to_int128());
      return;
    case Tag::UInt128:
      write_uint128(out, *v.to_uint128());
      return;
    case Tag::Float:
      if (form == Form::Repr)
        write_float_repr(out, v.as_float());
      else
        write_float_display(out, v.as_float());
      return;
    case Tag::String:
      if (form == Form::Repr)
        out += debug_quote(v.str());
      else
        out += v.str();
      return;
    case Tag::Bytes:
      if (form == Form::Repr) {
        out += 'b';
        out += debug_quote(v.str());
      } else {
        write_utf8_lossy(out, v.str());
      }
      return;
    case Tag::Seq:
      write_list(out, *v.items());
      return;
    case Tag::Map:
      write_map(out, *v.map_data());
      return;
    case Tag::Iterator:
      if (auto r = v.range_spec())
        write_range(out, *r);
      else if (!v.iterator_sized())
        out += "<iterator>";
      else
        write_list(out, *v.items());
      return;
    case Tag::Object:
      if (form == Form::Repr)
        v.object_ptr()->repr(out);
      else
        v.object_ptr()->display(out);
      return;
  }
}

void write_pretty(std::string& out, const Value& v, int indent);

void newline_indent(std::string& out, int indent) {
  out += '\n';
  out.append(static_cast<std::size_t>(indent) * 4, ' ');
}

template <class Items>
void write_pretty_list(std::string& out, const Items& items, int indent) {
  if (items.begin() == items.end()) {
    out += "[]";
    return;
  }
  out += '[';
  for (const Value& item : items) {
    newline_indent(out, indent + 1);
    write_pretty(out, item, indent + 1);
    out += ',';
  }
  newline_indent(out, indent);
  out += ']';
}

void write_pretty(std::string& out, const Value& v, int indent) {
  NestingGuard guard;
  if (guard.too_deep()) {
    out += "...";
    return;
  }
  if (v.tag() == Value::Tag::Seq || (v.is_iterator() && v.items() && v.iterator_sized())) {
    write_pretty_list(out, *v.items(), indent);
    return;
  }
  if (auto r = v.range_spec()) {
    std::vector<Value> items;
    items.reserve(r->count);
    for (std::size_t i = 0; i < r->count; ++i)
      items.emplace_back(r->start + static_cast<std::int64_t>(i) * r->step);
    write_pretty_list(out, items, indent);
    return;
  }
  if (Object* o = v.object_ptr()) {
    auto items = o->iterate();
    if (items && o->kind() == ValueKind::Seq) {
      write_pretty_list(out, *items, indent);
      return;
    }
    if (items && o->kind() == ValueKind::Map) {
      MapEntries entries;
      for (auto& k : *items) entries.emplace_back(k, o->get_item(k));
      write_pretty(out, Value::map_in_order(std::move(entries)), indent);
      return;
    }
  }
  if (const Map* m = v.map_data()) {
    if (m->size() == 0) {
      out += "{}";
      return;
    }
    out += '{';
    for (const auto& [k, val] : m->entries()) {
      newline_indent(out, indent + 1);
      write_value(out, k, Form::Repr);
      out += ": ";
      write_pretty(out, val, indent + 1);
      out += ',';
    }
    newline_indent(out, indent);
    out += '}';
    return;
  }
  write_value(out, v, Form::Repr);
}

}  // namespace

void Value::display(std::string& out) const {
  // The kinds printed most often need neither the nesting guard nor the dispatch.
  if (tag_ == Tag::String) {
    out += str();
    return;
  }
  if (tag_ == Tag::Int) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, u_.i);
    out.append(buf, res.ptr);
    return;
  }
  write_value(out, *this, Form::Display);
}

std::string Value::to_display_string() const {
  if (tag_ == Tag::String) return std::string(str());
  std::string out;
  display(out);
  return out;
}

void Value::repr(std::string& out) const {
  write_value(out, *this, Form::Repr);
}

std::string Value::repr() const {
  std::string out;
  repr(out);
  return out;
}

std::string Value::pretty_repr() const {
  std::string out;
  write_pretty(out, *this, 0);
  return out;
}

}  // namespace velloquin::jinja
