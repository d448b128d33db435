// Validation of caller values in Python, by the caller's Pydantic model classes, before any
// templating.
#pragma once

#include <Python.h>

#include <string>

#include "base/result.h"
#include "python/support/pending_error.h"
#include "python/support/py_ref.h"

namespace velloquin::python {

// The validated value as JSON-mode Python data. With `data` (not nullptr), `model` is the
// model class and `data` its payload; without (nullptr: callers map an omitted or None `data`
// to it), `model` is a model instance, validated by its own class from its JSON-mode dump. A
// Pydantic validation error becomes a PromptValidationError with one row per error item; every
// other exception, and every failure of the dumps, is returned unchanged.
Result<OwnedRef, PendingError> validate_in_python(PyObject* model, PyObject* data);

// object.model_dump(mode="json"): its result or its exception, unchanged.
Result<OwnedRef, PendingError> dump_json(PyObject* object);

// str(object) as UTF-8 text; a str without UTF-8 form (lone surrogates) has each invalid byte
// sequence of its surrogate-passing encoding replaced by U+FFFD. The empty text when str()
// raises. Never leaves a Python error set.
std::string part_to_string(PyObject* object);

}  // namespace velloquin::python
