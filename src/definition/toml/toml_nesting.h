// A bound on how deeply a TOML text nests its tables, checked before toml++ sees the text:
// toml++ walks nested tables recursively while parsing, so a key of many thousand dotted parts
// would exhaust the stack.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "definition/toml/toml_source.h"

namespace velloquin::core {

inline constexpr std::size_t kTomlNestingLimit = 128;

// The span of the first key (or table header) that would open more than kTomlNestingLimit
// tables, arrays and inline tables at once, counting the header's parts, the key's dotted parts
// and the brackets around it; none when the text stays within the limit. Strings and comments
// are skipped; the text need not be valid TOML.
std::optional<TomlSpan> find_toml_nesting_overflow(std::string_view text);

}  // namespace velloquin::core
