#include "jinja/value/number_parse.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "base/float_syntax.h"
#include "jinja/value/value_ops.h"

namespace velloquin::jinja {

std::optional<Int128> parse_int128(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  UInt128 magnitude = 0;
  const UInt128 limit = (static_cast<UInt128>(1) << 127) - (negative ? 0 : 1);
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    UInt128 digit = static_cast<UInt128>(c - '0');
    if (magnitude > (limit - digit) / 10) return std::nullopt;
    magnitude = magnitude * 10 + digit;
  }
  if (negative) return static_cast<Int128>(static_cast<UInt128>(0) - magnitude);
  return static_cast<Int128>(magnitude);
}

namespace {

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != b[i]) return false;
  }
  return true;
}

}  // namespace

velloquin::Result<double, Error> parse_float_literal(std::string_view text) {
  if (text.empty()) return err(invalid_operation("cannot parse float from empty string"));
  bool negative = false;
  std::string_view body = text;
  if (body[0] == '+' || body[0] == '-') {
    negative = body[0] == '-';
    body.remove_prefix(1);
  }
  double value;
  if (iequals(body, "inf") || iequals(body, "infinity")) {
    value = std::numeric_limits<double>::infinity();
  } else if (iequals(body, "nan")) {
    value = std::numeric_limits<double>::quiet_NaN();
  } else if (is_unsigned_decimal_float(body)) {
    auto res = std::from_chars(body.data(), body.data() + body.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
      // Overflow goes to infinity, underflow to zero, as the reference parser does.
      std::size_t e = body.find_first_of("eE");
      bool big = e == std::string_view::npos || body[e + 1] != '-';
      value = big ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (res.ec != std::errc() || res.ptr != body.data() + body.size()) {
      return err(invalid_operation("invalid float literal"));
    }
  } else {
    return err(invalid_operation("invalid float literal"));
  }
  return negative ? -value : value;
}

Int128 saturating_int128(double d) {
  if (std::isnan(d)) return 0;
  const double limit = 170141183460469231731687303715884105728.0;  // 2^127
  const Int128 max = static_cast<Int128>((static_cast<UInt128>(1) << 127) - 1);
  if (d >= limit) return max;
  if (d <= -limit) return -max - 1;
  return static_cast<Int128>(d);
}

}  // namespace velloquin::jinja
