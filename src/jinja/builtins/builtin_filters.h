// The builtin filters, one function each (registered by register_builtin_filters).
#pragma once

#include "jinja/runtime/functions.h"

namespace velloquin::jinja::filters {

// Text.
ValueResult upper(State& state, const Args& args);
ValueResult lower(State& state, const Args& args);
ValueResult capitalize(State& state, const Args& args);
ValueResult title(State& state, const Args& args);
ValueResult trim(State& state, const Args& args);
ValueResult replace(State& state, const Args& args);
ValueResult safe(State& state, const Args& args);
ValueResult string(State& state, const Args& args);
ValueResult escape(State& state, const Args& args);
ValueResult indent(State& state, const Args& args);
ValueResult lines(State& state, const Args& args);
ValueResult split(State& state, const Args& args);
ValueResult format(State& state, const Args& args);
ValueResult tojson(State& state, const Args& args);
ValueResult urlencode(State& state, const Args& args);
ValueResult pprint(State& state, const Args& args);

// Sequences and maps.
ValueResult attr(State& state, const Args& args);
ValueResult batch(State& state, const Args& args);
ValueResult chain(State& state, const Args& args);
ValueResult dictsort(State& state, const Args& args);
ValueResult first(State& state, const Args& args);
ValueResult groupby(State& state, const Args& args);
ValueResult items(State& state, const Args& args);
ValueResult join(State& state, const Args& args);
ValueResult last(State& state, const Args& args);
ValueResult length(State& state, const Args& args);
ValueResult list(State& state, const Args& args);
ValueResult map(State& state, const Args& args);
ValueResult max(State& state, const Args& args);
ValueResult min(State& state, const Args& args);
ValueResult reject(State& state, const Args& args);
ValueResult rejectattr(State& state, const Args& args);
ValueResult reverse(State& state, const Args& args);
ValueResult select(State& state, const Args& args);
ValueResult selectattr(State& state, const Args& args);
ValueResult slice(State& state, const Args& args);
ValueResult sort(State& state, const Args& args);
ValueResult sum(State& state, const Args& args);
ValueResult unique(State& state, const Args& args);
ValueResult zip(State& state, const Args& args);

// Numbers and conversions.
ValueResult abs(State& state, const Args& args);
ValueResult bool_(State& state, const Args& args);
ValueResult default_(State& state, const Args& args);
ValueResult float_(State& state, const Args& args);
ValueResult int_(State& state, const Args& args);
ValueResult round(State& state, const Args& args);

}  // namespace velloquin::jinja::filters
