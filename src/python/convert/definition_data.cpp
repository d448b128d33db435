#include "python/convert/definition_data.h"

#include <nlohmann/json.hpp>

#include "definition/definition_writer.h"
#include "python/convert/marshal.h"
#include "python/errors/error_text.h"

namespace velloquin::python {
namespace {

// The conversion's own exception is folded into one ValueError, so callers see one failure
// kind whatever went wrong inside it.
OwnedRef python_data(const nlohmann::json& value) {
  OwnedRef converted = from_json(value);
  if (!converted) {
    const std::string text = "pythonize error: " + take_exception_text();
    PyErr_SetString(PyExc_ValueError, text.c_str());
  }
  return converted;
}

template <class Map>
nlohmann::json records_json(const Map& records) {
  nlohmann::json object = nlohmann::json::object();
  for (const auto& [name, record] : records) object[name] = core::to_json(record);
  return object;
}

}  // namespace

OwnedRef variables_dict(const core::PromptDefinition& definition) {
  return python_data(records_json(definition.variables));
}

OwnedRef variants_dict(const core::PromptDefinition& definition) {
  return python_data(records_json(definition.variants));
}

OwnedRef metadata_dict(const core::PromptDefinition& definition) {
  return python_data(nlohmann::json(definition.metadata));
}

}  // namespace velloquin::python
