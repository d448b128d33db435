// Undeclared variables: every name a template may read from its context is reported.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"

namespace velloquin::jinja {
namespace {

std::set<std::string> undeclared(const std::string& source) {
  Environment env;
  env.set_undefined_behavior(UndefinedBehavior::Strict);
  auto added = env.add_template("kernel", source);
  EXPECT_TRUE(added.ok()) << source << ": " << added.error().display();
  if (!added.ok()) return {};
  return (*env.get_template("kernel"))->undeclared_variables(false);
}

struct AnalysisCase {
  std::string source;
  std::set<std::string> names;
};

void expect_all(const std::vector<AnalysisCase>& cases) {
  for (const auto& c : cases) EXPECT_EQ(undeclared(c.source), c.names) << c.source;
}

TEST(Analysis, ReadsAndAssignments) {
  expect_all({
      {"", {}},
      {"plain text {# {{ hidden }} #}{% raw %}{{ raw }}{% endraw %}", {}},
      {"{{ a }}{{ b.c.d }}{{ e[\"f\"] }}{{ g[h] }}{{ i.j() }}{{ k(l, m=n) }}",
       {"a", "b", "e", "g", "h", "i", "k", "l", "n"}},
      {"{{ user.name }} {{ user.email }}", {"user"}},
      {"{% for item in items %}{{ item.title }} {{ loop.first }} {{ sep }}{% endfor %}",
       {"items", "sep"}},
      {"{% set greeting = 'Hi ' ~ name %}{{ greeting }}", {"name"}},
      {"{% for item in items if item.ok %}{{ item }}{{ loop.index }}{{ outer }}{% else %}"
       "{{ item }}{{ loop }}{% endfor %}{{ item }}",
       {"item", "items", "loop", "outer"}},
      {"{{ self }}{{ loop }}{{ range(3) }}{{ namespace() }}{{ dict() }}{{ debug() }}{{ true }}"
       "{{ none }}",
       {"debug", "dict", "loop", "namespace", "range"}},
      {"{% with a = b %}{{ a }}{{ c }}{% endwith %}{{ a }}", {"a", "b", "c"}},
      {"{{ x|default(y) }}{{ p is divisibleby q }}{{ r is defined }}{{ s|map(attribute=t) }}",
       {"p", "q", "r", "s", "t", "x", "y"}},
      {"{{ a if b else c }}{{ d if e }}", {"a", "b", "c", "d", "e"}},
      {"{% if c %}{% set v = 1 %}{% endif %}{{ v }}", {"c", "v"}},
      {"{% set v = 1 %}{% if c %}{{ v }}{% endif %}", {"c"}},
      {"{% if a %}{% elif b %}{{ c }}{% else %}{{ d }}{% endif %}", {"a", "b", "c", "d"}},
      {"{% do fn(arg1, k=arg2) %}{% do obj.meth(arg3) %}", {"arg1", "arg2", "arg3", "fn", "obj"}},
      {"{% for a in b recursive %}{{ loop(a.children) }}{% endfor %}", {"b"}},
      {"{{ f(*args, **kwargs) }}", {"args", "f", "kwargs"}},
      {"{% set a, b = c, d %}{{ a }}{{ b }}", {"c", "d"}},
      {"{% for i in [1] %}{% set q = 1 %}{% endfor %}{{ q }}", {"q"}},
      {"{{ foo }}{% set foo = 1 %}{{ foo }}", {"foo"}},
      {"{% for k, (v, w) in pairs %}{{ k }}{{ v }}{{ w }}{% endfor %}", {"pairs"}},
      {"{{ [x, {y: z}] }}{{ -n }}{{ not m }}{{ o < p < q }}{{ r ~ s }}",
       {"m", "n", "o", "p", "q", "r", "s", "x", "y", "z"}},
      {"{{ 'B' }}{{ B }}{{ a }}", {"B", "a"}},
      {"{{ x|vq_guard_wrap }}{{ y|no_such_filter(z) }}", {"x", "y", "z"}},
  });
}

// Where a name is read before the template can have assigned it, it counts.
TEST(Analysis, ReadsTheReferenceWouldMiss) {
  expect_all({
      {"{{ foo[1:2] }}{{ bar[s:e:st] }}", {"bar", "e", "foo", "s", "st"}},
      {"{% set z = z + 1 %}", {"z"}},
      {"{% with a = a %}{% endwith %}", {"a"}},
      {"{% set ns = namespace() %}{% set ns.a = val %}{% set other.b = 1 %}",
       {"namespace", "other", "val"}},
      {"{% set a.b.c = 1 %}", {"a"}},
      {"{% set blk | replace(x1, x2) %}{{ inner }}{% endset %}", {"inner", "x1", "x2"}},
      {"{% set blk %}{{ blk }}{% endset %}{{ blk }}", {"blk"}},
      {"{% filter replace(fa, fb) %}{{ fc }}{% endfilter %}", {"fa", "fb", "fc"}},
      {"{% autoescape ae %}{{ av }}{% endautoescape %}", {"ae", "av"}},
      {"{% for x in x %}{% endfor %}", {"x"}},
  });
}

TEST(Analysis, NestedModeReportsRootsToo) {
  Environment env;
  ASSERT_TRUE(env.add_template("kernel", "{{ a.b.c }}").ok());
  EXPECT_EQ((*env.get_template("kernel"))->undeclared_variables(true), std::set<std::string>{"a"});
}

TEST(Analysis, GlobalNamesOfAFreshEnvironment) {
  Environment env;
  const auto names = env.global_names();
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

}  // namespace
}  // namespace velloquin::jinja
