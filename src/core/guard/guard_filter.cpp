#include "core/guard/guard_filter.h"

#include <string>

#include "core/guard/guard.h"

#include "jinja/runtime/environment.h"

namespace velloquin::core {

Result<jinja::Value, jinja::Error> guard_wrap_value(const jinja::Value& value) {
  return jinja::Value(guard_wrap_text(value.to_display_string()));
}

void register_guard_filter(jinja::Environment& environment) {
  environment.add_filter(std::string(kGuardFilterName), guard_wrap_value);
}

}  // namespace velloquin::core
