// The walk over Python data that every conversion into a native value tree shares. A
// conversion supplies a Builder, so the accepted input, its order of checks and its failure
// texts are the same whatever tree is built:
//
//   struct Builder {
//     using Value = ...;
//     Value null();
//     Value boolean(bool);
//     Value signed_integer(std::int64_t);     // negative integers
//     Value unsigned_integer(std::uint64_t);  // integers >= 0
//     Value real(double);
//     Value string(std::string_view utf8);
//     Value array();
//     void append(Value& array, Value item);
//     Value object();
//     void insert(Value& object, std::string key, Value item);
//     int depth = 0;  // containers entered: the walk keeps it
//   };
#pragma once

#include <Python.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "base/result.h"
#include "base/try.h"
#include "python/convert/marshal_error.h"
#include "python/errors/error_text.h"
#include "python/support/py_ref.h"

namespace velloquin::python::marshal_detail {

// collections.abc.Sequence and collections.abc.Mapping, looked up once; nullptr with a Python
// error set when they cannot be.
PyObject* sequence_abc();
PyObject* mapping_abc();

// isinstance(object, abc), where a failing test counts as false (and is reported as
// unraisable, since the conversion itself has not failed).
bool is_instance_of_abc(PyObject* object, PyObject* abc);

// A failure met during the walk. A Python exception is kept as an object and only turned into
// text once the walk has unwound: its str() may need stack depth that a deep walk has used up.
struct WalkError {
  std::string text;
  OwnedRef exception;
};

// The failure for the Python exception currently set, which it clears.
WalkError from_python_exception();

// The conversion's failure as its callers see it.
MarshalError to_marshal_error(WalkError error);

// The failure for an int outside both 64-bit ranges (`positive`: above them, else below).
WalkError integer_out_of_range(PyObject* integer, bool positive);

inline constexpr std::string_view kKeysMustBeStr = "dict keys must have type str";
inline constexpr std::string_view kOutOfRange = "JSON number out of range";
inline constexpr std::string_view kBytes =
    "invalid type: byte array, expected any valid JSON value";

// Bounds the depth of nesting, so that deeply nested or self-containing data fails with
// RecursionError instead of exhausting the C stack. The interpreter's own limit on C recursion
// (10,000 levels in CPython 3.13) allows more levels than a thread's stack holds frames of a
// walk, so a walk also keeps its own count, well inside any stack; past it the error is the
// interpreter's, word for word.
inline constexpr int kMaxWalkDepth = 1000;

class DepthGuard {
 public:
  explicit DepthGuard(const char* where) : entered_(Py_EnterRecursiveCall(where) == 0) {}
  DepthGuard(const char* where, int& depth) : depth_(&depth) {
    if (depth >= kMaxWalkDepth) {
      PyErr_Format(PyExc_RecursionError, "maximum recursion depth exceeded%s", where);
      return;
    }
    entered_ = Py_EnterRecursiveCall(where) == 0;
    if (entered_) ++depth;
  }
  ~DepthGuard() {
    if (!entered_) return;
    if (depth_ != nullptr) --*depth_;
    Py_LeaveRecursiveCall();
  }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
  bool entered() const { return entered_; }

 private:
  int* depth_ = nullptr;
  bool entered_ = false;
};

template <class Builder>
using WalkResult = Result<typename Builder::Value, WalkError>;

// A builder may take the expected number of items of a container it is about to fill; the
// count is a hint only (the container may still change while it is walked).
template <class Builder>
void reserve_items(Builder& builder, typename Builder::Value& container, Py_ssize_t count) {
  if constexpr (requires { builder.reserve(container, std::size_t{}); }) {
    if (count > 0) builder.reserve(container, static_cast<std::size_t>(count));
  }
}

template <class Builder>
WalkResult<Builder> walk(Builder& builder, PyObject* object);

// The UTF-8 text of a str, borrowed from it (valid while it lives).
inline Result<std::string_view, WalkError> str_utf8(PyObject* object) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(object, &size);
  if (data == nullptr) return err(from_python_exception());
  return std::string_view(data, static_cast<std::size_t>(size));
}

// Exact str items are the bulk of validated data. A builder that takes their text straight
// into the container being filled (append_text, insert_text) is handed it without a value of
// its own in between; the others get it through string().
template <class Builder>
concept TakesText = requires(Builder& builder, typename Builder::Value& container, PyObject* key,
                             std::string_view text) {
  builder.append_text(container, text);
  builder.insert_text(container, key, text, text);
};

