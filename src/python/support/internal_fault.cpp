#include "python/support/internal_fault.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "python/support/once_cell.h"
#include "python/support/py_ref.h"

namespace velloquin::python {
namespace {

constexpr const char* kQualifiedName = "velloquin_runtime.InternalFault";
constexpr const char* kDoc =
    "An internal fault of the velloquin extension module: a bug, not a usage error.\n\n"
    "Derives directly from BaseException, so that neither `except Exception` nor "
    "`except VelloquinError` catches it. Its single argument is the fault's message.";
constexpr std::string_view kNoMessage = "internal fault without a message";

OnceCell internal_fault_cell;

PyObject* internal_fault_type() {
  return internal_fault_cell.get(
      [] { return PyErr_NewExceptionWithDoc(kQualifiedName, kDoc, PyExc_BaseException, nullptr); });
}

// The fault's message as a str: faults may quote arbitrary bytes, so bad UTF-8 is replaced
// rather than turned into a second fault.
PyObject* message_object(std::string_view message) {
  return PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
}

void raise_or_abort(std::string_view message) {
  PyObject* type = internal_fault_type();
  if (type == nullptr) abort_at_boundary();
  OwnedRef text = OwnedRef::steal(message_object(message.empty() ? kNoMessage : message));
  if (!text) abort_at_boundary();
  PyErr_SetObject(type, text.get());
}

}  // namespace

void raise_internal_fault(std::string_view message) noexcept {
  try {
    raise_or_abort(message);
  } catch (...) {
    abort_at_boundary();
  }
}

bool is_internal_fault(PyObject* exception) {
  PyObject* type = internal_fault_cell.peek();
  return type != nullptr && exception != nullptr &&
         PyObject_TypeCheck(exception, reinterpret_cast<PyTypeObject*>(type));
}

void abort_at_boundary() noexcept {
  std::fputs("uncaught panic at ffi boundary\n", stderr);
  std::fflush(stderr);
  std::abort();
}

namespace detail {

void raise_fault_from_current_exception() noexcept {
  try {
    try {
      throw;
    } catch (const std::exception& fault) {
      raise_internal_fault(fault.what());
    } catch (...) {
      raise_internal_fault({});
    }
  } catch (...) {
    abort_at_boundary();
  }
}

}  // namespace detail
}  // namespace velloquin::python
