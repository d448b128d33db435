#include "python/prompt/validation.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/try.h"
#include "library/error.h"
#include "python/errors/error_reporting.h"
#include "python/support/once_cell.h"

namespace velloquin::python {
namespace {

constexpr const char* kFallbackMessage = "validation error";
constexpr const char* kWithheldMessage = "input validation failed (error detail withheld)";

// The UTF-8 text of a str, or nullopt (error cleared) when it has none.
std::optional<std::string> utf8_of(PyObject* text) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text, &size);
  if (data == nullptr) {
    PyErr_Clear();
    return std::nullopt;
  }
  return std::string(data, static_cast<std::size_t>(size));
}

// Surrogates pass into the bytes and come back out as U+FFFD, one per invalid byte sequence.
std::string lossy_utf8_of(PyObject* text) {
  OwnedRef bytes = OwnedRef::steal(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
  if (!bytes) {
    PyErr_Clear();
    return {};
  }
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) < 0) {
    PyErr_Clear();
    return {};
  }
  OwnedRef decoded = OwnedRef::steal(PyUnicode_DecodeUTF8(data, size, "replace"));
  if (!decoded) {
    PyErr_Clear();
    return {};
  }
  return utf8_of(decoded.get()).value_or(std::string());
}

// pydantic.ValidationError, imported anew for every failed validation; nullptr (error cleared)
// when Pydantic cannot be imported or has no such class.
OwnedRef pydantic_validation_error() {
  OwnedRef module = OwnedRef::steal(PyImport_ImportModule("pydantic"));
  if (!module) {
    PyErr_Clear();
    return {};
  }
  OwnedRef type = OwnedRef::steal(PyObject_GetAttrString(module.get(), "ValidationError"));
  if (!type) PyErr_Clear();
  return type;
}

bool is_validation_error(PyObject* exception, PyObject* validation_error) {
  if (reinterpret_cast<PyObject*>(Py_TYPE(exception)) == validation_error) return true;
  const int result = PyObject_IsInstance(exception, validation_error);
  if (result < 0) {
    PyErr_Clear();
    return false;
  }
  return result == 1;
}

// item[key], or an empty reference (error cleared) when the lookup fails.
OwnedRef lookup(PyObject* item, const char* key) {
  OwnedRef result = OwnedRef::steal(PyMapping_GetItemString(item, key));
  if (!result) PyErr_Clear();
  return result;
}

// A location's parts joined by "." (a str location is iterated character by character). A
// part whose retrieval raises is skipped; a second failure in a row ends the location, since
// an iterator that keeps raising would otherwise never end.
std::string join_location(PyObject* iterator) {
  std::string field;
  bool first = true;
  bool failed_last = false;
  for (;;) {
    OwnedRef part = OwnedRef::steal(PyIter_Next(iterator));
    if (!part) {
      if (!PyErr_Occurred()) break;
      PyErr_Clear();
      if (failed_last) break;
      failed_last = true;
      continue;
    }
    failed_last = false;
    if (!first) field += '.';
    first = false;
    field += part_to_string(part.get());
  }
  return field;
}

std::string field_of(PyObject* item) {
  OwnedRef location = lookup(item, "loc");
  if (!location) return {};
  OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(location.get()));
  if (!iterator) {
    PyErr_Clear();
    return part_to_string(location.get());
  }
  return join_location(iterator.get());
}

std::string message_of(PyObject* item) {
  OwnedRef message = lookup(item, "msg");
  if (message && PyUnicode_Check(message.get())) {
    if (std::optional<std::string> text = utf8_of(message.get())) return *text;
  }
  return kFallbackMessage;
}

// One row per item of error.errors(), reading only each item's location and message, never its
// input; nullopt (error cleared) when errors() cannot be called or iterated.
std::optional<std::vector<FieldError>> rows_of(PyObject* error) {
  OwnedRef items = OwnedRef::steal(PyObject_CallMethod(error, "errors", nullptr));
  if (!items) {
    PyErr_Clear();
    return std::nullopt;
  }
  OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(items.get()));
  if (!iterator) {
    PyErr_Clear();
    return std::nullopt;
  }
  std::vector<FieldError> rows;
  while (OwnedRef item = OwnedRef::steal(PyIter_Next(iterator.get()))) {
    rows.push_back(
        {field_of(item.get()), std::string(error::code::kValidation), message_of(item.get())});
  }
  if (PyErr_Occurred()) {
    PyErr_Clear();
    return std::nullopt;
  }
  return rows;
}

// What a failed model_validate becomes: a Pydantic validation error turns into rows, anything
// else passes through as it was raised.
PendingError validation_failure(PendingError raised) {
  OwnedRef validation_error = pydantic_validation_error();
  if (!validation_error || !is_validation_error(raised.exception(), validation_error.get())) {
    return raised;
  }
  std::vector<FieldError> rows =
      rows_of(raised.exception())
          .value_or(std::vector<FieldError>{
              {"", std::string(error::code::kValidation), kWithheldMessage}});
  return consumer_error_to_pyerr(ConsumerError::Validation{std::move(rows)});
}

// The names every render calls by, made once: a render must not build and intern them anew.
OnceCell model_validate_name;
OnceCell model_dump_name;
OnceCell json_text;
OnceCell mode_keyword_names;

PyObject* interned(OnceCell& cell, const char* text) {
  return cell.get([text] { return PyUnicode_InternFromString(text); });
}

// The keyword names of model_dump(mode=...).
PyObject* mode_keyword() {
  return mode_keyword_names.get([] { return Py_BuildValue("(s)", "mode"); });
}

}  // namespace

Result<OwnedRef, PendingError> dump_json(PyObject* object) {
  PyObject* name = interned(model_dump_name, "model_dump");
  PyObject* json = interned(json_text, "json");
  PyObject* keywords = mode_keyword();
  if (name == nullptr || json == nullptr || keywords == nullptr) {
    return err(PendingError::take_current());
  }
  // object.model_dump(mode="json"), looked up and called as Python code would.
  // The leading slot is the callee's to use (PY_VECTORCALL_ARGUMENTS_OFFSET).
  PyObject* arguments[] = {nullptr, object, json};
  OwnedRef dumped = OwnedRef::steal(
      PyObject_VectorcallMethod(name, arguments + 1, 1 | PY_VECTORCALL_ARGUMENTS_OFFSET, keywords));
  if (!dumped) return err(PendingError::take_current());
  return dumped;
}

Result<OwnedRef, PendingError> validate_in_python(PyObject* model, PyObject* data) {
  OwnedRef model_class;
  OwnedRef payload;
  if (data != nullptr) {
    model_class = OwnedRef::borrow(model);
    payload = OwnedRef::borrow(data);
  } else {
    model_class = OwnedRef::borrow(reinterpret_cast<PyObject*>(Py_TYPE(model)));
    VQ_TRY(payload, dump_json(model));
  }
  PyObject* name = interned(model_validate_name, "model_validate");
  if (name == nullptr) return err(PendingError::take_current());
  PyObject* arguments[] = {nullptr, model_class.get(), payload.get()};
  OwnedRef validated = OwnedRef::steal(
      PyObject_VectorcallMethod(name, arguments + 1, 2 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
  if (!validated) return err(validation_failure(PendingError::take_current()));
  return dump_json(validated.get());
}

std::string part_to_string(PyObject* object) {
  OwnedRef text = OwnedRef::steal(PyObject_Str(object));
  if (!text) {
    PyErr_Clear();
    return {};
  }
  if (std::optional<std::string> utf8 = utf8_of(text.get())) return *utf8;
  return lossy_utf8_of(text.get());
}

}  // namespace velloquin::python
