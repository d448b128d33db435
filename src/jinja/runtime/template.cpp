#include "jinja/runtime/template.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "jinja/runtime/environment.h"
#include "jinja/runtime/evaluator.h"
#include "jinja/syntax/analysis.h"
#include "jinja/syntax/lexer.h"
#include "jinja/syntax/parser.h"

namespace velloquin::jinja {

namespace {

// Prompts with loops print several times their source; starting at a few pages saves the
// first reallocations (each copying everything printed so far).
constexpr std::size_t kMinOutputReserve = 4096;

bool ends_with(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

Error named(Error error, const std::string& name) {
  error.set_location(name, error.line());
  return error;
}

}  // namespace

AutoEscape auto_escape_for_name(std::string_view name) {
  for (const std::string_view suffix : {".j2", ".jinja2", ".jinja"}) {
    if (ends_with(name, suffix)) {
      name.remove_suffix(suffix.size());
      break;
    }
  }
  for (const std::string_view suffix : {".html", ".htm", ".xml"}) {
    if (ends_with(name, suffix)) return AutoEscape::Html;
  }
  for (const std::string_view suffix : {".json", ".json5", ".js", ".yaml", ".yml"}) {
    if (ends_with(name, suffix)) return AutoEscape::Json;
  }
  return AutoEscape::None;
}

Template::Template(const Environment& env, std::string name, std::string source)
    : env_(&env),
      name_(std::move(name)),
      source_(std::move(source)),
      escape_(auto_escape_for_name(name_)) {}

Result<std::unique_ptr<Template>, Error> Template::compile(const Environment& env, std::string name,
                                                           std::string source) {
  std::unique_ptr<Template> t(new Template(env, std::move(name), std::move(source)));
  try {
    auto body = parse_template(strip_trailing_newline(t->source_), &env.filters(), &env.tests());
    if (!body.ok()) return err(named(std::move(body).error(), t->name_));
    t->body_ = std::move(body).value();
  } catch (const std::exception& e) {
    // Allocation failure is the only exception the parser can meet.
    return err(named(Error(ErrorKind::InvalidOperation, e.what()), t->name_));
  }
  return t;
}

Result<std::string, Error> Template::render(Value root, Interruption* interruption) const {
  try {
    Evaluator evaluator(*env_, name_, escape_, std::move(root), interruption);
    std::string out;
    out.reserve(std::max<std::size_t>(kMinOutputReserve, source_.size() + source_.size() / 2));
    auto result = evaluator.render(body_, out);
    if (!result.ok()) return err(named(std::move(result).error(), name_));
    return out;
  } catch (const std::exception& e) {
    // Builtins and host callbacks report failures as results; anything thrown (allocation
    // failure included) still must not leave the engine.
    return err(named(Error(ErrorKind::InvalidOperation, e.what()), name_));
  }
}

std::set<std::string> Template::undeclared_variables(bool /*nested*/) const {
  try {
    return undeclared_names(body_);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace velloquin::jinja
