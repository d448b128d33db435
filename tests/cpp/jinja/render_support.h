// Renders a template in a fresh environment and reports the output or the error's display text.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"

namespace velloquin::jinja::testing {

struct Outcome {
  bool ok = false;
  std::string text;  // the output, or the error's display text

  bool operator==(const Outcome&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << (o.ok ? "output " : "error ") << '"' << o.text << '"';
  }
};

inline Outcome output(std::string text) {
  return {true, std::move(text)};
}
inline Outcome error(std::string text) {
  return {false, std::move(text)};
}

// One-argument filters the language tests use in place of builtins.
inline void add_test_filters(Environment& env) {
  env.add_filter("shout", [](const Value& v) -> Result<Value, Error> {
    std::string s = v.to_display_string();
    for (char& c : s) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return Value(std::move(s));
  });
  env.add_filter("brackets", [](const Value& v) -> Result<Value, Error> {
    return Value("[" + v.to_display_string() + "]");
  });
}

// Renders `source` as template "t" with the JSON `context`.
inline Outcome render(const std::string& source, const std::string& context = "{}",
                      UndefinedBehavior behavior = UndefinedBehavior::Strict,
                      const std::string& name = "t") {
  Environment env;
  env.set_undefined_behavior(behavior);
  add_test_filters(env);
  auto added = env.add_template(name, source);
  if (!added.ok()) return error(added.error().display());
  auto tmpl = env.get_template(name);
  if (!tmpl.ok()) return error(tmpl.error().display());
  auto rendered = (*tmpl)->render(Value::from_json(nlohmann::json::parse(context)));
  if (!rendered.ok()) return error(rendered.error().display());
  return output(*rendered);
}

struct Case {
  std::string source;
  std::string context;
  Outcome expected;
};

inline std::ostream& operator<<(std::ostream& os, const Case& c) {
  return os << "template \"" << c.source << "\" with " << c.context;
}

// Renders every case under one behaviour and template name; a failure names its case.
inline void expect_all(const std::vector<Case>& cases,
                       UndefinedBehavior behavior = UndefinedBehavior::Strict,
                       const std::string& name = "t") {
  for (const auto& c : cases) {
    EXPECT_EQ(render(c.source, c.context, behavior, name), c.expected) << c;
  }
}

// A case rendered with an empty context, each under its own behaviour.
struct SourceCase {
  std::string source;
  Outcome expected;
  UndefinedBehavior behavior = UndefinedBehavior::Strict;
};

inline std::ostream& operator<<(std::ostream& os, const SourceCase& c) {
  return os << "template \"" << c.source << '"';
}

inline void expect_each(const std::vector<SourceCase>& cases) {
  for (const auto& c : cases) EXPECT_EQ(render(c.source, "{}", c.behavior), c.expected) << c;
}

}  // namespace velloquin::jinja::testing
