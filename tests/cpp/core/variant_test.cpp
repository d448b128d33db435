#include "core/variant.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace velloquin::core {
namespace {

PromptDefinition definition_with(std::string body, PromptVariants variants) {
  return PromptDefinition{std::move(body),
                          {},
                          *PromptDefinitionName::from_str("greet"),
                          std::nullopt,
                          PromptDefinitionRole::User,
                          {},
                          std::move(variants)};
}

TEST(ResolveVariant, PicksTheArmByExactName) {
  const PromptDefinition definition =
      definition_with("root", {{"formal", {"Dear {{ name }}", {}}},
                               {"Default", {"capitalised", {}}},
                               {"default ", {"trailing blank", {}}},
                               {"", {"empty name", {}}},
                               // Unreachable by resolution: "default" always means the root body.
                               {"default", {"shadowed", {}}}});
  struct Case {
    std::optional<std::string_view> requested;
    std::string_view label;
    std::string_view source;
  };
  const Case cases[] = {
      {std::nullopt, "default", "root"},          {"default", "default", "root"},
      {"formal", "formal", "Dear {{ name }}"},    {"Default", "Default", "capitalised"},
      {"default ", "default ", "trailing blank"}, {"", "", "empty name"},
  };
  for (const Case& c : cases) {
    auto arm = resolve_variant(definition, c.requested);
    ASSERT_TRUE(arm.ok()) << c.requested.value_or("(none)");
    EXPECT_EQ(arm->label, c.label);
    EXPECT_EQ(arm->source, c.source);
  }
}

TEST(ResolveVariant, UnknownNamesFailWithTheNameAsRequested) {
  const PromptDefinition without_variants = definition_with("root", {});
  const PromptDefinition with_variants = definition_with("root", {{"formal", {"Dear", {}}}});
  for (const PromptDefinition* definition : {&without_variants, &with_variants}) {
    for (std::string_view name : {"Default", "default ", " default", "", "FORMAL", "formal "}) {
      auto arm = resolve_variant(*definition, name);
      ASSERT_FALSE(arm.ok()) << '"' << name << '"';
      EXPECT_EQ(arm.error(), (KernelError{KernelError::Kind::UnknownVariant, std::string(name)}));
    }
  }
  EXPECT_TRUE(resolve_variant(without_variants, "default").ok());
}

TEST(ResolveVariant, SourceIsBorrowedFromTheDefinition) {
  const PromptDefinition definition = definition_with("root", {{"formal", {"Dear", {}}}});
  EXPECT_EQ(resolve_variant(definition, std::nullopt)->source.data(), definition.body.data());
  EXPECT_EQ(resolve_variant(definition, "formal")->source.data(),
            definition.variants.at("formal").body.data());
}

TEST(GetSource, ReturnsTheTemplateVerbatim) {
  const PromptDefinition definition =
      definition_with("{{ x }}\n", {{"raw", {"{% raw %}{{ y }}{% endraw %}\r\n\n", {}}}});
  EXPECT_EQ(*get_source(definition, std::nullopt), "{{ x }}\n");
  EXPECT_EQ(*get_source(definition, "default"), "{{ x }}\n");
  EXPECT_EQ(*get_source(definition, "raw"), "{% raw %}{{ y }}{% endraw %}\r\n\n");
  auto missing = get_source(definition, "other");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), (KernelError{KernelError::Kind::UnknownVariant, "other"}));
}

}  // namespace
}  // namespace velloquin::core
