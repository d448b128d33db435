#include "library/prompt.h"

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "library/definitions.h"

namespace velloquin::prompt {
namespace {

using testing::definition_from;

ConsumerError render_row(std::string field, std::string code, std::string message) {
  return ConsumerError::Render{{FieldError{std::move(field), std::move(code), std::move(message)}}};
}

ConsumerError undeclared(const std::string& root, const std::string& arm) {
  return render_row(root, "undefined_variable",
                    "template references undeclared variable `" + root + "` (variant `" + arm +
                        "`); add it to the prompt's `variables`");
}

const ConsumerError kReserved = render_row(
    "variant", "undefined_variable",
    "variant `default` uses the reserved name for the root body; rename it or move its body to "
    "the root");

// A definition named "p" for the user, with the given body, variables and variants (JSON texts).
std::string doc(std::string_view body, std::string_view variables = "{}",
                std::string_view variants = "{}") {
  nlohmann::json out = {{"body", body}, {"name", "p"}, {"role", "user"}};
  out["variables"] = nlohmann::json::parse(variables);
  out["variants"] = nlohmann::json::parse(variants);
  return out.dump();
}

constexpr std::string_view kWho = R"({"who": {"trusted": true, "type": "string"}})";

TEST(PromptCreate, ReservedVariantNameIsCheckedBeforeAnyTemplate) {
  // The templates would fail too (an unclosed expression, an undeclared root), but the reserved
  // name is reported first.
  for (std::string body : {"fine", "{{", "{{ nobody }}"}) {
    auto prompt = Prompt::create(definition_from(doc(body, "{}", R"({"default": {"body": "x"}})")));
    ASSERT_FALSE(prompt.ok()) << body;
    EXPECT_EQ(prompt.error(), kReserved) << body;
  }
  for (std::string_view near : {"Default", "default ", " default"}) {
    nlohmann::json variants = {{near, {{"body", "x"}}}};
    EXPECT_TRUE(Prompt::create(definition_from(doc("", "{}", variants.dump()))).ok()) << near;
  }
}

TEST(PromptCreate, TemplateFailuresTable) {
  struct Case {
    const char* what;
    std::string json;
    std::optional<ConsumerError> expected;  // absent: constructs
  };
  const Case cases[] = {
      {"undeclared root in the body", doc("Hello {{ who }}"), undeclared("who", "default")},
      {"undeclared root in a variant, labelled with its key",
       doc("", "{}", R"({"greet": {"body": "Hello {{ who }}"}})"), undeclared("who", "greet")},
      {"the first undeclared root in byte order", doc("{{ b }}{{ a }}{{ B }}"),
       undeclared("B", "default")},
      {"declared roots pass, unused declarations too",
       doc("Hi {{ who }}", R"({"who": {"trusted": true, "type": "string"},
                              "spare": {"trusted": false, "type": "string"}})"),
       std::nullopt},
      {"engine globals need no declaration", doc("{{ range(3) | join(',') }}{{ namespace() }}"),
       std::nullopt},
      {"names assigned by the template are not roots",
       doc("{% for i in who %}{{ i }}{{ loop.index }}{% endfor %}{% set y = 1 %}{{ y }}", kWho),
       std::nullopt},
      {"an excluded statement", doc("{% include 'x' %}"),
       render_row("template", "excluded_feature", "template uses an excluded feature")},
      {"a parse failure carries no detail", doc("{{"),
       render_row("template", "parse", "template parse error")},
      {"the root is examined before the variants",
       doc("{{", "{}", R"({"a": {"body": "{% include 'x' %}"}})"),
       render_row("template", "parse", "template parse error")},
      {"variants are examined in key order",
       doc("", "{}", R"({"b": {"body": "{{ zed }}"}, "a": {"body": "{{ yon }}"}})"),
       undeclared("yon", "a")},
      {"a filter the analysis environment lacks still constructs",
       doc("{{ who | vq_guard_wrap }}", kWho), std::nullopt},
  };
  for (const Case& c : cases) {
    auto prompt = Prompt::create(definition_from(c.json));
    if (!c.expected) {
      EXPECT_TRUE(prompt.ok()) << c.what;
      continue;
    }
    ASSERT_FALSE(prompt.ok()) << c.what;
    EXPECT_EQ(prompt.error(), *c.expected) << c.what;
  }
}

TEST(PromptCreate, KeepsTheDefinitionUnchanged) {
  const core::PromptDefinition definition =
      definition_from(doc("Hi\n", R"({"z": {"trusted": true, "type": ["null", "string", "null"]}})",
                          R"({"v": {"body": "x", "metadata": {"b": 1, "a": [2]}}})"));
  auto prompt = Prompt::create(definition);
  ASSERT_TRUE(prompt.ok());
  EXPECT_EQ(prompt->definition(), definition);
}

// Shape and syntax errors are Load with the reader's own text; template errors are Render.
TEST(PromptLoaders, ReaderErrorsAreLoadAndTemplateErrorsRender) {
  struct Case {
    const char* what;
    Result<Prompt, ConsumerError> (*load)(std::string_view);
    std::string text;
    std::optional<std::string> load_message;  // absent: a Render error is expected
  };
  const std::string valid_json = doc("hi");
  const Case cases[] = {
      {"json missing field", Prompt::from_json, "{}", "missing field `body` at line 1 column 2"},
      {"json trailing text", Prompt::from_json, valid_json + " x",
       "trailing characters at line 1 column " + std::to_string(valid_json.size() + 2)},
      {"json unknown role", Prompt::from_json, R"({"body": "", "name": "p", "role": "boss"})",
       std::nullopt},
      {"yaml second document", Prompt::from_yaml, "body: hi\nname: p\nrole: user\n---\nbody: x\n",
       "deserializing from YAML containing more than one document is not supported"},
      {"yaml unknown key", Prompt::from_yaml, "body: hi\nname: p\nrole: user\nextra: 1\n",
       std::nullopt},
      {"toml syntax", Prompt::from_toml, "body = \n", std::nullopt},
      {"toml empty name", Prompt::from_toml, "body = ''\nname = ''\nrole = 'user'\n", std::nullopt},
  };
  for (const Case& c : cases) {
    auto prompt = c.load(c.text);
    ASSERT_FALSE(prompt.ok()) << c.what;
    const ConsumerError::Payload& payload = prompt.error().payload();
    ASSERT_TRUE(std::holds_alternative<ConsumerError::Load>(payload)) << c.what;
    const std::string& message = std::get<ConsumerError::Load>(payload).message;
    EXPECT_FALSE(message.empty()) << c.what;
    if (c.load_message) {
      EXPECT_EQ(message, *c.load_message) << c.what;
    }
  }
}

// Every way a document can be malformed is Load, whichever loader reads it; every way a
// well-formed document's templates can be wrong is Render. JSON text is YAML too.
TEST(PromptLoaders, ShapeErrorsAreAlwaysLoadAndTemplateErrorsAlwaysRender) {
  using nlohmann::json;
  const json valid = json::parse(R"({
    "body": "{{ who }}", "name": "p", "role": "user", "metadata": {"k": 1},
    "variables": {"who": {"trusted": true, "type": "string"}},
    "variants": {"v": {"body": "V {{ who }}"}}})");
  using Edit = void (*)(json&);
  const Edit shape_errors[] = {
      [](json& d) { d.erase("body"); },
      [](json& d) { d.erase("name"); },
      [](json& d) { d.erase("role"); },
      [](json& d) { d["extra"] = 1; },
      [](json& d) { d["name"] = ""; },
      [](json& d) { d["role"] = "boss"; },
      [](json& d) { d["body"] = json::array({"x"}); },
      [](json& d) { d["metadata"] = json::array({1}); },
      [](json& d) { d["output_model"] = json::object(); },
      [](json& d) { d["variables"]["who"].erase("trusted"); },
      [](json& d) { d["variables"]["who"]["type"] = "null"; },
      [](json& d) { d["variables"]["who"]["type"] = json::array({"text"}); },
      [](json& d) { d["variables"]["who"]["extra"] = true; },
      [](json& d) { d["variables"] = json::array(); },
      [](json& d) { d["variants"]["v"].erase("body"); },
      [](json& d) { d["variants"]["v"]["body"] = json::object(); },
      [](json& d) { d["variants"]["v"]["extra"] = 1; },
  };
  const char* bad_templates[] = {"{{",
                                 "{% if who %}",
                                 "{% include 'x' %}",
                                 "{% macro m() %}{% endmacro %}",
                                 "{{ undeclared }}",
                                 "{% call x() %}{% endcall %}"};
  auto kind_of = [](const Result<Prompt, ConsumerError>& result) -> std::string {
    if (result.ok()) return "ok";
    return std::holds_alternative<ConsumerError::Load>(result.error().payload())     ? "load"
           : std::holds_alternative<ConsumerError::Render>(result.error().payload()) ? "render"
                                                                                     : "validation";
  };
  for (auto load : {Prompt::from_json, Prompt::from_yaml}) {
    ASSERT_EQ(kind_of(load(valid.dump())), "ok");
    for (std::size_t i = 0; i < std::size(shape_errors); ++i) {
      json doc = valid;
      shape_errors[i](doc);
      EXPECT_EQ(kind_of(load(doc.dump())), "load") << doc.dump();
    }
    for (const char* bad : bad_templates) {
      json in_body = valid, in_variant = valid;
      in_body["body"] = bad;
      in_variant["variants"]["v"]["body"] = bad;
      EXPECT_EQ(kind_of(load(in_body.dump())), "render") << in_body.dump();
      EXPECT_EQ(kind_of(load(in_variant.dump())), "render") << in_variant.dump();
    }
  }
}

