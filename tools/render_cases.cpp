// Renders differential cases with our engine: reads JSONL cases {"id", "template", "context"} on
// stdin and answers each line with one JSON line, {"id", "output"} or
// {"id", "error": {"kind", "detail", "line"}}, in the shape tests/differential/run_minijinja.py
// writes for minijinja. Every answer is flushed at once, so a supervisor can tell which case a
// crash or a hang belongs to.
#include <exception>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "jinja/error.h"
#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"
#include "jinja/value/value.h"

namespace {

namespace jinja = velloquin::jinja;
using nlohmann::json;

// The template name has no extension, so auto-escaping stays off, as on the minijinja side.
constexpr const char* kTemplateName = "t";

json error_json(const jinja::Error& error) {
  json out = {{"kind", std::string(jinja::describe(error.kind()))}};
  if (error.detail()) out["detail"] = *error.detail();
  // Line 0 means "unknown"; the minijinja side leaves the key out then as well.
  if (error.line() != 0) out["line"] = error.line();
  return out;
}

json harness_error(const std::string& detail) {
  return {{"kind", "harness"}, {"detail", detail}};
}

// A fresh environment per case: nothing one case registers or breaks can leak into the next.
json render(const std::string& source, const json& context) {
  jinja::Environment env;
  env.set_undefined_behavior(jinja::UndefinedBehavior::Strict);
  auto added = env.add_template(kTemplateName, source);
  if (!added.ok()) return {{"error", error_json(added.error())}};
  auto tmpl = env.get_template(kTemplateName);
  if (!tmpl.ok()) return {{"error", error_json(tmpl.error())}};
  auto out = (*tmpl)->render(jinja::Value::from_json(context));
  if (!out.ok()) return {{"error", error_json(out.error())}};
  return {{"output", *out}};
}

json answer(const std::string& line) {
  json request = json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (!request.is_object() || !request.contains("id") || !request.contains("template") ||
      !request["template"].is_string()) {
    return {{"id", nullptr}, {"error", harness_error("malformed case line")}};
  }
  json result;
  try {
    const json context = request.value("context", json::object());
    result = render(request["template"].get<std::string>(), context);
  } catch (const std::exception& e) {
    // The engine reports failures as results; an escaping exception is a finding in itself.
    result = {{"error", {{"kind", "exception"}, {"detail", e.what()}}}};
  }
  result["id"] = request["id"];
  return result;
}

}  // namespace

int main() {
  std::ios::sync_with_stdio(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    // Output may hold bytes that are not UTF-8; replacing them keeps the line valid JSON.
    std::cout << answer(line).dump(-1, ' ', false, json::error_handler_t::replace) << '\n'
              << std::flush;
  }
  return 0;
}
