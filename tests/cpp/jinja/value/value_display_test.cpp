#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "jinja/runtime/functions.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {
namespace {

struct FormCase {
  const char* what;
  Value value;
  std::string display;
  std::string repr;
};

Value json(const char* text) {
  return Value::from_json(nlohmann::json::parse(text));
}

std::vector<FormCase> FormCases() {
  const double inf = std::numeric_limits<double>::infinity();
  return {
      {"undefined prints nothing, reprs as a word", Value(), "", "undefined"},
      {"none", Value::none(), "None", "None"},
      {"booleans", Value(true), "True", "True"},
      {"negative integer", Value(-42), "-42", "-42"},
      {"signed 128-bit", Value(static_cast<Int128>(1) << 100), "1267650600228229401496703205376",
       "1267650600228229401496703205376"},
      {"unsigned beyond signed 128-bit", Value(~static_cast<UInt128>(0)),
       "340282366920938463463374607431768211455", "340282366920938463463374607431768211455"},
      {"integral float keeps .0", Value(1.0), "1.0", "1.0"},
      {"shortest round trip", Value(0.1 + 0.2), "0.30000000000000004", "0.30000000000000004"},
      {"1e16: plain display, exponent repr", Value(1e16), "10000000000000000.0", "1e16"},
      {"just below the repr switch", Value(1e15), "1000000000000000.0", "1000000000000000.0"},
      {"small: plain display, exponent repr", Value(1e-7), "0.0000001", "1e-7"},
      {"repr plain down to 1e-4", Value(0.0001), "0.0001", "0.0001"},
      {"negative small exponent", Value(-2.5e-5), "-0.000025", "-2.5e-5"},
      {"many digits above 1e16", Value(123456789012345678.0), "123456789012345680.0",
       "1.2345678901234568e17"},
      {"huge", Value(1.5e300), "15" + std::string(299, '0') + ".0", "1.5e300"},
      {"negative zero", Value(-0.0), "-0.0", "-0.0"},
      {"infinities and NaN", Value(-inf), "-inf", "-inf"},
      {"NaN", Value(std::nan("")), "NaN", "NaN"},
      {"string unquoted, repr quoted and escaped", Value("a\"b\n"), "a\"b\n", R"("a\"b\n")"},
      {"safe string reprs like a string", Value::safe_string("<b>"), "<b>", R"("<b>")"},
      {"sequence items in repr form", json(R"([1, "a", null, true, 2.5])"),
       R"([1, "a", None, True, 2.5])", R"([1, "a", None, True, 2.5])"},
      {"undefined inside a sequence", Value::seq({Value(), Value(1)}), "[undefined, 1]",
       "[undefined, 1]"},
      {"nested map", json(R"({"b": [1, 2], "a": {}})"), R"({"a": {}, "b": [1, 2]})",
       R"({"a": {}, "b": [1, 2]})"},
      {"range prints like a list", Value::range(5, -2, 3), "[5, 3, 1]", "[5, 3, 1]"},
      {"unsized iterator", Value::iterator({Value(1)}, false), "<iterator>", "<iterator>"},
      {"bytes display lossily", Value::bytes("a\xff"), "a\xEF\xBF\xBD", "b\"a\\xff\""},
  };
}

TEST(ValueForms, DisplayAndRepr) {
  for (const auto& c : FormCases()) {
    EXPECT_EQ(c.value.to_display_string(), c.display) << c.what;
    EXPECT_EQ(c.value.repr(), c.repr) << c.what;
  }
}

TEST(ValueForms, EngineMapsOrderKeysAcrossKinds) {
  MapEntries entries = {{Value("b"), Value(1)},  {Value("a"), Value(2)},
                        {Value(1), Value("x")},  {Value::none(), Value(3)},
                        {Value(true), Value(4)}, {Value(1.0), Value("y")}};
  EXPECT_EQ(Value::map(entries).to_display_string(),
            R"({None: 3, True: 4, 1: "y", "a": 2, "b": 1})");
  // Host order is kept; a later duplicate replaces the value in place.
  EXPECT_EQ(
      Value::map_in_order({{Value("z"), Value(1)}, {Value("a"), Value(2)}, {Value("z"), Value(3)}})
          .to_display_string(),
      R"({"z": 3, "a": 2})");
}

// Text copied from a view lives in the same allocation as its bookkeeping; text handed over as
// a std::string keeps its own buffer. Both must read back exactly, whatever the length.
TEST(ValueForms, StringStorage) {
  const std::string long_text(1000, 'x');
  const std::vector<std::string> texts = {
      "",         "a",      std::string("a\0b", 3), "fifteen chars..", "sixteen chars...",
      "é日本語😀", long_text};
  for (const auto& text : texts) {
    const Value copied{std::string_view(text)};
    const Value owned{std::string(text)};
    const Value safe = Value::string_copy(text, true);
    EXPECT_EQ(copied.str(), text);
    EXPECT_EQ(owned.str(), text);
    EXPECT_EQ(safe.str(), text);
    EXPECT_TRUE(copied.is_string() && !copied.is_safe());
    EXPECT_TRUE(safe.is_safe());
    EXPECT_FALSE(Value::string_copy(text, false).is_safe());
    EXPECT_TRUE(values_equal(copied, owned));
    const Value shared = copied;
    EXPECT_TRUE(shared.same_instance(copied));
    EXPECT_EQ(shared.str().data(), copied.str().data());

    char* at = nullptr;
    const Value written = Value::string_of_size(text.size(), true, &at);
    std::copy(text.begin(), text.end(), at);
    EXPECT_EQ(written.str(), text);
    EXPECT_TRUE(written.is_safe());
  }
}

TEST(ValueForms, PrettyRepr) {
  EXPECT_EQ(json(R"({"a": [1, 2], "b": {}, "c": []})").pretty_repr(),
            "{\n    \"a\": [\n        1,\n        2,\n    ],\n    \"b\": {},\n    \"c\": [],\n}");
  EXPECT_EQ(Value("a\nb").pretty_repr(), "\"a\\nb\"");
  EXPECT_EQ(Value(1).pretty_repr(), "1");
}

TEST(ValueForms, Truthiness) {
  struct Case {
    const char* what;
    Value value;
    bool truthy;
  };
  const Case cases[] = {
      {"undefined", Value(), false},
      {"none", Value::none(), false},
      {"zero", Value(0), false},
      {"0.0", Value(0.0), false},
      {"NaN is true", Value(std::nan("")), true},
      {"wide integer", Value(static_cast<Int128>(1) << 80), true},
      {"empty string", Value(""), false},
      {"empty list", Value::seq({}), false},
      {"empty map", Value::map({}), false},
      {"empty range", Value::range(0, 1, 0), false},
      {"unsized iterator", Value::iterator({}, false), true},
      {"non-empty list", Value::seq({Value()}), true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value.truthy(), c.truthy) << c.what;
}

TEST(ValueForms, FromJsonKinds) {
  Value v = json(R"({"i": -3, "u": 18446744073709551615, "f": 1.5, "s": "x", "n": null})");
  const Map* m = v.map_data();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->find("i")->as_int64(), -3);
  EXPECT_EQ(m->find("u")->to_display_string(), "18446744073709551615");
  EXPECT_TRUE(m->find("f")->is_float());
  EXPECT_EQ(m->find("s")->str(), "x");
  EXPECT_TRUE(m->find("n")->is_none());
  EXPECT_EQ(m->find("missing"), nullptr);
}

// Context data may nest deeper than any recursion could follow: building, printing, comparing
// and releasing such a value must not exhaust the stack.
TEST(ValueForms, DeepJsonIsConvertedWithoutRecursion) {
  nlohmann::json deep = 1;
  for (int i = 0; i < 200000; ++i) deep = nlohmann::json::array({std::move(deep)});
  Value v = Value::from_json(deep);
  ASSERT_TRUE(v.is_seq());
  EXPECT_EQ(v.to_display_string().substr(0, 4), "[[[[");
  EXPECT_TRUE(values_equal(v, v));
  // Maps in maps, and maps and lists taking turns, are released the same way.
  for (bool alternate : {false, true}) {
    nlohmann::json nested = 1;
    for (int i = 0; i <= 200000; ++i) {
      nested = alternate && i % 2 ? nlohmann::json::array({std::move(nested)})
                                  : nlohmann::json{{"k", std::move(nested)}, {"s", "text"}};
    }
    Value m = Value::from_json(nested);
    ASSERT_TRUE(m.is_map()) << alternate;
    EXPECT_EQ(m.to_display_string().substr(0, 7), alternate ? "{\"k\": [" : "{\"k\": {");
  }
  nlohmann::json mixed = {{"b", {1, {{"c", nullptr}}}}, {"a", "x"}};
  EXPECT_EQ(Value::from_json(mixed).to_display_string(), R"({"a": "x", "b": [1, {"c": None}]})");
}

TEST(ValueForms, CopiesShareContents) {
  Value a = Value::seq({Value(1), Value(2)});
  Value b = a;
  EXPECT_TRUE(a.same_instance(b));
  EXPECT_EQ(a.items(), b.items());
  Value moved = std::move(b);
  EXPECT_TRUE(moved.same_instance(a));
  EXPECT_FALSE(Value::seq({Value(1)}).same_instance(Value::seq({Value(1)})));
}

}  // namespace
}  // namespace velloquin::jinja
