#include "python/convert/template_value.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "embedded_python.h"
#include "python/convert/kernel_value.h"

namespace velloquin::python {
namespace {

using testing::eval;

std::string load_message(const ConsumerError& error) {
  const auto* load = std::get_if<ConsumerError::Load>(&error.payload());
  return load != nullptr ? load->message : "<not a load error>";
}

// The direct conversion must give exactly what the JSON route gives: the same value kinds, the
// same printed form and the same key order, or the same failure text.
TEST(ToTemplateValue, AgreesWithTheJsonRoute) {
  const char* cases[] = {
      "None",
      "True",
      "[0, -1, 2**63 - 1, -2**63, 2**64 - 1, 1.5, float('nan'), float('-inf')]",
      "{'b': 1, 'a': {'d': [], 'c': {}}, 'A': 'x', '\\u00e9': 'e', '': None}",
      "('tuple', ['nested', ('deeper',)])",
      "{'k%03d' % i: i for i in range(200, 0, -1)}",
      "'text with \\n and \\u2603'",
      "{1: 'integer key'}",
      "{'a': [object()]}",
      "{'n': 2**64}",
      "{'n': -2**63 - 1}",
      "b'bytes'",
      // Records: keys in changing orders, equal keys that are distinct objects, more distinct
      // keys than the conversion keeps shared, a bad key after good ones, text in tuples, and
      // text without a UTF-8 form inside a record.
      "[{'a': 1, 'b': 'x'}, {'b': 'y', 'a': 2}, {'a': 3}, {'c': 'z', 'a': 'w', 'b': 0}]",
      "[{''.join(['ke', 'y']): i, 'v': str(i)} for i in range(3)]",
      "[{'k%02d' % (i + j): str(j) for j in range(3)} for i in range(40)]",
      "[{'a': 'x'}, {'a': 'x', 5: 'integer key after text'}]",
      "(['a', 'b'], ('c', ['d']))",
      "[{'s': 'ok'}, {'s': '\\ud800'}]",
  };
  for (const char* expression : cases) {
    OwnedRef object = eval(expression);
    ASSERT_TRUE(object) << expression;
    auto direct = to_template_value(object.get());
    auto json = to_kernel_value(object.get());
    EXPECT_EQ(PyErr_Occurred(), nullptr) << expression;
    ASSERT_EQ(direct.ok(), json.ok()) << expression;
    if (!json) {
      EXPECT_EQ(load_message(direct.error()), load_message(json.error())) << expression;
      continue;
    }
    const jinja::Value expected = jinja::Value::from_json(*json);
    EXPECT_EQ(direct->repr(), expected.repr()) << expression;
    EXPECT_EQ(direct->to_display_string(), expected.to_display_string()) << expression;
    EXPECT_EQ(direct->tag(), expected.tag()) << expression;
  }
}

// A container's __len__ is its class's answer, not a count of what it holds: both routes take
// the items it yields, and a length of 2**62 reserves nothing.
TEST(ToTemplateValue, TakesTheItemsAContainerYieldsWhateverItsLengthSays) {
  struct Case {
    const char* expression;
    const char* json;
  };
  const Case cases[] = {
      {"type('L', (list,), {'__len__': lambda self: 2**62})(['a', {'k': 1}])", R"(["a",{"k":1}])"},
      {"type('T', (tuple,), {'__len__': lambda self: 2**62})(('a', 2))", R"(["a",2])"},
      {"type('S', (list,), {'__len__': lambda self: 0})(['a'])", R"(["a"])"},
      {"type('D', (dict,), {'__len__': lambda self: 2**62})(b=1, a='x')", R"({"a":"x","b":1})"},
  };
  for (const Case& c : cases) {
    OwnedRef object = eval(c.expression);
    ASSERT_TRUE(object) << c.expression;
    auto direct = to_template_value(object.get());
    auto json = to_kernel_value(object.get());
    EXPECT_EQ(PyErr_Occurred(), nullptr) << c.expression;
    ASSERT_TRUE(direct.ok()) << c.expression << ": " << load_message(direct.error());
    ASSERT_TRUE(json.ok()) << c.expression << ": " << load_message(json.error());
    EXPECT_EQ(json->dump(), c.json) << c.expression;
    EXPECT_EQ(direct->repr(), jinja::Value::from_json(*json).repr()) << c.expression;
  }
}

}  // namespace
}  // namespace velloquin::python
