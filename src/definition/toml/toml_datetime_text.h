// The canonical text of a TOML date, time or date-time, as date-times are carried in
// definitions: a one-entry map from "$__toml_private_datetime" to this text.
#pragma once

#include <string>
#include <string_view>

#include "definition/toml/toml_library.h"

namespace velloquin::core {

inline constexpr std::string_view kTomlDatetimeKey = "$__toml_private_datetime";

// `literal` is the value as the document wrote it; it tells whether seconds were given.
std::string toml_date_text(const toml::date& date);
std::string toml_time_text(const toml::time& time, std::string_view literal);
std::string toml_datetime_text(const toml::node& node, std::string_view literal);

}  // namespace velloquin::core
