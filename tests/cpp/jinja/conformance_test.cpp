// Replays the conformance corpus (tests/jinja_conformance/cases.jsonl): every case renders to its
// recorded output or fails with its recorded error.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"

namespace velloquin::jinja {
namespace {

using nlohmann::json;

std::string corpus_path() {
  return std::string(VELLOQUIN_SOURCE_DIR) + "/tests/jinja_conformance/cases.jsonl";
}

// "" when the case matches, else what went differently.
std::string run_case(const json& c) {
  Environment env;
  env.set_undefined_behavior(UndefinedBehavior::Strict);
  json actual;
  auto added = env.add_template("t", c["template"].get<std::string>());
  if (added.ok()) {
    auto tmpl = env.get_template("t");
    auto rendered = (*tmpl)->render(Value::from_json(c.value("context", json::object())));
    if (rendered.ok()) {
      actual["output"] = *rendered;
    } else {
      const Error& e = rendered.error();
      actual["error"] = {{"kind", std::string(describe(e.kind()))}};
      if (e.detail()) actual["error"]["detail"] = *e.detail();
      if (e.line() != 0) actual["error"]["line"] = e.line();
    }
  } else {
    const Error& e = added.error();
    actual["error"] = {{"kind", std::string(describe(e.kind()))}};
    if (e.detail()) actual["error"]["detail"] = *e.detail();
    if (e.line() != 0) actual["error"]["line"] = e.line();
  }
  json expected;
  if (c.contains("output")) expected["output"] = c["output"];
  if (c.contains("error")) expected["error"] = c["error"];
  if (actual == expected) return "";
  return "expected " + expected.dump() + "\n     got " + actual.dump();
}

TEST(Conformance, CorpusMatchesReference) {
  std::ifstream in(corpus_path());
  ASSERT_TRUE(in) << "conformance corpus not found at " << corpus_path();
  int passed = 0;
  int failed = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const json c = json::parse(line);
    const std::string id = c["id"].get<std::string>();
    const std::string difference = run_case(c);
    if (difference.empty()) {
      ++passed;
    } else {
      ++failed;
      ADD_FAILURE() << id << ": " << difference;
    }
  }
  EXPECT_GT(passed, 0) << "the conformance corpus holds no cases";
  std::cout << "conformance: " << passed << " passed, " << failed << " failed\n";
}

}  // namespace
}  // namespace velloquin::jinja
