#include "definition/yaml/yaml_scalar.h"

#include "base/float_syntax.h"
#include "definition/read_messages.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace velloquin::core {
namespace {

using u128 = unsigned __int128;

bool starts_with_sign(std::string_view text) {
  return !text.empty() && (text.front() == '+' || text.front() == '-');
}

std::string_view strip_prefix(std::string_view text, std::string_view prefix, bool& stripped) {
  stripped = text.starts_with(prefix);
  return stripped ? text.substr(prefix.size()) : text;
}

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// Digits of one radix and nothing else, up to `limit`.
std::optional<u128> parse_magnitude(std::string_view digits, int radix, u128 limit) {
  if (digits.empty()) return std::nullopt;
  u128 value = 0;
  for (char c : digits) {
    const int d = digit_value(c);
    if (d >= radix) return std::nullopt;
    if (value > (limit - static_cast<u128>(d)) / static_cast<u128>(radix)) return std::nullopt;
    value = value * static_cast<u128>(radix) + static_cast<u128>(d);
  }
  return value;
}

struct Base {
  std::string_view prefix;
  int radix;
};
constexpr Base kPrefixedBases[] = {{"0x", 16}, {"0o", 8}, {"0b", 2}};

// A non-negative integer up to `limit`: the prefixed bases first, then decimal.
std::optional<u128> parse_unsigned(std::string_view text, u128 limit) {
  bool plus = false;
  const std::string_view unpositive = strip_prefix(text, "+", plus);
  for (const Base& base : kPrefixedBases) {
    bool prefixed = false;
    std::string_view rest = strip_prefix(unpositive, base.prefix, prefixed);
    if (!prefixed) continue;
    if (starts_with_sign(rest)) return std::nullopt;
    if (auto value = parse_magnitude(rest, base.radix, limit)) return value;
  }
  if (starts_with_sign(unpositive) || is_yaml_digits_but_not_number(text)) return std::nullopt;
  return parse_magnitude(unpositive, 10, limit);
}

// A negative integer whose magnitude is at most `limit`; the result is that magnitude.
std::optional<u128> parse_negative(std::string_view text, u128 limit) {
  for (const Base& base : kPrefixedBases) {
    bool prefixed = false;
    std::string_view rest = strip_prefix(text, "-" + std::string(base.prefix), prefixed);
    if (!prefixed) continue;
    if (starts_with_sign(rest)) return std::nullopt;
    if (auto value = parse_magnitude(rest, base.radix, limit)) return value;
  }
  if (is_yaml_digits_but_not_number(text)) return std::nullopt;
  // Only a negative decimal can get here without having been read as unsigned already.
  if (!text.starts_with('-')) return std::nullopt;
  return parse_magnitude(text.substr(1), 10, limit);
}

// Rust's float grammar without the inf / nan words: digits, an optional point and an exponent.
bool is_float_syntax(std::string_view text) {
  if (!text.empty() && text[0] == '-') text.remove_prefix(1);
  return is_unsigned_decimal_float(text);
}

YamlScalarValue string_value(std::string_view text) {
  YamlScalarValue value;
  value.kind = YamlScalarValue::Kind::String;
  value.text = text;
  return value;
}

std::string invalid_string_value(std::string_view text, std::string_view expected) {
  return velloquin::core::invalid_value(describe_string(text), expected);
}

}  // namespace

bool is_yaml_null_spelling(std::string_view text) {
  return text == "~" || text == "null" || text == "Null" || text == "NULL";
}

std::optional<bool> parse_yaml_bool(std::string_view text) {
  if (text == "true" || text == "True" || text == "TRUE") return true;
  if (text == "false" || text == "False" || text == "FALSE") return false;
  return std::nullopt;
}

bool is_yaml_digits_but_not_number(std::string_view text) {
  if (starts_with_sign(text)) text.remove_prefix(1);
  if (text.size() <= 1 || text.front() != '0') return false;
  for (char c : text.substr(1))
    if (c < '0' || c > '9') return false;
  return true;
}

