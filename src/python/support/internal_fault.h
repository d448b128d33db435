// Internal faults: failures of the module's own code, raised in Python instead of crashing.
#pragma once

#include <Python.h>

#include <exception>
#include <string_view>
#include <utility>

namespace velloquin::python {

// Sets the internal-fault exception, whose one argument is `message`, as the current Python
// error. The class derives directly from BaseException, so neither `except Exception` nor
// `except VelloquinError` swallows it. Aborts the process when even this fails.
void raise_internal_fault(std::string_view message) noexcept;

// Whether `exception` is an instance of the internal-fault class.
bool is_internal_fault(PyObject* exception);

// Ends the process: a fault happened while an earlier fault was being turned into the
// internal-fault exception, and there is no sound way left to report either.
[[noreturn]] void abort_at_boundary() noexcept;

namespace detail {
void raise_fault_from_current_exception() noexcept;
}  // namespace detail

// Runs the body of one entry point (module function, method, getter, execution step).
// A C++ exception escaping the body becomes the internal-fault exception and `failure` is
// returned, as the interpreter expects with an error set.
template <class R, class Body>
R guard_entry(R failure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    detail::raise_fault_from_current_exception();
  }
  return failure;
}

}  // namespace velloquin::python
