// Validated Python data on its way to the template engine.
#pragma once

#include <Python.h>

#include <nlohmann/json.hpp>

#include "base/result.h"
#include "library/error.h"

namespace velloquin::python {

// The value a render receives for its template's variables. Carried as the JSON tree (objects
// with their keys in ascending byte order) until it is handed to the engine.
using KernelValue = nlohmann::json;

// Python data (the JSON-mode dump of a validated model) to the kernel's value. A value that
// cannot be converted is ConsumerError::Load "could not marshal Python value: {}" with the
// conversion's own text. Leaves no Python error set.
Result<KernelValue, ConsumerError> to_kernel_value(PyObject* object);

}  // namespace velloquin::python
