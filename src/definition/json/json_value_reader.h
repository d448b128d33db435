// Reading definitions and their parts from an in-memory JSON value (derivation's merged
// object, the Python overlay's fields). Objects present their keys in ascending byte order, and
// errors name no position.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "base/result.h"
#include "definition/prompt_definition.h"
#include "definition/read_error.h"

namespace velloquin::core {

using JsonValueError = DocumentError;

// Each reader consumes the value: texts and nested values are moved out of it.
Result<PromptDefinition, JsonValueError> read_definition_from_json(nlohmann::json value);
Result<PromptVariables, JsonValueError> read_variables_from_json(nlohmann::json value);
Result<PromptVariants, JsonValueError> read_variants_from_json(nlohmann::json value);
Result<PromptDefinitionName, JsonValueError> read_name_from_json(nlohmann::json value);
Result<PromptDefinitionRole, JsonValueError> read_role_from_json(nlohmann::json value);

// How the JSON forms describe an offending value: "null", "boolean `true`", "integer `5`",
// "floating point `1.5`", "string \"..\"", "sequence", "map".
std::string describe_json(const nlohmann::json& value);

}  // namespace velloquin::core
