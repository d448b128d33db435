#include "library/check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/definitions.h"
#include "library/prompt.h"

namespace velloquin::check {
namespace {

std::string detail(const std::string& field) {
  return "field `" + field +
         "` is declared untrusted (`trusted: false`) but the prompt configures no guard (add a "
         "`guard` key under the prompt's `metadata`)";
}

Finding finding(const std::string& field) {
  return Finding{"p", UntrustedWithoutGuard{field}, detail(field), std::nullopt};
}

TEST(Check, FindingsTable) {
  // b and a are untrusted, t trusted; none is used by the template.
  const std::string vars =
      R"("variables": {"b": {"trusted": false, "type": "string"},
                       "a": {"trusted": false, "type": "string"},
                       "t": {"trusted": true, "type": "string"}})";
  const std::vector<Finding> both = {finding("a"), finding("b")};
  struct Case {
    const char* what;
    std::string json;
    std::vector<Finding> expected;
  };
  const Case cases[] = {
      {"no untrusted variable, no guard",
       R"({"body": "", "name": "p", "role": "user",
        "variables": {"t": {"trusted": true, "type": "string"}}})",
       {}},
      {"no variables at all", R"({"body": "", "name": "p", "role": "user"})", {}},
      {"untrusted and no guard: one finding per name in byte order",
       R"({"body": "", "name": "p", "role": "user", )" + vars + "}", both},
      {"guard null counts as configured",
       R"({"body": "", "name": "p", "role": "user", "metadata": {"guard": null}, )" + vars + "}",
       {}},
      {"guard false counts as configured",
       R"({"body": "", "name": "p", "role": "user", "metadata": {"guard": false}, )" + vars + "}",
       {}},
      {"the key is compared case-sensitively",
       R"({"body": "", "name": "p", "role": "user", "metadata": {"Guard": true}, )" + vars + "}",
       both},
      {"a guard only in a variant's metadata does not count",
       R"({"body": "", "name": "p", "role": "user",
           "variants": {"v": {"body": "", "metadata": {"guard": true}}}, )" +
           vars + "}",
       both},
      {"names are inserted verbatim",
       R"({"body": "", "name": "p", "role": "user",
        "variables": {"x`y \u00e9": {"trusted": false, "type": "string"}}})",
       {finding("x`y \u00e9")}},
  };
  for (const Case& c : cases) {
    const CheckReport report = check_definition(testing::definition_from(c.json));
    EXPECT_EQ(report.findings, c.expected) << c.what;
    EXPECT_EQ(report.passed(), c.expected.empty()) << c.what;
  }
}

TEST(Check, KindWordAndRepeatability) {
  EXPECT_EQ(kind_name(FindingKind{UntrustedWithoutGuard{"x"}}), "untrusted_without_guard");
  auto prompt = Prompt::from_json(R"({"body": "", "name": "p", "role": "user",
      "variables": {"x": {"trusted": false, "type": "string"}}})");
  ASSERT_TRUE(prompt.ok());
  const Prompt before = *prompt;
  const CheckReport first = prompt->check();
  EXPECT_EQ(first, prompt->check());
  EXPECT_EQ(first.findings, std::vector<Finding>{finding("x")});
  EXPECT_EQ(*prompt, before);
}

}  // namespace
}  // namespace velloquin::check
