// The entry points of the Prompt class, each in the file named for what it does; the class
// itself (prompt_object.cpp) gathers them into its method table.
#pragma once

#include <Python.h>

namespace velloquin::python {

// prompt_loading.cpp: Prompt(shape, *, validators=None) and the three static loaders.
PyObject* prompt_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);
PyObject* prompt_from_json(PyObject* unused, PyObject* args, PyObject* kwargs);
PyObject* prompt_from_toml(PyObject* unused, PyObject* args, PyObject* kwargs);
PyObject* prompt_from_yaml(PyObject* unused, PyObject* args, PyObject* kwargs);

// prompt_fields.cpp: the getters, get_source and the printed form.
PyObject* prompt_get_name(PyObject* self, void* unused);
PyObject* prompt_get_role(PyObject* self, void* unused);
PyObject* prompt_get_body(PyObject* self, void* unused);
PyObject* prompt_get_variables(PyObject* self, void* unused);
PyObject* prompt_get_variants(PyObject* self, void* unused);
PyObject* prompt_get_output_model(PyObject* self, void* unused);
PyObject* prompt_get_metadata(PyObject* self, void* unused);
PyObject* prompt_get_source(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* prompt_repr(PyObject* self);

// prompt_render.cpp
PyObject* prompt_render(PyObject* self, PyObject* args, PyObject* kwargs);

// prompt_derive.cpp
PyObject* prompt_derive(PyObject* self, PyObject* args, PyObject* kwargs);

// prompt_check.cpp
PyObject* prompt_check(PyObject* self, PyObject* unused);

}  // namespace velloquin::python
