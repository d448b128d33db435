// The builtin tests (`x is NAME`) through templates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jinja/render_support.h"

namespace velloquin::jinja {
namespace {

using testing::error;
using testing::expect_each;
using testing::output;
using testing::SourceCase;

TEST(BuiltinTests, Table) {
  const std::vector<SourceCase> cases = {
      {R"({{ x is defined }} {{ x is undefined }} {{ (1 if false) is defined }} {{ none is none }})",
       output("False True False True")},
      {R"({{ "a"|safe is safe }} {{ "a" is escaped }} {{ true is boolean }} {{ 1 is boolean }})",
       output("True False True False")},
      {R"({{ 3 is odd }} {{ 3.0 is odd }} {{ true is odd }} {{ 2.5 is odd }} {{ "a" is even }} {{ x is even }})",
       output("True True True False False False")},
      {R"({{ 9 is divisibleby 3 }} {{ 7.5 is divisibleby 2.5 }} {{ "9" is divisibleby 3 }})",
       output("True True False")},
      {R"({{ 1 is divisibleby 0 }})",
       error("invalid operation: cannot check divisibility by zero (in t:1)")},
      {R"({{ 1 is number }} {{ true is number }} {{ 1 is integer }} {{ 1.0 is integer }} {{ 1.0 is float }} {{ 1 is int }})",
       output("True False True False True True")},
      {R"({{ [1] is sequence }} {{ range(2) is sequence }} {{ "a" is sequence }} {{ {} is mapping }} {{ namespace() is mapping }})",
       output("True False False True True")},
      {R"({{ "a" is iterable }} {{ none is iterable }} {{ x is iterable }} {{ 1 is iterable }} {{ range(2) is iterable }})",
       output("True True True False True")},
      {R"({{ 123 is startingwith 1 }} {{ "abc" is endingwith "bc" }} {{ "a" is startingwith "ab" }})",
       output("True True False")},
      {R"({{ x is startingwith "a" }})", error("undefined value (in t:1)")},
      {R"({{ "ab" is lower }} {{ "a b" is lower }} {{ "" is lower }} {{ "ÀB" is upper }} {{ "A1" is upper }})",
       output("True False True True False")},
      {R"({{ 1 is lower }})", error("invalid operation: value is not a string (in t:1)")},
      {R"({{ 1 is sameas 1 }} {{ 1 is sameas 1.0 }} {{ none is sameas none }} {{ [1] is sameas [1] }})",
       output("True False True False")},
      {R"({% set l = [1] %}{{ l is sameas l }})", output("True")},
      {R"({{ 1 is eq 1.0 }} {{ 1 is ne 2 }} {{ 1 is lt 2 }} {{ 2 is le 2 }} {{ 3 is gt 2 }} {{ 2 is ge 3 }})",
       output("True True True True True False")},
      {R"({{ "a" is lessthan "b" }} {{ 1 is greaterthan 2 }} {{ 1 is equalto 1 }} {{ x is eq 1 }})",
       output("True False True False")},
      {R"({{ 1 is in [1, 2] }} {{ "b" is in "abc" }} {{ 1 is in 5 }})", output("True True False")},
      {R"({{ 1 is in x }})", error("undefined value (in t:1)")},
      {R"({{ true is true }} {{ 1 is true }} {{ false is false }})", output("True False True")},
      {R"({{ "upper" is filter }} {{ "nope" is filter }} {{ "odd" is test }} {{ "==" is test }})",
       output("True False True True")},
      {R"({{ 1 is filter }})", error("invalid operation: value is not a string (in t:1)")},
      {R"({{ 2 is even(42) }})", error("too many arguments (in t:1)")},
      {R"({{ 2 is divisibleby }})", error("missing argument (in t:1)")},
      {R"({{ 1 is nope }})", error("unknown test: test nope is unknown (in t:1)")},
  };
  expect_each(cases);
}

}  // namespace
}  // namespace velloquin::jinja
