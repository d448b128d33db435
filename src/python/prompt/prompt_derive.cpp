// Prompt.derive: a new prompt from a dict overlay under a merge strategy.
#include <array>
#include <optional>
#include <utility>

#include "python/convert/marshal.h"
#include "python/convert/overlay_reader.h"
#include "python/errors/error_reporting.h"
#include "python/prompt/prompt_methods.h"
#include "python/prompt/prompt_object.h"
#include "python/prompt/validator_coverage.h"
#include "python/support/arguments.h"
#include "python/support/internal_fault.h"
#include "python/types/merge_strategy.h"

namespace velloquin::python {
namespace {

constexpr std::array<Parameter, 3> kParameters = {{
    {"overlay", /*required=*/true, /*keyword_only=*/false},
    {"validators", /*required=*/false, /*keyword_only=*/true},
    {"strategy", /*required=*/false, /*keyword_only=*/true},
}};

// Absent or None is REPLACE; an int is refused although members compare equal to ints.
std::optional<MergeStrategy> strategy_argument(PyObject* value) {
  if (value == nullptr || value == Py_None) return MergeStrategy::Replace;
  const std::optional<MergeStrategyValue> member = merge_strategy_of(value);
  if (!member) {
    raise_not_an_instance("strategy", value, "MergeStrategy");
    return std::nullopt;
  }
  return *member == MergeStrategyValue::Merge ? MergeStrategy::Merge : MergeStrategy::Replace;
}

Result<PromptOverlay, ConsumerError> overlay_argument(PyObject* value) {
  auto converted = to_json(value);
  if (!converted) {
    return err(ConsumerError(ConsumerError::Load{std::move(converted).error().text}));
  }
  return read_overlay(std::move(converted).value());
}

PyObject* derive(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, kParameters.size()> bound{};
  if (!bind_arguments("derive", kParameters, args, kwargs, bound)) return nullptr;
  const std::optional<MergeStrategy> strategy = strategy_argument(bound[2]);
  if (!strategy) return nullptr;
  auto overlay = overlay_argument(bound[0]);
  if (!overlay) return consumer_error_to_pyerr(std::move(overlay).error()).raise();

  const PromptState& state = prompt_state_of(self);
  auto derived = state.inner.derive_with(std::move(overlay).value(), *strategy);
  if (!derived) return consumer_error_to_pyerr(std::move(derived).error()).raise();

  // There is no way to unbind validators through derive: None keeps the prompt's own.
  OwnedRef validators = (bound[1] != nullptr && bound[1] != Py_None)
                            ? OwnedRef::borrow(bound[1])
                            : OwnedRef::borrow(state.validators.get());
  auto covered = check_validator_coverage(derived->definition(), validators.get());
  if (!covered) return std::move(covered).error().raise();
  return new_prompt(std::move(derived).value(), std::move(validators));
}

}  // namespace

PyObject* prompt_derive(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(nullptr, [&] { return derive(self, args, kwargs); });
}

}  // namespace velloquin::python
