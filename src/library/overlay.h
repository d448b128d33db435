// The overlay a new prompt is derived with: any subset of the definition's top-level fields.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "definition/prompt_definition.h"

namespace velloquin::prompt {

// The output model is the one field that can be removed as well as replaced.
struct KeepOutputModel {
  bool operator==(const KeepOutputModel&) const = default;
};
struct ClearOutputModel {
  bool operator==(const ClearOutputModel&) const = default;
};
using OutputModelChange = std::variant<KeepOutputModel, ClearOutputModel, std::string>;

// An absent field leaves the prompt's field as it is; a present map field, even an empty one,
// takes part in the merge.
struct PromptOverlay {
  std::optional<core::PromptDefinitionName> name;
  std::optional<core::PromptDefinitionRole> role;
  std::optional<std::string> body;
  std::optional<core::PromptVariables> variables;
  std::optional<core::PromptVariants> variants;
  OutputModelChange output_model;
  std::optional<core::JsonObject> metadata;

  bool operator==(const PromptOverlay&) const = default;
};

// An object holding exactly the fields that are present, written as a definition writes them; a
// cleared output model is null.
nlohmann::json to_json(const PromptOverlay& overlay);

}  // namespace velloquin::prompt

namespace velloquin {
using prompt::ClearOutputModel;
using prompt::KeepOutputModel;
using prompt::OutputModelChange;
using prompt::PromptOverlay;
}  // namespace velloquin