// One text for one loader, and a check that each loader refuses its text with one error.
struct LoadCase {
  Result<Prompt, ConsumerError> (*load)(std::string_view);
  std::string text;
};

void expect_load_fails(std::span<const LoadCase> cases, const ConsumerError& expected) {
  for (const auto& c : cases) {
    auto prompt = c.load(c.text);
    ASSERT_FALSE(prompt.ok()) << c.text;
    EXPECT_EQ(prompt.error(), expected) << c.text;
  }
}

TEST(PromptLoaders, ConstructionFailuresPassThroughAsRender) {
  const LoadCase cases[] = {
      {Prompt::from_json, doc("", "{}", R"({"default": {"body": ""}})")},
      {Prompt::from_yaml, "body: ''\nname: p\nrole: user\nvariants:\n  default: {body: x}\n"},
      {Prompt::from_toml, "body = ''\nname = 'p'\nrole = 'user'\n[variants.default]\nbody = 'x'\n"},
  };
  expect_load_fails(cases, kReserved);
}

TEST(PromptLoaders, TemplateErrorsInWellFormedTextAreRender) {
  const ConsumerError parse = render_row("template", "parse", "template parse error");
  const LoadCase cases[] = {
      {Prompt::from_json, doc("{{")},
      {Prompt::from_yaml, "body: '{{'\nname: p\nrole: user\n"},
      {Prompt::from_toml, "body = '{{'\nname = 'p'\nrole = 'user'\n"},
  };
  expect_load_fails(cases, parse);
}

