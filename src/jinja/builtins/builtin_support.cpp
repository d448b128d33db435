#include "jinja/builtins/builtin_support.h"

#include <algorithm>

#include "base/try.h"
#include "jinja/runtime/template.h"
#include "jinja/unicode/text_case.h"

namespace velloquin::jinja {

velloquin::Result<Value, Error> only_value(const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  VQ_CHECK(r.finish());
  return v;
}

velloquin::Result<void, Error> check_defined(const State& state, const Value& v) {
  if (v.is_undefined() && !v.is_silent_undefined() && state.strict()) return err(undefined_error());
  return {};
}

velloquin::Result<Text, Error> text_input(const State& state, const Value& v) {
  if (v.is_string()) return Text::borrowed(v.str());
  if (v.is_kwargs()) return err(invalid_operation("cannot convert kwargs to string"));
  VQ_CHECK(check_defined(state, v));
  return Text::owned(v.to_display_string());
}

velloquin::Result<std::string_view, Error> string_only(const Value& v) {
  if (v.is_string()) return v.str();
  return err(invalid_operation("value is not a string"));
}

ValueResult lookup_path(const Value& base, std::string_view path) {
  Value current = base;
  std::size_t start = 0;
  while (true) {
    std::size_t dot = path.find('.', start);
    std::string_view segment =
        path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    std::int64_t index = 0;
    bool numeric = !segment.empty();
    for (char c : segment) {
      if (c < '0' || c > '9' || index > 1'000'000'000'000) {
        numeric = false;
        break;
      }
      index = index * 10 + (c - '0');
    }
    VQ_TRY(current, numeric ? get_item(current, Value(index)) : get_attr(current, segment));
    if (dot == std::string_view::npos) return current;
    start = dot + 1;
  }
}

ValueResult lookup_attribute(const Value& base, const Value& attribute) {
  if (attribute.is_string()) return lookup_path(base, attribute.str());
  return get_item(base, attribute);
}

Value ascii_fold(const Value& v) {
  if (!v.is_string()) return v;
  std::string_view text = v.str();
  if (std::none_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) return v;
  std::string s(text);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return Value(std::move(s));
}

Value unicode_fold(const Value& v) {
  if (!v.is_string()) return v;
  return Value(to_lower(v.str()));
}

velloquin::Result<void, Error> write_escaped(std::string& out, AutoEscape mode, const Value& v) {
  if (v.is_safe() || mode == AutoEscape::None) {
    v.display(out);
    return {};
  }
  if (mode == AutoEscape::Json) {
    auto json = plain_json(v);
    if (!json) return err(Error(ErrorKind::BadSerialization, "unable to format to JSON"));
    out += *json;
    return {};
  }
  if (v.is_none() || v.is_bool() || v.is_number() || v.is_undefined()) {
    v.display(out);
  } else if (v.is_string()) {
    html_escape(out, v.str());
  } else {
    html_escape(out, v.to_display_string());
  }
  return {};
}

AutoEscape escape_filter_mode(const State& state) {
  if (state.auto_escape() != AutoEscape::None) return state.auto_escape();
  const AutoEscape initial = auto_escape_for_name(state.template_name());
  return initial != AutoEscape::None ? initial : AutoEscape::Html;
}

ValueResult escape_value(const State& state, const Value& v) {
  if (v.is_safe()) return v;
  std::string out;
  VQ_CHECK(write_escaped(out, escape_filter_mode(state), v));
  return Value::safe_string(std::move(out));
}

}  // namespace velloquin::jinja
