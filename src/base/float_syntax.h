// The decimal float grammar that the engine's float filter and the YAML reader share.
#pragma once

#include <cstddef>
#include <string_view>

namespace velloquin {

// Digits with an optional fraction (at least one digit in all) and an optional exponent with
// its own sign: "1", "1.", ".5", "1.5e-3". No sign in front, no inf or nan words, no whitespace.
inline bool is_unsigned_decimal_float(std::string_view s) {
  auto digits = [&](std::size_t& i) {
    const std::size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i - start;
  };
  std::size_t i = 0;
  std::size_t mantissa_digits = digits(i);
  if (i < s.size() && s[i] == '.') {
    ++i;
    mantissa_digits += digits(i);
  }
  if (mantissa_digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (digits(i) == 0) return false;
  }
  return i == s.size();
}

}  // namespace velloquin
