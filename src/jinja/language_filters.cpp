#include "jinja/language_filters.h"

#include <string>

#include "jinja/builtin_support.h"

namespace velloquin::jinja {

namespace {

ValueResult safe_filter(State& state, const Args& args) {
  ArgReader reader(args, false);
  auto value = reader.required();
  if (!value.ok()) return err(std::move(value).error());
  if (auto done = reader.finish(); !done.ok()) return err(std::move(done).error());
  if (value->is_undefined() && !value->is_silent_undefined() && state.strict()) {
    return err(undefined_error());
  }
  if (value->is_safe()) return *value;
  return Value::safe_string(value->is_string() ? std::string(value->str())
                                               : value->to_display_string());
}

ValueResult escape_filter(State& state, const Args& args) {
  ArgReader reader(args, false);
  auto value = reader.required();
  if (!value.ok()) return err(std::move(value).error());
  if (auto done = reader.finish(); !done.ok()) return err(std::move(done).error());
  return escape_value(state, *value);
}

}  // namespace

void add_language_filters(FilterTable& table) {
  if (table.find("safe") == nullptr) table.add("safe", safe_filter);
  if (table.find("escape") == nullptr) table.add("escape", escape_filter);
  if (table.find("e") == nullptr) table.add("e", escape_filter);
}

}  // namespace velloquin::jinja
