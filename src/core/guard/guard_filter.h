// The template filter that fences one untrusted value.
#pragma once

#include "base/result.h"
#include "jinja/error.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {
class Environment;
}  // namespace velloquin::jinja

namespace velloquin::core {

// The value's printed form, markup escaped and wrapped in the untrusted tags, as a plain string.
Result<jinja::Value, jinja::Error> guard_wrap_value(const jinja::Value& value);

// Registers guard_wrap_value under the filter name the guard rewrite splices in.
void register_guard_filter(jinja::Environment& environment);

}  // namespace velloquin::core
