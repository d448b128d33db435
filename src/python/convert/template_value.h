// Validated Python data straight into the template engine's value, for a single render.
#pragma once

#include <Python.h>

#include "base/result.h"
#include "jinja/value/value.h"
#include "library/error.h"

namespace velloquin::python {

// The same conversion as to_kernel_value, with the same accepted data and failure texts
// ("could not marshal Python value: {}"), building the engine's value without the JSON tree in
// between. Maps iterate in ascending byte order of their keys. Leaves no Python error set.
Result<jinja::Value, ConsumerError> to_template_value(PyObject* object);

}  // namespace velloquin::python
