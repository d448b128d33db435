#include "python/convert/definition_json.h"

#include <optional>
#include <string>
#include <utility>

#include "base/try.h"
#include "python/convert/marshal.h"
#include "python/errors/error_text.h"
#include "python/support/py_ref.h"

namespace velloquin::python {
namespace {

constexpr const char* kDumpMethod = "model_dump_json";
// The caller's exception may echo the definition's values, so none of it is kept.
constexpr const char* kDumpFailed = "could not serialize the prompt definition";

ConsumerError load_error(std::string message) {
  return ConsumerError(ConsumerError::Load{std::move(message)});
}

ConsumerError load_error_from_current() {
  return load_error(take_exception_text());
}

// Whether `shape` has the attribute, by the hasattr rule: only an AttributeError means no.
Result<bool, ConsumerError> has_dump_method(PyObject* shape) {
  OwnedRef attribute = OwnedRef::steal(PyObject_GetAttrString(shape, kDumpMethod));
  if (attribute) return true;
  if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return err(load_error_from_current());
  PyErr_Clear();
  return false;
}

// The text of model_dump_json(exclude_none=True), or nullopt when the attribute is not
// callable (the shape is then plain data).
Result<std::optional<std::string>, ConsumerError> dump_model(PyObject* shape) {
  OwnedRef method = OwnedRef::steal(PyObject_GetAttrString(shape, kDumpMethod));
  if (!method) return err(load_error_from_current());
  if (!PyCallable_Check(method.get())) return std::optional<std::string>();
  OwnedRef no_args = OwnedRef::steal(PyTuple_New(0));
  OwnedRef kwargs = OwnedRef::steal(PyDict_New());
  if (!no_args || !kwargs || PyDict_SetItemString(kwargs.get(), "exclude_none", Py_True) < 0) {
    return err(load_error_from_current());
  }
  OwnedRef dumped = OwnedRef::steal(PyObject_Call(method.get(), no_args.get(), kwargs.get()));
  if (!dumped) {
    PyErr_Clear();
    return err(load_error(kDumpFailed));
  }
  if (!PyUnicode_Check(dumped.get())) {
    return err(load_error("TypeError: '" + type_name(dumped.get()) +
                          "' object cannot be converted to 'PyString'"));
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(dumped.get(), &size);
  if (data == nullptr) return err(load_error_from_current());
  return std::optional<std::string>(std::string(data, static_cast<std::size_t>(size)));
}

Result<std::string, ConsumerError> plain_data_to_json(PyObject* shape) {
  auto converted = to_json(shape);
  if (!converted) return err(load_error(std::move(converted).error().text));
  // Texts came from Python str objects, so they are valid UTF-8 and the dump cannot fail.
  return converted->dump();
}

}  // namespace

Result<std::string, ConsumerError> definition_to_json(PyObject* shape) {
  VQ_TRY(auto has_method, has_dump_method(shape));
  if (has_method) {
    VQ_TRY(auto dumped, dump_model(shape));
    if (dumped.has_value()) return std::move(*dumped);
  }
  return plain_data_to_json(shape);
}

}  // namespace velloquin::python
