#include "python/types/guard_config.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/debug_quote.h"
#include "python/support/arguments.h"
#include "python/support/cpp_class.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

constexpr const char* kName = "GuardConfig";

constexpr std::array<Parameter, 2> kParameters = {{
    {"enabled", /*required=*/false, /*keyword_only=*/true},
    {"advisory", /*required=*/false, /*keyword_only=*/true},
}};

PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, kParameters.size()> bound{};
  if (!bind_arguments(kName, kParameters, args, kwargs, bound)) return nullptr;
  core::GuardConfig config;
  if (bound[0] != nullptr) {
    const std::optional<bool> enabled = extract_bool(kName, "enabled", bound[0]);
    if (!enabled) return nullptr;
    config.enabled = *enabled;
  }
  std::optional<std::string_view> advisory;
  if (!extract_optional_str(kName, "advisory", bound[1], advisory)) return nullptr;
  if (advisory) config.advisory = std::string(*advisory);
  return new_cpp_object(type, std::move(config));
}

PyObject* new_entry(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(nullptr, [&] { return construct(type, args, kwargs); });
}

PyObject* get_enabled(PyObject* self, void*) {
  return guard_entry<PyObject*>(
      nullptr, [&] { return PyBool_FromLong(value_of<core::GuardConfig>(self).enabled ? 1 : 0); });
}

PyObject* get_advisory(PyObject* self, void*) {
  return guard_entry<PyObject*>(nullptr, [&] {
    return optional_text_object(value_of<core::GuardConfig>(self).advisory).release();
  });
}

PyObject* repr(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&] {
    const core::GuardConfig& config = value_of<core::GuardConfig>(self);
    std::string text = "GuardConfig(enabled=";
    text += config.enabled ? "True" : "False";
    text += ", advisory=";
    text += config.advisory ? "Some(" + jinja::debug_quote(*config.advisory) + ")" : "None";
    text += ')';
    return text_object(text).release();
  });
}

PyGetSetDef kGetSet[] = {
    {"enabled", get_enabled, nullptr, "Whether the guard wraps untrusted values.", nullptr},
    {"advisory", get_advisory, nullptr,
     "The advisory sentence that replaces the default one, or None for the default.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kDoc =
    "GuardConfig(*, enabled=False, advisory=None)\n--\n\n"
    "The guard setting of one render: with `enabled`, every value of a variable declared "
    "untrusted is wrapped in <untrusted> ... </untrusted> with its markup escaped, and an "
    "advisory sentence for the model is returned beside the text. `advisory` overrides the "
    "default sentence. Read-only.";

OnceCell type_cell;

}  // namespace

PyTypeObject* guard_config_type() {
  return cpp_class<core::GuardConfig>(
      type_cell, {"velloquin.GuardConfig", kDoc, kGetSet, nullptr, repr, nullptr, new_entry});
}

const core::GuardConfig& guard_config_of(PyObject* object) {
  return value_of<core::GuardConfig>(object);
}

}  // namespace velloquin::python
