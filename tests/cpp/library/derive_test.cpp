#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "definition/definition_writer.h"
#include "library/definitions.h"
#include "library/prompt.h"

namespace velloquin::prompt {
namespace {

using nlohmann::json;

constexpr const char* kBase = R"({
  "body": "Hi", "name": "base", "role": "user", "output_model": "Out",
  "metadata": {"guard": {"on": true}, "x": 1},
  "variables": {"a": {"trusted": true, "type": "string"},
                "b": {"trusted": false, "type": "string"}},
  "variants": {"v": {"body": "V {{ b }}", "metadata": {"m": 1}}}
})";

Prompt base_prompt() {
  auto prompt = Prompt::create(testing::definition_from(kBase));
  EXPECT_TRUE(prompt.ok());
  return std::move(prompt).value();
}

core::PromptVariable var(bool trusted, core::PromptVariableTypeString type) {
  return core::PromptVariable{std::nullopt, trusted, type, false};
}

// Each case edits the base's written-out form into what the derived definition must write.
struct Case {
  const char* what;
  std::function<void(PromptOverlay&)> overlay;
  std::function<void(json&)> replaced;
  std::function<void(json&)> merged;
};

std::vector<Case> Cases() {
  using T = core::PromptVariableTypeString;
  const json b2 = core::to_json(var(true, T::Integer));
  const json c = core::to_json(var(false, T::String));
  return {
      {"empty overlay", [](PromptOverlay&) {}, [](json&) {}, [](json&) {}},
      {"variables {b changed, c}",
       [](PromptOverlay& o) {
         o.variables =
             core::PromptVariables{{"b", var(true, T::Integer)}, {"c", var(false, T::String)}};
       },
       [b2, c](json& d) {
         d["variables"] = json{{"b", b2}, {"c", c}};
       },
       [b2, c](json& d) { d["variables"]["b"] = b2, d["variables"]["c"] = c; }},
      {"metadata {x: 2}",
       [](PromptOverlay& o) {
         o.metadata = core::JsonObject{{"x", 2}};
       },
       [](json& d) {
         d["metadata"] = {{"x", 2}};
       },
       [](json& d) { d["metadata"]["x"] = 2; }},
      {"a variant of the same name replaced whole",
       [](PromptOverlay& o) {
         o.variants = core::PromptVariants{{"v", {"new {{ a }}", {}}}};
       },
       [](json& d) {
         d["variants"] = {{"v", {{"body", "new {{ a }}"}}}};
       },
       [](json& d) {
         d["variants"] = {{"v", {{"body", "new {{ a }}"}}}};
       }},
      {"output model cleared", [](PromptOverlay& o) { o.output_model = ClearOutputModel{}; },
       [](json& d) { d.erase("output_model"); }, [](json& d) { d.erase("output_model"); }},
      {"output model replaced", [](PromptOverlay& o) { o.output_model = std::string("New"); },
       [](json& d) { d["output_model"] = "New"; }, [](json& d) { d["output_model"] = "New"; }},
      {"empty metadata and variants",
       [](PromptOverlay& o) {
         o.metadata = core::JsonObject{};
         o.variants = core::PromptVariants{};
       },
       [](json& d) { d.erase("metadata"), d.erase("variants"); }, [](json&) {}},
      {"a null guard entry stays a key",
       [](PromptOverlay& o) {
         o.metadata = core::JsonObject{{"guard", nullptr}};
       },
       [](json& d) {
         d["metadata"] = {{"guard", nullptr}};
       },
       [](json& d) { d["metadata"]["guard"] = nullptr; }},
      {"name, role and body",
       [](PromptOverlay& o) {
         o.name = *core::PromptDefinitionName::from_str("renamed");
         o.role = core::PromptDefinitionRole::System;
         o.body = "Bye {{ a }}";
       },
       [](json& d) { d["name"] = "renamed", d["role"] = "system", d["body"] = "Bye {{ a }}"; },
       [](json& d) { d["name"] = "renamed", d["role"] = "system", d["body"] = "Bye {{ a }}"; }},
  };
}

