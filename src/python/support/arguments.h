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

// An optional str argument: `value` nullptr (not passed) or None leaves `out` empty, a str
// sets it to its UTF-8 text (valid while `value` lives); anything else fails as extract_str
// does. Returns false with the Python error set on failure.
[[nodiscard]] bool extract_optional_str(const char* function, const char* parameter,
                                        PyObject* value, std::optional<std::string_view>& out);

// A boolean flag: a Python bool, or a NumPy boolean scalar (numpy.bool_), read through its
// truth value. Anything else, None included, raises TypeError naming the parameter with the
// note "while processing '<parameter>'"; nullopt is then returned.
std::optional<bool> extract_bool(const char* function, const char* parameter, PyObject* value);

// Raises TypeError "'<type of value>' object is not an instance of '<class_name>'" with the
// note "while processing '<parameter>'".
void raise_not_an_instance(const char* parameter, PyObject* value, const char* class_name);

// Whether `value` is an instance of `type` (subclass instances pass); when not, raises as
// raise_not_an_instance with the type's name and returns false. A null `type` (a class accessor
// that failed, with its error set) gives false as well.
[[nodiscard]] bool extract_instance(const char* parameter, PyObject* value, PyTypeObject* type);

}  // namespace velloquin::python
