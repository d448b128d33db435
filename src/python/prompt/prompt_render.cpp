// Prompt.render: values validated in Python, converted, rendered by the kernel, wrapped with
// their provenance.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/render.h"
#include "jinja/value/value.h"
#include "library/error.h"
#include "python/convert/template_value.h"
#include "python/errors/error_reporting.h"
#include "python/prompt/interruptible_render.h"
#include "python/prompt/prompt_methods.h"
#include "python/prompt/prompt_object.h"
#include "python/prompt/validation.h"
#include "python/support/arguments.h"
#include "python/support/internal_fault.h"
#include "python/types/guard_config.h"
#include "python/types/render_result.h"

namespace velloquin::python {
namespace {

constexpr const char* kFunction = "render";

constexpr std::array<Parameter, 5> kParameters = {{
    {"model", /*required=*/false, /*keyword_only=*/false},
    {"data", /*required=*/false, /*keyword_only=*/true},
    {"variant", /*required=*/false, /*keyword_only=*/true},
    {"guard", /*required=*/false, /*keyword_only=*/true},
    {"unsafe_reveal_render_detail", /*required=*/false, /*keyword_only=*/true},
}};

struct RenderArguments {
  PyObject* model = nullptr;  // nullptr: omitted or None
  PyObject* data = nullptr;   // nullptr: omitted or None
  std::optional<std::string_view> variant;
  core::GuardConfig guard;
  bool reveal = false;
};

PyObject* none_as_absent(PyObject* value) {
  return value == Py_None ? nullptr : value;
}

// Extracted in parameter order, before any work; false with the TypeError set.
bool read_arguments(PyObject* args, PyObject* kwargs, RenderArguments& out) {
  std::array<PyObject*, kParameters.size()> bound{};
  if (!bind_arguments(kFunction, kParameters, args, kwargs, bound)) return false;
  out.model = none_as_absent(bound[0]);
  out.data = none_as_absent(bound[1]);
  if (!extract_optional_str(kFunction, "variant", bound[2], out.variant)) return false;
  if (PyObject* guard = none_as_absent(bound[3])) {
    if (!extract_instance("guard", guard, guard_config_type())) return false;
    out.guard = guard_config_of(guard);
  }
  if (bound[4] != nullptr) {
    const std::optional<bool> reveal =
        extract_bool(kFunction, "unsafe_reveal_render_detail", bound[4]);
    if (!reveal) return false;
    out.reveal = *reveal;
  }
  return true;
}

Result<OwnedRef, PendingError> validation_row_failure(const char* message) {
  std::vector<FieldError> rows;
  rows.push_back({"", std::string(error::code::kValidation), message});
  return err(consumer_error_to_pyerr(ConsumerError::Validation{std::move(rows)}));
}

// The validated values as JSON-mode Python data. A given model always wins over the bound
// validators.
Result<OwnedRef, PendingError> validated_values(const RenderArguments& arguments,
                                                PyObject* validators) {
  if (arguments.model != nullptr) return validate_in_python(arguments.model, arguments.data);
  if (validators == nullptr) {
    return validation_row_failure("render() requires a model or validators bound at construction");
  }
  if (arguments.data == nullptr) {
    return validation_row_failure(
        "render() with no model arg requires explicit data= when using a bound validator class");
  }
  return validate_in_python(validators, arguments.data);
}

PyObject* render(PyObject* self, PyObject* args, PyObject* kwargs) {
  RenderArguments arguments;
  if (!read_arguments(args, kwargs, arguments)) return nullptr;
  PromptState& state = prompt_state_of(self);
  // Shared: validation may render this same prompt again.
  auto shared = state.borrow.share();
  if (!shared) return nullptr;

  // Held for the call: the model's Python code runs while it is in use.
  const OwnedRef validators = OwnedRef::borrow(state.validators.get());
  auto validated = validated_values(arguments, validators.get());
  if (!validated) return std::move(validated).error().raise();
  auto value = to_template_value(validated->get());
  if (!value) return consumer_error_to_pyerr(std::move(value).error()).raise();

  // Other threads run meanwhile; the prompt, its compiled arms and the arguments stay alive and
  // unchanged, held by this call.
  auto interruptible = render_interruptibly([&](jinja::Interruption& interruption) {
    return core::render(state.inner.definition(), state.inner.compiled_arms(), arguments.variant,
                        std::move(value).value(), arguments.guard, &interruption);
  });
  if (!interruptible) return nullptr;
  auto& rendered = *interruptible;
  if (!rendered) {
    return consumer_error_to_pyerr(
               ConsumerError::from_kernel_revealing(std::move(rendered).error(), arguments.reveal))
        .raise();
  }
  return new_render_result(std::move(rendered).value());
}

}  // namespace

PyObject* prompt_render(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(nullptr, [&] { return render(self, args, kwargs); });
}

}  // namespace velloquin::python
