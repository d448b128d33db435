// Filters over sequences, iterables and maps.
#include <algorithm>
#include <vector>

#include "base/try.h"
#include "base/utf8.h"
#include "jinja/builtins/builtin_filters.h"
#include "jinja/builtins/builtin_support.h"

namespace velloquin::jinja::filters {

namespace {

// Items of an iterable; a strict undefined is an error ("undefined value").
velloquin::Result<std::vector<Value>, Error> strict_items(const State& state, const Value& v) {
  VQ_CHECK(check_defined(state, v));
  return collect(v);
}

// A walk over an iterable's items, without collecting them first; a strict undefined is an
// error ("undefined value").
velloquin::Result<ValueIterator, Error> strict_iterate(const State& state, const Value& v) {
  VQ_CHECK(check_defined(state, v));
  return iterate(v);
}

// Items of an iterable, or `detail` as the error for anything that is not (strict undefined
// included).
velloquin::Result<std::vector<Value>, Error> items_or(const State& state, const Value& v,
                                                      const char* detail) {
  auto items = strict_items(state, v);
  if (!items) return err(invalid_operation(detail));
  return items;
}

velloquin::Result<std::optional<bool>, Error> keyword_bool(ArgReader& r, std::string_view name) {
  auto v = r.keyword(name);
  if (!v) return std::optional<bool>();
  VQ_TRY(auto b, arg_to_bool(*v));
  return std::optional<bool>(b);
}

// Orders two sort keys, folding strings to lower case unless case-sensitive.
int compare_keys(const Value& a, const Value& b, bool case_sensitive) {
  if (!case_sensitive && a.is_string() && b.is_string())
    return compare_values(ascii_fold(a), ascii_fold(b));
  return compare_values(a, b);
}

// Value of `path` in `item`, or `fallback` when the lookup fails or gives undefined.
Value path_or_default(const Value& item, std::string_view path, const Value& fallback) {
  auto v = lookup_path(item, path);
  if (!v || v->is_undefined()) return fallback;
  return std::move(v).value();
}

}  // namespace

ValueResult length(State&, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  VQ_TRY(auto n, jinja::length(v));
  return Value(static_cast<std::uint64_t>(n));
}

ValueResult first(State&, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  if (v.is_string()) {
    std::string_view s = v.str();
    if (s.empty()) return Value();
    return Value(std::string(s.substr(0, utf8::char_len(s, 0))));
  }
  if (v.is_seq_like() || v.kind() == ValueKind::Map || v.kind() == ValueKind::Seq) {
    auto it = iterate(v);
    if (!it) return err(invalid_operation("cannot get first item from value"));
    auto item = it->next();
    return item ? *item : Value();
  }
  return err(invalid_operation("cannot get first item from value"));
}

ValueResult last(State&, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  if (v.is_string()) {
    std::string_view s = v.str();
    if (s.empty()) return Value();
    std::size_t start = s.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    return text_value(std::string(s.substr(start)), v.is_safe());
  }
  if (v.is_seq_like() || (v.is_object() && v.kind() == ValueKind::Seq)) {
    if (const auto* items = v.items()) return items->empty() ? Value() : items->back();
    VQ_TRY(auto items, collect(v));
    return items.empty() ? Value() : items.back();
  }
  return err(invalid_operation("cannot get last item from value"));
}

ValueResult list(State& state, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  if (v.is_seq()) return v;
  VQ_TRY(auto items, items_or(state, v, "cannot convert value to list"));
  return Value::seq(std::move(items));
}

namespace {

ValueResult extreme(State& state, const Args& args, int sign) {
  VQ_TRY(auto v, only_value(args));
  VQ_TRY(auto items, items_or(state, v, "cannot convert value to list"));
  if (items.empty()) return Value();
  const Value* best = &items[0];
  for (const auto& item : items) {
    int c = compare_values(item, *best);
    // Ties: min keeps the first, max the last.
    if (sign < 0 ? c < 0 : c >= 0) best = &item;
  }
  return *best;
}

}  // namespace

ValueResult max(State& state, const Args& args) {
  return extreme(state, args, 1);
}
ValueResult min(State& state, const Args& args) {
  return extreme(state, args, -1);
}

ValueResult join(State& state, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(const Value* v, r.required_ref());
  const Value* joiner_arg = r.optional_ref();
  VQ_CHECK(r.finish());
  VQ_TRY(auto joiner_text,
         (joiner_arg != nullptr ? text_input(state, *joiner_arg)
                                : velloquin::Result<Text, Error>(Text::borrowed({}))));
  const std::string_view joiner = joiner_text.view();
  if (v->is_undefined() || v->is_none()) return Value("");
  const std::vector<Value>* list = v->items();
  if (list != nullptr && state.auto_escape() == AutoEscape::None) {
    // A list of strings, the common case: measured first, then written in one buffer.
    std::size_t size = list->empty() ? 0 : joiner.size() * (list->size() - 1);
    bool all_strings = true;
    for (const Value& item : *list) {
      size += item.str().size();
      all_strings = all_strings && item.is_string();
    }
    if (all_strings) {
      char* at = nullptr;
      Value joined = Value::string_of_size(size, false, &at);
      for (std::size_t i = 0; i < list->size(); ++i) {
        if (i > 0) at = std::copy(joiner.begin(), joiner.end(), at);
        const std::string_view text = (*list)[i].str();
        at = std::copy(text.begin(), text.end(), at);
      }
      return joined;
    }
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < list->size(); ++i) {
      if (i > 0) out += joiner;
      const Value& item = (*list)[i];
      if (item.is_string())
        out += item.str();
      else
        item.display(out);
    }
    return Value(std::move(out));
  }
  auto it = iterate(*v);
  if (!it)
    return err(invalid_operation("cannot join value of type " + std::string(kind_name(v->kind()))));
  std::string out;
  if (state.auto_escape() == AutoEscape::None) {
    // Without escaping, one pass straight into the result.
    bool first = true;
    while (auto item = it->next()) {
      if (!first) out += joiner;
      first = false;
      if (item->is_string())
        out += item->str();
      else
        item->display(out);
    }
    return Value(std::move(out));
  }
  // With escaping, whether anything is safe decides how every part is written: then each part
  // that is not safe is escaped under the active mode and the result is safe.
  std::vector<Value> items;
  bool any_safe = joiner_arg && joiner_arg->is_safe();
  while (auto item = it->next()) {
    any_safe = any_safe || item->is_safe();
    items.push_back(std::move(*item));
  }
  const bool escape = any_safe;
  const AutoEscape mode = state.auto_escape();
  std::string escaped_joiner;
  // Without a joiner there is nothing between the parts, not an escaped empty string.
  if (escape && joiner_arg != nullptr) {
    if (joiner_arg->is_safe()) {
      escaped_joiner = joiner;
    } else {
      VQ_CHECK(write_escaped(escaped_joiner, mode, Value(joiner)));
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += escape ? std::string_view(escaped_joiner) : joiner;
    const Value& item = items[i];
    if (escape) {
      VQ_CHECK(check_defined(state, item));
      VQ_CHECK(write_escaped(out, mode, item));
    } else if (item.is_string()) {
      out += item.str();
    } else {
      item.display(out);
    }
  }
  return text_value(std::move(out), escape);
}

ValueResult reverse(State&, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  if (v.is_undefined() || v.is_none()) return v;
  if (v.is_string()) {
    std::string_view s = v.str();
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < s.size(); i += utf8::char_len(s, i)) starts.push_back(i);
    std::string out;
    out.reserve(s.size());
    for (auto it = starts.rbegin(); it != starts.rend(); ++it)
      out += s.substr(*it, utf8::char_len(s, *it));
    return text_value(std::move(out), v.is_safe());
  }
  if (v.is_map()) {
    // Keys in their normal order: what the reference engine gives for maps.
    VQ_TRY(auto keys, collect(v));
    return Value::iterator(std::move(keys));
  }
  if (v.is_seq_like() || v.is_object()) {
    auto items = collect(v);
    if (!items) {
      return err(
          invalid_operation("cannot reverse values of type " + std::string(kind_name(v.kind()))));
    }
    std::reverse(items->begin(), items->end());
    bool sized = !v.is_iterator() || v.iterator_sized();
    return Value::iterator(std::move(*items), sized);
  }
  return err(
      invalid_operation("cannot reverse values of type " + std::string(kind_name(v.kind()))));
}

