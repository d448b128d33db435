// The builtin global functions, one function each (registered by register_builtin_globals).
#pragma once

#include "jinja/runtime/functions.h"

namespace velloquin::jinja::globals {

ValueResult range(State& state, const Args& args);
ValueResult dict(State& state, const Args& args);
ValueResult debug(State& state, const Args& args);
ValueResult namespace_(State& state, const Args& args);

}  // namespace velloquin::jinja::globals
