#include "python/errors/exceptions.h"

#include <string>

#include "python/errors/error_text.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_ref.h"

namespace velloquin::python {
namespace {

struct ExceptionSpec {
  const char* qualified_name;
  const char* doc;
  bool derives_from_velloquin_error;  // else from Exception
};

constexpr ExceptionSpec kSpecs[] = {
    {"velloquin.VelloquinError",
     "Base for every Velloquin error. Carries `.errors`: a list of FieldError rows "
     "({field, code, message}). `except VelloquinError` catches all subtypes.",
     false},
    {"velloquin.PromptValidationError",
     "Typed-Vars validation failed (code = \"validation\"). One row per offending field.", true},
    {"velloquin.PromptRenderError",
     "A kernel render, source look-up or analysis failure (code = one of \"unknown_variant\", "
     "\"undefined_variable\", \"parse\", \"render\", \"excluded_feature\"). Render and "
     "excluded-feature messages are scrubbed (SEC-004); the parse message carries "
     "template-syntax detail, taken before any values are bound.",
     true},
    {"velloquin.LoadError",
     "Malformed YAML/JSON or a shape violation in the dual-input loader (code = \"load\"). "
     "Nothing is partially loaded.",
     true},
    {"velloquin.PromptLoadError",
     "A loader call written in Python failed: code \"load_not_found\" when the key is absent, "
     "code \"load_io\" on an I/O error or when `max_bytes` was exceeded. Distinct from "
     "LoadError, which is the parse/shape error. Carries `.errors`: a list of FieldError.",
     true},
};

constexpr std::size_t kCount = sizeof(kSpecs) / sizeof(kSpecs[0]);
static_assert(kCount == static_cast<std::size_t>(ExceptionClass::PromptLoadError) + 1);

OnceCell cells[kCount];

PyObject* create(const ExceptionSpec& spec) {
  PyObject* base = PyExc_Exception;
  if (spec.derives_from_velloquin_error) {
    base = exception_type(ExceptionClass::VelloquinError);
    if (base == nullptr) return nullptr;
  }
  return PyErr_NewExceptionWithDoc(spec.qualified_name, spec.doc, base, nullptr);
}

}  // namespace

PyObject* exception_type(ExceptionClass which) {
  const auto index = static_cast<std::size_t>(which);
  PyObject* type = cells[index].get([&] { return create(kSpecs[index]); });
  if (type != nullptr) return type;
  OwnedRef pending = OwnedRef::steal(PyErr_GetRaisedException());
  if (is_internal_fault(pending.get())) {
    // The base class failed first and already said so.
    PyErr_SetRaisedException(pending.release());
    return nullptr;
  }
  raise_internal_fault("Failed to initialize new exception type.: " +
                       (pending ? exception_text(pending.get()) : std::string("no error set")));
  return nullptr;
}

}  // namespace velloquin::python
