// The module's exception hierarchy: VelloquinError and its four direct subclasses.
#pragma once

#include <Python.h>

#include <cstdint>

namespace velloquin::python {

enum class ExceptionClass : std::uint8_t {
  VelloquinError,
  PromptValidationError,
  PromptRenderError,
  LoadError,
  PromptLoadError,
};

// The class (borrowed; it lives for the whole process), created on first use. A class that
// the interpreter cannot create is an internal fault: nullptr is returned with the
// internal-fault exception set.
PyObject* exception_type(ExceptionClass which);

}  // namespace velloquin::python
