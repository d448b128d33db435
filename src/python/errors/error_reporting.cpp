#include "python/errors/error_reporting.h"

#include <type_traits>
#include <utility>
#include <variant>

#include "python/errors/field_error.h"
#include "python/errors/summary.h"

namespace velloquin::python {
namespace {

constexpr std::string_view kValidationLabel = "validation failed";
constexpr std::string_view kRenderLabel = "render failed";
constexpr std::string_view kLoadPrefix = "failed to load prompt definition: ";

OwnedRef text_object(const std::string& text) {
  return OwnedRef::steal(
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
}

}  // namespace

Result<OwnedRef, PendingError> build_library_exception(ExceptionClass which,
                                                       const std::string& text,
                                                       std::vector<velloquin::FieldError> rows) {
  OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(rows.size())));
  if (!list) return err(PendingError::take_current());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    PyObject* row = new_field_error(std::move(rows[i]));
    if (row == nullptr) return err(PendingError::take_current());
    if (PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), row) < 0) {  // steals `row`
      return err(PendingError::take_current());
    }
  }

  PyObject* type = exception_type(which);
  if (type == nullptr) return err(PendingError::take_current());
  OwnedRef message = text_object(text);
  if (!message) return err(PendingError::take_current());
  OwnedRef instance = OwnedRef::steal(PyObject_CallFunctionObjArgs(type, message.get(), nullptr));
  if (!instance) return err(PendingError::take_current());
  if (PyObject_SetAttrString(instance.get(), "errors", list.get()) < 0) {
    return err(PendingError::take_current());
  }
  return instance;
}

PendingError consumer_error_to_pyerr(velloquin::ConsumerError error) {
  auto built = std::visit(
      [](auto&& payload) -> Result<OwnedRef, PendingError> {
        using Payload = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<Payload, velloquin::ConsumerError::Validation>) {
          std::string text = summarize(kValidationLabel, payload.rows);
          return build_library_exception(ExceptionClass::PromptValidationError, text,
                                         std::move(payload.rows));
        } else if constexpr (std::is_same_v<Payload, velloquin::ConsumerError::Render>) {
          std::string text = summarize(kRenderLabel, payload.rows);
          return build_library_exception(ExceptionClass::PromptRenderError, text,
                                         std::move(payload.rows));
        } else {
          std::vector<velloquin::FieldError> rows;
          rows.push_back({"", std::string(velloquin::error::code::kLoad), payload.message});
          std::string text(kLoadPrefix);
          text += payload.message;
          return build_library_exception(ExceptionClass::LoadError, text, std::move(rows));
        }
      },
      std::move(error).payload());
  if (!built) return std::move(built).error();
  return PendingError(std::move(built).value());
}

}  // namespace velloquin::python