TEST(DeriveWith, OverlayTableUnderBothStrategies) {
  const Prompt base = base_prompt();
  const Prompt untouched = base;
  for (const Case& c : Cases()) {
    for (MergeStrategy strategy : {MergeStrategy::Replace, MergeStrategy::Merge}) {
      PromptOverlay overlay;
      c.overlay(overlay);
      json expected = core::to_json(base.definition());
      (strategy == MergeStrategy::Replace ? c.replaced : c.merged)(expected);
      auto derived = base.derive_with(std::move(overlay), strategy);
      ASSERT_TRUE(derived.ok()) << c.what;
      EXPECT_EQ(core::to_json(derived->definition()), expected)
          << c.what << (strategy == MergeStrategy::Merge ? " (merge)" : " (replace)");
      EXPECT_EQ(base, untouched) << c.what;
    }
  }
}

TEST(DeriveWith, BaseWithoutMetadataTakesTheOverlaysUnderMerge) {
  auto base = Prompt::from_json(R"({"body": "", "name": "p", "role": "user"})");
  ASSERT_TRUE(base.ok());
  PromptOverlay overlay;
  overlay.metadata = core::JsonObject{{"k", 1}};
  auto derived = base->derive_with(std::move(overlay), MergeStrategy::Merge);
  ASSERT_TRUE(derived.ok());
  EXPECT_EQ(derived->definition().metadata, (core::JsonObject{{"k", 1}}));
}

ConsumerError row(std::string field, std::string code, std::string message) {
  return ConsumerError::Render{{FieldError{std::move(field), std::move(code), std::move(message)}}};
}

TEST(DeriveWith, ReservedVariantFailsUnderBothStrategies) {
  const Prompt base = base_prompt();
  for (MergeStrategy strategy : {MergeStrategy::Replace, MergeStrategy::Merge}) {
    PromptOverlay overlay;
    overlay.variants = core::PromptVariants{{"default", {"x", {}}}};
    auto derived = base.derive_with(std::move(overlay), strategy);
    ASSERT_FALSE(derived.ok());
    EXPECT_EQ(derived.error(),
              row("variant", "undefined_variable",
                  "variant `default` uses the reserved name for the root body; rename it or move "
                  "its body to the root"));
  }
}

TEST(DeriveWith, ConstructionFailuresOfTheMergedDefinition) {
  const Prompt base = base_prompt();
  const Prompt untouched = base;
  auto undeclared = [](const std::string& root, const std::string& arm) {
    return row(root, "undefined_variable",
               "template references undeclared variable `" + root + "` (variant `" + arm +
                   "`); add it to the prompt's `variables`");
  };
  struct Failure {
    const char* what;
    std::function<void(PromptOverlay&)> overlay;
    std::optional<ConsumerError> replaced;  // absent: derives
    std::optional<ConsumerError> merged;
  };
  const Failure failures[] = {
      {"a body reading an undeclared name", [](PromptOverlay& o) { o.body = "{{ y }}"; },
       undeclared("y", "default"), undeclared("y", "default")},
      {"variables lacking a name a template reads",
       [](PromptOverlay& o) {
         o.variables =
             core::PromptVariables{{"a", var(false, core::PromptVariableTypeString::String)}};
       },
       undeclared("b", "v"), std::nullopt},
      {"all variables removed", [](PromptOverlay& o) { o.variables = core::PromptVariables{}; },
       undeclared("b", "v"), std::nullopt},
      {"a variant that does not compile",
       [](PromptOverlay& o) {
         o.variants = core::PromptVariants{{"w", {"{% macro m() %}", {}}}};
       },
       row("template", "excluded_feature", "template uses an excluded feature"),
       row("template", "excluded_feature", "template uses an excluded feature")},
  };
  for (const Failure& f : failures) {
    for (MergeStrategy strategy : {MergeStrategy::Replace, MergeStrategy::Merge}) {
      PromptOverlay overlay;
      f.overlay(overlay);
      auto derived = base.derive_with(std::move(overlay), strategy);
      const auto& expected = strategy == MergeStrategy::Replace ? f.replaced : f.merged;
      if (!expected) {
        EXPECT_TRUE(derived.ok()) << f.what;
      } else {
        ASSERT_FALSE(derived.ok()) << f.what;
        EXPECT_EQ(derived.error(), *expected) << f.what;
      }
      EXPECT_EQ(base, untouched) << f.what;
    }
  }
}

}  // namespace
}  // namespace velloquin::prompt
