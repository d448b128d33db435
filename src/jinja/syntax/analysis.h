// Which names a template reads from its context without assigning them first.
#pragma once

#include <set>
#include <string>

#include "jinja/syntax/ast.h"

namespace velloquin::jinja {

// Every top-level name read before the template assigns it in a visible scope. It errs on the
// side of reporting: whatever the template may read from its context is reported (the sliced
// value, filter-block and set-block filter arguments, the autoescape expression, the right
// side of `set`/`with` and a set block's body before the target is assigned, the namespace of
// a `set ns.attr`). Globals are not subtracted.
std::set<std::string> undeclared_names(const Body& body);

}  // namespace velloquin::jinja
