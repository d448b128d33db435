// Rendering of text, statements and scopes.
#include <gtest/gtest.h>

#include <vector>

#include "render_support.h"

namespace velloquin::jinja {
namespace {

using testing::error;
using testing::expect_all;
using testing::output;
using testing::render;

TEST(Text, TrailingNewlineAndDelimiters) {
  expect_all({
      {"line\n", "{}", output("line")},
      {"line\r\n", "{}", output("line")},
      {"line\n\n", "{}", output("line\n")},
      {"line\r", "{}", output("line")},
      {"line\n\r", "{}", output("line\n")},
      {"a\r\nb", "{}", output("a\r\nb")},
      {"", "{}", output("")},
      {"a { b } {x", "{}", output("a { b } {x")},
      {"{{ 1 }}}", "{}", output("1}")},
      {"{{ \"}}\" }}{{ '%}' }}", "{}", output("}}%}")},
      {"{{ {\"a\": {\"b\": 1}} }}", "{}", output("{\"a\": {\"b\": 1}}")},
  });
}

TEST(Text, WhitespaceControl) {
  expect_all({
      {"a  {{- 1 -}}  b", "{}", output("a1b")},
      {"x {# c -#}   y", "{}", output("x y")},
      {"x   {#- c #} y", "{}", output("x y")},
      {"{{ 'a' }}\n\t{{- 'b' }}", "{}", output("ab")},
      {"{% if true %}\nx\n{%- endif %}", "{}", output("\nx")},
      {"{{-1}}", "{}", output("1")},
      {"a {{ 5 -}}   x", "{}", output("a 5x")},
      {"a {{+ 1 +}} b {%+ if true +%} c {%+ endif +%}", "{}", output("a 1 b  c ")},
      {"a\n{% if true %}\nx\n{% endif %}\nb", "{}", output("a\n\nx\n\nb")},
      {"x\u00a0\u2003 {{- 1 }}", "{}", output("x1")},
      {"{{ 1 -}}{{ 2 }}  x", "{}", output("12x")},
  });
}

TEST(Text, CommentsAndRawBlocks) {
  expect_all({
      {"{# a {# b #} c #}", "{}", output(" c #}")},
      {"a{# {{ x }} {% if %} #}b", "{}", output("ab")},
      {"{% raw %}{{ x }}{% if %}{# c #}{% endraw %}", "{}", output("{{ x }}{% if %}{# c #}")},
      {" {%- raw -%}  {{ x }}  {%- endraw -%} !", "{}", output("{{ x }}!")},
      {"{%raw%}a{%endraw%}", "{}", output("a")},
      {"{% raw %}{% raw %}a{% endraw %}", "{}", output("{% raw %}a")},
      {"{% raw %}a{% endraw %}{% endraw %}", "{}",
       error("syntax error: unknown statement endraw (in t:1)")},
  });
}

TEST(Literals, StringsAndNumbers) {
  expect_all({
      {"{{ 'a' 'b' \"c\" }}", "{}", output("abc")},
      {"{{ \"it's\" ~ 'say \"hi\"' }}", "{}", output("it'ssay \"hi\"")},
      {"{{ 'a\\tb\\\\c\\/d\\'e' }}", "{}", output("a\tb\\c/d'e")},
      {"{{ '\\u00e9\\ud83d\\udca9' }}", "{}", output("é\U0001F4A9")},
      {"{{ '\\x41\\xab' }}", "{}", output("A\u00ab")},
      {"{{ '\\101\\60' }}", "{}", output("A0")},
      {"{{ '\\s\\8' }}", "{}", output("\\s\\8")},
      {"{{ 'two\nlines' }}", "{}", output("two\nlines")},
      {"{{ 0x1F }} {{ 0o17 }} {{ 0b101 }} {{ 0XfF }}", "{}", output("31 15 5 255")},
      {"{{ 1_000 }} {{ 1_0.5 }} {{ 1.e5 }} {{ 1. }} {{ 1E-2 }}", "{}",
       output("1000 10.5 100000.0 1.0 0.01")},
      {"{{ 18446744073709551615 }} {{ 18446744073709551616 }}", "{}",
       output("18446744073709551615 18446744073709551616")},
      // The smallest signed 128-bit value has no positive literal of its own.
      {"{{ -170141183460469231731687303715884105728 }} "
       "{{ -(170141183460469231731687303715884105728) is integer }}",
       "{}", output("-170141183460469231731687303715884105728 True")},
      {"{{ -170141183460469231731687303715884105729 }}", "{}", error("invalid operation (in t:1)")},
      {"{{ -(-170141183460469231731687303715884105727 - 1) }}", "{}",
       error("invalid operation: overflow (in t:1)")},
      {"{{ true }} {{ True }} {{ false }} {{ none }} {{ None }}", "{}",
       output("True True False None None")},
      {"{{ NONE }}", "{\"NONE\": 3}", output("3")},
      {"{{ [1, 'a', none, true, ] }} {{ (1, 2) }} {{ (1,) }} {{ () }} {{ (3) }}", "{}",
       output("[1, \"a\", None, True] [1, 2] [1] [] 3")},
      {"{{ {'b': 1, 'a': 2, 1: 'x', none: 3, true: 4} }}", "{}",
       output("{None: 3, True: 4, 1: \"x\", \"a\": 2, \"b\": 1}")},
      {"{{ {1: 'a', 1.0: 'b'} }}", "{}", output("{1: \"b\"}")},
      {"{{ x.0 }}{{ 'ab'.1 }}{{ x.1[0] }}{{ x.1 .0 }}", "{\"x\": [5, [6]]}", output("5b66")},
  });
}

TEST(Statements, ForLoops) {
  expect_all({
      {"{% for x in [1, 2] %}{{ x }}{% else %}E{% endfor %}", "{}", output("12")},
      {"{% for x in [] %}{{ x }}{% else %}E{% endfor %}", "{}", output("E")},
      {"{% for x in [1, 2, 3] if x > 5 %}{{ x }}{% else %}E{% endfor %}", "{}", output("E")},
      {"{% for x in [1, 2, 3, 4] if x > 1 and x < 9 %}{{ loop.index }}/{{ loop.length }} "
       "{% endfor %}",
       "{}", output("1/3 2/3 3/3 ")},
      {"{% for k in m %}{{ k }}{% endfor %}", "{\"m\": {\"b\": 1, \"a\": 2}}", output("ab")},
      {"{% for c in 'hé' %}[{{ c }}]{% endfor %}", "{}", output("[h][é]")},
      {"{% for x in none %}x{% else %}empty{% endfor %}", "{}", output("empty")},
      {"{% for k, v in [[1, 2], [3, 4]] %}{{ k }}{{ v }};{% endfor %}", "{}", output("12;34;")},
      {"{% for a, (b, c) in [[1, [2, 3]]] %}{{ a }}{{ b }}{{ c }}{% endfor %}", "{}",
       output("123")},
      {"{% for a, in [[1]] %}{{ a }}{% endfor %}", "{}", output("1")},
      {"{% set y = 0 %}{% for x in [1, 2] %}{% set y = y + x %}{{ y }}{% endfor %}{{ y }}", "{}",
       output("120")},
      {"{% for x in [1, 2] %}{% if x == 2 %}{{ seen }}{% endif %}{% set seen = 1 %}"
       "{% endfor %}",
       "{}", error("undefined value (in t:1)")},
      {"{% set x = 'outer' %}{% for x in [1] %}{{ x }}{% endfor %}{{ x }}", "{}", output("1outer")},
      {"{% for x in 42 %}{% endfor %}", "{}",
       error("invalid operation: number is not iterable (in t:1)")},
      {"{% for x in true %}{% endfor %}", "{}",
       error("invalid operation: bool is not iterable (in t:1)")},
      {"\n{% for a, b in ['ab'] %}{% endfor %}", "{}",
       error("cannot unpack: value is not iterable (in t:2)")},
      {"{% for a, b in [[1, 2, 3]] %}{% endfor %}", "{}",
       error("cannot unpack: sequence of wrong length (expected 2, got 3) (in t:1)")},
  });
}

TEST(Statements, IfWithSet) {
  expect_all({
      {"{% if x %}a{% elif y %}b{% elif z %}c{% else %}d{% endif %}",
       "{\"x\": 0, \"y\": \"\", \"z\": [1]}", output("c")},
      {"{% if x %}a{% elif y %}b{% else %}d{% endif %}", "{\"x\": 0, \"y\": {}}", output("d")},
      {"{% if true %}{% set a = 1 %}{% endif %}{{ a }}", "{}", output("1")},
      {"{% with a = 1, b = a %}{{ a }}{{ b }}{% endwith %}", "{}", output("11")},
      {"{% with %}{% set a = 1 %}{{ a }}{% endwith %}{{ a }}", "{}",
       error("undefined value (in t:1)")},
      {"{% with (a, b) = [1, 2] %}{{ b }}{{ a }}{% endwith %}", "{}", output("21")},
      {"{% set a, b = 1, 2 %}{{ a }}{{ b }}", "{}", output("12")},
      {"{% set (c, d) = [3, 4] %}{{ c }}{{ d }}", "{}", output("34")},
      // Groups nest after the first name as they do in loop targets.
      {"{% set a, (b, c) = [1, [2, 3]] %}{{ a }}{{ b }}{{ c }}", "{}", output("123")},
      {"{% set a, (b, (c,)), () = [1, [2, [3]], []] %}{{ a }}{{ b }}{{ c }}", "{}", output("123")},
      {"{% set (a, b), (c) = [[1, 2], 3] %}{{ a }}{{ b }}{{ c }}", "{}", output("123")},
      {"{% set (a) %}x{% endset %}{{ a }}", "{}", output("x")},
      {"{% set (a, b) %}xy{% endset %}", "{}",
       error("cannot unpack: value is not iterable (in t:1)")},
      {"{% set (a, b), = [[1, 2]] %}", "{}",
       error("syntax error: unexpected `=`, expected identifier (in t:1)")},
      {"{% set ns = namespace() %}{% set a, (ns.b, c) = [1, [2, 3]] %}{{ ns.b }}", "{}",
       output("2")},
      {"{% set a,\n(b, c) = [1, [2]] %}", "{}",
       error("cannot unpack: sequence of wrong length (expected 2, got 1) (in t:2)")},
      {"{% set a, (b, c) = [1, 2] %}", "{}",
       error("cannot unpack: value is not iterable (in t:1)")},
      {"{% set a, = [1] %}", "{}",
       error("syntax error: unexpected `=`, expected identifier (in t:1)")},
      {"{% set a, (b c) = 1 %}", "{}",
       error("syntax error: unexpected identifier, expected `)` (in t:1)")},
      {"{% set a, (loop) = 1 %}", "{}",
       error("syntax error: cannot assign to reserved variable name loop (in t:1)")},
      {"{% set x = 1, 2 %}{{ x }} {% set y = 1, %}{{ y }}", "{}", output("[1, 2] [1]")},
      {"{% set u = missing %}ok", "{}", output("ok")},
      {"{% set t %}a{{ 1 }}b{% endset %}[{{ t }}]", "{}", output("[a1b]")},
      {"{% set t | shout | brackets %}ab{% endset %}{{ t }}", "{}", output("[AB]")},
      {"{% set %}x{% endset %}", "{}", error("cannot unpack: value is not iterable (in t:1)")},
      {"{% set x = 1 %}{% set x.a = 2 %}", "{}",
       error("invalid operation: can only assign to namespaces, not number (in t:1)")},
      {"{% set m = {} %}{% set m.a = 2 %}", "{}",
       error("invalid operation: can only assign to namespaces, not map (in t:1)")},
      {"{% set q.a = 2 %}", "{}",
       error("invalid operation: can only assign to namespaces, not undefined (in t:1)")},
      {"{% filter shout %}a{{ 'b' }}{% endfilter %}", "{}", output("AB")},
      {"{% filter shout|brackets %}x{% endfilter %}", "{}", output("[X]")},
      {"{% filter nope %}x{% endfilter %}", "{}",
       error("unknown filter: filter nope is unknown (in t:1)")},
      {"{% if false %}{{ x|nope }}{{ nofunc() }}{% endif %}ok", "{}", output("ok")},
      {"{% for x in [1] %}{% do loop.cycle(1) %}{% endfor %}ok", "{}", output("ok")},
  });
}

TEST(Statements, AutoEscape) {
  const std::string ctx = R"({"unsafe": "<a href='x'>&/"})";
  expect_all({
      {"{{ unsafe }}", ctx, output("<a href='x'>&/")},
      {"{% autoescape true %}{{ unsafe }}{% endautoescape %}{{ unsafe }}", ctx,
       output("&lt;a href=&#x27;x&#x27;&gt;&amp;&#x2f;<a href='x'>&/")},
      {"{% autoescape 'html' %}{{ unsafe|safe }}{{ 5 }}{{ none }}{{ true }}{% endautoescape %}",
       ctx, output("<a href='x'>&/5NoneTrue")},
      {"{% autoescape 1 %}{{ ['<'] }}{% endautoescape %}", ctx, output("[&quot;&lt;&quot;]")},
      {"{% autoescape false %}{{ unsafe }}{% endautoescape %}", ctx, output("<a href='x'>&/")},
      {"{% autoescape 'none' %}{{ unsafe }}{% endautoescape %}", ctx, output("<a href='x'>&/")},
      {"{% autoescape 'yes' %}{% endautoescape %}", ctx,
       error("invalid operation: invalid value to autoescape tag (in t:1)")},
      {"{% autoescape true %}{% set s %}<b>{% endset %}{{ s }}{{ s ~ '' }}{% endautoescape %}", ctx,
       output("<b>&lt;b&gt;")},
      {"{% autoescape true %}{% filter brackets %}<{% endfilter %}{% endautoescape %}", ctx,
       output("[&lt;]")},
      {"{% autoescape 'json' %}{{ none }} {{ true }} {{ 'a<' }} {{ [1] }} {{ 'x'|safe }}"
       "{% endautoescape %}",
       ctx, output("null true \"a<\" [1] x")},
      // JSON escaping prints plain JSON, without the HTML-safe escapes of tojson.
      {"{% autoescape 'json' %}{{ unsafe }}|{{ \"it's <b>\" }}|{{ [1, '<'] }}|{{ 'a' if false }}"
       "|{{ {'k': '<'|safe} }}{% endautoescape %}",
       ctx, output("\"<a href='x'>&/\"|\"it's <b>\"|[1,\"<\"]|null|{\"k\":\"<\"}")},
      {"{% autoescape 'json' %}{{ {none: 1} }}{% endautoescape %}", ctx,
       error("could not serialize to value: unable to format to JSON (in t:1)")},
      {"{% autoescape 'json' %}{{ x }}{% endautoescape %}", ctx, error("undefined value (in t:1)")},
      {"{{ unsafe|e }}|{{ 5|e }}|{{ none|escape }}", ctx,
       output("&lt;a href=&#x27;x&#x27;&gt;&amp;&#x2f;|5|None")},
  });
}

TEST(Statements, TemplateNameSelectsEscaping) {
  for (const std::string name : {"page.html", "page.htm", "feed.xml", "page.html.j2",
                                 "page.html.jinja2", "page.xml.jinja"}) {
    EXPECT_EQ(render("{{ '<' }}", "{}", UndefinedBehavior::Strict, name), output("&lt;")) << name;
  }
  for (const std::string name : {"data.json", "data.json5", "app.js", "conf.yaml", "conf.yml.j2"}) {
    EXPECT_EQ(render("{{ '<' }}{{ none }}", "{}", UndefinedBehavior::Strict, name),
              output("\"<\"null"))
        << name;
  }
  // Without an active mode, escape falls back on the template's own, then on HTML.
  EXPECT_EQ(render("{% autoescape false %}{{ '<'|e }}{% endautoescape %}", "{}",
                   UndefinedBehavior::Strict, "data.json"),
            output("\"<\""));
  EXPECT_EQ(render("{% autoescape false %}{{ '<'|e }}{% endautoescape %}", "{}",
                   UndefinedBehavior::Strict, "kernel"),
            output("&lt;"));
  for (const std::string name : {"kernel", "page.txt", "html", "page.j2", "page.html.txt"}) {
    EXPECT_EQ(render("{{ '<' }}", "{}", UndefinedBehavior::Strict, name), output("<")) << name;
  }
}

}  // namespace
}  // namespace velloquin::jinja
