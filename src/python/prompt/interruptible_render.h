// Kernel renders that leave the interpreter responsive: other Python threads run while the
// engine works, and a signal handler's exception (Ctrl-C's KeyboardInterrupt) stops it.
#pragma once

#include <Python.h>

#include <chrono>
#include <optional>
#include <type_traits>
#include <utility>

#include "jinja/runtime/interruption.h"

namespace velloquin::python {

// Built with the interpreter lock held. A render that lasts past the engine's first question
// releases the lock there until finish() or the end of this object (a short render never pays
// for the release); meanwhile no Python object may be touched except by check(), which the
// engine calls from the rendering thread.
class InterruptibleRender final : public jinja::Interruption {
 public:
  InterruptibleRender() = default;
  ~InterruptibleRender();
  InterruptibleRender(const InterruptibleRender&) = delete;
  InterruptibleRender& operator=(const InterruptibleRender&) = delete;

  // At the first question and then at most once a period, runs the pending signal handlers with
  // the lock held; an exception of theirs stops the render, at this check and at every later one.
  Result<void, jinja::Error> check() override;

  // Takes the lock back. True when a handler raised: its exception is then the current one.
  bool finish();

 private:
  void take_lock();

  PyThreadState* released_ = nullptr;  // while the lock is released
  PyObject* raised_ = nullptr;
  std::chrono::steady_clock::time_point next_signal_check_{};
};

// `render(interruption)` run as above; nullopt, with the Python exception set, when a signal
// handler raised during it.
template <class Render>
auto render_interruptibly(Render&& render)
    -> std::optional<std::invoke_result_t<Render, jinja::Interruption&>> {
  InterruptibleRender interruptible;
  auto rendered = std::forward<Render>(render)(interruptible);
  if (interruptible.finish()) return std::nullopt;
  return rendered;
}

}  // namespace velloquin::python
