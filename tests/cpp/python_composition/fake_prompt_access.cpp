// A stand-in for the Prompt class: instances of the Python class bound as `FakePrompt` in the
// test namespace count as prompts; their `name` and `role` attributes are read, and rendering
// writes the name, the variant and the value, or fails for the variant "missing".
#include <string>

#include "python/errors/error_reporting.h"
#include "python/prompt/prompt_access.h"
#include "python/support/py_ref.h"

namespace velloquin::python {
namespace {

PyObject* fake_prompt_class() {
  PyObject* main = PyImport_AddModule("__main__");
  return main != nullptr ? PyObject_GetAttrString(main, "FakePrompt") : nullptr;
}

std::string text_attribute(PyObject* prompt, const char* name) {
  OwnedRef value = OwnedRef::steal(PyObject_GetAttrString(prompt, name));
  const char* text = value ? PyUnicode_AsUTF8AndSize(value.get(), nullptr) : nullptr;
  if (text == nullptr) {
    PyErr_Clear();
    return "<unreadable>";
  }
  return text;
}

}  // namespace

bool is_prompt(PyObject* object) {
  OwnedRef cls = OwnedRef::steal(fake_prompt_class());
  const int result = cls ? PyObject_IsInstance(object, cls.get()) : -1;
  if (result < 0) PyErr_Clear();
  return result == 1;
}

std::string prompt_name(PyObject* prompt) {
  return text_attribute(prompt, "name");
}

std::string prompt_role(PyObject* prompt) {
  return text_attribute(prompt, "role");
}

Result<std::string, PendingError> render_entry(PyObject* prompt,
                                               const std::optional<std::string>& variant,
                                               KernelValue value) {
  if (variant == "missing") {
    return err(consumer_error_to_pyerr(ConsumerError(
        ConsumerError::Render{{{"variant", "unknown_variant", "unknown variant: `missing`"}}})));
  }
  return prompt_name(prompt) + "@" + variant.value_or("default") + ":" + value.dump();
}

}  // namespace velloquin::python