ValueResult items(State&, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  if (v.kind() != ValueKind::Map) return err(invalid_operation("cannot convert value into pairs"));
  std::vector<Value> pairs;
  if (const Map* m = v.map_data()) {
    pairs.reserve(m->size());
    for (const auto& [k, val] : m->entries()) pairs.push_back(Value::seq({k, val}));
  } else {
    VQ_TRY(auto keys, collect(v));
    for (auto& k : keys) {
      auto val = get_item(v, k);
      pairs.push_back(Value::seq({k, val ? *val : Value()}));
    }
  }
  return Value::iterator(std::move(pairs));
}

ValueResult dictsort(State&, const Args& args) {
  ArgReader r(args, true);
  VQ_TRY(auto v, r.required());
  // Surplus positional arguments are reported first, unknown keywords last.
  if (r.positional_count() > 1) return err(Error(ErrorKind::TooManyArguments));
  if (v.kind() != ValueKind::Map)
    return err(invalid_operation("cannot convert value into pair list"));
  auto by = r.keyword("by");
  if (by && !by->is_string()) return err(invalid_operation("value is not a string"));
  VQ_TRY(auto case_sensitive, keyword_bool(r, "case_sensitive"));
  VQ_TRY(auto rev, keyword_bool(r, "reverse"));
  VQ_CHECK(r.finish());
  bool by_value = by && by->str() == "value";
  bool cs = case_sensitive.value_or(false);
  std::vector<std::pair<Value, Value>> pairs;
  VQ_TRY(auto keys, collect(v));
  for (auto& k : keys) {
    auto val = get_item(v, k);
    pairs.emplace_back(k, val ? *val : Value());
  }
  // Reversing the order, not the sorted list, keeps equal entries in map order either way.
  const bool reversed = rev.value_or(false);
  std::stable_sort(pairs.begin(), pairs.end(), [&](const auto& a, const auto& b) {
    const int c =
        by_value ? compare_keys(a.second, b.second, cs) : compare_keys(a.first, b.first, cs);
    return reversed ? c > 0 : c < 0;
  });
  std::vector<Value> out;
  out.reserve(pairs.size());
  for (auto& [k, val] : pairs) out.push_back(Value::seq({k, val}));
  return Value::seq(std::move(out));
}

