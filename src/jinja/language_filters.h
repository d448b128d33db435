// The filters that auto-escaping itself relies on (`safe`, `escape`/`e`), registered when the
// builtin set does not already provide them.
#pragma once

#include "jinja/functions.h"

namespace velloquin::jinja {

void add_language_filters(FilterTable& table);

}  // namespace velloquin::jinja
