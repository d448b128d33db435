// The Python class GuardConfig: the caller's guard setting, frozen once built.
#pragma once

#include <Python.h>

#include "core/render_types.h"

namespace velloquin::python {

// The class (borrowed; it lives for the whole process), created on first use; nullptr with a
// Python error set when it cannot be created.
PyTypeObject* guard_config_type();

// The setting held by a GuardConfig object; `object` must be one (see extract_instance).
const core::GuardConfig& guard_config_of(PyObject* object);

}  // namespace velloquin::python
