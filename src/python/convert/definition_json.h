// The constructor's two ways in: a Pydantic model instance or plain Python data, both turned
// into JSON definition text for the library's JSON loader.
#pragma once

#include <Python.h>

#include <string>

#include "base/result.h"
#include "library/error.h"

namespace velloquin::python {

// A shape with a callable `model_dump_json` gives that call's text (with exclude_none=True);
// anything else is converted as plain data and written as compact JSON with sorted keys. Every
// failure is ConsumerError::Load with the message the caller sees after the load prefix. Leaves
// no Python error set.
Result<std::string, ConsumerError> definition_to_json(PyObject* shape);

}  // namespace velloquin::python
