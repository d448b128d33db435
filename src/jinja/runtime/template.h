// One compiled template: its source, its parsed statements, and rendering.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "base/result.h"
#include "jinja/error.h"
#include "jinja/runtime/functions.h"
#include "jinja/runtime/interruption.h"
#include "jinja/syntax/ast.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {

class Environment;

class Template {
 public:
  // Compiles `source` (after removing one trailing newline); errors carry NAME and LINE.
  static Result<std::unique_ptr<Template>, Error> compile(const Environment& env, std::string name,
                                                          std::string source);

  Template(const Template&) = delete;
  Template& operator=(const Template&) = delete;

  const std::string& name() const { return name_; }
  // The escaping mode the name selects, after removing one `.j2`, `.jinja2` or `.jinja`:
  // `.html`, `.htm`, `.xml` HTML; `.json`, `.json5`, `.js`, `.yaml`, `.yml` JSON; else none.
  AutoEscape initial_auto_escape() const { return escape_; }

  // Renders with `root` (normally a map) as the context. Never throws. `interruption`, when
  // given, can stop a long render (Interruption). Any number of threads may render one
  // template at once.
  Result<std::string, Error> render(Value root, Interruption* interruption = nullptr) const;

  // Names the template reads from its context without assigning them first (globals
  // included). Attribute chains are not tracked: both modes report root names.
  std::set<std::string> undeclared_variables(bool nested) const;

 private:
  Template(const Environment& env, std::string name, std::string source);

  const Environment* env_;
  std::string name_;
  std::string source_;  // the tree's names and text point into it
  AutoEscape escape_;
  Body body_;
};

// The escaping mode a template name selects.
AutoEscape auto_escape_for_name(std::string_view name);

}  // namespace velloquin::jinja
