// Parsing numbers from text the way the int and float filters accept them.
#pragma once

#include <optional>
#include <string_view>

#include "base/result.h"
#include "jinja/error.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {

// Optional sign and ASCII digits only; nullopt when not that or out of the 128-bit range.
std::optional<Int128> parse_int128(std::string_view text);
// A float literal: optional sign, digits with optional fraction and exponent, or inf, infinity,
// nan in any case; no whitespace. Errors: "invalid float literal",
// "cannot parse float from empty string".
velloquin::Result<double, Error> parse_float_literal(std::string_view text);
// Truncation toward zero, saturating at the 128-bit range; NaN is 0.
Int128 saturating_int128(double d);

}  // namespace velloquin::jinja
