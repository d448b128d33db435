#include "definition/toml/toml_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definition/toml/toml_datetime_text.h"
#include "definition/toml/toml_metadata.h"
#include "definition/toml/toml_nesting.h"
#include "definition/toml/toml_source.h"

namespace velloquin::core {
namespace {

TEST(TomlReport, LaysOutTheExcerptWithCaretsUnderTheSpan) {
  struct Case {
    std::string name;
    std::string text;
    TomlSpan span;
    std::string report;
  };
  const std::vector<Case> cases = {
      {"unknown key on line 4",
       "name = 'greet'\nrole = 'user'\nbody = 'Hi'\ncolour = 1\n",
       {41, 47},
       "TOML parse error at line 4, column 1\n  |\n4 | colour = 1\n  | ^^^^^^\nmessage\n"},
      {"empty text",
       "",
       {0, 0},
       "TOML parse error at line 1, column 1\n  |\n1 | \n  | ^\nmessage\n"},
      {"point span gets one caret",
       "a = \n",
       {4, 4},
       "TOML parse error at line 1, column 5\n  |\n1 | a = \n  |     ^\nmessage\n"},
      {"span cut at the end of the line",
       "a = [1,\n2]\n",
       {4, 10},
       "TOML parse error at line 1, column 5\n  |\n1 | a = [1,\n  |     ^^^\nmessage\n"},
      {"carriage return is part of the line",
       "a = 'x'\r\nb = 'yy'\r\n",
       {13, 17},
       "TOML parse error at line 2, column 5\n  |\n2 | b = 'yy'\r\n  |     ^^^^\nmessage\n"},
      {"columns count characters",
       "é = 'x'\n",
       {5, 8},
       "TOML parse error at line 1, column 5\n  |\n1 | é = 'x'\n  |     ^^^\nmessage\n"},
      {"a multi-byte start counts bytes",
       "ééé = 1\n",
       {2, 4},
       "TOML parse error at line 1, column 3\n  |\n1 | ééé = 1\n  |   ^^\nmessage\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_toml_report(c.text, c.span, "message"), c.report) << c.name;
  }
}

TEST(TomlReport, GutterWidensWithTheLineNumber) {
  std::string text;
  for (int i = 0; i < 11; ++i) text += "a" + std::to_string(i) + " = 1\n";
  const std::size_t start = text.find("a10");
  EXPECT_EQ(format_toml_report(text, {start, start + 3}, "m"),
            "TOML parse error at line 11, column 1\n   |\n11 | a10 = 1\n   | ^^^\nm\n");
}

struct ParseFailure {
  std::string text;
  std::string message;
  std::string spanned;  // the source bytes under the error's span
};

TEST(TomlParse, RenamesTheFailuresThatHaveFixedMessages) {
  const std::vector<ParseFailure> cases = {
      {"a = 1\na = 2\n", "duplicate key", ""},
      {"[t]\nx = 1\n[t]\n", "duplicate key", ""},
      {"a.b = 1\na = 2\n", "duplicate key", ""},
      {"a = 340282366920938463463374607431768211456\n", "integer number overflowed",
       "340282366920938463463374607431768211456"},
      {"a = -170141183460469231731687303715884105729\n", "integer number overflowed",
       "-170141183460469231731687303715884105729"},
      {"a = 0x1_0000_0000_0000_0000_0000_0000_0000_0000\n", "integer number overflowed",
       "0x1_0000_0000_0000_0000_0000_0000_0000_0000"},
      {"a = 1e400\n", "floating-point number overflowed", "1e400"},
  };
  for (const ParseFailure& c : cases) {
    const TomlSourceText source(c.text);
    auto parsed = parse_toml_document(c.text, source);
    ASSERT_FALSE(parsed) << c.text;
    EXPECT_EQ(parsed.error().message, c.message) << c.text;
    if (!c.spanned.empty()) {
      const TomlSpan span = parsed.error().span;
      EXPECT_EQ(c.text.substr(span.start, span.end - span.start), c.spanned) << c.text;
    }
  }
}

TEST(TomlParse, BrokenInputFailsWithAPositionInsideTheText) {
  const std::vector<std::string> texts = {
      "a = 'x",
      "a = \"\xff\"",
      "[a",
      "a = {b = 1",
      "a = [1, 2",
      "= 1",
      "a = 1979-13-40",
      std::string("a = 'x\0y'", 9),
      "a = " + std::string(5000, '['),
  };
  for (const std::string& text : texts) {
    const TomlSourceText source(text);
    auto parsed = parse_toml_document(text, source);
    ASSERT_FALSE(parsed) << text;
    EXPECT_LE(parsed.error().span.start, text.size());
    EXPECT_FALSE(parsed.error().message.empty());
  }
}

std::string dotted(std::size_t parts) {
  std::string key = "a";
  for (std::size_t i = 1; i < parts; ++i) key += ".a";
  return key;
}

TEST(TomlNesting, BoundsHeadersDottedKeysAndBrackets) {
  struct Case {
    std::string name;
    std::string text;
    bool overflows;
  };
  const std::vector<Case> cases = {
      {"dotted key at the limit", dotted(kTomlNestingLimit - 1) + " = 1\n", false},
      {"dotted key past the limit", dotted(kTomlNestingLimit + 1) + " = 1\n", true},
      {"header plus dotted key", "[" + dotted(100) + "]\n" + dotted(40) + " = 1\n", true},
      {"header alone past the limit", "[" + dotted(kTomlNestingLimit + 1) + "]\n", true},
      {"headers do not add up", "[" + dotted(100) + "]\n[" + dotted(100) + "]\n", false},
      {"inline tables add up", "a = " + std::string(130, '{') + "\n", true},
      {"sibling keys do not add up",
       "a = { " +
           [] {
             std::string keys;
             for (int i = 0; i < 300; ++i) keys += "k" + std::to_string(i) + ".x = 1, ";
             return keys;
           }() +
           "z = 1 }\n",
       false},
      {"dots in values do not count",
       "a = [" +
           [] {
             std::string floats;
             for (int i = 0; i < 300; ++i) floats += "1.5, ";
             return floats;
           }() +
           "'x.y.z']\n",
       false},
      {"dots in strings and comments do not count",
       "\"" + dotted(300) + "\" = 1 # " + dotted(300) + "\nb =  + dotted(300) + \n", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(find_toml_nesting_overflow(c.text).has_value(), c.overflows) << c.name;
  }
}

TEST(TomlNesting, DeepKeysFailBeforeTomlppRecurses) {
  const std::string text = "metadata." + dotted(100000) + " = 1\n";
  const TomlSourceText source(text);
  auto parsed = parse_toml_document(text, source);
  ASSERT_FALSE(parsed);
  EXPECT_EQ(parsed.error().message, "recursion limit exceeded");
  EXPECT_EQ(parsed.error().span.start, 0u);
}

nlohmann::json metadata_of(const std::string& text) {
  const TomlSourceText source(text);
  auto parsed = parse_toml_document(text, source);
  EXPECT_TRUE(parsed) << text;
  if (!parsed) return nullptr;
  const TomlReadContext context{source, parsed->big_integers};
  auto json = toml_to_json(*parsed->root.get("m"), context);
  EXPECT_TRUE(json) << text;
  if (!json) return json.error().message;
  return *json;
}

TEST(TomlParse, KeepsIntegersBeyondSixtyFourBitsAside) {
  const std::string text =
      "a = 9223372036854775808\nb = [-9223372036854775809, 0xFFFF_FFFF_FFFF_FFFF_F]\nc = 1.5\n";
  const TomlSourceText source(text);
  auto parsed = parse_toml_document(text, source);
  ASSERT_TRUE(parsed) << parsed.error().message;
  const TomlReadContext context{source, parsed->big_integers};
  ASSERT_EQ(parsed->big_integers.size(), 3u);
  const TomlBigInteger* a = context.big_integer_at(*parsed->root.get("a"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(describe_toml_big_integer(*a), "integer `9223372036854775808`");
  const toml::array& b = *parsed->root.get("b")->as_array();
  EXPECT_EQ(describe_toml_big_integer(*context.big_integer_at(b[0])),
            "integer `-9223372036854775809` as i128");
  EXPECT_EQ(describe_toml_big_integer(*context.big_integer_at(b[1])),
            "integer `295147905179352825855` as i128");
  EXPECT_EQ(context.big_integer_at(*parsed->root.get("c")), nullptr);
}

TEST(TomlParse, TakesOnlySoManyBigIntegers) {
  std::string text;
  for (std::size_t i = 0; i <= kTomlBigIntegerLimit; ++i)
    text += "a" + std::to_string(i) + " = 99999999999999999999\n";
  const TomlSourceText source(text);
  auto parsed = parse_toml_document(text, source);
  ASSERT_FALSE(parsed);
  EXPECT_EQ(parsed.error().message, "integer number overflowed");
  EXPECT_EQ(parsed.error().span.start, text.rfind("99999999999999999999"));
}

TEST(TomlMetadata, MapsEveryKindOntoJson) {
  const nlohmann::json got = metadata_of(
      "[m]\nz = 'last'\na = 1\nneg = -9223372036854775808\nf = 1.5\nn = nan\ni = -inf\n"
      "b = true\nlist = [1, 'two', [3]]\nnested = { y = 2, x = 1 }\n");
  const nlohmann::json expected = {
      {"a", 1},
      {"b", true},
      {"f", 1.5},
      {"i", nullptr},
      {"list", {1, "two", {3}}},
      {"n", nullptr},
      {"neg", INT64_MIN},
      {"nested", {{"x", 1}, {"y", 2}}},
      {"z", "last"},
  };
  EXPECT_EQ(got, expected);
  EXPECT_EQ(got.dump(), expected.dump());
}

TEST(TomlMetadata, DatetimesBecomeTheirCanonicalText) {
  struct Case {
    std::string literal;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"1979-05-27T07:32:00Z", "1979-05-27T07:32:00Z"},
      {"1979-05-27 07:32:00Z", "1979-05-27T07:32:00Z"},
      {"1979-05-27t07:32:00z", "1979-05-27T07:32:00Z"},
      {"1979-05-27T00:32:00.999999-07:00", "1979-05-27T00:32:00.999999-07:00"},
      {"1979-05-27T00:32:00+00:00", "1979-05-27T00:32:00+00:00"},
      {"1979-05-27T07:32:00.000", "1979-05-27T07:32:00.0"},
      {"1979-05-27T07:32:00.5", "1979-05-27T07:32:00.5"},
      {"1979-05-27", "1979-05-27"},
      {"07:32:00", "07:32:00"},
      {"07:32", "07:32"},
      {"1979-05-27T07:32", "1979-05-27T07:32"},
  };
  for (const Case& c : cases) {
    const nlohmann::json got = metadata_of("m = [" + c.literal + "]\n");
    EXPECT_EQ(got, nlohmann::json::array({{{"$__toml_private_datetime", c.text}}})) << c.literal;
  }
}

}  // namespace
}  // namespace velloquin::core
