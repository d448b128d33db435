// One entry of a Composition: a prompt with its validated, converted values.
#pragma once

#include <Python.h>

#include <optional>
#include <string>

#include "base/result.h"
#include "python/convert/kernel_value.h"
#include "python/support/pending_error.h"
#include "python/support/py_ref.h"

namespace velloquin::python {

struct CompositionEntry {
  std::optional<std::string> variant;  // absent: the root body
  KernelValue value;
  OwnedRef prompt;  // a Prompt object, kept alive by the entry
};

// Validates `vars` as a model instance (its own class, from its JSON-mode dump; the prompt's
// bound validators are not consulted) and converts the validated data, so that an entry always
// holds a ready value. The variant is not looked up here: an unknown name shows at resolve().
// Fails with the exception to raise: PromptValidationError, LoadError for data that cannot be
// converted, or whatever the model raised.
Result<CompositionEntry, PendingError> make_entry(PyObject* prompt, PyObject* vars,
                                                  std::optional<std::string> variant);

}  // namespace velloquin::python
