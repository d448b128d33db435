// Python objects whose whole state is one C++ value, built in C++ and destroyed with the object.
#pragma once

#include <Python.h>

#include <memory>
#include <new>
#include <utility>

namespace velloquin::python {

template <class T>
struct CppObject {
  PyObject ob_base;
  T value;
};

// The held value of an object of a type whose basic size is sizeof(CppObject<T>).
template <class T>
T& value_of(PyObject* self) {
  return reinterpret_cast<CppObject<T>*>(self)->value;
}

// A new object of `type` holding `value`; nullptr with a Python error set on failure. The
// value is moved in only once the memory exists, so the object is never half-built.
template <class T>
PyObject* new_cpp_object(PyTypeObject* type, T value) {
  if (type == nullptr) return nullptr;
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* self = alloc(type, 0);
  if (self == nullptr) return nullptr;
  new (&reinterpret_cast<CppObject<T>*>(self)->value) T(std::move(value));
  return self;
}

// The tp_dealloc of such a type (without garbage-collector support): heap types own a
// reference to their type, released last.
template <class T>
void dealloc_cpp_object(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  std::destroy_at(&value_of<T>(self));
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

}  // namespace velloquin::python
