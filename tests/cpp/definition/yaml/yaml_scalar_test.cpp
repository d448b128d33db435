#include "definition/yaml/yaml_scalar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace velloquin::core {
namespace {

using Kind = YamlScalarValue::Kind;

// What a plain, untagged scalar resolves to, written as its type-error description.
TEST(YamlScalarResolution, PlainScalarsResolveInTheDocumentedOrder) {
  struct Case {
    std::string text;
    std::string described;
  };
  const std::vector<Case> cases = {
      {"", "unit value"},
      {"~", "unit value"},
      {"null", "unit value"},
      {"Null", "unit value"},
      {"NULL", "unit value"},
      {"nULL", "string \"nULL\""},
      {"true", "boolean `true`"},
      {"True", "boolean `true`"},
      {"FALSE", "boolean `false`"},
      {"yes", "string \"yes\""},
      {"on", "string \"on\""},
      {"42", "integer `42`"},
      {"+5", "integer `5`"},
      {"-5", "integer `-5`"},
      {"-0", "integer `0`"},
      {"0", "integer `0`"},
      {"0x10", "integer `16`"},
      {"0xff", "integer `255`"},
      {"0o17", "integer `15`"},
      {"0b101", "integer `5`"},
      {"-0x10", "integer `-16`"},
      {"-0b11", "integer `-3`"},
      {"0x+5", "string \"0x+5\""},
      {"0x", "string \"0x\""},
      {"0123", "string \"0123\""},
      {"-007", "string \"-007\""},
      {"18446744073709551615", "integer `18446744073709551615`"},
      {"18446744073709551616", "integer `18446744073709551616` as u128"},
      {"-9223372036854775808", "integer `-9223372036854775808`"},
      {"-9223372036854775809", "integer `-9223372036854775809` as i128"},
      {"340282366920938463463374607431768211455",
       "integer `340282366920938463463374607431768211455` as u128"},
      {"-170141183460469231731687303715884105728",
       "integer `-170141183460469231731687303715884105728` as i128"},
      {"340282366920938463463374607431768211456",
       "floating point `340282366920938500000000000000000000000.0`"},
      {"0x1000000000000000000000000000000000", "string \"0x1000000000000000000000000000000000\""},
      {"1.5", "floating point `1.5`"},
      {"-1.5", "floating point `-1.5`"},
      {"1e3", "floating point `1000.0`"},
      {"1.", "floating point `1.0`"},
      {".5", "floating point `0.5`"},
      {"0123.5", "floating point `123.5`"},
      {"1e-7", "floating point `0.0000001`"},
      {"1e-400", "floating point `0.0`"},
      {"1e400", "string \"1e400\""},
      {".inf", "floating point `inf`"},
      {"+.inf", "floating point `inf`"},
      {".Inf", "floating point `inf`"},
      {"-.INF", "floating point `-inf`"},
      {".nan", "floating point `NaN`"},
      {".NaN", "floating point `NaN`"},
      {"+.nan", "string \"+.nan\""},
      {"inf", "string \"inf\""},
      {"nan", "string \"nan\""},
      {"1_000", "string \"1_000\""},
      {"1.2.3", "string \"1.2.3\""},
      {".", "string \".\""},
      {"++5", "string \"++5\""},
      {"a\tb\"c\\", "string \"a\\tb\\\"c\\\\\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(describe_yaml_value(resolve_untagged_yaml_scalar(c.text)), c.described) << c.text;
  }
}

YamlEvent scalar(std::string text, YamlScalarStyle style, std::optional<std::string> tag) {
  YamlEvent event;
  event.kind = YamlEvent::Kind::Scalar;
  event.value = std::move(text);
  event.style = style;
  event.tag = std::move(tag);
  return event;
}

TEST(YamlScalarResolution, CoreTagsAreStrictAndOtherTagsMakeText) {
  struct Case {
    std::string text;
    YamlScalarStyle style;
    std::optional<std::string> tag;
    std::string expected;  // the description, or the error text
  };
  const auto plain = YamlScalarStyle::Plain;
  const auto quoted = YamlScalarStyle::DoubleQuoted;
  const std::vector<Case> cases = {
      {"true", quoted, std::nullopt, "string \"true\""},
      {"5", YamlScalarStyle::Literal, std::nullopt, "string \"5\""},
      {"true", quoted, std::string(kYamlBoolTag), "boolean `true`"},
      {"yes", plain, std::string(kYamlBoolTag),
       "invalid value: string \"yes\", expected a boolean"},
      {"0x1f", quoted, std::string(kYamlIntTag), "integer `31`"},
      {"x", plain, std::string(kYamlIntTag), "invalid value: string \"x\", expected an integer"},
      {"2", plain, std::string(kYamlFloatTag), "floating point `2.0`"},
      {"x", plain, std::string(kYamlFloatTag), "invalid value: string \"x\", expected a float"},
      {"~", plain, std::string(kYamlNullTag), "unit value"},
      {"", plain, std::string(kYamlNullTag), "invalid value: string \"\", expected null"},
      {"5", plain, std::string("tag:yaml.org,2002:str"), "string \"5\""},
      {"5", plain, std::string("tag:example.com,2000:thing"), "string \"5\""},
      {"5", plain, std::string("!local"), "integer `5`"},
      {"5", quoted, std::string("!local"), "string \"5\""},
  };
  for (const Case& c : cases) {
    // The resolved value refers to the event's text, so the event outlives it.
    const YamlEvent event = scalar(c.text, c.style, c.tag);
    auto value = resolve_yaml_scalar(event);
    const std::string got = value ? describe_yaml_value(*value) : value.error();
    EXPECT_EQ(got, c.expected) << c.text << " " << c.tag.value_or("(untagged)");
  }
}

TEST(YamlScalarResolution, LocalTagsReadAsAnyValueAreEnums) {
  const YamlEvent event = scalar("x", YamlScalarStyle::Plain, "!custom");
  auto value = resolve_yaml_scalar_as_any(event);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->kind, Kind::Enum);
  EXPECT_EQ(value->text, "custom");
}

TEST(YamlScalarResolution, FloatsPrintInFullWithAPoint) {
  struct Case {
    double value;
    std::string described;
  };
  const std::vector<Case> cases = {
      {1e21, "floating point `1000000000000000000000.0`"},
      {-0.0, "floating point `-0.0`"},
      {0.1 + 0.2, "floating point `0.30000000000000004`"},
      {123456.789, "floating point `123456.789`"},
      {5e-324, "floating point `0." + std::string(323, '0') + "5`"},
  };
  for (const Case& c : cases) {
    YamlScalarValue value;
    value.kind = Kind::Float;
    value.float_value = c.value;
    EXPECT_EQ(describe_yaml_value(value), c.described);
  }
}

}  // namespace
}  // namespace velloquin::core
