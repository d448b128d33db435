// Every way a Python caller obtains a new Prompt: the constructor and the three static loaders.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "python/convert/definition_json.h"
#include "python/errors/error_reporting.h"
#include "python/prompt/prompt_methods.h"
#include "python/prompt/prompt_object.h"
#include "python/prompt/validator_coverage.h"
#include "python/support/arguments.h"
#include "python/support/internal_fault.h"

namespace velloquin::python {
namespace {

using Loader = Result<velloquin::Prompt, ConsumerError> (*)(std::string_view);

// None and omission both mean no validators.
OwnedRef validators_argument(PyObject* value) {
  if (value == nullptr || value == Py_None) return {};
  return OwnedRef::borrow(value);
}

// The last steps every path shares: the coverage check, then the object. A failure leaves
// nothing behind; the library prompt is dropped with the result.
PyObject* finish(Result<velloquin::Prompt, ConsumerError> built, OwnedRef validators) {
  if (!built) return consumer_error_to_pyerr(std::move(built).error()).raise();
  auto covered = check_validator_coverage(built->definition(), validators.get());
  if (!covered) return std::move(covered).error().raise();
  return new_prompt(std::move(built).value(), std::move(validators));
}

constexpr std::array<Parameter, 2> kShapeParameters = {{
    {"shape", /*required=*/true, /*keyword_only=*/false},
    {"validators", /*required=*/false, /*keyword_only=*/true},
}};

PyObject* construct(PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, kShapeParameters.size()> bound{};
  if (!bind_arguments("Prompt", kShapeParameters, args, kwargs, bound)) return nullptr;
  OwnedRef validators = validators_argument(bound[1]);
  auto text = definition_to_json(bound[0]);
  if (!text) return consumer_error_to_pyerr(std::move(text).error()).raise();
  return finish(velloquin::Prompt::from_json(*text), std::move(validators));
}

constexpr std::array<Parameter, 2> kTextParameters = {{
    {"text", /*required=*/true, /*keyword_only=*/false},
    {"validators", /*required=*/false, /*keyword_only=*/true},
}};

PyObject* load(const char* function, Loader loader, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, kTextParameters.size()> bound{};
  if (!bind_arguments(function, kTextParameters, args, kwargs, bound)) return nullptr;
  const std::optional<std::string_view> text = extract_str(function, "text", bound[0]);
  if (!text) return nullptr;
  OwnedRef validators = validators_argument(bound[1]);
  return finish(loader(*text), std::move(validators));
}

}  // namespace

PyObject* prompt_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(nullptr, [&] { return construct(args, kwargs); });
}

PyObject* prompt_from_json(PyObject*, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(
      nullptr, [&] { return load("from_json", velloquin::Prompt::from_json, args, kwargs); });
}

PyObject* prompt_from_toml(PyObject*, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(
      nullptr, [&] { return load("from_toml", velloquin::Prompt::from_toml, args, kwargs); });
}

PyObject* prompt_from_yaml(PyObject*, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(
      nullptr, [&] { return load("from_yaml", velloquin::Prompt::from_yaml, args, kwargs); });
}

}  // namespace velloquin::python
