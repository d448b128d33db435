// The operators of the expression language, as functions over values.
//
// These functions treat undefined leniently (it iterates as empty, compares, ...); the evaluator
// applies strict-undefined checks before calling them. Lookups on undefined are errors here
// because they are errors in both modes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "jinja/error.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {

using ValueResult = velloquin::Result<Value, Error>;

enum class BinaryOp : std::uint8_t { Add, Sub, Mul, Div, FloorDiv, Rem, Pow };
// "+", "-", "*", "/", "//", "%", "**".
std::string_view op_symbol(BinaryOp op);

ValueResult binary_op(BinaryOp op, const Value& a, const Value& b);
ValueResult add(const Value& a, const Value& b);
ValueResult sub(const Value& a, const Value& b);
ValueResult mul(const Value& a, const Value& b);
ValueResult div(const Value& a, const Value& b);
ValueResult floor_div(const Value& a, const Value& b);
ValueResult rem(const Value& a, const Value& b);
ValueResult pow(const Value& a, const Value& b);
ValueResult neg(const Value& a);
// `~`: both display forms concatenated into a plain string.
Value concat(const Value& a, const Value& b);

enum class CompareOp : std::uint8_t { Eq, Ne, Lt, Le, Gt, Ge };
bool compare(CompareOp op, const Value& a, const Value& b);

// `needle in container` (lenient for an undefined container: false).
velloquin::Result<bool, Error> contains(const Value& container, const Value& needle);

// `x.name`: maps by key, objects by attribute, everything else undefined; undefined base errors.
ValueResult get_attr(const Value& base, std::string_view name);
// `x[key]`: see the lookup rules; undefined base errors.
ValueResult get_item(const Value& base, const Value& key);
// `x[start:stop:step]`; omitted parts are undefined or none.
ValueResult slice(const Value& base, const Value& start, const Value& stop, const Value& step);

// |length: strings by characters, containers by items, sized iterators; errors otherwise.
velloquin::Result<std::size_t, Error> length(const Value& v);
// Length when known without error (loop.length); nullopt for strings and unsized iterables.
std::optional<std::size_t> known_length(const Value& v);

// Walks what a value iterates over (sequence items, map keys, characters, range numbers ...)
// without copying the container.
class ValueIterator {
 public:
  ValueIterator() = default;
  std::optional<Value> next();
  // Items still to come when known in advance (not for strings or unsized iterators).
  std::optional<std::size_t> remaining() const;

 private:
  friend velloquin::Result<ValueIterator, Error> iterate(const Value& v);
  enum class Mode : std::uint8_t { Empty, Items, MapKeys, Chars, Range };
  Mode mode_ = Mode::Empty;
  Value source_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::shared_ptr<const std::vector<Value>> owned_;  // materialised object iteration
  bool sized_ = true;
};

// Iteration of any iterable; none and undefined iterate as empty; others:
// "KIND is not iterable".
velloquin::Result<ValueIterator, Error> iterate(const Value& v);
// All items into one vector.
velloquin::Result<std::vector<Value>, Error> collect(const Value& v);
// A map's entries, or an object's entries by its own iteration; none for other values.
MapEntries map_entries(const Value& v);

// The error helpers most operations share.
Error invalid_operation(std::string detail);
Error undefined_error();

// HTML escaping of text: & < > " ' / (as `&amp;` ... `&#x2f;`).
void html_escape(std::string& out, std::string_view text);

}  // namespace velloquin::jinja
