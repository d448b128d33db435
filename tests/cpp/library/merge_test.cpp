#include "library/merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velloquin::prompt {
namespace {

using nlohmann::json;

struct Case {
  const char* what;
  json base;
  json overlay;
  json replaced;  // the result under Replace
  json merged;    // the result under Merge
};

std::vector<Case> Cases() {
  const json base = json::parse(R"({
    "body": "{{ a }}", "name": "p", "role": "user",
    "metadata": {"guard": {"on": true}, "x": 1, "nested": {"k": 1, "j": 2}},
    "variables": {"a": {"trusted": true, "type": "string"}, "b": {"trusted": false, "type": "string"}},
    "variants": {"v": {"body": "old", "metadata": {"m": 1}}}
  })");
  auto with = [&](const char* key, json value) {
    json out = base;
    out[key] = std::move(value);
    return out;
  };
  const json b2 = {{"trusted", true}, {"type", "integer"}};
  const json c = {{"trusted", true}, {"type", "string"}};
  return {
      {"empty overlay changes nothing", base, json::object(), base, base},
      {"variables: replaced whole, or united with the overlay winning",
       base,
       {{"variables", {{"b", b2}, {"c", c}}}},
       with("variables", {{"b", b2}, {"c", c}}),
       with("variables", {{"a", base["variables"]["a"]}, {"b", b2}, {"c", c}})},
      {"metadata: one level deep, nested objects replaced",
       base,
       {{"metadata", {{"x", 2}, {"nested", {{"k", 9}}}}}},
       with("metadata", {{"x", 2}, {"nested", {{"k", 9}}}}),
       with("metadata", {{"guard", {{"on", true}}}, {"x", 2}, {"nested", {{"k", 9}}}})},
      {"a variant of the same name is replaced whole, metadata included",
       base,
       {{"variants", {{"v", {{"body", "new"}}}}}},
       with("variants", {{"v", {{"body", "new"}}}}),
       with("variants", {{"v", {{"body", "new"}}}})},
      {"an empty map empties under Replace and does nothing under Merge",
       base,
       {{"variables", json::object()}},
       with("variables", json::object()),
       base},
      {"a null metadata entry is an ordinary value",
       base,
       {{"metadata", {{"guard", nullptr}}}},
       with("metadata", {{"guard", nullptr}}),
       with("metadata", {{"guard", nullptr}, {"x", 1}, {"nested", {{"k", 1}, {"j", 2}}}})},
      {"scalar fields are replaced under both",
       base,
       {{"name", "q"}, {"role", "system"}, {"body", "hi"}, {"output_model", "M"}},
       [&] {
         json out = base;
         out["name"] = "q", out["role"] = "system", out["body"] = "hi", out["output_model"] = "M";
         return out;
       }(),
       [&] {
         json out = base;
         out["name"] = "q", out["role"] = "system", out["body"] = "hi", out["output_model"] = "M";
         return out;
       }()},
      {"a cleared output model is null under both",
       with("output_model", "M"),
       {{"output_model", nullptr}},
       with("output_model", nullptr),
       with("output_model", nullptr)},
      {"a map key the base lacks is added as the overlay's object",
       json{{"body", ""}},
       {{"metadata", {{"k", 1}}}},
       json{{"body", ""}, {"metadata", {{"k", 1}}}},
       json{{"body", ""}, {"metadata", {{"k", 1}}}}},
      {"a merge key whose overlay value is not an object is replaced",
       base,
       {{"metadata", 5}},
       with("metadata", 5),
       with("metadata", 5)},
      {"a merge key whose base value is not an object is replaced",
       with("variants", "text"),
       {{"variants", {{"w", {{"body", "x"}}}}}},
       with("variants", {{"w", {{"body", "x"}}}}),
       with("variants", {{"w", {{"body", "x"}}}})},
      {"only the three map keys unite",
       json{{"other", {{"a", 1}}}},
       {{"other", {{"b", 2}}}},
       json{{"other", {{"b", 2}}}},
       json{{"other", {{"b", 2}}}}},
  };
}

TEST(MergeDefinitions, ReplaceAndMergeTable) {
  for (const Case& c : Cases()) {
    auto replaced = merge_definitions(c.base, c.overlay, MergeStrategy::Replace);
    ASSERT_TRUE(replaced.ok()) << c.what;
    EXPECT_EQ(*replaced, c.replaced) << c.what;
    auto merged = merge_definitions(c.base, c.overlay, MergeStrategy::Merge);
    ASSERT_TRUE(merged.ok()) << c.what;
    EXPECT_EQ(*merged, c.merged) << c.what;
  }
}

TEST(MergeDefinitions, NonObjectsFailAsLoadWithTheBaseTestedFirst) {
  struct Failure {
    json base;
    json overlay;
    const char* message;
  };
  const Failure failures[] = {
      {json::array(), json::object(), "internal: base is not a JSON object"},
      {nullptr, "text", "internal: base is not a JSON object"},
      {json::object(), json::array(), "internal: overlay is not a JSON object"},
      {json::object(), nullptr, "internal: overlay is not a JSON object"},
  };
  for (const Failure& f : failures) {
    for (MergeStrategy strategy : {MergeStrategy::Replace, MergeStrategy::Merge}) {
      auto result = merge_definitions(f.base, f.overlay, strategy);
      ASSERT_FALSE(result.ok()) << f.message;
      EXPECT_EQ(result.error(), ConsumerError(ConsumerError::Load{f.message}));
    }
  }
}

}  // namespace
}  // namespace velloquin::prompt
