// Shared pieces of the builtin filters, tests and globals.
#pragma once

#include <string>
#include <string_view>

#include "jinja/runtime/functions.h"

namespace velloquin::jinja {

using velloquin::err;

// A value with nothing to show: undefined of either flavour.
inline bool is_missing(const Value& v) {
  return v.is_undefined();
}

// The value a filter is applied to, for filters that take no other argument.
velloquin::Result<Value, Error> only_value(const Args& args);

// Fails with "undefined value" for a (non-silent) undefined under strict undefined.
velloquin::Result<void, Error> check_defined(const State& state, const Value& v);

// The text of an argument: borrowed from a string value (which the caller keeps alive), or
// owned when converted from another kind.
class Text {
 public:
  static Text borrowed(std::string_view s) { return Text(s, {}, false); }
  static Text owned(std::string s) { return Text({}, std::move(s), true); }
  std::string_view view() const { return owned_ ? std::string_view(text_) : borrowed_; }
  operator std::string_view() const { return view(); }
  std::string str() && { return owned_ ? std::move(text_) : std::string(borrowed_); }
  std::size_t size() const { return view().size(); }
  bool empty() const { return view().empty(); }

 private:
  Text(std::string_view b, std::string t, bool owned)
      : borrowed_(b), text_(std::move(t)), owned_(owned) {}
  std::string_view borrowed_;
  std::string text_;
  bool owned_;
};

// "String input": strings as is, other values by their display form; undefined is an error
// under strict undefined and empty otherwise. A string's text is borrowed from `v`.
velloquin::Result<Text, Error> text_input(const State& state, const Value& v);

// Strings only: "value is not a string" otherwise.
velloquin::Result<std::string_view, Error> string_only(const Value& v);

// A string result that is safe when `safe` is set.
inline Value text_value(std::string s, bool safe) {
  return Value::string(std::move(s), safe);
}

// Follows a dotted path ("a.b.0") through maps, objects and sequences; integer segments
// index. Looking through a missing value is an error ("undefined value").
ValueResult lookup_path(const Value& base, std::string_view path);
// The same for an attribute given as a value (strings are paths, integers are indexes).
ValueResult lookup_attribute(const Value& base, const Value& attribute);

// Case folding used by sort, dictsort, groupby and unique: strings ASCII-lower-cased
// (Unicode for unique), other values unchanged.
Value ascii_fold(const Value& v);
Value unicode_fold(const Value& v);

// A value written as printing writes it under `mode`: safe strings, and everything under no
// escaping, as they are; HTML escapes the text of strings and containers; JSON writes plain
// JSON ("could not serialize to value: unable to format to JSON" where it cannot).
velloquin::Result<void, Error> write_escaped(std::string& out, AutoEscape mode, const Value& v);

// The mode `escape` writes with: the active one, else the template's own, else HTML.
AutoEscape escape_filter_mode(const State& state);

// `v` escaped as the escape filter does it, as a safe string (safe strings unchanged).
ValueResult escape_value(const State& state, const Value& v);

// Compact JSON without the HTML-safe escapes of `tojson` (filters_serialize.cpp).
velloquin::Result<std::string, Error> plain_json(const Value& v);

}  // namespace velloquin::jinja
