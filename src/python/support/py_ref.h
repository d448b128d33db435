// Ownership of one Python reference, so that every early return releases what it holds.
#pragma once

#include <Python.h>

#include <utility>

namespace velloquin::python {

class OwnedRef {
 public:
  OwnedRef() = default;
  // Takes over a new reference (or nullptr).
  static OwnedRef steal(PyObject* object) { return OwnedRef(object); }
  // Adds a reference to a borrowed object.
  static OwnedRef borrow(PyObject* object) {
    Py_XINCREF(object);
    return OwnedRef(object);
  }

  OwnedRef(OwnedRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  OwnedRef& operator=(OwnedRef&& other) noexcept {
    if (this != &other) {
      Py_XDECREF(object_);
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  OwnedRef(const OwnedRef&) = delete;
  OwnedRef& operator=(const OwnedRef&) = delete;
  ~OwnedRef() { Py_XDECREF(object_); }

  PyObject* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference to the caller.
  [[nodiscard]] PyObject* release() { return std::exchange(object_, nullptr); }

 private:
  explicit OwnedRef(PyObject* object) : object_(object) {}

  PyObject* object_ = nullptr;
};

}  // namespace velloquin::python
