// Expressions: precedence, logic, comparisons, calls, and strict undefined at every use site.
#include <gtest/gtest.h>

#include <vector>

#include "render_support.h"

namespace velloquin::jinja {
namespace {

using testing::error;
using testing::expect_all;
using testing::output;

TEST(Expressions, Precedence) {
  expect_all({
      {"{{ 1 + 2 * 3 }} {{ (1 + 2) * 3 }} {{ 7 - 2 - 1 }}", "{}", output("7 9 4")},
      {"{{ 2 ** 3 ** 2 }} {{ -2 ** 2 }} {{ - - 3 }}", "{}", output("64 4 3")},
      {"{{ 'a' ~ 1 * 2 }}", "{}", output("a2")},
      {"{{ 'a' ~ 1 + 2 }}", "{}",
       error("invalid operation: tried to use + operator on unsupported types string and number "
             "(in t:1)")},
      {"{{ 'ab'|shout ~ 'c' }} {{ 'x'|brackets|shout }}", "{}", output("ABc [X]")},
      {"{{ -x.y }}", "{\"x\": {\"y\": 2}}", error("invalid operation (in t:1)")},
      {"{{ not 1 == 2 }} {{ not not 0 }} {{ not 1 in [1] }}", "{}", output("True False False")},
      {"{{ 1 if false }}|{{ 'a' if x else 'b' }}|{{ 1 if false else 2 if true else 3 }}",
       "{\"x\": 0}", output("|b|2")},
      {"{{ [1, 2, 3][1:] }} {{ 'hello'[::-1] }} {{ 'hello'[1:-1] }}", "{}",
       output("[2, 3] olleh ell")},
  });
}

TEST(Expressions, LogicReturnsOperands) {
  expect_all({
      {"{{ x and 1 }}|{{ items and 1 }}|{{ '' or 'd' }}|{{ 0 or [] }}", "{\"x\": 0, \"items\": []}",
       output("0|[]|d|[]")},
      {"{{ 0 and 1 }} {{ '' and 1 }} {{ 1 and 2 }} {{ [] and 1 }} {{ (1 - 1) and 1 }}", "{}",
       output("False False 2 False False")},
      {"{{ 0 or 1 }} {{ 1 or 0 }} {{ 0 or '' }}", "{}", output("1 1 ")},
      {"{{ false and foo.bar }} {{ true or foo.bar }}", "{}", output("False True")},
  });
}

TEST(Expressions, Comparisons) {
  expect_all({
      {"{{ 1 < 2 > 0 }} {{ 1 < 2 < 2 }} {{ 1 == 1.0 }} {{ '1' == 1 }} {{ none == false }}", "{}",
       output("True False True False False")},
      {"{{ 1 < 'a' }} {{ none < false }} {{ true >= 1 }} {{ [1, 2] == (1, 2) }}", "{}",
       output("True True False True")},
      {"{{ 1 in [1, 2] }} {{ 'b' not in 'abc' }} {{ 1 in 'a1' }} {{ 'a' in {'a': 1} }}", "{}",
       output("True False True True")},
      {"{{ 1 in 5 }}", "{}",
       error("invalid operation: cannot perform a containment check on this value (in t:1)")},
  });
}

TEST(Expressions, Calls) {
  expect_all({
      {"{{ loop(1) }}", "{}", error("unknown function: loop is unknown (in t:1)")},
      {"{{ nothing(1) }}", "{}", error("unknown function: nothing is unknown (in t:1)")},
      {"{{ x() }}", "{\"x\": 1}",
       error("invalid operation: value of type number is not callable (in t:1)")},
      {"{{ 'a'.upper() }}", "{}",
       error("unknown method: string has no method named upper (in t:1)")},
      {"{{ m.items() }}", "{\"m\": {}}",
       error("unknown method: map has no method named items (in t:1)")},
      // A method is the attribute of that name, whatever it holds.
      {"{{ m.a() }}", "{\"m\": {\"a\": 1}}",
       error("invalid operation: value of type number is not callable (in t:1)")},
      {"{{ m.n(1, k=2) }}", "{\"m\": {\"n\": null}}",
       error("invalid operation: value of type none is not callable (in t:1)")},
      {"{{ m.l() }}", "{\"m\": {\"l\": [1]}}",
       error("invalid operation: object is not callable (in t:1)")},
      {"{% set ns = namespace(a=1) %}{{ ns.a() }}", "{}",
       error("invalid operation: value of type number is not callable (in t:1)")},
      {"{% set ns = namespace(a=1) %}{{ ns.b() }}", "{}",
       error("unknown method: map has no method named b (in t:1)")},
      {"{% for x in [1] %}{{ loop.index() }}{% endfor %}", "{}",
       error("invalid operation: value of type number is not callable (in t:1)")},
      {"{% for x in [1] %}{{ loop.previtem() }}{% endfor %}", "{}",
       error("invalid operation: value of type undefined is not callable (in t:1)")},
      {"{% for x in [1] %}{{ loop.nope() }}{% endfor %}", "{}",
       error("unknown method: map has no method named nope (in t:1)")},
      {"{{ 'ab' * 18446744073709551615 }}", "{}",
       error("invalid operation: repeated string is too large (in t:1)")},
      {"{{ super() }}", "{}", error("invalid operation: cannot super outside of block (in t:1)")},
      {"{{ f(*true) }}", "{}", error("invalid operation: bool is not iterable (in t:1)")},
      {"{{ f(**[1, 2]) }}", "{}",
       error("invalid operation: attempted to apply keyword arguments from non map (got "
             "sequence) (in t:1)")},
      {"{{ 1|shout(2) }}", "{}", error("too many arguments (in t:1)")},
      {"{{ 1|shout(a=1) }}", "{}", error("too many arguments (in t:1)")},
      {"{{ 'x'|nope }}", "{}", error("unknown filter: filter nope is unknown (in t:1)")},
      {"{{ 'x' is nope }}", "{}", error("unknown test: test nope is unknown (in t:1)")},
      {"{{ 'x'|a.b }}", "{}", error("unknown filter: filter a.b is unknown (in t:1)")},
      {"{{ 'x' is a . b }}", "{}", error("unknown test: test a.b is unknown (in t:1)")},
  });
}

// Argument lists are reused from call to call within a render: nested and repeated calls must
// each see exactly their own arguments.
TEST(Expressions, NestedAndRepeatedCallArguments) {
  expect_all({
      {"{{ [1, 2]|join([3, 4]|join('-')) }}", "{}", output("13-42")},
      {"{% for x in ['a', 'b'] %}{{ x|replace(x, x|upper) }}{{ 'q'|default(x) }}{% endfor %}", "{}",
       output("AqBq")},
      {"{{ 'abc'|replace(*['b', 'x'])|replace('a', 'y')|upper }}", "{}", output("YXC")},
      {"{{ '%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s'|format(*range(20)) }}|{{ 'x'|upper }}", "{}",
       output("012345678910111213141516171819|X")},
      {"{{ dict(a=1, **{'b': 2})|tojson }}|{{ 'x'|default('y') }}", "{}",
       output("{\"a\":1,\"b\":2}|x")},
      {"{{ 'ab'|replace('a', 'c' if x is defined else 'd') }}", "{}", output("db")},
  });
}

// Filters are looked up when the template is compiled, yet a filter the environment adds
// later, under a new name or a builtin's, is what the next render calls.
TEST(Expressions, FiltersAddedAfterCompiling) {
  Environment env;
  ASSERT_TRUE(env.add_template("t", "{{ 'a'|upper }}|{{ 'b'|lower }}|{{ 'c'|later }}").ok());
  const Template* t = *env.get_template("t");
  const Value context = Value::from_json(nlohmann::json::object());
  EXPECT_EQ(t->render(context).error().display(),
            "unknown filter: filter later is unknown (in t:1)");
  auto tagged = [](std::string tag) {
    return [tag](const Value& v) -> Result<Value, Error> {
      return Value(tag + "(" + v.to_display_string() + ")");
    };
  };
  env.add_filter("later", tagged("later"));
  EXPECT_EQ(t->render(context).value(), "A|b|later(c)");
  env.add_filter("upper", tagged("up"));
  EXPECT_EQ(t->render(context).value(), "up(a)|b|later(c)");
}

TEST(StrictUndefined, EveryUseFails) {
  const std::string undefined = "undefined value (in t:1)";
  expect_all({
      {"{{ x }}", "{}", error(undefined)},
      {"{% if x %}{% endif %}", "{}", error(undefined)},
      {"{% if false %}{% elif x %}{% endif %}", "{}", error(undefined)},
      {"{% for i in x %}{% endfor %}", "{}", error(undefined)},
      {"{% for i in [x] if i %}{% endfor %}", "{}", error(undefined)},
      {"{{ x.y }}", "{}", error(undefined)},
      {"{{ x[0] }}", "{}", error(undefined)},
      {"{{ x[1:] }}", "{}", error(undefined)},
      {"{{ x.y() }}", "{}", error("unknown method: undefined has no method named y (in t:1)")},
      {"{{ (1 if false)[1:] }}", "{}", error(undefined)},
      {"{{ m.a.b }}", "{\"m\": {}}", error(undefined)},
      {"{{ x == 1 }}", "{}", error(undefined)},
      {"{{ 1 < x }}", "{}", error(undefined)},
      {"{{ x ~ 'a' }}", "{}", error(undefined)},
      {"{{ 1 in x }}", "{}", error(undefined)},
      {"{{ x in [1] }}", "{}", error(undefined)},
      {"{{ not x }}", "{}", error(undefined)},
      {"{{ x and 1 }}", "{}", error(undefined)},
      {"{{ x or 1 }}", "{}", error(undefined)},
      {"{{ 1 if x else 2 }}", "{}", error(undefined)},
      {"{{ (1 if false).foo }}", "{}", error(undefined)},
      {"{{ x + 1 }}", "{}",
       error("invalid operation: tried to use + operator on unsupported types undefined and "
             "number (in t:1)")},
      {"{{ -x }}", "{}", error("invalid operation (in t:1)")},
      {"a\nb\n{{ seq[42][23] }}", "{\"seq\": [1]}", error("undefined value (in t:3)")},
      {"{% for item in seq %}\n  {{ item.a.b }}\n{% endfor %}", "{\"seq\": [{}]}",
       error("undefined value (in t:2)")},
      // Inside a multi-line expression an operation reports the line of its last operand.
      {"{{ 'a'\n ~ x\n }}", "{}", error("undefined value (in t:2)")},
      {"{{ x\n ~ 'a' }}", "{}", error("undefined value (in t:2)")},
      {"{{ 'a' ~\n\n x.y }}", "{}", error("undefined value (in t:3)")},
      {"{{ x\n|upper }}", "{}", error("undefined value (in t:1)")},
      {"{% if 1 ==\n x %}{% endif %}", "{}", error("undefined value (in t:2)")},
      {"{{ 'a' if\n x }}", "{}", error("undefined value (in t:2)")},
      {"{{ 1 +\n x }}", "{}",
       error("invalid operation: tried to use + operator on unsupported types number and "
             "undefined (in t:2)")},
      {"{{ -\nx }}", "{}", error("invalid operation (in t:1)")},
  });
}

TEST(StrictUndefined, WhatStillWorks) {
  expect_all({
      {"{% set u = missing %}{% set l = [missing] %}{{ l }}", "{}", output("[undefined]")},
      {"[{{ 1 if false }}]{{ (1 if false) ~ 'a' }}{{ (1 if false) == 1 }}", "{}",
       output("[]aFalse")},
      {"{% for i in (1 if false) %}x{% endfor %}{{ 1 in (1 if false) }}", "{}", output("False")},
      {"{{ missing|e }}|{{ missing|escape }}", "{}", output("|")},
      {"{% with u = missing %}ok{% endwith %}", "{}", output("ok")},
  });
}

TEST(LenientUndefined, ContrastWithStrict) {
  expect_all(
      {
          {"[{{ x }}]{% if x %}a{% else %}b{% endif %}{% for i in x %}i{% endfor %}", "{}",
           output("[]b")},
          {"{{ x == x }} {{ x ~ 'a' }} {{ 1 in x }} {{ x[1:] }} {{ not x }}", "{}",
           output("True a False [] True")},
          {"{{ x.y }}", "{}", error("undefined value (in t:1)")},
          {"{{ x + 1 }}", "{}",
           error("invalid operation: tried to use + operator on unsupported types undefined "
                 "and number (in t:1)")},
      },
      UndefinedBehavior::Lenient);
}

}  // namespace
}  // namespace velloquin::jinja
