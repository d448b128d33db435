// The loop object, recursive loops and the frame limit.
#include <gtest/gtest.h>

#include <vector>

#include "render_support.h"

namespace velloquin::jinja {
namespace {

using testing::error;
using testing::expect_all;
using testing::output;
using testing::render;

TEST(LoopObject, Attributes) {
  expect_all({
      {"{% for x in [10, 20, 30] %}{{ loop.index }}{{ loop.index0 }}{{ loop.revindex }}"
       "{{ loop.revindex0 }}{{ loop.first }}{{ loop.last }}{{ loop.length }}{{ loop.depth }}"
       "{{ loop.depth0 }};{% endfor %}",
       "{}", output("1032TrueFalse310;2121FalseFalse310;3210FalseTrue310;")},
      {"{% for x in [1, 2, 3] %}{{ loop.previtem|brackets }}{{ loop.nextitem|brackets }} "
       "{% endfor %}",
       "{}", output("[][2] [1][3] [2][] ")},
      {"{% for x in [1, 2] %}{{ loop }} {% endfor %}", "{}", output("<loop 0/2> <loop 1/2> ")},
      {"{% for x in [1] %}{{ loop.nope|brackets }}{% for a in loop %}{{ a }},{% endfor %}"
       "{% endfor %}",
       "{}",
       output("[]index0,index,length,revindex,revindex0,first,last,depth,depth0,previtem,"
              "nextitem,")},
      {"{% for x in [1, 2, 3, 4] %}{{ loop.cycle('a', 'b', 'c') }}{% endfor %}", "{}",
       output("abca")},
      {"{% for x in [1, 1, 2, 2, 1] %}{{ loop.changed(x) }} {% endfor %}", "{}",
       output("True False True False True ")},
      {"{% for x in [1, 2] %}{{ loop.changed() }} {% endfor %}", "{}", output("True False ")},
      {"{% for x in [1] %}{{ loop.cycle() }}{% endfor %}", "{}",
       error("invalid operation: cycle needs at least one value to cycle through (in t:1)")},
      {"{% for x in [1] %}{{ loop.nope() }}{% endfor %}", "{}",
       error("unknown method: map has no method named nope (in t:1)")},
      {"{{ loop }}", "{\"loop\": 7}", output("7")},
      {"{% for x in [1] %}{{ loop.index }}{% endfor %}", "{\"loop\": 7}", output("1")},
  });
}

TEST(LoopObject, UnknownLengthOfStrings) {
  expect_all(
      {
          {"{% for c in 'ab' %}[{{ loop.length }}|{{ loop.revindex }}|{{ loop.last }}]"
           "{% endfor %}",
           "{}", output("[||False][||False]")},
      },
      UndefinedBehavior::Lenient);
  expect_all({{"{% for c in 'ab' %}{{ loop.length }}{% endfor %}", "{}",
               error("undefined value (in t:1)")}});
}

TEST(LoopObject, FilteredLoopsCountKeptItemsAndSeeTheOuterLoop) {
  expect_all({
      {"{% for x in [1, 2, 3, 4, 5] if x > 2 %}{{ loop.index }}/{{ loop.length }}"
       "{{ loop.last }} {% endfor %}",
       "{}", output("1/3False 2/3False 3/3True ")},
      {"{% for o in [1, 2] %}{% for i in [7, 8, 9] if loop.index == 2 %}{{ i }}{% endfor %}|"
       "{% endfor %}",
       "{}", output("|789|")},
      {"{% for i in [1] if loop %}{% endfor %}", "{}", error("undefined value (in t:1)")},
  });
}

TEST(LoopObject, Depth) {
  expect_all({
      {"{% for a in [1] %}{% for b in [1] %}{{ loop.depth }}{% endfor %}{% endfor %}", "{}",
       output("1")},
      {"{% for a in [[1]] recursive %}{% for b in [1] %}{{ loop.depth }}{% endfor %}"
       "{% endfor %}",
       "{}", output("2")},
  });
}

TEST(RecursiveLoops, Render) {
  const std::string tree =
      R"({"nav": [{"t": "a", "c": [{"t": "b", "c": [{"t": "c", "c": []}]}]}, {"t": "d", "c": []}]})";
  expect_all({
      {"{% for n in nav recursive %}{{ n.t }}{{ loop.depth }}({{ loop(n.c) }}){% endfor %}", tree,
       output("a1(b2(c3()))d1()")},
      {"{% for x in [[]] recursive %}[{{ loop(x) }}]{% else %}E{% endfor %}", "{}", output("[]")},
      {"{% for x in [1, 5, 2] if x < 3 recursive %}{{ x }}{% if x == 1 %}({{ loop([9]) }})"
       "{% endif %}{% endfor %}",
       "{}", output("1(9)2")},
      {"{% for n in nav recursive %}{% set parent = loop %}{% for k in [1] %}"
       "{{ n.t }}{{ parent(n.c) }}{% endfor %}{% endfor %}",
       tree, output("abcd")},
      {"{% autoescape true %}{% for x in [1] recursive %}{% if x == 1 %}{{ loop(['<']) }}"
       "{% else %}{{ x }}{% endif %}{% endfor %}{% endautoescape %}",
       "{}", output("&lt;")},
  });
}

TEST(RecursiveLoops, Errors) {
  expect_all({
      {"{% for x in [1] %}{{ loop([1]) }}{% endfor %}", "{}",
       error("invalid operation: cannot recurse outside of recursive loop (in t:1)")},
      {"{% for x in [1] recursive %}{{ loop([1], [2]) }}{% endfor %}", "{}",
       error("invalid operation: loop() takes one argument (in t:1)")},
      // The argument count is checked before the loop kind; keywords count as one map.
      {"{% for x in [1] %}{{ loop() }}{% endfor %}", "{}",
       error("invalid operation: loop() takes one argument (in t:1)")},
      {"{% for x in [1] %}{{ loop([1], a=1) }}{% endfor %}", "{}",
       error("invalid operation: loop() takes one argument (in t:1)")},
      {"{% for x in [1] %}{{ loop(a=1) }}{% endfor %}", "{}",
       error("invalid operation: cannot recurse outside of recursive loop (in t:1)")},
      {"{% for x in [1] recursive %}{% if x == 1 %}{{ loop(a=1) }}{% else %}{{ x }}{% endif %}"
       "{% endfor %}",
       "{}", output("a")},
      {"{% for x in [1, 2, 3] recursive %}\n  {{ loop(x) }}\n{% endfor %}", "{}",
       error("invalid operation: cannot recurse because of non-iterable value (in t:2)")},
      {"{% for item in seq recursive %}\n  {{ loop(seq) }}\n{% endfor %}", "{\"seq\": [1]}",
       error("invalid operation: recursion limit exceeded (in t:1)")},
  });
}

TEST(RecursiveLoops, DepthStopsAtTheFrameLimit) {
  // The root frame plus 499 loop levels fit; the 500th level does not.
  const std::string source =
      "{% for x in [1] recursive %}{% if loop.depth < limit %}{{ loop([1]) }}"
      "{% else %}{{ loop.depth }}{% endif %}{% endfor %}";
  EXPECT_EQ(render(source, "{\"limit\": 499}"), output("499"));
  EXPECT_EQ(render(source, "{\"limit\": 500}"),
            error("invalid operation: recursion limit exceeded (in t:1)"));
  EXPECT_EQ(render("{% with a = 1 %}" + source + "{% endwith %}", "{\"limit\": 499}"),
            error("invalid operation: recursion limit exceeded (in t:1)"));
}

}  // namespace
}  // namespace velloquin::jinja
