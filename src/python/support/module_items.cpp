#include "python/support/module_items.h"

#include <string>

#include "python/errors/error_text.h"
#include "python/support/internal_fault.h"
#include "python/support/py_ref.h"

namespace velloquin::python {
namespace {

// The module's __all__ (a new reference), created as an empty list when the module has none.
OwnedRef all_list(PyObject* module) {
  OwnedRef all = OwnedRef::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return {};
    PyErr_Clear();
    all = OwnedRef::steal(PyList_New(0));
    if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return {};
    return all;
  }
  if (!PyList_Check(all.get())) {
    PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to 'list'",
                 type_name(all.get()).c_str());
    return {};
  }
  return all;
}

}  // namespace

int add_item(PyObject* module, PyObject* object) {
  OwnedRef name = OwnedRef::steal(PyObject_GetAttrString(object, "__name__"));
  if (!name) return -1;
  OwnedRef all = all_list(module);
  if (!all) return -1;
  if (PyList_Append(all.get(), name.get()) < 0) {
    raise_internal_fault("could not append __name__ to __all__: " + take_exception_text());
    return -1;
  }
  return PyObject_SetAttr(module, name.get(), object);
}

int add_function(PyObject* module, PyMethodDef* definition) {
  OwnedRef module_name = OwnedRef::steal(PyModule_GetNameObject(module));
  if (!module_name) return -1;
  OwnedRef function = OwnedRef::steal(PyCFunction_NewEx(definition, module, module_name.get()));
  if (!function) return -1;
  return add_item(module, function.get());
}

}  // namespace velloquin::python