ValueResult sort(State& state, const Args& args) {
  ArgReader r(args, true);
  VQ_TRY(auto v, r.required());
  VQ_TRY(auto case_sensitive, keyword_bool(r, "case_sensitive"));
  auto attribute = r.keyword("attribute");
  VQ_TRY(auto rev, keyword_bool(r, "reverse"));
  VQ_CHECK(r.finish());
  VQ_TRY(auto items, items_or(state, v, "cannot convert value to list"));
  bool cs = case_sensitive.value_or(false);
  bool reversed = rev.value_or(false);
  auto ordered = [&](int c) { return reversed ? c > 0 : c < 0; };

  if (!attribute) {
    if (cs) {
      std::stable_sort(items.begin(), items.end(), [&](const Value& a, const Value& b) {
        return ordered(compare_values(a, b));
      });
      return Value::seq(std::move(items));
    }
    // Folded once per item rather than once per comparison; positions move, not values.
    std::vector<Value> keys;
    keys.reserve(items.size());
    for (const auto& item : items) keys.push_back(ascii_fold(item));
    std::vector<std::uint32_t> order(items.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      return ordered(compare_values(keys[a], keys[b]));
    });
    std::vector<Value> out;
    out.reserve(order.size());
    for (auto i : order) out.push_back(std::move(items[i]));
    return Value::seq(std::move(out));
  }
  VQ_TRY(auto path_text, arg_as_str(*attribute));
  std::vector<std::string> paths;
  {
    std::string_view all = path_text;
    std::size_t start = 0;
    while (true) {
      std::size_t comma = all.find(',', start);
      std::string_view p =
          all.substr(start, comma == std::string_view::npos ? all.npos : comma - start);
      while (!p.empty() && p.front() == ' ') p.remove_prefix(1);
      while (!p.empty() && p.back() == ' ') p.remove_suffix(1);
      paths.emplace_back(p);
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  // Keys computed once per item; a failed lookup makes the item compare equal (single key)
  // or sort as undefined (composite key).
  struct Keyed {
    std::vector<std::optional<Value>> keys;
    Value item;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(items.size());
  for (auto& item : items) {
    Keyed k;
    for (const auto& p : paths) {
      auto val = lookup_path(item, p);
      if (val)
        k.keys.emplace_back(paths.size() == 1 && !cs ? ascii_fold(*val) : std::move(val).value());
      else if (paths.size() == 1)
        k.keys.emplace_back(std::nullopt);
      else
        k.keys.emplace_back(Value());
    }
    k.item = std::move(item);
    keyed.push_back(std::move(k));
  }
  if (paths.size() > 1) {
    // Several paths form one list-valued key: lists compare without case folding.
    for (auto& k : keyed) {
      std::vector<Value> parts;
      for (auto& part : k.keys) parts.push_back(std::move(*part));
      k.keys.assign(1, Value::seq(std::move(parts)));
    }
  }
  std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
    if (!a.keys[0] || !b.keys[0]) return false;
    return ordered(compare_values(*a.keys[0], *b.keys[0]));
  });
  std::vector<Value> out;
  out.reserve(keyed.size());
  for (auto& k : keyed) out.push_back(std::move(k.item));
  return Value::seq(std::move(out));
}

