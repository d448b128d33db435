#include "library/overlay.h"

#include <gtest/gtest.h>

namespace velloquin::prompt {
namespace {

using nlohmann::json;

TEST(OverlayToJson, WritesExactlyThePresentFields) {
  PromptOverlay empty;
  EXPECT_EQ(to_json(empty), json::object());

  PromptOverlay full;
  full.name = *core::PromptDefinitionName::from_str("n");
  full.role = core::PromptDefinitionRole::Assistant;
  full.body = "";
  full.variables = core::PromptVariables{
      {"v", core::PromptVariable{"d", false, core::PromptVariableTypeString::Number, true}}};
  full.variants = core::PromptVariants{};
  full.output_model = std::string("Model");
  full.metadata = core::JsonObject{{"k", nullptr}};
  EXPECT_EQ(to_json(full), json::parse(R"({
    "name": "n", "role": "assistant", "body": "",
    "variables": {"v": {"description": "d", "trusted": false, "type": "number",
                        "validation_required": true}},
    "variants": {}, "output_model": "Model", "metadata": {"k": null}
  })"));
}

TEST(OverlayToJson, OutputModelHasThreeStates) {
  PromptOverlay overlay;
  EXPECT_FALSE(to_json(overlay).contains("output_model"));
  overlay.output_model = ClearOutputModel{};
  EXPECT_EQ(to_json(overlay), json::parse(R"({"output_model": null})"));
  overlay.output_model = std::string("");
  EXPECT_EQ(to_json(overlay), json::parse(R"({"output_model": ""})"));
}

}  // namespace
}  // namespace velloquin::prompt
