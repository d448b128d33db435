// The converting and numeric filters through templates.
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

TEST(BuiltinNumberFilters, Table) {
  const UndefinedBehavior lenient = UndefinedBehavior::Lenient;
  const std::vector<SourceCase> cases = {
      {R"({{ -3|abs }} {{ -2.5|abs }} {{ -9223372036854775808|abs }})",
       output("3 2.5 9223372036854775808")},
      {R"({{ "a"|abs }})", error("invalid operation: cannot get absolute value (in t:1)")},
      {R"({{ (-170141183460469231731687303715884105727 - 1)|abs }})",
       error("invalid operation: overflow on abs (in t:1)")},
      {R"({{ 42|round }} {{ 42.55|round }} {{ 2.5|round }} {{ -2.5|round }} {{ 42.55|round(1) }} {{ 1234.5|round(-2) }})",
       output("42 43.0 3.0 -3.0 42.6 1200.0")},
      {R"({{ "1"|round }})", error("invalid operation: cannot round value (string) (in t:1)")},
      {R"({{ x|round }})", error("invalid operation: cannot round value (undefined) (in t:1)")},
      {R"({{ "42.7"|int }} {{ "1e3"|int }} {{ "+5"|int }} {{ "inf"|int }} {{ -3.9|int }} {{ true|int }} {{ none|int }})",
       output("42 1000 5 170141183460469231731687303715884105727 -3 1 0")},
      {R"({{ " 42 "|int }})", error("invalid operation: invalid float literal (in t:1)")},
      {R"({{ "0x1A"|int }})", error("invalid operation: invalid float literal (in t:1)")},
      {R"({{ ""|int }})",
       error("invalid operation: cannot parse float from empty string (in t:1)")},
      {R"({{ [1]|int }})", error("invalid operation: cannot convert sequence to integer (in t:1)")},
      {R"({{ x|int }})", error("undefined value (in t:1)")},
      {R"({{ x|int }}|{{ x|float }})", output("0|0.0"), lenient},
      {R"({{ "1.5"|float }} {{ "-Infinity"|float }} {{ "nan"|float }} {{ 3|float }} {{ false|float }} {{ ".5"|float }})",
       output("1.5 -inf NaN 3.0 0.0 0.5")},
      {R"({{ "1_0"|float }})", error("invalid operation: invalid float literal (in t:1)")},
      {R"({{ {}|float }})", error("invalid operation: cannot convert map to float (in t:1)")},
      {R"({{ []|bool }} {{ "a"|bool }} {{ 0.0|bool }})", output("False True False")},
      {R"({{ x|bool }})", error("undefined value (in t:1)")},
      {R"({{ x|default("d") }} {{ none|default("d") }} {{ ""|default("d", true) }} {{ x|d }}.)",
       output("d None d .")},
      {R"({{ 0|default("d", 1) }} {{ (1 if false)|default("s") }})", output("d s")},
      {R"({{ ""|default("d", x) }})", error("undefined value (in t:1)")},
      {R"({{ x|default(1, 2, 3) }})", error("too many arguments (in t:1)")},
      {R"({{ 5|default(a=1) }})", output("5")},
      {R"({{ {"a": [1, 2], "b": {}}|pprint }})",
       output("{\n    \"a\": [\n        1,\n        2,\n    ],\n    \"b\": {},\n}")},
      {R"({{ x|pprint }} {{ "a\nb"|pprint }})", output("undefined \"a\\nb\"")},
      {R"({{ 5|string ~ none|string }} {{ [1, "a"]|string }})", output(R"(5None [1, "a"])")},
  };
  expect_each(cases);
}

}  // namespace
}  // namespace velloquin::jinja