namespace {

ValueResult select_or_reject(State& state, const Args& args, bool with_attribute, bool invert) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  std::string attribute;
  if (with_attribute) {
    VQ_TRY(auto a, r.required());
    VQ_TRY(auto t, text_input(state, a));
    attribute = std::move(t).str();
  }
  auto test_name = r.optional();
  std::vector<Value> test_args = r.rest();
  const TestFunction* test = nullptr;
  if (test_name) {
    VQ_TRY(auto name, text_input(state, *test_name));
    test = state.find_test(name.view());
    if (!test) return err(Error(ErrorKind::UnknownTest));
  }
  VQ_TRY(auto items, strict_iterate(state, v));
  std::vector<Value> out;
  Args call;
  call.positional.reserve(test_args.size() + 1);
  while (auto next = items.next()) {
    Value& item = *next;
    Value subject = item;
    if (with_attribute) {
      VQ_TRY(subject, lookup_path(item, attribute));
    }
    bool passed;
    if (test) {
      call.positional.clear();
      call.positional.push_back(std::move(subject));
      call.positional.insert(call.positional.end(), test_args.begin(), test_args.end());
      VQ_TRY(passed, (*test)(state, call));
    } else {
      passed = subject.truthy();
    }
    if (passed != invert) out.push_back(std::move(item));
  }
  return Value::seq(std::move(out));
}

}  // namespace

