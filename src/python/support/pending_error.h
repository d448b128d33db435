// A Python exception that has been built but not raised yet.
#pragma once

#include <Python.h>

#include <utility>

#include "python/support/py_ref.h"

namespace velloquin::python {

class PendingError {
 public:
  explicit PendingError(OwnedRef exception) : exception_(std::move(exception)) {}

  // Takes over the exception currently set (a SystemError stands in when none is).
  static PendingError take_current() {
    OwnedRef exception = OwnedRef::steal(PyErr_GetRaisedException());
    if (!exception) {
      PyErr_SetString(PyExc_SystemError, "error return without exception set");
      exception = OwnedRef::steal(PyErr_GetRaisedException());
    }
    return PendingError(std::move(exception));
  }

  PyObject* exception() const { return exception_.get(); }

  // The exception object itself, for callers that return rather than raise it.
  OwnedRef into_exception() && { return std::move(exception_); }

  // Sets the exception as the current Python error; returns nullptr for the caller to pass on.
  PyObject* raise() && {
    PyErr_SetRaisedException(exception_.release());
    return nullptr;
  }

 private:
  OwnedRef exception_;
};

}  // namespace velloquin::python
