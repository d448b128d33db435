#include "python/convert/overlay_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

namespace velloquin::python {
namespace {

using nlohmann::json;

std::string load_message(const json& value) {
  auto overlay = read_overlay(value);
  if (overlay) return "<read>";
  const auto* load = std::get_if<ConsumerError::Load>(&overlay.error().payload());
  return load != nullptr ? load->message : "<not a load error>";
}

TEST(ReadOverlay, FieldsThatAreAbsentStayAbsentAndPresentEmptyMapsArePresent) {
  auto empty = read_overlay(json::object({{"unknown", 1}}));
  ASSERT_TRUE(empty);
  EXPECT_EQ(*empty, PromptOverlay{});

  auto maps = read_overlay(json::parse(R"({"variables": {}, "variants": {}, "metadata": {}})"));
  ASSERT_TRUE(maps);
  EXPECT_TRUE(maps->variables && maps->variables->empty());
  EXPECT_TRUE(maps->variants && maps->variants->empty());
  EXPECT_TRUE(maps->metadata && maps->metadata->empty());
  EXPECT_TRUE(std::holds_alternative<KeepOutputModel>(maps->output_model));
}

TEST(ReadOverlay, ReadsEveryField) {
  auto overlay = read_overlay(json::parse(R"({
    "name": "n", "role": {"assistant": null}, "body": "",
    "variables": {"v": {"type": ["string", "null"], "trusted": false}},
    "variants": {"w": {"body": "b", "metadata": {"k": [1]}}},
    "output_model": null, "metadata": {"guard": null}})"));
  ASSERT_TRUE(overlay);
  EXPECT_EQ(overlay->name->str(), "n");
  EXPECT_EQ(overlay->role, core::PromptDefinitionRole::Assistant);
  EXPECT_EQ(overlay->body, "");
  EXPECT_FALSE(overlay->variables->at("v").trusted);
  EXPECT_EQ(overlay->variants->at("w").metadata.at("k"), json::array({1}));
  EXPECT_TRUE(std::holds_alternative<ClearOutputModel>(overlay->output_model));
  EXPECT_TRUE(overlay->metadata->at("guard").is_null());

  auto named = read_overlay(json::object({{"output_model", "Out"}}));
  ASSERT_TRUE(named);
  EXPECT_EQ(std::get<std::string>(named->output_model), "Out");
}

TEST(ReadOverlay, TheFirstFieldInReadingOrderThatFailsIsReported) {
  struct Case {
    const char* overlay;
    const char* message;
  };
  const Case cases[] = {
      {R"([])", "overlay must be a dict"},
      {R"(null)", "overlay must be a dict"},
      {R"("x")", "overlay must be a dict"},
      // Keys are read in field order, not in the object's (sorted) key order.
      {R"({"role": 1, "name": ""})", "overlay field `name`: shorter than 1 characters"},
      {R"({"body": null, "metadata": 1})",
       "overlay field `body`: invalid type: null, expected a string"},
      {R"({"variables": [], "body": "ok"})",
       "overlay field `variables`: invalid type: sequence, expected a map"},
      {R"({"output_model": false})",
       "overlay field `output_model`: invalid type: boolean `false`, expected a string"},
      {R"({"metadata": "m"})",
       "overlay field `metadata`: invalid type: string \"m\", expected a map"},
      {R"({"role": null})", "overlay field `role`: invalid type: null, expected string or map"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(load_message(json::parse(c.overlay)), c.message) << c.overlay;
  }
}

}  // namespace
}  // namespace velloquin::python
