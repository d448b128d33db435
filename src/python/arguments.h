// The argument layer of every Python-callable operation: arguments are bound and checked
// before any work, with the interpreter's usual TypeErrors.
#pragma once

#include <Python.h>

#include <optional>
#include <span>
#include <string_view>

namespace velloquin::python {

struct Parameter {
  const char* name;
  bool required;
  bool keyword_only;
};

// Binds positional and keyword arguments to `parameters` (keyword-only ones last), writing a
// borrowed reference per parameter into `bound` (nullptr when not passed). Unknown keywords,
// a parameter given twice, missing required parameters and surplus positional arguments
// raise TypeError; false is then returned. `bound` needs one slot per parameter.
[[nodiscard]] bool bind_arguments(const char* function, std::span<const Parameter> parameters,
                                  PyObject* args, PyObject* kwargs, std::span<PyObject*> bound);

// The UTF-8 text of a str argument, valid while `value` lives. A value that is not a str (or
// a str without UTF-8 form) raises TypeError (UnicodeEncodeError) naming the parameter, with
// the note "while processing '<parameter>'"; nullopt is then returned.
std::optional<std::string_view> extract_str(const char* function, const char* parameter,
                                            PyObject* value);

}  // namespace velloquin::python