template <class Builder>
WalkResult<Builder> walk_integer(Builder& builder, PyObject* object) {
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(object, &overflow);
  if (value == -1 && PyErr_Occurred()) return err(from_python_exception());
  if (overflow == 0) {
    if (value >= 0) return builder.unsigned_integer(static_cast<std::uint64_t>(value));
    return builder.signed_integer(static_cast<std::int64_t>(value));
  }
  if (overflow > 0) {
    const unsigned long long unsigned_value = PyLong_AsUnsignedLongLong(object);
    if (!PyErr_Occurred()) return builder.unsigned_integer(unsigned_value);
    PyErr_Clear();
  }
  return err(integer_out_of_range(object, overflow > 0));
}

// The item at `index`, a new reference: a list's own accessor for lists (no protocol lookup),
// the sequence protocol for tuples. Both fail alike when the list has shrunk meanwhile.
inline OwnedRef sequence_item(PyObject* object, Py_ssize_t index) {
  if (PyList_CheckExact(object)) return OwnedRef::borrow(PyList_GetItem(object, index));
  return OwnedRef::steal(PySequence_GetItem(object, index));
}

template <class Builder>
WalkResult<Builder> walk_iterable(Builder& builder, PyObject* object);

// Lists and tuples: the length first, then each item by index. Only an exact list or tuple
// reports the length of what it holds; a subclass's or another sequence's __len__ is its own
// answer, which may be anything, so those are iterated instead and their length sizes nothing.
template <class Builder>
WalkResult<Builder> walk_sequence(Builder& builder, PyObject* object) {
  if (!PyList_CheckExact(object) && !PyTuple_CheckExact(object)) {
    return walk_iterable(builder, object);
  }
  const Py_ssize_t length = PyObject_Size(object);
  if (length < 0) return err(from_python_exception());
  typename Builder::Value array = builder.array();
  reserve_items(builder, array, length);
  const bool exact_list = PyList_CheckExact(object);
  for (Py_ssize_t i = 0; i < length; ++i) {
    if constexpr (TakesText<Builder>) {
      // Reading a str runs no Python code, so a list's own reference to one will do.
      if (exact_list) {
        PyObject* listed = PyList_GetItem(object, i);
        if (listed == nullptr) return err(from_python_exception());
        if (Py_IS_TYPE(listed, &PyUnicode_Type)) {
          VQ_TRY(auto text, str_utf8(listed));
          builder.append_text(array, text);
          continue;
        }
      }
    }
    OwnedRef item = sequence_item(object, i);
    if (!item) return err(from_python_exception());
    if constexpr (TakesText<Builder>) {
      if (Py_IS_TYPE(item.get(), &PyUnicode_Type)) {
        VQ_TRY(auto text, str_utf8(item.get()));
        builder.append_text(array, text);
        continue;
      }
    }
    VQ_TRY(auto converted, walk(builder, item.get()));
    builder.append(array, std::move(converted));
  }
  return array;
}

// Sets, frozensets and sequences other than exact lists and tuples: the items the iterator
// yields, in its order.
template <class Builder>
WalkResult<Builder> walk_iterable(Builder& builder, PyObject* object) {
  OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(object));
  if (!iterator) return err(from_python_exception());
  typename Builder::Value array = builder.array();
  while (OwnedRef item = OwnedRef::steal(PyIter_Next(iterator.get()))) {
    VQ_TRY(auto converted, walk(builder, item.get()));
    builder.append(array, std::move(converted));
  }
  if (PyErr_Occurred()) return err(from_python_exception());
  return array;
}

// The key's text, borrowed from the key (valid while it lives), or the failure for a key that
// is not a str.
inline Result<std::string_view, WalkError> key_text(PyObject* key) {
  if (!PyUnicode_Check(key)) return err(WalkError{std::string(kKeysMustBeStr), {}});
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(key, &size);
  if (data == nullptr) return err(from_python_exception());
  return std::string_view(data, static_cast<std::size_t>(size));
}

// Adds one entry. A builder may take the key object as well as its text (to recognise a key it
// has met before by identity); the others get the text as a string of their own.
template <class Builder>
void insert_entry(Builder& builder, typename Builder::Value& object, PyObject* key,
                  std::string_view text, typename Builder::Value item) {
  if constexpr (requires { builder.insert_keyed(object, key, text, std::move(item)); }) {
    builder.insert_keyed(object, key, text, std::move(item));
  } else {
    builder.insert(object, std::string(text), std::move(item));
  }
}

