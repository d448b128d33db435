// A host's hold on a long render: asked now and then whether the render may go on.
#pragma once

#include "base/result.h"
#include "jinja/error.h"

namespace velloquin::jinja {

// The evaluator asks from the rendering thread, each time it has done some thousands of steps
// of work (loop iterations, calls of filters and functions, the items and bytes they produce
// and print). An error ends the render with that very error. Once it has said stop it must
// keep saying so: an expression that tolerates a failed operand may discard one error, and the
// next check has to end the render all the same.
class Interruption {
 public:
  virtual Result<void, Error> check() = 0;

 protected:
  ~Interruption() = default;
};

}  // namespace velloquin::jinja
