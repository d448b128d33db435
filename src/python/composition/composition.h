// The Python class Composition: an ordered list of prompts with their values, resolved into
// role-tagged messages. The module's one mutable class.
#pragma once

#include <Python.h>

namespace velloquin::python {

// The class (borrowed; it lives for the whole process), created on first use; nullptr with a
// Python error set when it cannot be created.
PyTypeObject* composition_type();

}  // namespace velloquin::python