ValueResult select(State& state, const Args& args) {
  return select_or_reject(state, args, false, false);
}
ValueResult reject(State& state, const Args& args) {
  return select_or_reject(state, args, false, true);
}
ValueResult selectattr(State& state, const Args& args) {
  return select_or_reject(state, args, true, false);
}
ValueResult rejectattr(State& state, const Args& args) {
  return select_or_reject(state, args, true, true);
}

ValueResult map(State& state, const Args& args) {
  ArgReader r(args, true);
  VQ_TRY(auto v, r.required());
  if (auto attribute = r.keyword("attribute")) {
    if (r.positional_count() > 1) return err(Error(ErrorKind::TooManyArguments));
    Value fallback;
    for (const auto& [name, value] : args.kwargs)
      if (name == "default") fallback = value;
    r.keyword("default");
    VQ_CHECK(r.finish());
    VQ_TRY(auto items, strict_iterate(state, v));
    std::vector<Value> out;
    out.reserve(items.remaining().value_or(0));
    while (auto item = items.next()) {
      auto sub = lookup_attribute(*item, *attribute);
      if (!sub) {
        if (fallback.is_undefined()) return err(std::move(sub).error());
        out.push_back(fallback);
      } else {
        out.push_back(sub->is_undefined() ? fallback : std::move(sub).value());
      }
    }
    return Value::seq(std::move(out));
  }
  // Filter mode: keyword arguments are ignored.
  std::vector<Value> rest = r.rest();
  if (rest.empty()) return err(invalid_operation("filter name is required"));
  if (!rest[0].is_string()) return err(invalid_operation("filter name must be a string"));
  const Function* filter = state.find_filter(rest[0].str());
  if (!filter) return err(Error(ErrorKind::UnknownFilter));
  VQ_TRY(auto items, strict_iterate(state, v));
  std::vector<Value> out;
  out.reserve(items.remaining().value_or(0));
  Args call;
  while (auto item = items.next()) {
    call.positional.clear();
    call.positional.push_back(std::move(*item));
    call.positional.insert(call.positional.end(), rest.begin() + 1, rest.end());
    VQ_TRY(auto result, (*filter)(state, call));
    out.push_back(std::move(result));
  }
  return Value::seq(std::move(out));
}

namespace {

constexpr std::size_t kMaxBuiltItems = 10'000'000;

// The arguments of the filters that cut a sequence into lists: its items, how many, and the
// optional padding value.
struct CountedItems {
  std::vector<Value> items;
  std::size_t count = 0;
  std::optional<Value> fill;
};

velloquin::Result<CountedItems, Error> counted_items(State& state, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  VQ_TRY(auto c, r.required());
  VQ_TRY(std::size_t count, arg_to_usize(c));
  if (count == 0) return err(invalid_operation("count cannot be 0"));
  auto fill = r.optional();
  VQ_CHECK(r.finish());
  VQ_TRY(auto items, strict_items(state, v));
  return CountedItems{std::move(items), count, std::move(fill)};
}

}  // namespace

ValueResult batch(State& state, const Args& args) {
  VQ_TRY(auto in, counted_items(state, args));
  auto& [items, count, fill] = in;
  // Padding makes `count` items out of one: bounded like the other size-multiplying operations.
  if (fill && !items.empty() && count > kMaxBuiltItems)
    return err(invalid_operation("count is too large"));
  std::vector<Value> out;
  for (std::size_t i = 0; i < items.size(); i += count) {
    std::size_t end = std::min(items.size(), i + count);
    std::vector<Value> row(items.begin() + static_cast<std::ptrdiff_t>(i),
                           items.begin() + static_cast<std::ptrdiff_t>(end));
    if (fill)
      while (row.size() < count) row.push_back(*fill);
    out.push_back(Value::seq(std::move(row)));
  }
  return Value::seq(std::move(out));
}

