#include "python/errors/field_error.h"

#include <string>
#include <utility>

#include "base/debug_quote.h"
#include "python/support/cpp_class.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"

namespace velloquin::python {
namespace {

const velloquin::FieldError& row_of(PyObject* self) {
  return value_of<velloquin::FieldError>(self);
}

// Row texts are meant to be UTF-8; a stray bad byte must not make the row unreadable.
PyObject* text_object(const std::string& text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

template <std::string velloquin::FieldError::*member>
PyObject* get_text(PyObject* self, void*) {
  return guard_entry<PyObject*>(nullptr, [&] { return text_object(row_of(self).*member); });
}

PyObject* repr(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&] {
    const velloquin::FieldError& row = row_of(self);
    std::string text = "FieldError(field=";
    text += jinja::debug_quote(row.field);
    text += ", code=";
    text += jinja::debug_quote(row.code);
    text += ", message=";
    text += jinja::debug_quote(row.message);
    text += ')';
    return text_object(text);
  });
}

PyGetSetDef kGetSet[] = {
    {"field", get_text<&velloquin::FieldError::field>, nullptr,
     "The offending field or path; `\"\"` when no single field applies.", nullptr},
    {"code", get_text<&velloquin::FieldError::code>, nullptr,
     "A stable code from the consumer's closed [`code`](velloquin::error::code) vocabulary.",
     nullptr},
    {"message", get_text<&velloquin::FieldError::message>, nullptr,
     "A human-readable, **scrubbed** message safe to log.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kDoc =
    "One normalized failure row, readable from Python as `row.field` / `row.code` / "
    "`row.message`.\n\n"
    "The Python mirror of the prompt library's error row and of the cross-language error "
    "contract `[{field, code, message}]`. Read-only: the three getters are its whole "
    "surface. Rows are produced by the library's error translation (and by "
    "make_prompt_load_error), never constructed from Python.";

OnceCell type_cell;

}  // namespace

PyTypeObject* field_error_type() {
  return cpp_class<velloquin::FieldError>(type_cell,
                                          {"velloquin.FieldError", kDoc, kGetSet, nullptr, repr});
}

PyObject* new_field_error(velloquin::FieldError row) {
  return new_cpp_object(field_error_type(), std::move(row));
}

}  // namespace velloquin::python
