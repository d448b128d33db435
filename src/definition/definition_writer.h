// Writing a definition out as a JSON value: the form derivation merges into and the Python
// getters read. Reading the written value back gives an equal record.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

#include "definition/prompt_definition.h"

namespace velloquin::core {

// "string", "integer", "number", "boolean", "array", "object".
std::string_view to_string(PromptVariableTypeString word);
// The six words above and "null".
std::string_view to_string(PromptVariableTypeArrayItem word);

// Keys in ascending byte order; empty maps and absent optional texts are left out,
// `validation_required` is always written.
nlohmann::json to_json(const PromptDefinition& definition);
nlohmann::json to_json(const PromptVariable& variable);
nlohmann::json to_json(const PromptVariant& variant);
// A single word as a string, a list as an array of words in stored order.
nlohmann::json to_json(const PromptVariableType& type);
nlohmann::json to_json(PromptVariableTypeArrayItem word);
nlohmann::json to_json(PromptDefinitionRole role);

}  // namespace velloquin::core
