#include "definition/definition_writer.h"

#include <string>

namespace velloquin::core {

std::string_view to_string(PromptVariableTypeString word) {
  switch (word) {
    case PromptVariableTypeString::String:
      return "string";
    case PromptVariableTypeString::Integer:
      return "integer";
    case PromptVariableTypeString::Number:
      return "number";
    case PromptVariableTypeString::Boolean:
      return "boolean";
    case PromptVariableTypeString::Array:
      return "array";
    case PromptVariableTypeString::Object:
      return "object";
  }
  return "string";
}

std::string_view to_string(PromptVariableTypeArrayItem word) {
  if (word == PromptVariableTypeArrayItem::Null) return "null";
  return to_string(static_cast<PromptVariableTypeString>(word));
}

nlohmann::json to_json(PromptDefinitionRole role) {
  return std::string(to_string(role));
}

nlohmann::json to_json(PromptVariableTypeArrayItem word) {
  return std::string(to_string(word));
}

nlohmann::json to_json(const PromptVariableType& type) {
  if (const auto* word = std::get_if<PromptVariableTypeString>(&type)) {
    return std::string(to_string(*word));
  }
  nlohmann::json words = nlohmann::json::array();
  for (PromptVariableTypeArrayItem item : std::get<1>(type)) words.push_back(to_json(item));
  return words;
}

nlohmann::json to_json(const PromptVariable& variable) {
  nlohmann::json out = nlohmann::json::object();
  if (variable.description) out["description"] = *variable.description;
  out["trusted"] = variable.trusted;
  out["type"] = to_json(variable.type);
  out["validation_required"] = variable.validation_required;
  return out;
}

nlohmann::json to_json(const PromptVariant& variant) {
  nlohmann::json out = nlohmann::json::object();
  out["body"] = variant.body;
  if (!variant.metadata.empty()) out["metadata"] = variant.metadata;
  return out;
}

nlohmann::json to_json(const PromptDefinition& definition) {
  nlohmann::json out = nlohmann::json::object();
  out["body"] = definition.body;
  if (!definition.metadata.empty()) out["metadata"] = definition.metadata;
  out["name"] = definition.name.str();
  if (definition.output_model) out["output_model"] = *definition.output_model;
  out["role"] = to_json(definition.role);
  if (!definition.variables.empty()) {
    nlohmann::json variables = nlohmann::json::object();
    for (const auto& [name, variable] : definition.variables) variables[name] = to_json(variable);
    out["variables"] = std::move(variables);
  }
  if (!definition.variants.empty()) {
    nlohmann::json variants = nlohmann::json::object();
    for (const auto& [name, variant] : definition.variants) variants[name] = to_json(variant);
    out["variants"] = std::move(variants);
  }
  return out;
}

}  // namespace velloquin::core
