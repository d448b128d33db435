#include "definition/definition_writer.h"

#include <gtest/gtest.h>

namespace velloquin::core {
namespace {

using Json = nlohmann::json;
using Item = PromptVariableTypeArrayItem;

PromptDefinition minimal() {
  return PromptDefinition{"Hi",
                          {},
                          *PromptDefinitionName::from_str("greet"),
                          std::nullopt,
                          PromptDefinitionRole::System,
                          {},
                          {}};
}

TEST(DefinitionWriter, LeavesOutEmptyMapsAndAbsentTexts) {
  EXPECT_EQ(to_json(minimal()).dump(), R"({"body":"Hi","name":"greet","role":"system"})");
  PromptVariable variable{std::nullopt, true, PromptVariableTypeString::String, false};
  EXPECT_EQ(to_json(variable).dump(),
            R"({"trusted":true,"type":"string","validation_required":false})");
  EXPECT_EQ(to_json(PromptVariant{"v", {}}).dump(), R"({"body":"v"})");
}

TEST(DefinitionWriter, WritesEveryFieldInKeyOrder) {
  PromptDefinition d = minimal();
  d.output_model = "Model";
  d.metadata["guard"] = true;
  d.role = PromptDefinitionRole::Assistant;
  // Inserted out of order: the written object lists names in ascending byte order.
  d.variables.emplace("zeta", PromptVariable{"last", false, std::vector<Item>{}, true});
  d.variables.emplace(
      "Alpha", PromptVariable{std::nullopt, true,
                              std::vector<Item>{Item::String, Item::Null, Item::String}, false});
  d.variants.emplace("short", PromptVariant{"S", JsonObject{{"k", 1}}});
  EXPECT_EQ(to_json(d).dump(),
            R"({"body":"Hi","metadata":{"guard":true},"name":"greet","output_model":"Model",)"
            R"("role":"assistant","variables":{"Alpha":{"trusted":true,"type":["string","null",)"
            R"("string"],"validation_required":false},"zeta":{"description":"last",)"
            R"("trusted":false,"type":[],"validation_required":true}},)"
            R"("variants":{"short":{"body":"S","metadata":{"k":1}}}})");
}

TEST(DefinitionWriter, WordsAndRoles) {
  EXPECT_EQ(to_json(PromptDefinitionRole::User), Json("user"));
  EXPECT_EQ(to_json(Item::Null), Json("null"));
  EXPECT_EQ(to_json(PromptVariableType(PromptVariableTypeString::Object)), Json("object"));
  EXPECT_EQ(to_string(PromptVariableTypeString::Boolean), "boolean");
}

}  // namespace
}  // namespace velloquin::core
