// The limits that keep a hostile definition text cheap, seen where callers meet them: each
// loader accepts a text right at its limit, and one step past it gives a load error (or, for
// templates, a construction error), never a crash or a runaway.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "library/prompt.h"

namespace velloquin::prompt {
namespace {

std::string repeat(std::string_view piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

// The last line of a TOML report: its message. The excerpt above it quotes the offending line,
// which here is megabytes long. Other load messages are one line.
std::string last_line(const std::string& report) {
  const std::string text = report.ends_with('\n') ? report.substr(0, report.size() - 1) : report;
  return text.substr(text.rfind('\n') + 1);
}

// "ok", "load: MESSAGE" or "render: CODE: MESSAGE".
std::string outcome(const Result<Prompt, ConsumerError>& loaded) {
  if (loaded) return "ok";
  const auto& payload = loaded.error().payload();
  if (const auto* load = std::get_if<ConsumerError::Load>(&payload))
    return "load: " + last_line(load->message);
  if (const auto* render = std::get_if<ConsumerError::Render>(&payload)) {
    if (render->rows.size() == 1)
      return "render: " + render->rows[0].code + ": " + render->rows[0].message;
  }
  return "unexpected error shape";
}

using Loader = std::function<Result<Prompt, ConsumerError>(std::string_view)>;
const Loader kJson = [](std::string_view text) { return Prompt::from_json(text); };
const Loader kYaml = [](std::string_view text) { return Prompt::from_yaml(text); };
const Loader kToml = [](std::string_view text) { return Prompt::from_toml(text); };

struct Case {
  const char* what;
  const Loader& load;
  std::string text;
  std::string expected;
};

void expect_outcomes(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(outcome(c.load(c.text)), c.expected) << c.what;
}

// A JSON definition whose metadata holds `arrays` nested arrays: with the definition's object and
// the metadata object, arrays + 2 are open at the innermost point.
std::string json_nesting(int arrays) {
  return R"({"body":"b","name":"n","role":"user","metadata":{"a":)" + repeat("[", arrays) +
         repeat("]", arrays) + "}}";
}
constexpr std::string_view kJsonPrefix = R"({"body":"b","name":"n","role":"user","metadata":{"a":)";

// The same for YAML, in flow style on the definition's fourth line.
std::string yaml_nesting(int sequences) {
  return "body: b\nname: n\nrole: user\nmetadata: {a: " + repeat("[", sequences) +
         repeat("]", sequences) + "}\n";
}

// An anchored list of `items` scalars replayed `aliases` times. Each replay costs the list's
// items + 2 events against a budget of 100 per event of the document, which holds 17 + items +
// aliases of them.
std::string yaml_replays(int items, int aliases) {
  std::string text = "body: b\nname: n\nrole: user\nmetadata:\n  a: &a [x" +
                     repeat(", x", items - 1) + "]\n  b: [*a" + repeat(", *a", aliases - 1) + "]\n";
  return text;
}

// A JSON definition with the given body.
std::string with_body(std::string_view body) {
  nlohmann::json doc = {{"body", body}, {"name", "n"}, {"role", "user"}};
  return doc.dump();
}

TEST(LoaderLimits, YamlAliasReplays) {
  // 215 replays of 200 events: 43000 of a budget of 100 * (17 + 198 + 215) = 43000.
  expect_outcomes({
      {"replays exactly at the budget", kYaml, yaml_replays(198, 215), "ok"},
      {"one replay past the budget", kYaml, yaml_replays(198, 216),
       "load: repetition limit exceeded"},
  });
}

TEST(LoaderLimits, TemplateNestingAtConstruction) {
  // Construction reports a parse failure without the engine's detail.
  const std::string too_deep = "render: parse: template parse error";
  expect_outcomes({
      {"149 nested blocks", kJson,
       with_body(repeat("{% if true %}", 149) + "x" + repeat("{% endif %}", 149)), "ok"},
      {"150 nested blocks", kJson,
       with_body(repeat("{% if true %}", 150) + "x" + repeat("{% endif %}", 150)), too_deep},
      {"74 nested brackets", kJson,
       with_body("{{ " + repeat("[", 74) + "1" + repeat("]", 74) + " }}"), "ok"},
      {"75 nested brackets", kJson,
       with_body("{{ " + repeat("[", 75) + "1" + repeat("]", 75) + " }}"), too_deep},
  });
}

TEST(LoaderLimits, NestingOfDefinitionTexts) {
  const std::string json_column = std::to_string(kJsonPrefix.size() + 126);
  expect_outcomes({
      {"JSON: 127 open at once", kJson, json_nesting(125), "ok"},
      {"JSON: 128 open at once", kJson, json_nesting(126),
       "load: recursion limit exceeded at line 1 column " + json_column},
      {"JSON: far beyond, unclosed", kJson, std::string(kJsonPrefix) + std::string(1000000, '['),
       "load: recursion limit exceeded at line 1 column " + json_column},
      {"YAML: 128 open at once", kYaml, yaml_nesting(126), "ok"},
      {"YAML: 129 open at once", kYaml, yaml_nesting(127),
       "load: recursion limit exceeded at line 4 column 141"},
      {"YAML: far beyond, unclosed", kYaml,
       "body: b\nname: n\nrole: user\nmetadata: {a: " + std::string(1000000, '['),
       "load: recursion limit exceeded at line 4 column 141"},
      {"TOML: far beyond in one dotted key", kToml,
       "body = 'b'\nname = 'n'\nrole = 'user'\nmetadata." + repeat("a.", 1000000) + "z = 1\n",
       "load: recursion limit exceeded"},
  });
}

}  // namespace
}  // namespace velloquin::prompt
