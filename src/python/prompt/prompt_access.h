// What the rest of the binding needs from a Python Prompt object, without knowing its layout.
// The implementation lives in src/python/prompt/prompt_access*.cpp and nowhere else: the C++ tests
// of Composition link a stand-in Prompt in place of every such file.
#pragma once

#include <Python.h>

#include <optional>
#include <string>

#include "base/result.h"
#include "library/error.h"
#include "python/convert/kernel_value.h"
#include "python/support/pending_error.h"

namespace velloquin::python {

// The class name used in "'{}' object is not an instance of '{}'".
inline constexpr const char* kPromptClassName = "Prompt";

// Whether `object` is a Prompt (subclass instances included). Never raises.
bool is_prompt(PyObject* object);

// The prompt's name. `prompt` must satisfy is_prompt.
std::string prompt_name(PyObject* prompt);

// The text form of the prompt's role: "system", "user" or "assistant". `prompt` must satisfy
// is_prompt.
std::string prompt_role(PyObject* prompt);

// Renders one composition entry: the prompt's validated definition at `variant` (absent: the
// root body) with `value`, the guard off and no advisory. A kernel error comes back translated
// by the library's scrubbing conversion (ConsumerError::from_kernel) into the Python exception
// to raise; so does the exception of a signal handler that stopped the render. Other threads
// run while the engine works. `prompt` must satisfy is_prompt.
Result<std::string, PendingError> render_entry(PyObject* prompt,
                                               const std::optional<std::string>& variant,
                                               KernelValue value);

}  // namespace velloquin::python