ValueResult slice(State& state, const Args& args) {
  VQ_TRY(auto in, counted_items(state, args));
  auto& [items, count, fill] = in;
  // Bounded by the items: more slices than that would only add empty lists.
  // Every slice is a list even when empty, so the count itself is bounded.
  if (count > kMaxBuiltItems) return err(invalid_operation("count is too large"));
  std::size_t per = items.size() / count, extra = items.size() % count;
  std::vector<Value> out;
  out.reserve(count);
  std::size_t pos = 0;
  for (std::size_t s = 0; s < count; ++s) {
    std::size_t n = per + (s < extra ? 1 : 0);
    std::vector<Value> part(items.begin() + static_cast<std::ptrdiff_t>(pos),
                            items.begin() + static_cast<std::ptrdiff_t>(pos + n));
    pos += n;
    if (fill && s >= extra) part.push_back(*fill);
    out.push_back(Value::seq(std::move(part)));
  }
  return Value::seq(std::move(out));
}

ValueResult sum(State& state, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  VQ_TRY(auto items, strict_items(state, v));
  Value total(0);
  for (const auto& item : items) {
    if (item.is_undefined()) continue;
    if (!item.is_number())
      return err(
          invalid_operation("can only sum numbers, got " + std::string(kind_name(item.kind()))));
    VQ_TRY(total, add(total, item));
  }
  return total;
}

ValueResult unique(State& state, const Args& args) {
  ArgReader r(args, true);
  VQ_TRY(auto v, r.required());
  auto attribute = r.keyword("attribute");
  VQ_TRY(auto case_sensitive, keyword_bool(r, "case_sensitive"));
  VQ_CHECK(r.finish());
  std::string path;
  if (attribute) {
    VQ_TRY(auto p, arg_as_str(*attribute));
    path = std::string(p);
  }
  VQ_TRY(auto items, strict_items(state, v));
  bool cs = case_sensitive.value_or(false);
  // One sort of the positions by key: the first position of each run of equal keys is the
  // occurrence kept, and the result keeps the input order.
  std::vector<Value> keys;
  keys.reserve(items.size());
  for (const auto& item : items) {
    Value key = attribute ? path_or_default(item, path, Value()) : item;
    keys.push_back(cs ? std::move(key) : unicode_fold(key));
  }
  std::vector<std::uint32_t> order(items.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return compare_values(keys[a], keys[b]) < 0;
  });
  std::vector<bool> keep(items.size(), false);
  for (std::size_t i = 0; i < order.size(); ++i)
    if (i == 0 || compare_values(keys[order[i - 1]], keys[order[i]]) != 0) keep[order[i]] = true;
  std::vector<Value> out;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (keep[i]) out.push_back(std::move(items[i]));
  return Value::seq(std::move(out));
}

ValueResult zip(State&, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  std::vector<Value> inputs{v};
  for (auto& other : r.rest()) inputs.push_back(std::move(other));
  // Inputs are checked in order until the first one of unknown length, as the reference does;
  // the result has a length only when every input has one.
  bool sized = true;
  for (const auto& input : inputs) {
    if (!iterate(input)) {
      return err(invalid_operation("zip filter argument must be iterable, got " +
                                   std::string(kind_name(input.kind()))));
    }
    if (!input.is_string() && !known_length(input)) {
      sized = false;
      break;
    }
  }
  std::vector<std::vector<Value>> columns;
  for (const auto& input : inputs) {
    auto items = collect(input);
    if (!items) return Value::iterator({}, false);
    columns.push_back(std::move(*items));
  }
  std::size_t n = columns[0].size();
  for (const auto& c : columns) n = std::min(n, c.size());
  std::vector<Value> out;
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::vector<Value> row;
    row.reserve(columns.size());
    for (const auto& c : columns) row.push_back(c[i]);
    out.push_back(Value::seq(std::move(row)));
  }
  return Value::iterator(std::move(out), sized);
}

