#include "jinja/runtime/environment.h"

#include <utility>

#include "base/try.h"
#include "jinja/runtime/template.h"

namespace velloquin::jinja {

Environment::Environment() {
  register_builtin_filters(filters_);
  register_builtin_tests(tests_);
  register_builtin_globals(globals_);
}

Environment::~Environment() = default;

void Environment::add_filter(std::string name,
                             std::function<Result<Value, Error>(const Value&)> filter) {
  filters_.add(std::move(name), [filter = std::move(filter)](State&, const Args& args) {
    if (args.positional.size() > 1 || args.has_kwargs) {
      return ValueResult(err(Error(ErrorKind::TooManyArguments)));
    }
    if (args.positional.empty()) return ValueResult(err(Error(ErrorKind::MissingArgument)));
    return filter(args.positional[0]);
  });
}

Result<void, Error> Environment::add_template(std::string name, std::string source) {
  VQ_TRY(auto compiled, Template::compile(*this, name, std::move(source)));
  for (auto& existing : templates_) {
    if (existing->name() == name) {
      existing = std::move(compiled);
      return {};
    }
  }
  templates_.push_back(std::move(compiled));
  return {};
}

Result<const Template*, Error> Environment::get_template(std::string_view name) const {
  for (const auto& t : templates_) {
    if (t->name() == name) return static_cast<const Template*>(t.get());
  }
  std::string detail = "template ";
  detail += '"';
  detail += name;
  detail += "\" does not exist";
  return err(Error(ErrorKind::TemplateNotFound, std::move(detail)));
}

}  // namespace velloquin::jinja
