// The module function make_prompt_load_error, for loaders written in Python.
#pragma once

#include <Python.h>

namespace velloquin::python {

// The function's definition, added to the module by the error items' registration.
PyMethodDef* make_prompt_load_error_definition();

}  // namespace velloquin::python
