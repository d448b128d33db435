#include "definition/read_messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velloquin::core {
namespace {

struct FloatCase {
  double value;
  const char* json_form;   // shortest digits, exponent outside 1e-5 .. 1e16
  const char* plain_form;  // shortest digits written out in full
};

TEST(ReadMessages, FloatsPrintLikeTheirFormats) {
  const FloatCase cases[] = {
      {1.5, "1.5", "1.5"},
      {1.0, "1.0", "1.0"},
      {0.1, "0.1", "0.1"},
      {-0.0, "-0.0", "-0.0"},
      {0.0, "0.0", "0.0"},
      {-2.25, "-2.25", "-2.25"},
      {1e15, "1000000000000000.0", "1000000000000000.0"},
      {1e16, "1e16", "10000000000000000.0"},
      {1.5e16, "1.5e16", "15000000000000000.0"},
      {123456.789, "123456.789", "123456.789"},
      {1e-5, "0.00001", "0.00001"},
      {1e-6, "1e-6", "0.000001"},
      {1.5e-7, "1.5e-7", "0.00000015"},
      {18446744073709551616.0, "1.8446744073709552e19", "18446744073709552000.0"},
      {5e-324, "5e-324", nullptr},
      {1.7976931348623157e308, "1.7976931348623157e308", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(describe_json_float(c.value), std::string("floating point `") + c.json_form + "`")
        << c.json_form;
    if (c.plain_form) {
      EXPECT_EQ(describe_float(c.value), std::string("floating point `") + c.plain_form + "`");
    }
  }
  std::string huge = describe_float(1e300);
  EXPECT_EQ(huge, "floating point `1" + std::string(300, '0') + ".0`");
  EXPECT_EQ(describe_float(std::numeric_limits<double>::quiet_NaN()), "floating point `NaN`");
  EXPECT_EQ(describe_json_float(std::numeric_limits<double>::quiet_NaN()), "floating point `NaN`");
  EXPECT_EQ(describe_json_float(std::numeric_limits<double>::infinity()), "floating point `inf`");
  EXPECT_EQ(describe_float(-std::numeric_limits<double>::infinity()), "floating point `-inf`");
}

TEST(ReadMessages, DebugQuoteEscapesLikeRust) {
  struct Case {
    std::string_view text;
    std::string_view quoted;
  };
  const Case cases[] = {
      {"plain", R"("plain")"},
      {"", R"("")"},
      {"a\"b\\c'd", R"("a\"b\\c'd")"},
      {"\t\n\r", R"("\t\n\r")"},
      {std::string_view("\0", 1), R"("\0")"},
      {"\x01\x1f\x7f", R"("\u{1}\u{1f}\u{7f}")"},
      {"\u00e9t\u00e9", "\"\u00e9t\u00e9\""},  // printable non-ASCII stays
      {"e\u0301", R"("e\u{301}")"},            // combining mark
      {"a\u00a0b", R"("a\u{a0}b")"},           // no-break space is not printable
      {"\u200b\u2028\ufeff", R"("\u{200b}\u{2028}\u{feff}")"},
      {"\U0001F600", "\"\U0001F600\""},
      {"\xff", R"("\xff")"},  // not UTF-8: byte by byte
      {"\xc3", R"("\xc3")"},
  };
  for (const auto& c : cases) EXPECT_EQ(debug_quote(c.text), c.quoted) << c.quoted;
  EXPECT_EQ(describe_string("hi"), R"(string "hi")");
}

TEST(ReadMessages, ShapeTexts) {
  EXPECT_EQ(invalid_type("map", "a string"), "invalid type: map, expected a string");
  EXPECT_EQ(invalid_value("map", "map with a single key"),
            "invalid value: map, expected map with a single key");
  EXPECT_EQ(invalid_length(5, "fewer elements in array"),
            "invalid length 5, expected fewer elements in array");
  EXPECT_EQ(describe_integer(std::uint64_t{18446744073709551615ULL}),
            "integer `18446744073709551615`");
  EXPECT_EQ(describe_integer(std::int64_t{-5}), "integer `-5`");
  EXPECT_EQ(describe_bool(false), "boolean `false`");
}

}  // namespace
}  // namespace velloquin::core
