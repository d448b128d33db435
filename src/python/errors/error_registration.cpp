#include "python/errors/error_registration.h"

#include "python/errors/exceptions.h"
#include "python/errors/field_error.h"
#include "python/errors/make_prompt_load_error.h"
#include "python/support/module_items.h"

namespace velloquin::python {
namespace {

constexpr ExceptionClass kExceptionsInOrder[] = {
    ExceptionClass::VelloquinError,    ExceptionClass::PromptValidationError,
    ExceptionClass::PromptRenderError, ExceptionClass::LoadError,
    ExceptionClass::PromptLoadError,
};

}  // namespace

int register_error_items(PyObject* module) {
  PyTypeObject* field_error = field_error_type();
  if (field_error == nullptr) return -1;
  if (add_item(module, reinterpret_cast<PyObject*>(field_error)) < 0) return -1;
  for (ExceptionClass which : kExceptionsInOrder) {
    PyObject* type = exception_type(which);
    if (type == nullptr || add_item(module, type) < 0) return -1;
  }
  return add_function(module, make_prompt_load_error_definition());
}

}  // namespace velloquin::python
