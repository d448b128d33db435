// Turning the library's errors into exceptions of the module's hierarchy.
#pragma once

#include <Python.h>

#include <string>
#include <vector>

#include "base/result.h"
#include "library/error.h"
#include "python/errors/exceptions.h"
#include "python/support/pending_error.h"
#include "python/support/py_ref.h"

namespace velloquin::python {

// An instance of `which`, called with `text` as its one argument, whose `errors` attribute is
// a new list of FieldError objects for `rows`, in order. When a step fails, everything made
// so far is released and the failure is the result instead.
Result<OwnedRef, PendingError> build_library_exception(ExceptionClass which,
                                                       const std::string& text,
                                                       std::vector<velloquin::FieldError> rows);

// The exception for a library error, ready for the caller to raise: Validation rows become
// PromptValidationError, Render rows PromptRenderError, a Load message LoadError with one
// "load" row. If building it fails, the failure is returned in its place.
PendingError consumer_error_to_pyerr(velloquin::ConsumerError error);

}  // namespace velloquin::python
