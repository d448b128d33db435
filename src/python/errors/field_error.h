// The Python class FieldError: a frozen, read-only mirror of one library error row.
#pragma once

#include <Python.h>

#include "library/error.h"

namespace velloquin::python {

// The class (borrowed; it lives for the whole process), created on first use; nullptr with a
// Python error set when it cannot be created.
PyTypeObject* field_error_type();

// A new FieldError object holding `row`; nullptr with a Python error set on failure.
PyObject* new_field_error(velloquin::FieldError row);

}  // namespace velloquin::python
