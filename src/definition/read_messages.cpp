#include "definition/read_messages.h"

#include "base/debug_quote.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace velloquin::core {
namespace {

// The shortest round-trip digits of a finite, non-zero double, and the decimal exponent of
// its first digit: value = 0.D1D2... * 10^(point).
struct ShortestDigits {
  bool negative = false;
  std::string digits;
  int point = 0;  // position of the decimal point relative to the digits
};

ShortestDigits shortest_digits(double value) {
  std::array<char, 64> buffer{};
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                 std::chars_format::scientific);
  (void)ec;
  std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  ShortestDigits out;
  if (!text.empty() && text.front() == '-') {
    out.negative = true;
    text.remove_prefix(1);
  }
  auto e = text.find('e');
  for (char c : text.substr(0, e)) {
    if (c != '.') out.digits += c;
  }
  int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
  out.point = exponent + 1;
  return out;
}

// "invalid <what>: <found>, expected <expected>".
std::string invalid(std::string_view what, std::string_view found, std::string_view expected) {
  std::string out = "invalid ";
  out += what;
  out += ": ";
  out += found;
  out += ", expected ";
  out += expected;
  return out;
}

}  // namespace

std::string invalid_type(std::string_view found, std::string_view expected) {
  return invalid("type", found, expected);
}

std::string invalid_value(std::string_view found, std::string_view expected) {
  return invalid("value", found, expected);
}

std::string invalid_length(std::size_t length, std::string_view expected) {
  return "invalid length " + std::to_string(length) + ", expected " + std::string(expected);
}

std::string describe_string(std::string_view text) {
  return "string " + jinja::debug_quote(text);
}

std::string describe_bool(bool value) {
  return value ? "boolean `true`" : "boolean `false`";
}

std::string describe_integer(std::uint64_t value) {
  return "integer `" + std::to_string(value) + "`";
}

std::string describe_integer(std::int64_t value) {
  return "integer `" + std::to_string(value) + "`";
}

std::string json_float_text(double value) {
  // JSON text has no such numbers, but a value built in memory may hold them.
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";
  ShortestDigits d = shortest_digits(value);
  const int length = static_cast<int>(d.digits.size());
  const int kk = d.point;     // 10^(kk-1) <= |value| < 10^kk
  const int k = kk - length;  // value = digits * 10^k
  std::string out = d.negative ? "-" : "";
  if (k >= 0 && kk <= 16) {
    out += d.digits;
    out.append(static_cast<std::size_t>(k), '0');
    out += ".0";
  } else if (kk > 0 && kk <= 16) {
    out += d.digits.substr(0, static_cast<std::size_t>(kk));
    out += '.';
    out += d.digits.substr(static_cast<std::size_t>(kk));
  } else if (kk > -5 && kk <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-kk), '0');
    out += d.digits;
  } else {
    out += d.digits[0];
    if (length > 1) {
      out += '.';
      out += d.digits.substr(1);
    }
    out += 'e';
    out += std::to_string(kk - 1);
  }
  return out;
}

std::string describe_json_float(double value) {
  return "floating point `" + json_float_text(value) + "`";
}

std::string describe_float(double value) {
  std::string text;
  if (std::isnan(value)) {
    text = "NaN";
  } else if (std::isinf(value)) {
    text = value > 0 ? "inf" : "-inf";
  } else if (value == 0) {
    text = std::signbit(value) ? "-0.0" : "0.0";
  } else {
    ShortestDigits d = shortest_digits(value);
    const int length = static_cast<int>(d.digits.size());
    text = d.negative ? "-" : "";
    if (d.point <= 0) {
      text += "0.";
      text.append(static_cast<std::size_t>(-d.point), '0');
      text += d.digits;
    } else if (d.point >= length) {
      text += d.digits;
      text.append(static_cast<std::size_t>(d.point - length), '0');
      text += ".0";
    } else {
      text += d.digits.substr(0, static_cast<std::size_t>(d.point));
      text += '.';
      text += d.digits.substr(static_cast<std::size_t>(d.point));
    }
  }
  return "floating point `" + text + "`";
}

}  // namespace velloquin::core
