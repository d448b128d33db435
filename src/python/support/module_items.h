// Adding a public item to the module: its attribute and its entry in __all__.
#pragma once

#include <Python.h>

namespace velloquin::python {

// Appends the object's __name__ to the module's __all__ (made an empty list when missing) and
// sets the module attribute of that name to the object. Returns 0, or -1 with a Python error
// set: an __all__ that is not a list is a TypeError, a failed append an internal fault.
int add_item(PyObject* module, PyObject* object);

// add_item for a function of the module: a built-in function bound to the module.
int add_function(PyObject* module, PyMethodDef* definition);

}  // namespace velloquin::python
