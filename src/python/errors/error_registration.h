// Registration of the error items: FieldError, the five exceptions, make_prompt_load_error.
#pragma once

#include <Python.h>

namespace velloquin::python {

// Adds, in order, FieldError, VelloquinError, PromptValidationError, PromptRenderError,
// LoadError, PromptLoadError and make_prompt_load_error; stops at the first failure.
// Returns 0, or -1 with a Python error set.
int register_error_items(PyObject* module);

}  // namespace velloquin::python
