#include "jinja/value/value_ops.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace velloquin::jinja {
namespace {

Value json(const char* text) {
  return Value::from_json(nlohmann::json::parse(text));
}

// The result as the tests compare it: the display form, or "ERR: " and the error's text.
std::string shown(const ValueResult& r) {
  if (r.ok()) return r.value().to_display_string();
  return "ERR: " + r.error().display();
}

const Int128 kMax128 = static_cast<Int128>((~static_cast<UInt128>(0)) >> 1);

struct OpCase {
  BinaryOp op;
  Value a;
  Value b;
  std::string expected;
};

TEST(ValueOps, Arithmetic) {
  const std::vector<OpCase> cases = {
      {BinaryOp::Add, Value(1), Value(2), "3"},
      {BinaryOp::Add, Value(true), Value(true), "2"},
      {BinaryOp::Add, Value(1), Value(0.5), "1.5"},
      {BinaryOp::Add, Value("to"), Value("you"), "toyou"},
      {BinaryOp::Add, json("[1]"), Value::range(0, 1, 2), "[1, 0, 1]"},
      {BinaryOp::Add, Value(std::numeric_limits<std::int64_t>::max()), Value(1),
       "9223372036854775808"},
      {BinaryOp::Add, Value(kMax128), Value(1),
       "ERR: invalid operation: unable to calculate 170141183460469231731687303715884105727 + 1"},
      {BinaryOp::Add, Value("a"), Value(1),
       "ERR: invalid operation: tried to use + operator on unsupported types string and number"},
      {BinaryOp::Add, Value(), Value(1),
       "ERR: invalid operation: tried to use + operator on unsupported types undefined and number"},
      {BinaryOp::Add, Value(~static_cast<UInt128>(0)), Value(1),
       "ERR: invalid operation: tried to use + operator on unsupported types number and number"},
      {BinaryOp::Sub, json("{}"), json("{}"),
       "ERR: invalid operation: tried to use - operator on unsupported types map and map"},
      {BinaryOp::Mul, Value("a"), Value(2.0), "aa"},
      {BinaryOp::Mul, Value(3), Value("ab"), "ababab"},
      {BinaryOp::Mul, Value("a"), Value(-1),
       "ERR: invalid operation: strings can only be multiplied with integers"},
      {BinaryOp::Mul, Value("a"), Value(200'000'000),
       "ERR: invalid operation: repeated string is too large"},
      // Counts run to the unsigned 64-bit range; empty operands repeat to nothing at once.
      {BinaryOp::Mul, Value("ab"), Value(std::numeric_limits<std::uint64_t>::max()),
       "ERR: invalid operation: repeated string is too large"},
      {BinaryOp::Mul, Value(std::numeric_limits<std::uint64_t>::max()), Value("ab"),
       "ERR: invalid operation: repeated string is too large"},
      {BinaryOp::Mul, Value("ab"), Value(static_cast<UInt128>(1) << 64),
       "ERR: invalid operation: strings can only be multiplied with integers"},
      {BinaryOp::Mul, Value(""), Value(std::numeric_limits<std::uint64_t>::max()), ""},
      {BinaryOp::Mul, json("[]"), Value(std::numeric_limits<std::int64_t>::max()), "[]"},
      {BinaryOp::Mul, json("[1]"), Value(std::numeric_limits<std::uint64_t>::max()),
       "ERR: invalid operation: repeated sequence is too large"},
      {BinaryOp::Mul, json("[1, 2]"), Value(2), "[1, 2, 1, 2]"},
      {BinaryOp::Mul, json("[1]"), Value(1.5),
       "ERR: invalid operation: sequences and iterables can only be multiplied with integers"},
      {BinaryOp::Mul, Value::iterator({Value(1)}, false), Value(2),
       "ERR: invalid operation: cannot repeat unsized iterables"},
      {BinaryOp::Mul, Value(2), Value(true), "2"},
      {BinaryOp::Div, Value(4), Value(2), "2.0"},
      {BinaryOp::Div, Value(1), Value(0), "inf"},
      {BinaryOp::Div, Value(-1), Value(0), "-inf"},
      {BinaryOp::Div, Value(0.0), Value(0), "NaN"},
      {BinaryOp::FloorDiv, Value(7), Value(2), "3"},
      {BinaryOp::FloorDiv, Value(-7), Value(2), "-4"},
      {BinaryOp::FloorDiv, Value(7), Value(-2), "-3"},
      {BinaryOp::FloorDiv, Value(7.5), Value(2), "3.0"},
      {BinaryOp::FloorDiv, Value(-7.5), Value(2), "-4.0"},
      {BinaryOp::FloorDiv, Value(1.0), Value(0), "inf"},
      {BinaryOp::FloorDiv, Value(1), Value(0),
       "ERR: invalid operation: unable to calculate 1 // 0"},
      {BinaryOp::Rem, Value(-7), Value(3), "2"},
      {BinaryOp::Rem, Value(7), Value(-3), "1"},
      {BinaryOp::Rem, Value(-7.0), Value(3), "-1.0"},
      {BinaryOp::Rem, Value(1.0), Value(0), "NaN"},
      {BinaryOp::Rem, Value(5), Value(0), "ERR: invalid operation: unable to calculate 5 % 0"},
      {BinaryOp::Pow, Value(2), Value(126), "85070591730234615865843651857942052864"},
      {BinaryOp::Pow, Value(2), Value(127), "ERR: invalid operation: unable to calculate 2 ** 127"},
      {BinaryOp::Pow, Value(2), Value(-1), "ERR: invalid operation: unable to calculate 2 ** -1"},
      {BinaryOp::Pow, Value(0), Value(0), "1"},
      {BinaryOp::Pow, Value(2), Value(-1.0), "0.5"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(shown(binary_op(c.op, c.a, c.b)), c.expected)
        << c.a.repr() << " " << op_symbol(c.op) << " " << c.b.repr();
}

TEST(ValueOps, NegationAndConcat) {
  EXPECT_EQ(shown(neg(Value(3))), "-3");
  EXPECT_EQ(shown(neg(Value(std::numeric_limits<std::int64_t>::min()))), "9223372036854775808");
  EXPECT_EQ(shown(neg(Value(-kMax128 - 1))), "ERR: invalid operation: overflow");
  EXPECT_EQ(shown(neg(Value(static_cast<UInt128>(kMax128) + 1))),
            "-170141183460469231731687303715884105728");
  EXPECT_EQ(shown(neg(Value(static_cast<UInt128>(kMax128) + 2))), "ERR: invalid operation");
  EXPECT_EQ(shown(neg(Value("a"))), "ERR: invalid operation");
  EXPECT_EQ(shown(neg(Value(true))), "ERR: invalid operation");
  Value s = concat(concat(Value::safe_string("a"), Value(1)), json("[null, true]"));
  EXPECT_EQ(s.to_display_string(), "a1[None, True]");
  EXPECT_FALSE(s.is_safe());
}

TEST(ValueOps, EqualityAndOrder) {
  struct Case {
    Value a;
    Value b;
    bool equal;
    int order;  // sign of compare_values
  };
  const std::vector<Case> cases = {
      {Value(1), Value(1.0), true, 0},
      {Value(true), Value(1), true, -1},  // equal, yet booleans rank below numbers
      {Value(false), Value(0), true, -1},
      {Value(9007199254740993), Value(9007199254740992.0), false, 1},
      {Value("1"), Value(1), false, 1},
      {Value::none(), Value(false), false, -1},
      {Value("B"), Value("a"), false, -1},
      {Value::safe_string("x"), Value("x"), true, 0},
      {json("[1, 2]"), Value::range(1, 1, 2), true, -1},
      {json("[1, 2]"), json("[1, 3]"), false, -1},
      {json("[1]"), Value("a"), false, 1},
      {json(R"({"a": 1})"), json(R"({"a": 1.0})"), true, 0},
      {json(R"({"a": 1})"), json(R"({"a": 1, "b": 2})"), false, -1},
      {Value(), Value(), true, 0},
      {Value(std::nan("")), Value(std::nan("")), false, 0},
      {Value(~static_cast<UInt128>(0)), Value(kMax128), false, 1},
      {Value(0.5), Value(0), false, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(values_equal(c.a, c.b), c.equal) << c.a.repr() << " == " << c.b.repr();
    EXPECT_EQ(values_equal(c.b, c.a), c.equal) << c.b.repr() << " == " << c.a.repr();
    int o = compare_values(c.a, c.b);
    EXPECT_EQ((o > 0) - (o < 0), c.order) << c.a.repr() << " <=> " << c.b.repr();
  }
}

TEST(ValueOps, Containment) {
  struct Case {
    Value container;
    Value needle;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {Value("a1"), Value(1), "True"},
      {Value("abc"), Value("bd"), "False"},
      {json(R"({"a": 1})"), Value("a"), "True"},
      {json(R"({"a": 1})"), Value(1), "False"},
      {json("[1, 2]"), Value(2.0), "True"},
      {Value::range(0, 2, 5), Value(3), "False"},
      {Value(), Value(1), "False"},
      {Value(5), Value(1),
       "ERR: invalid operation: cannot perform a containment check on this value"},
      {Value::none(), Value(1),
       "ERR: invalid operation: cannot perform a containment check on this value"},
  };
  for (const auto& c : cases) {
    auto r = contains(c.container, c.needle);
    std::string got = r.ok() ? (r.value() ? "True" : "False") : "ERR: " + r.error().display();
    EXPECT_EQ(got, c.expected) << c.needle.repr() << " in " << c.container.repr();
  }
}

TEST(ValueOps, Lookup) {
  Value list = json("[1, 2, 3]");
  Value map = json(R"({"a": 1, "b": {"c": 2}})");
  struct Case {
    ValueResult result;
    std::string expected;
  };
  Case cases[] = {
      {get_item(list, Value(-1)), "3"},
      {get_item(list, Value(1.0)), "2"},
      {get_item(list, Value(true)), "2"},
      {get_item(list, Value(1.5)), ""},
      {get_item(list, Value(3)), ""},
      {get_item(list, Value("a")), ""},
      {get_attr(list, "name"), ""},
      {get_item(Value("héllo"), Value(1)), "é"},
      {get_item(Value("ab"), Value(-1)), "b"},
      {get_attr(Value("ab"), "x"), ""},
      {get_attr(map, "a"), "1"},
      {get_item(map, Value("b")), R"({"c": 2})"},
      {get_item(json(R"({"1": "s"})"), Value(1)), ""},
      {get_item(Value::range(0, 3, 4), Value(-2)), "6"},
      {get_attr(Value(5), "x"), ""},
      {get_attr(Value(), "x"), "ERR: undefined value"},
      {get_item(Value::silent_undefined(), Value(0)), "ERR: undefined value"},
  };
  for (const auto& c : cases) EXPECT_EQ(shown(c.result), c.expected);
  EXPECT_TRUE(get_item(list, Value(5)).value().is_undefined());
}

TEST(ValueOps, Slicing) {
  struct Case {
    Value base;
    Value start, stop, step;
    std::string expected;
  };
  const Value none = Value::none();
  const std::vector<Case> cases = {
      {Value("hello"), Value(1), Value(-1), none, "ell"},
      {Value("hello"), none, none, Value(2), "hlo"},
      {Value("hello"), none, none, Value(-1), "olleh"},
      {Value("hello"), Value(-3), Value(), Value(), "llo"},
      {Value("hello"), Value(10), none, none, ""},
      {Value("héllo"), Value(1), Value(3), none, "él"},
      // Step one copies a run of whole characters: multi-byte ones at either end, negative
      // bounds counted in characters, and bounds past the end.
      {Value("日本語テキスト"), Value(-4), Value(-1), Value(1), "テキス"},
      {Value("a😀b😀c"), Value(1), Value(4), none, "😀b😀"},
      {Value("a😀b😀c"), Value(-2), Value(100), none, "😀c"},
      {Value("ñ"), Value(1), none, none, ""},
      // Longer texts are checked for ASCII eight bytes at a time: a multi-byte character or an
      // invalid byte just past a word, inside one, or at the very end still counts as one.
      {Value("abcdefghijklmnopqrstuvwxyz"), Value(3), Value(-20), none, "def"},
      {Value("abcdefghijklmnopqrstuvwxyz"), Value(-30), Value(30), none,
       "abcdefghijklmnopqrstuvwxyz"},
      {Value("abcdefghé123456789"), Value(7), Value(10), none, "hé1"},
      {Value("abcdefghijklmnoé"), Value(-2), none, none, "oé"},
      {Value("abcdé"
             "fghijklmnop"),
       Value(4), Value(-9), none, "éfg"},
      {Value("abcdefgh\xff"
             "ijklmnop"),
       Value(8), Value(10), none,
       "\xff"
       "i"},
      {json("[1, 2, 3, 4, 5]"), Value(4), Value(1), Value(-2), "[5, 3]"},
      {json("[1, 2, 3]"), Value(-10), Value(10), none, "[1, 2, 3]"},
      {json("[1, 2, 3]"), Value(-10), none, Value(-1), "[]"},
      {json("[1, 2, 3]"), none, Value(-10), Value(-1), "[3, 2, 1]"},
      {Value::range(0, 1, 5), Value(1), Value(3), none, "[1, 2]"},
      {none, Value(1), none, none, "[]"},
      {Value("abc"), none, none, Value(0),
       "ERR: invalid operation: cannot slice by step size of 0"},
      {Value("abc"), Value("a"), none, none,
       "ERR: invalid operation: cannot convert string to i64"},
      {Value(5), none, none, none, "ERR: invalid operation: value of type number cannot be sliced"},
      {json("{}"), none, none, none, "ERR: invalid operation: value of type map cannot be sliced"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(shown(slice(c.base, c.start, c.stop, c.step)), c.expected) << c.base.repr();
  EXPECT_FALSE(slice(Value::safe_string("ab"), Value(), Value(), Value()).value().is_safe());
}

TEST(ValueOps, LengthAndIteration) {
  EXPECT_EQ(length(Value("héllo")).value(), 5u);
  const std::vector<std::pair<std::string, std::size_t>> lengths = {
      {"", 0},
      {"abcdefgh", 8},
      {"abcdefghé", 9},
      {"éabcdefghijklmnop", 17},
      {"abcdefgéhijklmnopq", 18},
      {"abc\xff"
       "defghijkl",
       13},
      {"日本語テキスト日本語テキスト", 14},
  };
  for (const auto& [text, expected] : lengths)
    EXPECT_EQ(length(Value(text)).value(), expected) << text;
  EXPECT_EQ(length(Value::range(0, 1, 7)).value(), 7u);
  EXPECT_EQ(length(Value::iterator({}, false)).error().display(),
            "invalid operation: cannot calculate length of value of type iterator");
  EXPECT_EQ(length(Value::none()).error().display(),
            "invalid operation: cannot calculate length of value of type none");
  EXPECT_EQ(known_length(Value("abc")), std::nullopt);

  auto joined = [](const Value& v) {
    auto items = collect(v);
    if (!items) return "ERR: " + items.error().display();
    std::string out;
    for (const auto& item : *items) out += item.repr() + ";";
    return out;
  };
  EXPECT_EQ(joined(Value("aé")), R"("a";"é";)");
  EXPECT_EQ(joined(json(R"({"b": 1, "a": 2})")), R"("a";"b";)");
  EXPECT_EQ(joined(Value::range(3, -1, 3)), "3;2;1;");
  EXPECT_EQ(joined(Value::none()), "");
  EXPECT_EQ(joined(Value()), "");
  EXPECT_EQ(joined(Value(1)), "ERR: invalid operation: number is not iterable");
  EXPECT_EQ(joined(Value(true)), "ERR: invalid operation: bool is not iterable");
}

TEST(ValueOps, HtmlEscape) {
  std::string out;
  html_escape(out, R"(<a href="x">'&'</a>)");
  EXPECT_EQ(out, "&lt;a href=&quot;x&quot;&gt;&#x27;&amp;&#x27;&lt;&#x2f;a&gt;");
}

}  // namespace
}  // namespace velloquin::jinja
