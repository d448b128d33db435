// Sorts the template engine's errors into the kernel's error kinds.
#pragma once

#include "core/kernel_error.h"
#include "jinja/error.h"

namespace velloquin::core {

// By the engine error's kind alone, whichever stage raised it: syntax errors naming an excluded
// statement are ExcludedFeature, other syntax errors Parse; undefined values UndefinedVariable
// (the detail, else the whole display text); everything else Render. The text is never
// shortened: scrubbing is left to the prompt library.
KernelError map_engine_error(jinja::Error error);

}  // namespace velloquin::core