TEST(PromptLoaders, TheThreeFormatsReadTheSameDefinition) {
  auto json = Prompt::from_json(doc("Hi {{ who }}\n", kWho, R"({"v": {"body": "Yo"}})"));
  auto yaml = Prompt::from_yaml(
      "body: \"Hi {{ who }}\\n\"\nname: p\nrole: user\nvariables:\n  who: {trusted: true, type: "
      "string}\nvariants:\n  v: {body: Yo}\n");
  auto toml = Prompt::from_toml(
      "body = \"Hi {{ who }}\\n\"\nname = 'p'\nrole = 'user'\n[variables.who]\ntrusted = true\n"
      "type = 'string'\n[variants.v]\nbody = 'Yo'\n");
  ASSERT_TRUE(json.ok() && yaml.ok() && toml.ok());
  EXPECT_EQ(json->definition(), yaml->definition());
  EXPECT_EQ(json->definition(), toml->definition());
}

TEST(PromptGetSource, ReturnsTheStoredSourceOrTheUnknownVariantRow) {
  auto prompt = Prompt::from_json(
      doc("Hi {{ who }}\n", kWho, R"({"Default": {"body": "cap\r\n"}, "": {"body": "empty"}})"));
  ASSERT_TRUE(prompt.ok());
  // Borrowed from the prompt's own definition, not a copy.
  EXPECT_EQ(prompt->get_source(std::nullopt)->data(), prompt->definition().body.data());
  const struct {
    std::optional<std::string_view> variant;
    std::string_view source;
  } found[] = {{std::nullopt, "Hi {{ who }}\n"},
               {"default", "Hi {{ who }}\n"},
               {"Default", "cap\r\n"},
               {"", "empty"}};
  for (const auto& c : found) {
    auto source = prompt->get_source(c.variant);
    ASSERT_TRUE(source.ok()) << c.variant.value_or("(none)");
    EXPECT_EQ(*source, c.source);
  }
  for (std::string_view name : {"default ", "DEFAULT", "missing", "x`y"}) {
    auto source = prompt->get_source(name);
    ASSERT_FALSE(source.ok()) << name;
    EXPECT_EQ(source.error(), render_row("variant", "unknown_variant",
                                         "unknown variant: `" + std::string(name) + "`"));
  }
}

}  // namespace
}  // namespace velloquin::prompt
