#include "python/errors/make_prompt_load_error.h"

#include <array>
#include <string>
#include <vector>

#include "python/errors/error_reporting.h"
#include "python/support/arguments.h"
#include "python/support/internal_fault.h"

namespace velloquin::python {
namespace {

constexpr const char* kName = "make_prompt_load_error";

constexpr std::array<Parameter, 2> kParameters = {{
    {"error_code", /*required=*/true, /*keyword_only=*/false},
    {"message", /*required=*/true, /*keyword_only=*/false},
}};

PyObject* make(PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, kParameters.size()> bound{};
  if (!bind_arguments(kName, kParameters, args, kwargs, bound)) return nullptr;
  const std::optional<std::string_view> error_code = extract_str(kName, "error_code", bound[0]);
  if (!error_code) return nullptr;
  const std::optional<std::string_view> message = extract_str(kName, "message", bound[1]);
  if (!message) return nullptr;

  std::vector<velloquin::FieldError> rows;
  rows.push_back({"", std::string(*error_code), std::string(*message)});
  std::string text = "prompt load failed: ";
  text.append(*message).append(" [").append(*error_code).append("]");

  auto built = build_library_exception(ExceptionClass::PromptLoadError, text, std::move(rows));
  if (built) return std::move(built).value().release();
  // The caller asked for an exception object, so a failure to build it is handed back the same
  // way; an internal fault, though, is raised like everywhere else.
  PendingError failure = std::move(built).error();
  if (is_internal_fault(failure.exception())) return std::move(failure).raise();
  return std::move(failure).into_exception().release();
}

PyObject* entry(PyObject*, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(nullptr, [&] { return make(args, kwargs); });
}

PyMethodDef kDefinition = {
    kName,
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry)),
    METH_VARARGS | METH_KEYWORDS,
    "make_prompt_load_error(error_code, message)\n--\n\n"
    "Construct a PromptLoadError carrying a caller-supplied `[{field, code, message}]` "
    "payload (FR-008a): one row with an empty field, `error_code` as its code and `message` "
    "as its message. This is the native error-raising path for loaders written in Python, "
    "since the exception classes carry no typed row field of their own. The exception is "
    "returned, not raised: write `raise make_prompt_load_error(...)`.",
};

}  // namespace

PyMethodDef* make_prompt_load_error_definition() {
  return &kDefinition;
}

}  // namespace velloquin::python
