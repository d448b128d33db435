// The global functions through templates, and what the environment lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jinja/render_support.h"

namespace velloquin::jinja {
namespace {

using testing::error;
using testing::expect_each;
using testing::Outcome;
using testing::output;
using testing::render;
using testing::SourceCase;

TEST(BuiltinGlobals, Table) {
  const std::vector<SourceCase> cases = {
      {R"({{ range(3) }} {{ range(1, 10, 3) }} {{ range(5, 0, -2) }} {{ range(-3) }} {{ range(3, 1) }})",
       output("[0, 1, 2] [1, 4, 7] [5, 3, 1] [] []")},
      {R"({{ range(-5, -1) }} {{ range(2.0) }} {{ range(true) }} {{ range(3)|length }})",
       output("[-5, -4, -3, -2] [0, 1] [0] 3")},
      {R"({{ range(1, none) }} {{ range(1, 4, none) }})", output("[0] [1, 2, 3]")},
      {R"({{ range(100000)|length }})", output("100000")},
      {R"({{ range(100001) }})", error("invalid operation: range has too many elements (in t:1)")},
      {R"({{ range(-9223372036854775808, 9223372036854775807) }})",
       error("invalid operation: range has too many elements (in t:1)")},
      {R"({{ range(0, 10, 0) }})",
       error("invalid operation: cannot create range with step of 0 (in t:1)")},
      {R"({{ range() }})", error("missing argument (in t:1)")},
      {R"({{ range(1, 2, 3, 4) }})", error("too many arguments (in t:1)")},
      {R"({{ range("a") }})", error("invalid operation: cannot convert string to isize (in t:1)")},
      {R"({{ range(1.5) }})", error("invalid operation: cannot convert number to isize (in t:1)")},
      {R"({{ range(a=1) }})", error("invalid operation: cannot convert map to isize (in t:1)")},
      {R"({{ dict(b=2, a=1) }} {{ dict({"z": 1}, a=2) }} {{ dict() }} {{ dict(none) }})",
       output(R"({"a": 1, "b": 2} {"a": 2, "z": 1} {} {})")},
      {R"({{ dict(1) }})", error("invalid operation (in t:1)")},
      {R"({{ dict({}, {}) }})", error("too many arguments (in t:1)")},
      {R"({% set ns = namespace(t=0) %}{% for x in [1, 2] %}{% set ns.t = ns.t + x %}{% endfor %}{{ ns.t }} {{ ns }})",
       output(R"(3 {"t": 3})")},
      {R"({% set ns = namespace({"b": 1, "a": 2}) %}{{ ns|list }} {{ ns|length }} {{ ns.missing is undefined }} {{ namespace() is true }})",
       output(R"(["a", "b"] 2 True False)")},
      {R"({{ namespace() and 1 }}|{{ namespace(a=1) and 1 }})", output("{}|1")},
      {R"({{ namespace({"a": 1}, b=2) }})", error("too many arguments (in t:1)")},
      {R"({{ namespace(3) }})",
       error("invalid operation: expected object or keyword arguments, got number (in t:1)")},
      {R"({% set ns = namespace() %}{% set ns.me = [ns] %})",
       error("invalid operation: cannot store a namespace inside itself (in t:1)")},
      {R"({{ debug([1, "a"]) }}|{{ debug(1) }}|{{ debug("a\nb") }}|{{ debug(1, 2) }})",
       output("[\n    1,\n    \"a\",\n]|1|\"a\\nb\"|[\n    1,\n    2,\n]")},
  };
  expect_each(cases);
}

TEST(BuiltinGlobals, DebugWithoutArgumentsDumpsTheState) {
  Outcome o = render(R"({% set x = 1 %}{{ debug() }})");
  ASSERT_TRUE(o.ok) << o;
  EXPECT_NE(o.text.find("State {\n    name: \"t\",\n"), std::string::npos) << o.text;
  EXPECT_NE(o.text.find("\"x\": 1,"), std::string::npos) << o.text;
  EXPECT_NE(o.text.find("\"namespace\": ..."), std::string::npos) << o.text;
  EXPECT_NE(o.text.find("\"tojson\","), std::string::npos) << o.text;
}

// A namespace carried through a long loop can nest values far deeper than any stack allows
// recursion for: releasing, printing and comparing them must still work.
TEST(BuiltinGlobals, DeeplyNestedValuesAreSafe) {
  const std::string build =
      "{% set ns = namespace(x=[], y=namespace()) %}"
      "{% for i in range(100000) %}{% set ns.x = [ns.x] %}"
      "{% set ns.y = namespace(y=ns.y) %}{% endfor %}";
  EXPECT_EQ(render(build + "{{ ns.x|length }}{{ ns.x == ns.x }}{{ ns.y|length }}"),
            output("1True1"));
  Outcome printed = render(build + "{{ ns.x }}");
  ASSERT_TRUE(printed.ok) << printed;
  EXPECT_NE(printed.text.find("[[..."), std::string::npos);
  EXPECT_EQ(render(build + "{{ ns.x|tojson }}"),
            error("invalid operation: cannot serialize to JSON (in t:1)"));
}

TEST(BuiltinGlobals, EnvironmentListsTheGlobals) {
  Environment env;
  EXPECT_EQ(env.global_names(), (std::vector<std::string>{"debug", "dict", "namespace", "range"}));
}

}  // namespace
}  // namespace velloquin::jinja
