// The text filters through templates: behaviour, argument errors, safety and Unicode edges.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jinja/render_support.h"

namespace velloquin::jinja {
namespace {

using testing::error;
using testing::expect_all;
using testing::output;

TEST(BuiltinStringFilters, CaseConversion) {
  expect_all({
      {R"({{ "ßa"|upper }})", "{}", output("SSA")},
      {R"({{ "ßa"|capitalize }})", "{}", output("SSa")},
      {R"({{ "ΣΑΣ ΟΔΟΣ"|lower }})", "{}", output("σας οδος")},
      // ASCII text takes a shorter path; text past an ASCII start still maps in full.
      {R"({{ "MiXeD CaSe 123 [ABCDEFGHIJ]"|lower }}|{{ "MiXeD CaSe 123 [abcdefghij]"|upper }})",
       "{}", output("mixed case 123 [abcdefghij]|MIXED CASE 123 [ABCDEFGHIJ]")},
      {R"({{ "abcdefghijklm äöü ß x"|upper }}|{{ "HELLO WORLD ÄÖ ΟΔΟΣ"|lower }})", "{}",
       output("ABCDEFGHIJKLM ÄÖÜ SS X|hello world äö οδος")},
      {R"({{ "hello wORLD-foo_bar o'neil 3rd"|title }})", "{}",
       output("Hello World-Foo_Bar O'Neil 3rd")},
      {R"({{ 42|upper }}|{{ none|lower }}|{{ true|upper }})", "{}", output("42|none|TRUE")},
      {R"({{ x|upper }})", "{}", error("undefined value (in t:1)")},
      {R"({{ "a"|upper(1) }})", "{}", error("too many arguments (in t:1)")},
      {R"({{ "a"|upper(a=1) }})", "{}", error("too many arguments (in t:1)")},
  });
}

TEST(BuiltinStringFilters, TrimReplaceSplitLines) {
  expect_all({
      {R"([{{ "\u3000 a b \n"|trim }}])", "{}", output("[a b]")},
      {R"([{{ " \u00a0 \t x \u2003 y\u3000 \r\n"|trim }}]|[{{ "  \t\n "|trim }}])", "{}",
       output("[x \u2003 y]|[]")},
      {R"([{{ "  xx  "|trim("x") }}]|[{{ "xx  xx"|trim("x") }}])", "{}", output("[  xx  ]|[  ]")},
      {R"({{ "1212foo12bar1212"|trim("12") }})", "{}", output("foo12bar")},
      {R"({{ "ab"|trim(foo) }})", "{}", output("ab")},
      {R"({{ "a"|trim(chars="x") }})", "{}",
       error("invalid operation: cannot convert kwargs to string (in t:1)")},
      {R"({{ "ab"|replace("", "-") }})", "{}", output("-a-b-")},
      {R"({{ "aaa"|replace("a", "bb") }})", "{}", output("bbbbbb")},
      {R"({{ "ab"|replace("a", "b", 1) }})", "{}", error("too many arguments (in t:1)")},
      // Arguments are converted in order: keywords in the place of `from` fail as kwargs.
      {R"({{ "abc"|replace(old="a", new="b") }})", "{}",
       error("invalid operation: cannot convert kwargs to string (in t:1)")},
      {R"({{ "abc"|replace("a", new="b") }})", "{}",
       error("invalid operation: cannot convert kwargs to string (in t:1)")},
      {R"({{ "abc"|replace("a") }})", "{}", error("missing argument (in t:1)")},
      {R"({{ "abc"|replace(x, "b", "c") }})", "{}", error("undefined value (in t:1)")},
      {R"({{ "a,b,,c"|split(",") }})", "{}", output(R"(["a", "b", "", "c"])")},
      {R"({{ "  a  b c "|split }})", "{}", output(R"(["a", "b", "c"])")},
      {R"({{ "a b c"|split(none, 1) }})", "{}", output(R"(["a", "b c"])")},
      {R"({{ "a"|split("") }})", "{}", output(R"(["", "a", ""])")},
      {R"({{ ("1.2.3"|split("."))[-1] }})", "{}", output("3")},
      {R"({{ 42|split }})", "{}", error("invalid operation: value is not a string (in t:1)")},
      {R"({{ "a"|split(1) }})", "{}", error("invalid operation: value is not a string (in t:1)")},
      {R"({{ "a\r\nb\n\nc\n"|lines }})", "{}", output(R"(["a", "b", "", "c"])")},
      {R"({{ ""|lines }})", "{}", output("[]")},
  });
}

TEST(BuiltinStringFilters, IndentAndFormat) {
  expect_all({
      {R"({{ "a\nb\n\nc\n"|indent }})", "{}", output("a\n    b\n\n    c")},
      {R"({{ "a\n\nb"|indent(2, true, true) }})", "{}", output("  a\n  \n  b")},
      {R"({{ "a\nb"|indent(width=1, first=true) }})", "{}", output(" a\n b")},
      {R"({{ "a\nb"|indent(1000000000000) }})", "{}",
       error("invalid operation: indented string is too large (in t:1)")},
      {R"({{ "a"|indent(1000000000000) }})", "{}", output("a")},
      {R"({{ "a"|indent("2") }})", "{}",
       error("invalid operation: cannot convert string to usize (in t:1)")},
      {R"({{ "%5s|%-5d|%05d|%+.1f"|format("ab", 3, -42, 2.55) }})", "{}",
       output("   ab|3    |-0042|+2.5")},
      {R"({{ "%x %#x %#o %c %.2s"|format(-255, 255, 8, 65, "abc") }})", "{}",
       output("-ff 0xff 0o10 A ab")},
      {R"({{ "%s|%s|%s|%s"|format(1.0, 1e16, 0.0, [1, "a"]) }})", "{}",
       output(R"(1.0|1e+16|0|[1, "a"])")},
      {R"({{ "%.0f %#.0f %e %g"|format(2.5, 2.0, 1234.5, 0.0001) }})", "{}",
       output("2 2. 1.234500e+03 0.0001")},
      {R"({{ "%(a)s-%(b)d"|format({"a": "x", "b": 2}) }})", "{}", output("x-2")},
      {R"({{ "%s %s"|format("a") }})", "{}",
       error("invalid operation: missing an argument for format spec at offset '4' (in t:1)")},
      {R"({{ "%d"|format(4.5) }})", "{}",
       error("invalid operation: invalid format spec at offset 1; 'float' cannot be formatted "
             "in decimal format ('d') (in t:1)")},
      {R"({{ "%r"|format(1) }})", "{}",
       error("invalid operation: invalid conversion type 'r' in format spec at offset 1 (in t:1)")},
      {R"({{ "100%"|format }})", "{}",
       error("invalid operation: incomplete format spec at offset 4; missing conversion type "
             "(in t:1)")},
      {R"({{ 5|format }})", "{}", error("invalid operation: value is not a string (in t:1)")},
  });
}

TEST(BuiltinStringFilters, SafetyFollowsTheInput) {
  // Escaping is on for .html names: safe inputs stay safe, plain ones are escaped.
  expect_all(
      {
          {R"({{ "<b>"|safe|upper }}{{ "<i>"|upper }})", "{}", output("<B>&lt;I&gt;")},
          {R"({{ "<b>"|safe|title }})", "{}", output("&lt;B&gt;")},
          {R"({{ "<a>"|safe|replace("a", "<") }})", "{}", output("<&lt;>")},
          {R"({{ ["<a>"|safe, "<b>"]|join("/") }})", "{}", output("<a>&#x2f;&lt;b&gt;")},
          {R"({{ ["<a>", 1]|join }})", "{}", output("&lt;a&gt;1")},
          {R"({{ "<%s>"|safe|format("&") }})", "{}", output("<&amp;>")},
          {R"({{ x|e }}{{ [1, "<"]|e }})", "{}", output("[1, &quot;&lt;&quot;]")},
          // The text searched for is matched as written, not escaped.
          {R"({{ "&lt;"|safe|replace("<", ">") }}{{ "<"|safe|replace("<", ">") }})", "{}",
           output("&lt;&gt;")},
          {R"({{ ["a"|safe, x]|join }})", "{}", error("undefined value (in t.html:1)")},
          {R"({{ "[%s]"|safe|format([1, "<"]) }}{{ "[%s]"|safe|format(none) }})", "{}",
           output("[[1, &quot;&lt;&quot;]][None]")},
      },
      UndefinedBehavior::Strict, "t.html");
  // The same filters under JSON escaping escape as JSON.
  expect_all(
      {
          {R"({{ "<b>"|safe|upper }}{{ "<i>"|upper }})", "{}", output("<B>\"<I>\"")},
          {R"({{ "<"|safe|replace("<", ">") }}|{{ "a<"|safe|replace("<", ">"|safe) }})", "{}",
           output("\">\"|a>")},
          {R"({{ 1|replace("1", ">"|safe) }})", "{}", output("\">\"")},
          {R"({{ ["<a>"|safe, "<b>"]|join("/") }}|{{ ["a"|safe, none, ["x"]]|join }})", "{}",
           output("<a>\"/\"\"<b>\"|anull[\"x\"]")},
          {R"({{ ["<", ">"]|join("&") }})", "{}", output("\"<&>\"")},
          {R"({{ ["a"|safe, x]|join }})", "{}", error("undefined value (in t.json:1)")},
          {R"({{ "<%s>"|safe|format("&") }}{{ "[%s]"|safe|format(none) }})", "{}",
           output("<\"&\">[null]")},
          {R"({{ "[%5s]"|safe|format("<") }}{{ "[%s]"|safe|format(1.5) }})", "{}",
           output("[  \"<\"][1.5]")},
          {R"({{ x|e }}{{ [1, "<"]|e }}{{ "<"|e|e }}{{ ("<"|e)|length }})", "{}",
           output("null[1,\"<\"]\"<\"3")},
      },
      UndefinedBehavior::Strict, "t.json");
}

TEST(BuiltinStringFilters, SerialisationFilters) {
  expect_all({
      {R"({{ {"a": [1, 2.5, none, true, "x"]}|tojson }})", "{}",
       output(R"({"a":[1,2.5,null,true,"x"]})")},
      {R"({{ "<a href='x'>&</a>"|tojson }})", "{}",
       output(R"("\u003ca href=\u0027x\u0027\u003e\u0026\u003c/a\u003e")")},
      {R"({{ [1, {"b": 2}]|tojson(true) }})", "{}", output("[\n  1,\n  {\n    \"b\": 2\n  }\n]")},
      {R"({{ [1]|tojson(indent=1) }})", "{}", output("[\n 1\n]")},
      {R"({{ {1: 2, 1.5: 3}|tojson }})", "{}", output(R"({"1":2,"1.5":3})")},
      // Empty containers print without line breaks.
      {R"({{ m|tojson }}|{{ {}|tojson(2) }}|{{ []|tojson(2) }})",
       R"({"m": {"z": 1, "a": {}, "k": [[], "é"]}})",
       output(R"({"a":{},"k":[[],"é"],"z":1}|{}|[])")},
      {R"({{ m|tojson(2) }})", R"({"m": {"z": 1, "a": {"b": [2]}}})",
       output("{\n  \"a\": {\n    \"b\": [\n      2\n    ]\n  },\n  \"z\": 1\n}")},
      {R"({{ range(3)|tojson }}|{{ (range(3)|reverse)|tojson }})", "{}", output("[0,1,2]|[2,1,0]")},
      {R"({{ {true: 1}|tojson }})", "{}",
       error("invalid operation: cannot serialize to JSON (in t:1)")},
      {R"({{ [x, 1e300 * 1e300, 1e16, 1e-7]|tojson }})", "{}", output("[null,null,1e16,1e-7]")},
      {R"({{ {"q": "a b&c", "n": none, "x": "é/"}|urlencode }})", "{}",
       output("q=a%20b%26c&x=%C3%A9/")},
      {R"({{ none|urlencode }}|{{ [1]|urlencode }})", "{}", output("|%5B1%5D")},
  });
}

}  // namespace
}  // namespace velloquin::jinja
