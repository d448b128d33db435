#include "python/prompt/interruptible_render.h"

namespace velloquin::python {
namespace {

// Well within the 100 ms a person expects Ctrl-C to take, and rare enough that taking the lock
// costs a long render nothing measurable.
constexpr std::chrono::milliseconds kSignalPeriod{10};

}  // namespace

InterruptibleRender::~InterruptibleRender() {
  // Also reached by an exception thrown out of the render: the lock comes back before anyone
  // reports it to Python.
  take_lock();
  Py_XDECREF(raised_);
}

Result<void, jinja::Error> InterruptibleRender::check() {
  if (raised_ == nullptr) {
    const auto now = std::chrono::steady_clock::now();
    if (now < next_signal_check_) return {};
    if (released_ != nullptr) PyEval_RestoreThread(released_);
    if (PyErr_CheckSignals() != 0) raised_ = PyErr_GetRaisedException();
    released_ = PyEval_SaveThread();
    next_signal_check_ = std::chrono::steady_clock::now() + kSignalPeriod;
    if (raised_ == nullptr) return {};
  }
  return err(jinja::Error(jinja::ErrorKind::InvalidOperation, "render interrupted"));
}

void InterruptibleRender::take_lock() {
  if (released_ == nullptr) return;
  PyEval_RestoreThread(released_);
  released_ = nullptr;
}

bool InterruptibleRender::finish() {
  take_lock();
  if (raised_ == nullptr) return false;
  PyErr_SetRaisedException(raised_);  // steals the reference
  raised_ = nullptr;
  return true;
}

}  // namespace velloquin::python
