// TOML values as the JSON values that definitions carry in `metadata`, and the description of a
// TOML value in type errors.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "definition/read_error.h"
#include "definition/toml/toml_document.h"
#include "definition/toml/toml_library.h"
#include "definition/toml/toml_source.h"

namespace velloquin::core {

// Strings, integers, finite floats, booleans, arrays and tables map onto their JSON kinds (table
// keys sorted); inf and nan become null; a date-time becomes the one-member object holding its
// canonical text.
// An integer beyond 64 bits fails with "JSON number out of range", placed on that integer.
Result<nlohmann::json, ReadError> toml_to_json(const toml::node& node,
                                               const TomlReadContext& context);

// The offending-value text of "invalid type: {}, expected {}".
std::string describe_toml_value(const toml::node& node, const TomlReadContext& context);

}  // namespace velloquin::core
