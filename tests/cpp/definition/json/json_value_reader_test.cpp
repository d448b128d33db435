#include "definition/json/json_value_reader.h"

#include <gtest/gtest.h>

#include "definition/definition_writer.h"

namespace velloquin::core {
namespace {

using Json = nlohmann::json;

// A minimal valid definition with `patch` merged over it (null members of the patch delete).
Json definition_with(const char* patch) {
  Json base = {{"body", "Hi"}, {"name", "greet"}, {"role", "user"}};
  base.merge_patch(Json::parse(patch));
  return base;
}

Json with_variable(const char* variable) {
  Json base = definition_with("{}");
  base["variables"]["v"] = Json::parse(variable);
  return base;
}

struct ErrorCase {
  const char* label;
  Json value;
  std::string message;
};

TEST(JsonValueReader, ShapeErrors) {
  const std::string all_keys =
      "one of `body`, `metadata`, `name`, `output_model`, `role`, `variables`, `variants`";
  const char* untagged = "data did not match any variant of untagged enum PromptVariableType";
  const std::vector<ErrorCase> cases = {
      {"empty name", definition_with(R"({"name": ""})"), "shorter than 1 characters"},
      {"numeric name", definition_with(R"({"name": 7})"),
       "invalid type: integer `7`, expected a string"},
      {"float body", definition_with(R"({"body": 1.5})"),
       "invalid type: floating point `1.5`, expected a string"},
      {"capitalised role", definition_with(R"({"role": "System"})"),
       "unknown variant `System`, expected one of `system`, `user`, `assistant`"},
      {"numeric role", definition_with(R"({"role": 5})"),
       "invalid type: integer `5`, expected string or map"},
      {"role with map payload", definition_with(R"({"role": {"user": {}}})"),
       "invalid type: map, expected unit"},
      {"role as empty map", Json{{"body", "b"}, {"name", "n"}, {"role", Json::object()}},
       "invalid value: map, expected map with a single key"},
      {"role with two entries", definition_with(R"({"role": {"user": null, "system": null}})"),
       "invalid value: map, expected map with a single key"},
      {"metadata null", Json{{"body", "b"}, {"name", "n"}, {"role", "user"}, {"metadata", nullptr}},
       "invalid type: null, expected a map"},
      {"variables null",
       Json{{"body", "b"}, {"name", "n"}, {"role", "user"}, {"variables", nullptr}},
       "invalid type: null, expected a map"},
      {"variants null", Json{{"body", "b"}, {"name", "n"}, {"role", "user"}, {"variants", nullptr}},
       "invalid type: null, expected a map"},
      {"not a record", Json("text"),
       R"(invalid type: string "text", expected struct PromptDefinition)"},
      {"missing body", Json{{"name", "n"}, {"role", "user"}}, "missing field `body`"},
      {"missing all", Json::object(), "missing field `body`"},
      {"missing role", Json{{"body", "b"}, {"name", "n"}}, "missing field `role`"},
      {"capitalised key before missing body", Json{{"Body", "b"}, {"name", "n"}},
       "unknown field `Body`, expected " + all_keys},
      {"unknown key sorting before a bad body", definition_with(R"({"body": 5, "aaa": 1})"),
       "unknown field `aaa`, expected " + all_keys},
      {"bad body before an unknown key sorting after it",
       definition_with(R"({"body": 5, "zzz": 1})"), "invalid type: integer `5`, expected a string"},
      {"variable without trusted", with_variable(R"({"type": "string"})"),
       "missing field `trusted`"},
      {"variable without trusted and type", with_variable(R"({})"), "missing field `trusted`"},
      {"variable without type", with_variable(R"({"trusted": true})"), "missing field `type`"},
      {"trusted as text", with_variable(R"({"trusted": "true", "type": "string"})"),
       R"(invalid type: string "true", expected a boolean)"},
      {"validation_required as number",
       with_variable(R"({"trusted": true, "type": "string", "validation_required": 1})"),
       "invalid type: integer `1`, expected a boolean"},
      {"description as number", with_variable(R"({"description": 2, "trusted": true,
       "type": "string"})"),
       "invalid type: integer `2`, expected a string"},
      {"variable as a number", with_variable("3"),
       "invalid type: integer `3`, expected struct PromptVariable"},
      {"variable array too long", with_variable(R"(["d", true, "string", false, 1])"),
       "invalid length 5, expected fewer elements in array"},
      {"variable array without type", with_variable(R"([null, true])"),
       "invalid length 2, expected struct PromptVariable with 4 elements"},
      {"variant with a name", definition_with(R"({"variants": {"s": {"body": "b", "name": "x"}}})"),
       "unknown field `name`, expected `body` or `metadata`"},
      {"variant as empty array", definition_with(R"({"variants": {"s": []}})"),
       "invalid length 0, expected struct PromptVariant with 2 elements"},
      {"definition array too short", Json::array({"b", Json::object(), "n"}),
       "invalid length 4, expected struct PromptDefinition with 7 elements"},
      {"type capitalised", with_variable(R"({"trusted": true, "type": "String"})"), untagged},
      {"type bare null word", with_variable(R"({"trusted": true, "type": "null"})"), untagged},
      {"type number", with_variable(R"({"trusted": true, "type": 5})"), untagged},
      {"type null", with_variable(R"({"trusted": true, "type": null})"), untagged},
      {"type object", with_variable(R"({"trusted": true, "type": {"a": 1}})"), untagged},
      {"type word with payload", with_variable(R"({"trusted": true, "type": {"string": 1}})"),
       untagged},
      {"type word with empty object payload",
       with_variable(R"({"trusted": true, "type": {"string": {}}})"), untagged},
      {"type item with empty object payload",
       with_variable(R"({"trusted": true, "type": [{"null": {}}]})"), untagged},
      {"type list with unknown word",
       with_variable(R"({"trusted": true, "type": ["string", "date"]})"), untagged},
      {"type list nested", with_variable(R"({"trusted": true, "type": [["string"]]})"), untagged},
  };
  for (const auto& c : cases) {
    auto read = read_definition_from_json(c.value);
    ASSERT_FALSE(read.ok()) << c.label;
    EXPECT_EQ(read.error().display(), c.message) << c.label;
  }
}

TEST(JsonValueReader, AcceptedShapes) {
  auto read = read_definition_from_json(Json::parse(R"({
    "body": "Hello {{ city }}", "name": " ", "output_model": null,
    "role": {"assistant": null},
    "metadata": {"b": [1, -2, 2.5, null, true], "a": {"z": "x"}},
    "variables": {
      "city": {"description": null, "trusted": false, "type": "string"},
      "any": {"trusted": true, "type": ["string", "string", "null"], "validation_required": true},
      "none": {"trusted": true, "type": []},
      "wrapped": {"trusted": true, "type": {"integer": null}},
      "wrapped_items": {"trusted": true, "type": [{"null": null}, "object"]},
      "positional": ["d", true, "number"]
    },
    "variants": {"short": ["Short"], "long": {"body": "Long", "metadata": {}}}
  })"));
  ASSERT_TRUE(read.ok()) << read.error().display();
  const PromptDefinition& d = *read;
  EXPECT_EQ(d.name.str(), " ");
  EXPECT_EQ(d.role, PromptDefinitionRole::Assistant);
  EXPECT_FALSE(d.output_model.has_value());
  EXPECT_EQ(Json(d.metadata), Json::parse(R"({"a": {"z": "x"}, "b": [1, -2, 2.5, null, true]})"));
  using Item = PromptVariableTypeArrayItem;
  const auto& v = d.variables;
  EXPECT_EQ(v.at("city"),
            (PromptVariable{std::nullopt, false, PromptVariableTypeString::String, false}));
  EXPECT_EQ(v.at("any").type,
            PromptVariableType(std::vector<Item>{Item::String, Item::String, Item::Null}));
  EXPECT_TRUE(v.at("any").validation_required);
  EXPECT_EQ(v.at("none").type, PromptVariableType(std::vector<Item>{}));
  EXPECT_EQ(v.at("wrapped").type, PromptVariableType(PromptVariableTypeString::Integer));
  EXPECT_EQ(v.at("wrapped_items").type,
            PromptVariableType(std::vector<Item>{Item::Null, Item::Object}));
  EXPECT_EQ(v.at("positional"),
            (PromptVariable{"d", true, PromptVariableTypeString::Number, false}));
  EXPECT_EQ(d.variants.at("short"), (PromptVariant{"Short", {}}));
  EXPECT_EQ(d.variants.at("long"), (PromptVariant{"Long", {}}));
}

TEST(JsonValueReader, PositionalDefinition) {
  auto read = read_definition_from_json(
      Json::array({"hi", Json::object(), "n", nullptr, "user", Json::object(), Json::object()}));
  ASSERT_TRUE(read.ok()) << read.error().display();
  EXPECT_EQ(read->body, "hi");
  EXPECT_EQ(read->role, PromptDefinitionRole::User);
  auto too_long = read_definition_from_json(
      Json::array({"hi", Json::object(), "n", nullptr, "user", Json::object(), Json::object(), 1}));
  ASSERT_FALSE(too_long.ok());
  EXPECT_EQ(too_long.error().display(), "invalid length 8, expected fewer elements in array");
}

TEST(JsonValueReader, SeparateFieldReaders) {
  auto name = read_name_from_json("greet");
  ASSERT_TRUE(name.ok());
  EXPECT_EQ(name->str(), "greet");
  EXPECT_EQ(read_name_from_json("").error().display(), "shorter than 1 characters");
  EXPECT_EQ(read_name_from_json(7).error().display(),
            "invalid type: integer `7`, expected a string");

  EXPECT_EQ(*read_role_from_json("system"), PromptDefinitionRole::System);
  EXPECT_EQ(*read_role_from_json(Json::parse(R"({"user": null})")), PromptDefinitionRole::User);
  EXPECT_EQ(read_role_from_json(nullptr).error().display(),
            "invalid type: null, expected string or map");
  EXPECT_EQ(read_role_from_json(Json::array()).error().display(),
            "invalid type: sequence, expected string or map");

  auto variables = read_variables_from_json(
      Json::parse(R"({"": {"trusted": true, "type": "array"}, "b": [null, false, "object"]})"));
  ASSERT_TRUE(variables.ok()) << variables.error().display();
  EXPECT_EQ(variables->size(), 2u);
  EXPECT_TRUE(variables->at("").trusted);
  EXPECT_EQ(read_variables_from_json(nullptr).error().display(),
            "invalid type: null, expected a map");
  EXPECT_EQ(read_variables_from_json(Json::parse(R"({"a": {"trusted": true, "type": "string"},
            "b": {"type": "string"}})"))
                .error()
                .display(),
            "missing field `trusted`");

  auto variants = read_variants_from_json(Json::parse(R"({"s": {"body": "x"}})"));
  ASSERT_TRUE(variants.ok());
  EXPECT_EQ(variants->at("s").body, "x");
  EXPECT_EQ(read_variants_from_json(Json::array()).error().display(),
            "invalid type: sequence, expected a map");
}

TEST(JsonValueReader, DeeplyNestedTypeFailsWithoutCrashing) {
  Json nested = "string";
  for (int i = 0; i < 100000; ++i) nested = Json::array({std::move(nested)});
  Json definition = definition_with("{}");
  definition["variables"]["v"] = {{"trusted", true}, {"type", std::move(nested)}};
  auto read = read_definition_from_json(std::move(definition));
  ASSERT_FALSE(read.ok());
  EXPECT_EQ(read.error().display(),
            "data did not match any variant of untagged enum PromptVariableType");
}

TEST(JsonValueReader, WrittenDefinitionReadsBackEqual) {
  auto read = read_definition_from_json(Json::parse(R"({
    "body": "b", "name": "n", "role": "assistant", "output_model": "M",
    "metadata": {"k": [1, {"x": null}]},
    "variables": {"z": {"trusted": false, "type": []}, "a": {"description": "d",
                  "trusted": true, "type": ["null", "boolean"]}},
    "variants": {"v": {"body": "vb", "metadata": {"m": 1}}}
  })"));
  ASSERT_TRUE(read.ok()) << read.error().display();
  Json written = to_json(*read);
  auto again = read_definition_from_json(written);
  ASSERT_TRUE(again.ok()) << again.error().display();
  EXPECT_EQ(*again, *read);
}

}  // namespace
}  // namespace velloquin::core
