// Process-wide objects made on first use and kept for the life of the process.
#pragma once

#include <Python.h>

#include <atomic>
#include <mutex>

namespace velloquin::python {

// A cell is empty, being filled or filled. The interpreter lock is never held while waiting
// for the cell's guard: a thread holding the lock and a thread holding the guard would
// otherwise wait for each other, since building the value may run Python code that lets
// other threads in.
class OnceCell {
 public:
  constexpr OnceCell() = default;
  OnceCell(const OnceCell&) = delete;
  OnceCell& operator=(const OnceCell&) = delete;

  // The stored object (borrowed), built by `build` on first use. `build` runs with the
  // interpreter lock held and returns a new reference, or nullptr with a Python error set,
  // in which case the cell stays empty and nullptr is returned.
  template <class Build>
  PyObject* get(Build&& build) {
    if (PyObject* value = value_.load(std::memory_order_acquire)) return value;
    PyThreadState* thread = PyEval_SaveThread();
    std::unique_lock<std::mutex> lock(guard_);
    PyEval_RestoreThread(thread);
    if (PyObject* value = value_.load(std::memory_order_acquire)) return value;
    PyObject* built = build();
    if (built != nullptr) value_.store(built, std::memory_order_release);
    return built;
  }

  // The stored object, or nullptr while the cell is empty. Never builds.
  PyObject* peek() const { return value_.load(std::memory_order_acquire); }

 private:
  std::atomic<PyObject*> value_{nullptr};
  std::mutex guard_;
};

}  // namespace velloquin::python
