// What Composition needs from a Prompt object, answered by the real class.
#include "python/prompt/prompt_access.h"

#include <stdexcept>
#include <string>
#include <string_view>

#include "core/render.h"
#include "jinja/value/value.h"
#include "python/errors/error_reporting.h"
#include "python/prompt/interruptible_render.h"
#include "python/prompt/prompt_object.h"
#include "python/support/pending_error.h"

namespace velloquin::python {

bool is_prompt(PyObject* object) {
  PyTypeObject* type = prompt_type();
  if (type == nullptr) {
    PyErr_Clear();
    return false;
  }
  return PyObject_TypeCheck(object, type);
}

std::string prompt_name(PyObject* prompt) {
  return prompt_state_of(prompt).inner.definition().name.str();
}

std::string prompt_role(PyObject* prompt) {
  return std::string(to_string(prompt_state_of(prompt).inner.definition().role));
}

Result<std::string, PendingError> render_entry(PyObject* prompt,
                                               const std::optional<std::string>& variant,
                                               KernelValue value) {
  PromptState& state = prompt_state_of(prompt);
  auto shared = state.borrow.share();
  if (!shared) {
    PyErr_Clear();
    // Nothing takes a Prompt exclusively, so this cannot happen; reported rather than ignored.
    throw std::logic_error("a Prompt under an exclusive borrow was rendered");
  }
  const std::optional<std::string_view> arm =
      variant ? std::optional<std::string_view>(*variant) : std::nullopt;
  // As in Prompt.render: other threads run meanwhile, and a signal handler's exception stops it.
  auto interruptible = render_interruptibly([&](jinja::Interruption& interruption) {
    return core::render(state.inner.definition(), state.inner.compiled_arms(), arm,
                        jinja::Value::from_json(value), core::GuardConfig{}, &interruption);
  });
  if (!interruptible) return err(PendingError::take_current());
  auto& rendered = *interruptible;
  if (!rendered) {
    return err(consumer_error_to_pyerr(ConsumerError::from_kernel(std::move(rendered).error())));
  }
  return std::move(rendered->text);
}

}  // namespace velloquin::python
