// Text forms of Python exceptions and type names for messages built in C++.
#pragma once

#include <Python.h>

#include <string>

namespace velloquin::python {

// "QualifiedClassName: str(exception)", with "<exception str() failed>" after the colon when
// str() itself raises. Never leaves a Python error set.
std::string exception_text(PyObject* exception);

// Takes the current Python exception (one must be set), clears it and returns its text.
std::string take_exception_text();

// The qualified name of the object's type, or "unknown" when it cannot be read.
std::string type_qualname(PyObject* object);

// The __name__ of the object's type, or "unknown" when it cannot be read.
std::string type_name(PyObject* object);

}  // namespace velloquin::python
