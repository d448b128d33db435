// Hostile sources: deep nesting and long chains end in errors, never in a crash; random
// token soup and random filters over filters over every kind of value never escape the error
// path.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../../fuzz/expression_shapes.h"
#include "render_support.h"

namespace velloquin::jinja {
namespace {

using testing::error;
using testing::output;
using testing::render;

std::string repeat(const std::string& s, int n) {
  std::string out;
  out.reserve(s.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(Robustness, DeepSourcesAreSyntaxErrors) {
  const std::string too_deep = "syntax error: template exceeds maximum recursion limits (in t:1)";
  const int n = 100000;
  const std::vector<std::string> sources = {
      "{{ " + repeat("(", n) + "1" + repeat(")", n) + " }}",
      "{{ " + repeat("not ", n) + "1 }}",
      "{{ " + repeat("-", n) + "1 }}",
      "{{ 1" + repeat(" + 1", n) + " }}",
      "{{ x" + repeat(".a", n) + " }}",
      "{{ x" + repeat("|f", n) + " }}",
      "{{ 1" + repeat(" if x else 1", n) + " }}",
      "{{ 1" + repeat(" and 1", n) + " }}",
      "{% for " + repeat("(", n) + "x" + repeat(")", n) + " in y %}{% endfor %}",
      repeat("{% if true %}", n),
      repeat("{% for x in y %}", n),
  };
  for (const auto& source : sources) {
    EXPECT_EQ(render(source), error(too_deep)) << source.substr(0, 40);
  }
}

TEST(Robustness, LongFlatSourcesWork) {
  const int n = 20000;
  EXPECT_EQ(render(repeat("{{ 1 }}", n)), output(repeat("1", n)));
  EXPECT_EQ(render("{% if false %}" + repeat("{% elif false %}", n) + "{% else %}e{% endif %}"),
            output("e"));
  EXPECT_EQ(render("{{ [" + repeat("1, ", n) + "1][-1] }}"), output("1"));
  EXPECT_EQ(render("{{ " + repeat("not ", 100) + "1 }}"), output("True"));
  EXPECT_EQ(render("{{ 1" + repeat(" < 2", n) + " }}"), output("False"));
  EXPECT_EQ(render("{{ 1" + repeat(" + 1", 300) + " }}"), output("301"));
}

TEST(Robustness, RandomTokenSoupNeverCrashes) {
  const std::vector<std::string> pieces = {"{{",         "}}",
                                           "{%",         "%}",
                                           "{#",         "#}",
                                           "-",          "+",
                                           "(",          ")",
                                           "[",          "]",
                                           "{",          "}",
                                           ",",          ":",
                                           ".",          "|",
                                           "~",          "=",
                                           "==",         "<",
                                           "*",          "**",
                                           "//",         "%",
                                           "'s'",        "\"q\\u12\"",
                                           "1",          "2.5",
                                           "0x",         "1_",
                                           "x",          "loop",
                                           "for",        "in",
                                           "if",         "else",
                                           "elif",       "endif",
                                           "endfor",     "set",
                                           "endset",     "with",
                                           "endwith",    "filter",
                                           "endfilter",  "raw",
                                           "endraw",     "do",
                                           "recursive",  "not",
                                           "and",        "or",
                                           "is",         "none",
                                           "autoescape", "endautoescape",
                                           " ",          "\n",
                                           "é",          "@"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(1, 40);
  for (int i = 0; i < 3000; ++i) {
    std::string source;
    const int n = length(rng);
    for (int k = 0; k < n; ++k) source += pieces[pick(rng)];
    const auto outcome = render(source, "{\"x\": [1, [2, \"a\"], {\"k\": null}], \"y\": 3}");
    if (!outcome.ok) {
      EXPECT_NE(outcome.text.find(" (in t:"), std::string::npos) << source;
    }
  }
}

// The shapes of the engine fuzz target, from a fixed seed: an error always names its place, and
// a template renders the same way twice.
TEST(Robustness, RandomFiltersOverFiltersNeverCrash) {
  struct RandomChooser {
    std::mt19937 rng{11};
    std::size_t pick(std::size_t n) {
      return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    }
  } chooser;
  fuzz::ShapeBuilder shapes(chooser);
  const std::string context(fuzz::kShapeContext);
  for (int i = 0; i < 3000; ++i) {
    const std::string source = shapes.template_source(4);
    const auto outcome = render(source, context);
    if (!outcome.ok) {
      EXPECT_NE(outcome.text.find(" (in t:"), std::string::npos) << source;
    }
    EXPECT_EQ(render(source, context), outcome) << source;
  }
}

}  // namespace
}  // namespace velloquin::jinja
