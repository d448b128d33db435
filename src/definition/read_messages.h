// The texts every document reader builds its messages from, so that each format describes
// values and expectations in the same words.
#pragma once

#include "base/debug_quote.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velloquin::core {

// "invalid type: {found}, expected {expected}"
std::string invalid_type(std::string_view found, std::string_view expected);
// "invalid value: {found}, expected {expected}"
std::string invalid_value(std::string_view found, std::string_view expected);
// "invalid length {length}, expected {expected}"
std::string invalid_length(std::size_t length, std::string_view expected);

// The text in double quotes, escaped the way every printed form of the system quotes text.
using jinja::debug_quote;

// Descriptions of an offending value, the {found} of the texts above.
std::string describe_string(std::string_view text);  // string "..."
std::string describe_bool(bool value);               // boolean `true`
std::string describe_integer(std::uint64_t value);   // integer `5`
std::string describe_integer(std::int64_t value);    // integer `-5`
// floating point `1.5`, as the JSON forms print floats: the shortest text that reads back to
// the same number, with ".0" on integral values and an exponent outside 1e-5 .. 1e16 ("1e300");
// "NaN", "inf", "-inf" for the values JSON text cannot hold.
std::string describe_json_float(double value);
// floating point `1.5`, as the other formats print floats: the shortest digits written out in
// full, no exponent ("1000...0.0"), ".0" on integral values; "NaN", "inf", "-inf" as they are.
std::string describe_float(double value);

// The shortest decimal text of a finite double in the JSON forms' notation (the text between
// the backquotes of describe_json_float).
std::string json_float_text(double value);

}  // namespace velloquin::core
