// Conversions between Python data and JSON value trees.
#pragma once

#include <Python.h>

#include <nlohmann/json.hpp>

#include "base/result.h"
#include "python/convert/marshal_error.h"
#include "python/support/py_ref.h"

namespace velloquin::python {

// Python data to a JSON value: None to null, bool, int (within the signed or unsigned 64-bit
// range; >= 0 is held unsigned, negative signed), float (NaN and infinities become null, as
// JSON has no such numbers), str, list, tuple, set and other sequences to arrays, dict and
// other mappings to objects whose keys must be str. Objects keep their keys in ascending byte
// order whatever the dict's own order. Nothing is raised: a Python exception met on the way
// is cleared and becomes the error's text.
Result<nlohmann::json, MarshalError> to_json(PyObject* object);

// A JSON value to Python data: null to None, booleans to bool, integers to int, other numbers
// to float, strings to str, arrays to list, objects to dict with the keys inserted in the
// object's (sorted) order. An empty reference with a Python error set on failure (a string
// that is not UTF-8, nesting deeper than the recursion limit).
OwnedRef from_json(const nlohmann::json& value);

}  // namespace velloquin::python
