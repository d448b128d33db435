// Stands in for the Prompt class until it exists: no object is a Prompt, so no caller ever
// reaches the operations that need one.
#include <stdexcept>

#include "python/prompt_access.h"

namespace velloquin::python {
namespace {

[[noreturn]] void no_prompt_class() {
  throw std::logic_error("the Prompt class is not part of this build");
}

}  // namespace

bool is_prompt(PyObject*) {
  return false;
}

std::string prompt_name(PyObject*) {
  no_prompt_class();
}

std::string prompt_role(PyObject*) {
  no_prompt_class();
}

Result<std::string, ConsumerError> render_entry(PyObject*, const std::optional<std::string>&,
                                                KernelValue) {
  no_prompt_class();
}

}  // namespace velloquin::python
