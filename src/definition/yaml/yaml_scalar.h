// How a YAML scalar resolves to a value: null spellings, booleans, integers in four bases,
// floats, the strict core tags, and the description of a scalar in type errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "definition/yaml/yaml_events.h"

namespace velloquin::core {

inline constexpr std::string_view kYamlBoolTag = "tag:yaml.org,2002:bool";
inline constexpr std::string_view kYamlIntTag = "tag:yaml.org,2002:int";
inline constexpr std::string_view kYamlFloatTag = "tag:yaml.org,2002:float";
inline constexpr std::string_view kYamlNullTag = "tag:yaml.org,2002:null";

// ~, null, Null or NULL (the empty text is not among them).
bool is_yaml_null_spelling(std::string_view text);
// true, True, TRUE, false, False or FALSE.
std::optional<bool> parse_yaml_bool(std::string_view text);
// A decimal integer with a leading zero, such as 0123 or -007, which stays text.
bool is_yaml_digits_but_not_number(std::string_view text);
// A decimal number with fraction or exponent, or one of the .inf / .nan spellings.
std::optional<double> parse_yaml_float(std::string_view text);

struct YamlScalarValue {
  enum class Kind : std::uint8_t {
    Null,
    Boolean,
    Unsigned,     // fits 64 bits
    Signed,       // negative, fits 64 bits
    Unsigned128,  // fits only 128 bits
    Signed128,    // negative, fits only 128 bits
    Float,
    String,
    Enum,  // carries a local tag (!name)
  };

  Kind kind = Kind::Null;
  bool boolean = false;
  std::uint64_t unsigned_value = 0;
  std::int64_t signed_value = 0;
  unsigned __int128 unsigned128 = 0;
  __int128 signed128 = 0;
  double float_value = 0;
  std::string_view text;  // String: the scalar's text; Enum: the tag without its "!"
};

// An integer as YAML writes it: decimal, 0x, 0o or 0b, with an optional sign; kind is one of the
// four integer kinds.
std::optional<YamlScalarValue> parse_yaml_integer(std::string_view text);

// A plain scalar without a tag: null, boolean, integer, float, else text.
YamlScalarValue resolve_untagged_yaml_scalar(std::string_view text);

// The scalar as read into a value of any kind; a String or Enum result refers to the event's
// text, so the event must outlive it. Core tags are strict: a text that does not fit
// fails with "invalid value: ..., expected ...". Other global tags make a string.
Result<YamlScalarValue, std::string> resolve_yaml_scalar(const YamlEvent& scalar);

// As resolve_yaml_scalar, but a local tag on the scalar makes an Enum instead.
Result<YamlScalarValue, std::string> resolve_yaml_scalar_as_any(const YamlEvent& scalar);

// The offending-value text of "invalid type: {}, expected {}" for a resolved scalar.
std::string describe_yaml_value(const YamlScalarValue& value);

std::string to_decimal(unsigned __int128 value);
std::string to_decimal(__int128 value);

}  // namespace velloquin::core
