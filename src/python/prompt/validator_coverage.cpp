#include "python/prompt/validator_coverage.h"

#include <string>
#include <utility>
#include <vector>

#include "library/error.h"
#include "python/errors/error_reporting.h"
#include "python/support/py_ref.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

PendingError coverage_failure(std::string field, std::string message) {
  std::vector<FieldError> rows;
  rows.push_back({std::move(field), std::string(error::code::kValidation), std::move(message)});
  return consumer_error_to_pyerr(ConsumerError::Validation{std::move(rows)});
}

std::vector<std::string> required_names(const core::PromptDefinition& definition) {
  std::vector<std::string> names;
  for (const auto& [name, variable] : definition.variables) {
    if (variable.validation_required) names.push_back(name);
  }
  return names;
}

// `name in model_fields`; an error raised by the test counts as not declared.
bool declares(PyObject* model_fields, const std::string& name) {
  OwnedRef key = text_object(name);
  const int found = key ? PySequence_Contains(model_fields, key.get()) : -1;
  if (found < 0) PyErr_Clear();
  return found == 1;
}

}  // namespace

Result<void, PendingError> check_validator_coverage(const core::PromptDefinition& definition,
                                                    PyObject* validators) {
  const std::vector<std::string> names = required_names(definition);
  if (names.empty()) return {};
  if (validators == nullptr) {
    return err(coverage_failure(names.front(), "variable `" + names.front() +
                                                   "` has `validation_required = true` but no "
                                                   "validators were supplied at construction"));
  }
  OwnedRef model_fields = OwnedRef::steal(PyObject_GetAttrString(validators, "model_fields"));
  if (!model_fields) {
    PyErr_Clear();
    return err(coverage_failure(
        "", "validators must be a Pydantic model class (must have `model_fields`)"));
  }
  for (const std::string& name : names) {
    if (!declares(model_fields.get(), name)) {
      return err(coverage_failure(
          name, "variable `" + name +
                    "` has `validation_required = true` but the supplied validators model does "
                    "not declare this field (introspected via `model_fields`)"));
    }
  }
  return {};
}

}  // namespace velloquin::python
