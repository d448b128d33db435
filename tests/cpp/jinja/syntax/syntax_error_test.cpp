// Compile errors: their kind, exact detail and line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jinja/render_support.h"

namespace velloquin::jinja {
namespace {

using testing::error;
using testing::render;

struct SyntaxCase {
  std::string source;
  std::string display;
};

void expect_all(const std::vector<SyntaxCase>& cases) {
  for (const auto& c : cases) {
    EXPECT_EQ(render(c.source), error(c.display)) << "template: " << c.source;
  }
}

TEST(SyntaxErrors, Lexer) {
  expect_all({
      {"{{ foo @ }}", "syntax error: unexpected character (in t:1)"},
      {"{{ é }}", "syntax error: unexpected character (in t:1)"},
      {"{{ \"open\n}}", "syntax error: unexpected end of string (in t:1)"},
      {"a\n{# never closed", "syntax error: unexpected end of comment (in t:2)"},
      {"{% raw %}no end\n", "syntax error: unexpected end of raw block (in t:1)"},
      {"{{ 10_ }}", "syntax error: '_' may not occur at end of number (in t:1)"},
      {"{{ 10_\n+ 42 }}", "syntax error: '_' may not occur at end of number (in t:1)"},
      {"{{ 1e }}", "syntax error: invalid float (in t:1)"},
      {"{{ 42e+ }}", "syntax error: invalid float (in t:1)"},
      {"{{ 0x }}", "syntax error: invalid integer (too large) (in t:1)"},
      {"{{ 0b12 }}", "syntax error: invalid integer (too large) (in t:1)"},
      {"{{ 340282366920938463463374607431768211456 }}",
       "syntax error: invalid integer (too large) (in t:1)"},
      {"{{ x.0.1 }}", "syntax error: unexpected float, expected identifier or integer (in t:1)"},
      {"{{ x - }}", "syntax error: unexpected end of variable block (in t:1)"},
  });
}

TEST(SyntaxErrors, BadEscapesHaveNoDetail) {
  expect_all({
      {"{{ '\\u12' }}", "bad string escape (in t:1)"},
      {"{{ '\\u12g4' }}", "bad string escape (in t:1)"},
      {"{{ '\\ud83d' }}", "bad string escape (in t:1)"},
      {"{{ '\\udca9' }}", "bad string escape (in t:1)"},
      {"{{ '\\ud83d\\u0041' }}", "bad string escape (in t:1)"},
      {"{{ '\\x4' }}", "bad string escape (in t:1)"},
      {"\n{{ '\\777' }}", "bad string escape (in t:2)"},
  });
}

TEST(SyntaxErrors, Statements) {
  expect_all({
      {"{% 42 %}", "syntax error: unknown integer, expected statement (in t:1)"},
      {"{% %}", "syntax error: unknown end of block, expected statement (in t:1)"},
      {"{% \"x\" %}", "syntax error: unknown string, expected statement (in t:1)"},
      {"{% raw x %}{% endraw %}", "syntax error: unknown statement raw (in t:1)"},
      {"{% endraw %}", "syntax error: unknown statement endraw (in t:1)"},
      {"{% endfor %}", "syntax error: unknown statement endfor (in t:1)"},
      {"{% for x in y %}{% endfor x %}",
       "syntax error: unexpected identifier, expected end of block (in t:1)"},
      {"{% if x %}{% elif %}{% endif %}", "syntax error: unexpected end of block (in t:1)"},
      {"{% if a %}{% else %}{% else %}{% endif %}",
       "syntax error: unknown statement else (in t:1)"},
      {"{% if a %}{% else %}{% elif b %}{% endif %}",
       "syntax error: unknown statement elif (in t:1)"},
      {"a\n{% if true %}\nb\nc",
       "syntax error: unexpected end of input, expected end of block (in t:2)"},
      {"{% for x in y %}", "syntax error: unexpected end of input, expected end of block (in t:1)"},
      {"x {%", "syntax error: unexpected end of input, expected keyword (in t:1)"},
      {"x {{", "syntax error: unexpected end of input, expected expression (in t:1)"},
      {"{% for foo.baz in [] %}{% endfor %}", "syntax error: unexpected `.`, expected in (in t:1)"},
      {"{% for x in a if c else b %}{% endfor %}",
       "syntax error: unexpected identifier, expected end of block (in t:1)"},
      {"{% if a if b else c %}{% endif %}",
       "syntax error: unexpected identifier, expected end of block (in t:1)"},
      {"{% with foo.bar = 42 %}{% endwith %}",
       "syntax error: unexpected `.`, expected assignment operator (in t:1)"},
      {"{% with a = 1 b = 2 %}{% endwith %}",
       "syntax error: unexpected identifier, expected comma (in t:1)"},
      {"{% with a %}{% endwith %}",
       "syntax error: unexpected end of block, expected assignment operator (in t:1)"},
      {"{% set a, = 1 %}", "syntax error: unexpected `=`, expected identifier (in t:1)"},
      {"{% set (a, b %}", "syntax error: unexpected `%`, expected `)` (in t:1)"},
      {"{% filter %}x{% endfilter %}", "syntax error: expected a filter (in t:1)"},
      {"{% autoescape %}x{% endautoescape %}", "syntax error: unexpected end of block (in t:1)"},
  });
}

TEST(SyntaxErrors, ReservedAssignmentTargets) {
  for (const std::string name :
       {"true", "True", "false", "False", "none", "None", "loop", "self"}) {
    expect_all({
        {"{% set " + name + " = 1 %}",
         "syntax error: cannot assign to reserved variable name " + name + " (in t:1)"},
        {"{% for " + name + " in x %}{% endfor %}",
         "syntax error: cannot assign to reserved variable name " + name + " (in t:1)"},
        {"{% with " + name + " = 1 %}{% endwith %}",
         "syntax error: cannot assign to reserved variable name " + name + " (in t:1)"},
    });
  }
}

TEST(SyntaxErrors, RejectedStatements) {
  for (const std::string word :
       {"extends", "block", "endblock", "include", "import", "from", "macro", "endmacro", "call",
        "endcall", "break", "continue", "INCLUDE", "fromage"}) {
    expect_all({{"text\n{% " + word + " 'x' %}",
                 "syntax error: unknown statement " + word + " (in t:2)"}});
  }
}

TEST(SyntaxErrors, Expressions) {
  expect_all({
      {"{{ }}", "syntax error: unexpected end of variable block (in t:1)"},
      {"{{ x[] }}", "syntax error: unexpected `]` (in t:1)"},
      {"{{ 1 + }}", "syntax error: unexpected end of variable block (in t:1)"},
      {"{{ 1 is == 1 }}", "syntax error: unexpected `==`, expected identifier (in t:1)"},
      {"{{ f(a=1, 2) }}", "syntax error: non-keyword arg after keyword arg (in t:1)"},
      {"{{ a not b }}", "syntax error: unexpected identifier, expected in (in t:1)"},
      {"{{ [1, 2 }}", "syntax error: unexpected `}`, expected `,` (in t:1)"},
      {"{{ {1 2} }}", "syntax error: unexpected integer, expected `:` (in t:1)"},
      {"{{ 1 }}\n{{ 2 +\n }}", "syntax error: unexpected end of variable block (in t:3)"},
      {"{{ 42world }}",
       "syntax error: unexpected identifier, expected end of variable block (in t:1)"},
      {"{% do foo %}",
       "syntax error: expected call expression in call block, got variable (in t:1)"},
      {"{% do 1 %}", "syntax error: expected call expression in call block, got constant (in t:1)"},
      {"{% do 1 + 1 %}",
       "syntax error: expected call expression in call block, got expression (in t:1)"},
      {"{% do [f()] %}",
       "syntax error: expected call expression in call block, got list literal (in t:1)"},
      {"{% do {} %}",
       "syntax error: expected call expression in call block, got map literal (in t:1)"},
      {"{% do x|f %}",
       "syntax error: expected call expression in call block, got filter expression (in t:1)"},
      {"{% do x is f %}",
       "syntax error: expected call expression in call block, got test expression (in t:1)"},
  });
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(SyntaxErrors, NestingLimit) {
  const std::string too_deep = "syntax error: template exceeds maximum recursion limits (in t:1)";
  EXPECT_TRUE(render(repeat("{% if true %}", 149) + "x" + repeat("{% endif %}", 149)).ok);
  EXPECT_EQ(render(repeat("{% if true %}", 150) + "x" + repeat("{% endif %}", 150)),
            error(too_deep));
  EXPECT_TRUE(render("{{ " + repeat("[", 74) + "1" + repeat("]", 74) + " }}").ok);
  EXPECT_EQ(render("{{ " + repeat("[", 75) + "1" + repeat("]", 75) + " }}"), error(too_deep));
}

TEST(SyntaxErrors, TooManyArguments) {
  std::string args = "1";
  for (int i = 0; i < 2000; ++i) args += ", 1";
  EXPECT_EQ(render("{{ f(" + args + ") }}"),
            error("syntax error: Too many arguments in function call (in t:1)"));
}

}  // namespace
}  // namespace velloquin::jinja
