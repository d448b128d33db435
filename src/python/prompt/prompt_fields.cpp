// Reading a Prompt from Python: its fields, a variant's source and its printed form. Every read
// builds new objects from the held definition.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/debug_quote.h"
#include "definition/prompt_definition.h"
#include "python/convert/definition_data.h"
#include "python/errors/error_reporting.h"
#include "python/prompt/prompt_methods.h"
#include "python/prompt/prompt_object.h"
#include "python/support/arguments.h"
#include "python/support/internal_fault.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

const core::PromptDefinition& definition_of(PyObject* self) {
  return prompt_state_of(self).inner.definition();
}

template <class Read>
PyObject* getter(PyObject* self, Read read) {
  return guard_entry<PyObject*>(nullptr, [&] { return read(definition_of(self)).release(); });
}

constexpr std::array<Parameter, 1> kSourceParameters = {{
    {"variant", /*required=*/false, /*keyword_only=*/true},
}};

PyObject* get_source(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, kSourceParameters.size()> bound{};
  if (!bind_arguments("get_source", kSourceParameters, args, kwargs, bound)) return nullptr;
  std::optional<std::string_view> variant;
  if (!extract_optional_str("get_source", "variant", bound[0], variant)) return nullptr;
  auto source = prompt_state_of(self).inner.get_source(variant);
  if (!source) return consumer_error_to_pyerr(std::move(source).error()).raise();
  return text_object(*source).release();
}

}  // namespace

PyObject* prompt_get_name(PyObject* self, void*) {
  return getter(self, [](const core::PromptDefinition& d) { return text_object(d.name.str()); });
}

PyObject* prompt_get_role(PyObject* self, void*) {
  return getter(self,
                [](const core::PromptDefinition& d) { return text_object(to_string(d.role)); });
}

PyObject* prompt_get_body(PyObject* self, void*) {
  return getter(self, [](const core::PromptDefinition& d) { return text_object(d.body); });
}

PyObject* prompt_get_output_model(PyObject* self, void*) {
  return getter(
      self, [](const core::PromptDefinition& d) { return optional_text_object(d.output_model); });
}

PyObject* prompt_get_variables(PyObject* self, void*) {
  return getter(self, variables_dict);
}

PyObject* prompt_get_variants(PyObject* self, void*) {
  return getter(self, variants_dict);
}

PyObject* prompt_get_metadata(PyObject* self, void*) {
  return getter(self, metadata_dict);
}

PyObject* prompt_get_source(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(nullptr, [&] { return get_source(self, args, kwargs); });
}

PyObject* prompt_repr(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&] {
    const core::PromptDefinition& definition = definition_of(self);
    std::string text = "Prompt(name=";
    text += jinja::debug_quote(definition.name.str());
    text += ", role=";
    text += jinja::debug_quote(to_string(definition.role));
    text += ')';
    return text_object(text).release();
  });
}

}  // namespace velloquin::python
