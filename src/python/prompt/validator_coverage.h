// Ties the variables marked `validation_required` to the validators class bound to a prompt.
#pragma once

#include <Python.h>

#include "base/result.h"
#include "definition/prompt_definition.h"
#include "python/support/pending_error.h"

namespace velloquin::python {

// Every `validation_required` variable of `definition` must be a name in the `model_fields` of
// `validators` (nullptr: none bound). Only names are compared. Without such variables the
// validators are not looked at. Fails with a PromptValidationError of one row, ready to raise.
Result<void, PendingError> check_validator_coverage(const core::PromptDefinition& definition,
                                                    PyObject* validators);

}  // namespace velloquin::python