// Plain dicts, the common case, without the key and value lists. Each entry is held while it
// is converted, since converting a value can run Python code that changes the dict; the walk
// then ends early rather than reading freed entries.
template <class Builder>
WalkResult<Builder> walk_dict(Builder& builder, PyObject* object) {
  typename Builder::Value result = builder.object();
  reserve_items(builder, result, PyDict_Size(object));
  Py_ssize_t position = 0;
  PyObject* borrowed_key = nullptr;
  PyObject* borrowed_value = nullptr;
  while (PyDict_Next(object, &position, &borrowed_key, &borrowed_value)) {
    if constexpr (TakesText<Builder>) {
      // Reading a str key and a str value runs no Python code, so the dict's own references
      // will do for such an entry.
      if (Py_IS_TYPE(borrowed_value, &PyUnicode_Type)) {
        VQ_TRY(auto text, key_text(borrowed_key));
        VQ_TRY(auto utf8, str_utf8(borrowed_value));
        builder.insert_text(result, borrowed_key, text, utf8);
        continue;
      }
    }
    OwnedRef key = OwnedRef::borrow(borrowed_key);
    OwnedRef value = OwnedRef::borrow(borrowed_value);
    VQ_TRY(auto text, key_text(key.get()));
    VQ_TRY(auto converted, walk(builder, value.get()));
    insert_entry(builder, result, key.get(), text, std::move(converted));
  }
  return result;
}

// Dicts and other mappings: keys and values as lists, then each key followed by its value. The
// keys list says how many entries there are; the mapping's own __len__ is not asked.
template <class Builder>
WalkResult<Builder> walk_mapping(Builder& builder, PyObject* object) {
  OwnedRef keys = OwnedRef::steal(PyMapping_Keys(object));
  if (!keys) return err(from_python_exception());
  OwnedRef values = OwnedRef::steal(PyMapping_Values(object));
  if (!values) return err(from_python_exception());
  const Py_ssize_t length = PyObject_Size(keys.get());
  if (length < 0) return err(from_python_exception());
  typename Builder::Value result = builder.object();
  for (Py_ssize_t i = 0; i < length; ++i) {
    OwnedRef key = OwnedRef::steal(PySequence_GetItem(keys.get(), i));
    if (!key) return err(from_python_exception());
    VQ_TRY(auto text, key_text(key.get()));
    OwnedRef value = OwnedRef::steal(PySequence_GetItem(values.get(), i));
    if (!value) return err(from_python_exception());
    VQ_TRY(auto converted, walk(builder, value.get()));
    insert_entry(builder, result, key.get(), text, std::move(converted));
  }
  return result;
}

template <class Builder>
WalkResult<Builder> walk_string(Builder& builder, PyObject* object) {
  VQ_TRY(auto text, str_utf8(object));
  return builder.string(text);
}

// The cheap exact-type checks come first, then the abstract sequence and mapping protocols.
template <class Builder>
WalkResult<Builder> walk(Builder& builder, PyObject* object) {
  DepthGuard depth(" while converting a Python value", builder.depth);
  if (!depth.entered()) return err(from_python_exception());

  // Validated data is made of exact dicts, lists, str and int: a pointer comparison each, before
  // the subclass checks (function calls under the stable ABI) that decide every other value.
  PyTypeObject* type = Py_TYPE(object);
  if (type == &PyDict_Type) return walk_dict(builder, object);
  if (type == &PyList_Type) return walk_sequence(builder, object);
  if (type == &PyUnicode_Type) return walk_string(builder, object);
  if (type == &PyLong_Type) return walk_integer(builder, object);

  if (object == Py_None) return builder.null();
  if (PyBool_Check(object)) return builder.boolean(object == Py_True);
  if (PyLong_Check(object)) return walk_integer(builder, object);
  if (PyList_Check(object) || PyTuple_Check(object)) return walk_sequence(builder, object);
  if (PyDict_CheckExact(object)) return walk_dict(builder, object);
  if (PyDict_Check(object)) return walk_mapping(builder, object);
  if (PyUnicode_Check(object)) return walk_string(builder, object);
  if (PyBytes_Check(object) || PyByteArray_Check(object)) {
    return err(WalkError{std::string(kBytes), {}});
  }
  if (PyFloat_Check(object)) {
    const double value = PyFloat_AsDouble(object);
    if (value == -1.0 && PyErr_Occurred()) return err(from_python_exception());
    return builder.real(value);
  }
  if (PyAnySet_Check(object)) return walk_iterable(builder, object);
  if (is_instance_of_abc(object, sequence_abc())) return walk_sequence(builder, object);
  if (is_instance_of_abc(object, mapping_abc())) return walk_mapping(builder, object);
  return err(WalkError{"unsupported type " + type_qualname(object), {}});
}

}  // namespace velloquin::python::marshal_detail
