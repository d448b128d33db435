// The Python class RenderResult: the text of one render with its provenance, frozen.
#pragma once

#include <Python.h>

#include "core/render_types.h"

namespace velloquin::python {

// The class (borrowed; it lives for the whole process), created on first use; nullptr with a
// Python error set when it cannot be created.
PyTypeObject* render_result_type();

// A new RenderResult object holding `result`; nullptr with a Python error set on failure.
PyObject* new_render_result(core::RenderResult result);

}  // namespace velloquin::python
