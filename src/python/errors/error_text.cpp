#include "python/errors/error_text.h"

#include <optional>
#include <string_view>

#include "python/support/py_ref.h"

namespace velloquin::python {
namespace {

// UTF-8 of a str; text that has no UTF-8 form (lone surrogates) is written with U+FFFD, since
// these texts only ever go into messages.
std::optional<std::string> utf8_of(PyObject* text) {
  if (text == nullptr || !PyUnicode_Check(text)) return std::nullopt;
  Py_ssize_t size = 0;
  if (const char* data = PyUnicode_AsUTF8AndSize(text, &size)) {
    return std::string(data, static_cast<std::size_t>(size));
  }
  PyErr_Clear();
  OwnedRef bytes = OwnedRef::steal(PyUnicode_AsEncodedString(text, "utf-8", "replace"));
  if (!bytes) {
    PyErr_Clear();
    return std::nullopt;
  }
  char* data = nullptr;
  if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) < 0) {
    PyErr_Clear();
    return std::nullopt;
  }
  return std::string(data, static_cast<std::size_t>(size));
}

std::string name_or_unknown(OwnedRef name) {
  std::optional<std::string> text = utf8_of(name.get());
  if (!name) PyErr_Clear();
  return text ? *text : std::string("unknown");
}

}  // namespace

std::string exception_text(PyObject* exception) {
  std::string text = type_qualname(exception);
  text += ": ";
  OwnedRef str = OwnedRef::steal(PyObject_Str(exception));
  std::optional<std::string> message = utf8_of(str.get());
  if (!str) PyErr_Clear();
  text += message ? *message : std::string("<exception str() failed>");
  return text;
}

std::string take_exception_text() {
  OwnedRef exception = OwnedRef::steal(PyErr_GetRaisedException());
  if (!exception) return "SystemError: error return without exception set";
  return exception_text(exception.get());
}

std::string type_qualname(PyObject* object) {
  return name_or_unknown(OwnedRef::steal(PyType_GetQualName(Py_TYPE(object))));
}

std::string type_name(PyObject* object) {
  return name_or_unknown(OwnedRef::steal(PyType_GetName(Py_TYPE(object))));
}

}  // namespace velloquin::python
