// The class of a Python object whose whole state is one C++ value (cpp_object.h): its slots and
// spec in one place, and the getter of a text member.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <string>

#include "python/support/cpp_object.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_text.h"

namespace velloquin::python {

// What a class of CppObject<T> is made of; the parts left null are not set.
struct CppClassParts {
  const char* name;
  const char* doc;
  PyGetSetDef* getset = nullptr;
  PyMethodDef* methods = nullptr;
  reprfunc repr = nullptr;
  lenfunc length = nullptr;
  // Without a constructor, calling the class is a TypeError.
  newfunc construct = nullptr;
};

// The class, made on first use and kept in `cell`. No BASETYPE: never subclassable.
template <class T>
PyTypeObject* cpp_class(OnceCell& cell, const CppClassParts& parts) {
  return reinterpret_cast<PyTypeObject*>(cell.get([&] {
    std::array<PyType_Slot, 8> slots{};  // the unused rest ends the list
    std::size_t count = 0;
    auto add = [&](int slot, void* value) {
      if (value != nullptr) slots[count++] = {slot, value};
    };
    add(Py_tp_doc, const_cast<char*>(parts.doc));
    add(Py_tp_new, reinterpret_cast<void*>(parts.construct));
    add(Py_tp_getset, parts.getset);
    add(Py_tp_methods, parts.methods);
    add(Py_sq_length, reinterpret_cast<void*>(parts.length));
    add(Py_tp_repr, reinterpret_cast<void*>(parts.repr));
    add(Py_tp_dealloc, reinterpret_cast<void*>(dealloc_cpp_object<T>));
    unsigned int flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE;
    if (parts.construct == nullptr) flags |= Py_TPFLAGS_DISALLOW_INSTANTIATION;
    PyType_Spec spec = {parts.name, static_cast<int>(sizeof(CppObject<T>)), 0, flags, slots.data()};
    return PyType_FromSpec(&spec);
  }));
}

// A getter of one text member of the held value.
template <class T, std::string T::*member>
PyObject* get_text_member(PyObject* self, void*) {
  return guard_entry<PyObject*>(nullptr,
                                [&] { return text_object(value_of<T>(self).*member).release(); });
}

}  // namespace velloquin::python