ValueResult chain(State&, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  std::vector<Value> inputs{v};
  for (auto& other : r.rest()) inputs.push_back(std::move(other));
  bool all_maps = std::all_of(inputs.begin(), inputs.end(),
                              [](const Value& x) { return x.kind() == ValueKind::Map; });
  if (all_maps) {
    // Later maps win; keys come out in key order.
    MapEntries merged;
    for (const auto& input : inputs) {
      VQ_TRY(auto keys, collect(input));
      for (auto& k : keys) {
        auto val = get_item(input, k);
        merged.emplace_back(k, val ? *val : Value());
      }
    }
    return Value::map(std::move(merged));
  }
  bool all_seqs = std::all_of(inputs.begin(), inputs.end(),
                              [](const Value& x) { return x.kind() == ValueKind::Seq; });
  std::vector<Value> out;
  for (const auto& input : inputs) {
    // An input that cannot be iterated fails the filter itself: a result that failed only
    // once iterated would still print, compare and test as if it were an empty iterator.
    VQ_TRY(auto items, collect(input));
    out.insert(out.end(), items.begin(), items.end());
  }
  if (all_seqs) return Value::seq(std::move(out));
  return Value::iterator(std::move(out), false);
}

ValueResult attr(State&, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  VQ_TRY(auto key, r.required());
  VQ_CHECK(r.finish());
  return get_item(v, key);
}

// A group of groupby: a two-item sequence that also answers to `grouper` and `list`.
class GroupObject : public Object {
 public:
  GroupObject(Value grouper, Value list) : grouper_(std::move(grouper)), list_(std::move(list)) {}
  ValueKind kind() const override { return ValueKind::Seq; }
  Value get_attr(std::string_view name) const override {
    if (name == "grouper") return grouper_;
    if (name == "list") return list_;
    return Value();
  }
  Value get_item(const Value& key) const override {
    if (key.is_string()) return get_attr(key.str());
    auto i = key.to_int64_lossless();
    if (!i) return Value();
    if (*i == 0 || *i == -2) return grouper_;
    if (*i == 1 || *i == -1) return list_;
    return Value();
  }
  std::optional<std::size_t> length() const override { return 2; }
  std::optional<std::vector<Value>> iterate() const override {
    return std::vector<Value>{grouper_, list_};
  }
  void display(std::string& out) const override {
    out += '[';
    grouper_.repr(out);
    out += ", ";
    list_.repr(out);
    out += ']';
  }

 private:
  Value grouper_;
  Value list_;
};

ValueResult groupby(State&, const Args& args) {
  ArgReader r(args, true);
  VQ_TRY(auto v, r.required());
  auto attribute = r.optional();
  if (!attribute) {
    attribute = r.keyword("attribute");
    if (!attribute)
      return err(Error(ErrorKind::MissingArgument, "missing keyword argument 'attribute'"));
  }
  Value fallback = r.keyword("default").value_or(Value());
  VQ_TRY(auto case_sensitive, keyword_bool(r, "case_sensitive"));
  VQ_CHECK(r.finish());
  VQ_TRY(auto path, arg_as_str(*attribute));
  bool cs = case_sensitive.value_or(false);
  VQ_TRY(auto items, collect(v));
  std::vector<std::pair<Value, Value>> keyed;
  keyed.reserve(items.size());
  for (auto& item : items) keyed.emplace_back(path_or_default(item, path, fallback), item);
  std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
    return compare_keys(a.first, b.first, cs) < 0;
  });
  std::vector<Value> groups;
  std::size_t i = 0;
  while (i < keyed.size()) {
    std::size_t j = i;
    std::vector<Value> members;
    while (j < keyed.size() && compare_keys(keyed[i].first, keyed[j].first, cs) == 0)
      members.push_back(keyed[j++].second);
    // The reference engine names a group after its last member's key.
    groups.push_back(Value::object(
        std::make_shared<GroupObject>(keyed[j - 1].first, Value::seq(std::move(members)))));
    i = j;
  }
  return Value::seq(std::move(groups));
}

}  // namespace velloquin::jinja::filters