std::optional<double> parse_yaml_float(std::string_view text) {
  std::string_view unpositive = text;
  if (unpositive.starts_with('+')) {
    unpositive.remove_prefix(1);
    if (starts_with_sign(unpositive)) return std::nullopt;
  }
  if (unpositive == ".inf" || unpositive == ".Inf" || unpositive == ".INF")
    return std::numeric_limits<double>::infinity();
  if (text == "-.inf" || text == "-.Inf" || text == "-.INF")
    return -std::numeric_limits<double>::infinity();
  if (text == ".nan" || text == ".NaN" || text == ".NAN")
    return std::numeric_limits<double>::quiet_NaN();
  if (!is_float_syntax(unpositive)) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(unpositive.data(), unpositive.data() + unpositive.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Too small rounds towards zero and is kept; too large is no finite float.
    const std::string copy(unpositive);
    value = std::strtod(copy.c_str(), nullptr);
  } else if (ec != std::errc() || end != unpositive.data() + unpositive.size()) {
    return std::nullopt;
  }
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<YamlScalarValue> parse_yaml_integer(std::string_view text) {
  using Kind = YamlScalarValue::Kind;
  constexpr u128 kU64Max = std::numeric_limits<std::uint64_t>::max();
  constexpr u128 kI64MinMagnitude = u128(1) << 63;
  constexpr u128 kU128Max = ~u128(0);
  constexpr u128 kI128MinMagnitude = u128(1) << 127;
  YamlScalarValue value;
  if (auto magnitude = parse_unsigned(text, kU64Max)) {
    value.kind = Kind::Unsigned;
    value.unsigned_value = static_cast<std::uint64_t>(*magnitude);
  } else if (auto magnitude = parse_negative(text, kI64MinMagnitude)) {
    value.kind = Kind::Signed;
    value.signed_value = static_cast<std::int64_t>(-static_cast<__int128>(*magnitude));
  } else if (auto magnitude = parse_unsigned(text, kU128Max)) {
    value.kind = Kind::Unsigned128;
    value.unsigned128 = *magnitude;
  } else if (auto magnitude = parse_negative(text, kI128MinMagnitude)) {
    value.kind = Kind::Signed128;
    // The magnitude of the smallest value does not fit the signed type: negate unsigned.
    value.signed128 = static_cast<__int128>(~*magnitude + 1);
  } else {
    return std::nullopt;
  }
  return value;
}

YamlScalarValue resolve_untagged_yaml_scalar(std::string_view text) {
  YamlScalarValue value;
  if (text.empty() || is_yaml_null_spelling(text)) return value;
  if (auto boolean = parse_yaml_bool(text)) {
    value.kind = YamlScalarValue::Kind::Boolean;
    value.boolean = *boolean;
    return value;
  }
  if (auto integer = parse_yaml_integer(text)) return *integer;
  if (!is_yaml_digits_but_not_number(text)) {
    if (auto number = parse_yaml_float(text)) {
      value.kind = YamlScalarValue::Kind::Float;
      value.float_value = *number;
      return value;
    }
  }
  return string_value(text);
}

Result<YamlScalarValue, std::string> resolve_yaml_scalar(const YamlEvent& scalar) {
  const std::string_view text = scalar.value;
  const bool plain = scalar.style == YamlScalarStyle::Plain;
  if (!scalar.tag) {
    if (plain) return resolve_untagged_yaml_scalar(text);
    return string_value(text);
  }
  const std::string_view tag = *scalar.tag;
  YamlScalarValue value;
  if (tag == kYamlBoolTag) {
    auto boolean = parse_yaml_bool(text);
    if (!boolean) return err(invalid_string_value(text, "a boolean"));
    value.kind = YamlScalarValue::Kind::Boolean;
    value.boolean = *boolean;
    return value;
  }
  if (tag == kYamlIntTag) {
    auto integer = parse_yaml_integer(text);
    if (!integer) return err(invalid_string_value(text, "an integer"));
    return *integer;
  }
  if (tag == kYamlFloatTag) {
    auto number = parse_yaml_float(text);
    if (!number) return err(invalid_string_value(text, "a float"));
    value.kind = YamlScalarValue::Kind::Float;
    value.float_value = *number;
    return value;
  }
  if (tag == kYamlNullTag) {
    if (!is_yaml_null_spelling(text)) return err(invalid_string_value(text, "null"));
    return value;
  }
  if (tag.starts_with('!') && plain) return resolve_untagged_yaml_scalar(text);
  return string_value(text);
}

Result<YamlScalarValue, std::string> resolve_yaml_scalar_as_any(const YamlEvent& scalar) {
  if (scalar.tag && scalar.tag->starts_with('!')) {
    YamlScalarValue value;
    value.kind = YamlScalarValue::Kind::Enum;
    // A bare "!" keeps its "!" as the name.
    value.text = scalar.tag->size() > 1 ? std::string_view(*scalar.tag).substr(1)
                                        : std::string_view(*scalar.tag);
    return value;
  }
  return resolve_yaml_scalar(scalar);
}

std::string describe_yaml_value(const YamlScalarValue& value) {
  using Kind = YamlScalarValue::Kind;
  switch (value.kind) {
    case Kind::Null:
      return "unit value";
    case Kind::Boolean:
      return describe_bool(value.boolean);
    case Kind::Unsigned:
      return describe_integer(value.unsigned_value);
    case Kind::Signed:
      return describe_integer(value.signed_value);
    case Kind::Unsigned128:
      return "integer `" + to_decimal(value.unsigned128) + "` as u128";
    case Kind::Signed128:
      return "integer `" + to_decimal(value.signed128) + "` as i128";
    case Kind::Float:
      return describe_float(value.float_value);
    case Kind::String:
      return describe_string(value.text);
    case Kind::Enum:
      return "enum";
  }
  return "unit value";
}

std::string to_decimal(unsigned __int128 value) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
    value /= 10;
  } while (value != 0);
  return digits;
}

std::string to_decimal(__int128 value) {
  if (value >= 0) return to_decimal(static_cast<unsigned __int128>(value));
  return "-" + to_decimal(~static_cast<unsigned __int128>(value) + 1);
}

}  // namespace velloquin::core
