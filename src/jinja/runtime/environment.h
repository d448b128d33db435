// The engine's entry point: builtin filters, tests and globals, settings, and named templates.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "jinja/error.h"
#include "jinja/runtime/functions.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {

class Template;

// Holds the templates it compiled; they refer back to it, so it must outlive their use.
class Environment {
 public:
  Environment();
  ~Environment();
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  void set_undefined_behavior(UndefinedBehavior behavior) { undefined_ = behavior; }
  UndefinedBehavior undefined_behavior() const { return undefined_; }

  // Registers a filter taking exactly the piped value (further arguments -> "too many
  // arguments"). It shadows a builtin filter of the same name.
  void add_filter(std::string name, std::function<Result<Value, Error>(const Value&)> filter);

  // Compiles the source now; compile errors come back here. A template of the same name is
  // replaced.
  Result<void, Error> add_template(std::string name, std::string source);
  Result<const Template*, Error> get_template(std::string_view name) const;

  // Keys of the globals table, sorted.
  std::vector<std::string> global_names() const { return globals_.names(); }

  const FilterTable& filters() const { return filters_; }
  const TestTable& tests() const { return tests_; }
  const GlobalTable& globals() const { return globals_; }

 private:
  UndefinedBehavior undefined_ = UndefinedBehavior::Lenient;
  FilterTable filters_;
  TestTable tests_;
  GlobalTable globals_;
  std::vector<std::unique_ptr<Template>> templates_;
};

}  // namespace velloquin::jinja
