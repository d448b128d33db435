#include "python/support/arguments.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "python/errors/error_text.h"
#include "python/support/py_ref.h"

namespace velloquin::python {
namespace {

void raise_type_error(const std::string& message) {
  PyErr_SetString(PyExc_TypeError, message.c_str());
}

std::string quoted_list(const std::vector<const char*>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += (i + 1 == names.size()) ? (names.size() > 2 ? ", and " : " and ") : ", ";
    text += '\'';
    text += names[i];
    text += '\'';
  }
  return text;
}

// "f() missing 2 required positional arguments: 'a' and 'b'", as the interpreter words it.
bool report_missing(const char* function, const std::vector<const char*>& names, const char* kind) {
  if (names.empty()) return true;
  raise_type_error(std::string(function) + "() missing " + std::to_string(names.size()) +
                   " required " + kind + " argument" + (names.size() == 1 ? "" : "s") + ": " +
                   quoted_list(names));
  return false;
}

// Adds `note` to the exception being raised; a note that cannot be added is dropped, the
// exception itself is what matters.
void add_note(const std::string& note) {
  OwnedRef exception = OwnedRef::steal(PyErr_GetRaisedException());
  if (!exception) return;
  OwnedRef result = OwnedRef::steal(PyObject_CallMethod(
      exception.get(), "add_note", "s#", note.data(), static_cast<Py_ssize_t>(note.size())));
  if (!result) PyErr_Clear();
  PyErr_SetRaisedException(exception.release());
}

void add_parameter_note(const char* parameter) {
  add_note(std::string("while processing '") + parameter + "'");
}

// NumPy's boolean scalar type is numpy.bool_ (named "bool" from NumPy 2 on). Recognised by
// name, so that NumPy is never imported here.
bool is_numpy_bool(PyObject* value) {
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(value));
  OwnedRef module = OwnedRef::steal(PyObject_GetAttrString(type, "__module__"));
  if (!module) {
    PyErr_Clear();
    return false;
  }
  if (!PyUnicode_Check(module.get()) ||
      PyUnicode_CompareWithASCIIString(module.get(), "numpy") != 0) {
    return false;
  }
  const std::string name = type_name(value);
  return name == "bool_" || name == "bool";
}

}  // namespace

bool bind_arguments(const char* function, std::span<const Parameter> parameters, PyObject* args,
                    PyObject* kwargs, std::span<PyObject*> bound) {
  if (bound.size() != parameters.size()) {
    throw std::logic_error(std::string(function) + ": one bound slot per parameter is needed");
  }
  for (PyObject*& slot : bound) slot = nullptr;

  std::size_t positional = 0;
  while (positional < parameters.size() && !parameters[positional].keyword_only) ++positional;

  const Py_ssize_t given = args == nullptr ? 0 : PyTuple_Size(args);
  if (given < 0) return false;
  if (static_cast<std::size_t>(given) > positional) {
    raise_type_error(std::string(function) + "() takes " + std::to_string(positional) +
                     " positional argument" + (positional == 1 ? "" : "s") + " but " +
                     std::to_string(given) + (given == 1 ? " was" : " were") + " given");
    return false;
  }
  for (Py_ssize_t i = 0; i < given; ++i) bound[i] = PyTuple_GetItem(args, i);

  if (kwargs != nullptr) {
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    Py_ssize_t position = 0;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
      if (!PyUnicode_Check(key)) {
        raise_type_error(std::string(function) + "() keywords must be strings");
        return false;
      }
      std::size_t index = 0;
      while (index < parameters.size() &&
             PyUnicode_CompareWithASCIIString(key, parameters[index].name) != 0) {
        ++index;
      }
      if (index == parameters.size()) {
        OwnedRef message = OwnedRef::steal(
            PyUnicode_FromFormat("%s() got an unexpected keyword argument '%U'", function, key));
        if (message) PyErr_SetObject(PyExc_TypeError, message.get());
        return false;
      }
      if (bound[index] != nullptr) {
        raise_type_error(std::string(function) + "() got multiple values for argument '" +
                         parameters[index].name + "'");
        return false;
      }
      bound[index] = value;
    }
  }

  std::vector<const char*> missing_positional;
  std::vector<const char*> missing_keyword;
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    if (!parameters[i].required || bound[i] != nullptr) continue;
    (parameters[i].keyword_only ? missing_keyword : missing_positional)
        .push_back(parameters[i].name);
  }
  return report_missing(function, missing_positional, "positional") &&
         report_missing(function, missing_keyword, "keyword-only");
}

std::optional<std::string_view> extract_str(const char* function, const char* parameter,
                                            PyObject* value) {
  if (!PyUnicode_Check(value)) {
    raise_type_error(std::string(function) + "() argument '" + parameter + "' must be str, not " +
                     type_name(value));
    add_parameter_note(parameter);
    return std::nullopt;
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value, &size);
  if (data == nullptr) {
    add_parameter_note(parameter);
    return std::nullopt;
  }
  return std::string_view(data, static_cast<std::size_t>(size));
}

bool extract_optional_str(const char* function, const char* parameter, PyObject* value,
                          std::optional<std::string_view>& out) {
  out.reset();
  if (value == nullptr || value == Py_None) return true;
  out = extract_str(function, parameter, value);
  return out.has_value();
}

std::optional<bool> extract_bool(const char* function, const char* parameter, PyObject* value) {
  if (PyBool_Check(value)) return value == Py_True;
  if (is_numpy_bool(value)) {
    const int truth = PyObject_IsTrue(value);
    if (truth >= 0) return truth == 1;
    add_parameter_note(parameter);
    return std::nullopt;
  }
  raise_type_error(std::string(function) + "() argument '" + parameter + "' must be bool, not " +
                   type_name(value));
  add_parameter_note(parameter);
  return std::nullopt;
}

void raise_not_an_instance(const char* parameter, PyObject* value, const char* class_name) {
  raise_type_error("'" + type_name(value) + "' object is not an instance of '" + class_name + "'");
  add_parameter_note(parameter);
}

bool extract_instance(const char* parameter, PyObject* value, PyTypeObject* type) {
  if (type == nullptr) return false;  // the class could not be created; its error is set
  if (PyObject_TypeCheck(value, type)) return true;
  OwnedRef name = OwnedRef::steal(PyType_GetName(type));
  const char* text = name ? PyUnicode_AsUTF8AndSize(name.get(), nullptr) : nullptr;
  if (text == nullptr) PyErr_Clear();
  raise_not_an_instance(parameter, value, text != nullptr ? text : "unknown");
  return false;
}

}  // namespace velloquin::python
