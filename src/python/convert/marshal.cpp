#include "python/convert/marshal.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "python/convert/marshal_walk.h"
#include "python/support/once_cell.h"

namespace velloquin::python {

namespace marshal_detail {
namespace {

OnceCell sequence_abc_cell;
OnceCell mapping_abc_cell;

PyObject* abc_attribute(const char* name) {
  OwnedRef module = OwnedRef::steal(PyImport_ImportModule("collections.abc"));
  if (!module) return nullptr;
  return PyObject_GetAttrString(module.get(), name);
}

}  // namespace

PyObject* sequence_abc() {
  return sequence_abc_cell.get([] { return abc_attribute("Sequence"); });
}

PyObject* mapping_abc() {
  return mapping_abc_cell.get([] { return abc_attribute("Mapping"); });
}

bool is_instance_of_abc(PyObject* object, PyObject* abc) {
  const int result = abc == nullptr ? -1 : PyObject_IsInstance(object, abc);
  if (result < 0) {
    PyErr_WriteUnraisable(object);
    return false;
  }
  return result == 1;
}

WalkError from_python_exception() {
  OwnedRef exception = OwnedRef::steal(PyErr_GetRaisedException());
  if (!exception) return WalkError{"SystemError: error return without exception set", {}};
  return WalkError{{}, std::move(exception)};
}

MarshalError to_marshal_error(WalkError error) {
  if (error.exception) return MarshalError{exception_text(error.exception.get())};
  return MarshalError{std::move(error.text)};
}

// Integers that still fit 128 bits are "out of range" for JSON; wider ones fail as the 128-bit
// extraction does, with the interpreter's own OverflowError: its high half (value >> 64) must
// fit a signed 64-bit integer, or an unsigned one when the value is positive.
WalkError integer_out_of_range(PyObject* integer, bool positive) {
  OwnedRef shift = OwnedRef::steal(PyLong_FromLong(64));
  if (!shift) return from_python_exception();
  OwnedRef high = OwnedRef::steal(PyNumber_Rshift(integer, shift.get()));
  if (!high) return from_python_exception();
  if (positive) {
    PyLong_AsUnsignedLongLong(high.get());
    if (!PyErr_Occurred()) return WalkError{std::string(kOutOfRange), {}};
    PyErr_Clear();
  }
  PyLong_AsLongLong(high.get());
  if (PyErr_Occurred()) return from_python_exception();
  return WalkError{std::string(kOutOfRange), {}};
}

}  // namespace marshal_detail

namespace {

struct JsonBuilder {
  using Value = nlohmann::json;

  Value null() { return Value(nullptr); }
  Value boolean(bool value) { return Value(value); }
  Value signed_integer(std::int64_t value) { return Value(value); }
  Value unsigned_integer(std::uint64_t value) { return Value(value); }
  Value real(double value) { return std::isfinite(value) ? Value(value) : Value(nullptr); }
  Value string(std::string_view utf8) { return Value(std::string(utf8)); }
  Value array() { return Value::array(); }
  void append(Value& array, Value item) { array.push_back(std::move(item)); }
  Value object() { return Value::object(); }
  // A later equal key replaces the earlier one.
  void insert(Value& object, std::string key, Value item) {
    object[std::move(key)] = std::move(item);
  }

  int depth = 0;
};

OwnedRef string_object(const std::string& text) {
  return OwnedRef::steal(
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr));
}

OwnedRef list_from_json(const nlohmann::json& array) {
  OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(array.size())));
  if (!list) return {};
  Py_ssize_t index = 0;
  for (const nlohmann::json& item : array) {
    OwnedRef converted = from_json(item);
    if (!converted || PyList_SetItem(list.get(), index++, converted.release()) < 0) return {};
  }
  return list;
}

OwnedRef dict_from_json(const nlohmann::json& object) {
  OwnedRef dict = OwnedRef::steal(PyDict_New());
  if (!dict) return {};
  for (const auto& [key, item] : object.items()) {
    OwnedRef key_object = string_object(key);
    if (!key_object) return {};
    OwnedRef converted = from_json(item);
    if (!converted || PyDict_SetItem(dict.get(), key_object.get(), converted.get()) < 0) {
      return {};
    }
  }
  return dict;
}

OwnedRef bytes_from_json(const nlohmann::json::binary_t& binary) {
  return OwnedRef::steal(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(binary.data()),
                                                   static_cast<Py_ssize_t>(binary.size())));
}

}  // namespace

Result<nlohmann::json, MarshalError> to_json(PyObject* object) {
  JsonBuilder builder;
  auto converted = marshal_detail::walk(builder, object);
  if (!converted) return err(marshal_detail::to_marshal_error(std::move(converted).error()));
  return std::move(converted).value();
}

OwnedRef from_json(const nlohmann::json& value) {
  marshal_detail::DepthGuard depth(" while converting a JSON value");
  if (!depth.entered()) return {};
  using Type = nlohmann::json::value_t;
  switch (value.type()) {
    case Type::null:
      return OwnedRef::borrow(Py_None);
    case Type::boolean:
      return OwnedRef::steal(PyBool_FromLong(value.get<bool>() ? 1 : 0));
    case Type::number_integer:
      return OwnedRef::steal(PyLong_FromLongLong(value.get<std::int64_t>()));
    case Type::number_unsigned:
      return OwnedRef::steal(PyLong_FromUnsignedLongLong(value.get<std::uint64_t>()));
    case Type::number_float:
      return OwnedRef::steal(PyFloat_FromDouble(value.get<double>()));
    case Type::string:
      return string_object(value.get_ref<const std::string&>());
    case Type::array:
      return list_from_json(value);
    case Type::object:
      return dict_from_json(value);
    case Type::binary:
      return bytes_from_json(value.get_binary());
    case Type::discarded:
      break;
  }
  PyErr_SetString(PyExc_ValueError, "a discarded JSON value has no Python form");
  return {};
}

}  // namespace velloquin::python
