#include "core/agreement.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "core/kernel_definitions.h"

namespace velloquin::core {
namespace {

using testing::definition;
using Roots = std::set<std::string>;

TEST(RequiredRoots, RootsTable) {
  struct Case {
    const char* source;
    Roots roots;
  };
  const Case cases[] = {
      {"", {}},
      {"plain text, no expressions", {}},
      {"{{ user.name }} {{ user.email }} {{ user['x'] }}", {"user"}},
      {"{% for item in items %}{{ item.title }} {{ loop.first }} {{ sep }}{% endfor %}",
       {"items", "sep"}},
      {"{% set greeting = 'Hi ' ~ name %}{{ greeting }}", {"name"}},
      {"{{ range(3) | join(',') }}{{ namespace() }}{{ dict(a=1) }}{{ debug() }}", {}},
      {"{{ loop }}", {"loop"}},
      {"{{ x | vq_guard_wrap }}{{ y | no_such_filter }}", {"x", "y"}},
      {"{% if a %}{{ b | default(c) }}{% elif d is divisibleby(e) %}{% endif %}",
       {"a", "b", "c", "d", "e"}},
      {"{{ z }}{{ a }}{{ B }}{{ _ }}", {"B", "_", "a", "z"}},
  };
  for (const Case& c : cases) {
    auto agreement = required_roots(definition(c.source), std::nullopt);
    ASSERT_TRUE(agreement.ok()) << c.source << ": " << agreement.error().text;
    EXPECT_EQ(agreement->roots, c.roots) << c.source;
    EXPECT_EQ(agreement->variant, "default");
  }
}

TEST(RequiredRoots, ResolvesTheArmAndLabelsIt) {
  const PromptDefinition d =
      definition("", "{}", R"({"v": {"body": "{{ only_in_v }}"}, "Default": {"body": ""}})");
  auto unknown = required_roots(d, "missing");
  ASSERT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.error(), (KernelError{KernelError::Kind::UnknownVariant, "missing"}));
  for (auto [variant, label] :
       {std::pair<std::optional<std::string_view>, std::string_view>{std::nullopt, "default"},
        {"default", "default"},
        {"v", "v"},
        {"Default", "Default"}}) {
    auto agreement = required_roots(d, variant);
    ASSERT_TRUE(agreement.ok()) << label;
    EXPECT_EQ(agreement->variant, label);
  }
}

TEST(RequiredRoots, VariantArmsAreAnalysedOnTheirOwn) {
  const PromptDefinition d = definition("{{ root_only }}", "{}", R"({"v": {"body": "{{ w }}"}})");
  EXPECT_EQ(required_roots(d, "v")->roots, Roots{"w"});
  EXPECT_EQ(required_roots(d, std::nullopt)->roots, Roots{"root_only"});
}

TEST(RequiredRoots, CompileFailuresAreClassifiedAsRenderingWould) {
  using Kind = KernelError::Kind;
  struct Case {
    const char* source;
    Kind kind;
    const char* text;  // empty: only the kind is checked
  };
  const Case cases[] = {
      {"{% include 'x' %}", Kind::ExcludedFeature,
       "syntax error: unknown statement include (in kernel:1)"},
      {"{% macro m() %}{% endmacro %}", Kind::ExcludedFeature, ""},
      {"{{ x", Kind::Parse, ""},
      {"{% if x %}", Kind::Parse, ""},
      {"{% call x() %}", Kind::Parse, ""},
  };
  for (const Case& c : cases) {
    auto agreement = required_roots(definition(c.source), std::nullopt);
    ASSERT_FALSE(agreement.ok()) << c.source;
    EXPECT_EQ(agreement.error().kind, c.kind) << c.source << ": " << agreement.error().text;
    if (*c.text) {
      EXPECT_EQ(agreement.error().text, c.text);
    }
  }
}

}  // namespace
}  // namespace velloquin::core
