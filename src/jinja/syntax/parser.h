// Turns template source into statements.
#pragma once

#include <string_view>

#include "base/result.h"
#include "jinja/error.h"
#include "jinja/runtime/functions.h"
#include "jinja/syntax/ast.h"

namespace velloquin::jinja {

// Parses the whole template (the source must already have its trailing newline removed).
// Errors carry their line; the caller attaches the template name. Filters and tests named in
// the template are looked up among the builtins of the tables given, once, here.
Result<Body, Error> parse_template(std::string_view source, const FilterTable* filters = nullptr,
                                   const TestTable* tests = nullptr);

}  // namespace velloquin::jinja
