#include "definition/toml/toml_big_integer.h"

#include <limits>

#include "definition/read_messages.h"
#include "definition/yaml/yaml_scalar.h"

namespace velloquin::core {
namespace {

constexpr ContentU128 kU128Max = ~ContentU128(0);
constexpr ContentU128 kI128MinMagnitude = ContentU128(1) << 127;
constexpr ContentU128 kI128Max = kI128MinMagnitude - 1;
constexpr ContentU128 kU64Max = std::numeric_limits<std::uint64_t>::max();

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

ContentI128 signed_value(const TomlBigInteger& value) {
  return value.negative ? static_cast<ContentI128>(~value.magnitude + 1)
                        : static_cast<ContentI128>(value.magnitude);
}

}  // namespace

std::optional<TomlBigInteger> parse_toml_big_integer(std::string_view literal) {
  TomlBigInteger value;
  if (!literal.empty() && (literal.front() == '+' || literal.front() == '-')) {
    value.negative = literal.front() == '-';
    literal.remove_prefix(1);
  }
  int radix = 10;
  if (literal.size() > 2 && literal[0] == '0') {
    if (literal[1] == 'x') radix = 16;
    if (literal[1] == 'o') radix = 8;
    if (literal[1] == 'b') radix = 2;
    if (radix != 10) literal.remove_prefix(2);
  }
  const ContentU128 limit = value.negative ? kI128MinMagnitude : kU128Max;
  bool any_digit = false;
  for (char c : literal) {
    if (c == '_') continue;
    const int d = digit_value(c);
    if (d >= radix) return std::nullopt;
    const auto digit = static_cast<ContentU128>(d);
    if (value.magnitude > (limit - digit) / static_cast<ContentU128>(radix)) return std::nullopt;
    value.magnitude = value.magnitude * static_cast<ContentU128>(radix) + digit;
    any_digit = true;
  }
  if (!any_digit) return std::nullopt;
  return value;
}

std::string toml_integer_stand_in(std::size_t length) {
  // An exponent may have leading zeros, so 1e000... has any length from three on.
  if (length < 3) return std::string(length, '0');
  return "1e" + std::string(length - 2, '0');
}

std::string describe_toml_big_integer(const TomlBigInteger& value) {
  if (!value.negative && value.magnitude <= kU64Max)
    return describe_integer(static_cast<std::uint64_t>(value.magnitude));
  if (value.negative || value.magnitude <= kI128Max)
    return "integer `" + to_decimal(signed_value(value)) + "` as i128";
  return "integer `" + to_decimal(value.magnitude) + "` as u128";
}

Result<nlohmann::json, std::string> toml_big_integer_json(const TomlBigInteger& value) {
  if (!value.negative && value.magnitude <= kU64Max)
    return nlohmann::json(static_cast<std::uint64_t>(value.magnitude));
  return err(std::string("JSON number out of range"));
}

Content toml_big_integer_content(const TomlBigInteger& value) {
  if (!value.negative && value.magnitude <= kU64Max)
    return Content::of_u64(static_cast<std::uint64_t>(value.magnitude));
  if (value.negative || value.magnitude <= kI128Max) return Content::of_i128(signed_value(value));
  return Content::of_u128(value.magnitude);
}

}  // namespace velloquin::core
