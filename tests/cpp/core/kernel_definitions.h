// Definitions for the kernel's render and agreement tests.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "definition/json/json_text_reader.h"
#include "definition/prompt_definition.h"

namespace velloquin::core::testing {

inline PromptDefinition definition_from(std::string_view json) {
  auto read = read_definition_from_json_text(json);
  if (!read) {
    ADD_FAILURE() << "test definition does not read: " << read.error().display();
    return PromptDefinition{
        "", {}, *PromptDefinitionName::from_str("broken"), std::nullopt, PromptDefinitionRole::User,
        {}, {}};
  }
  return std::move(read).value();
}

// A definition named "p" with the body, the variables (a JSON object text) and the variants.
inline PromptDefinition definition(std::string_view body, std::string_view variables = "{}",
                                   std::string_view variants = "{}") {
  nlohmann::json doc = {{"body", body}, {"name", "p"}, {"role", "user"}};
  doc["variables"] = nlohmann::json::parse(variables);
  doc["variants"] = nlohmann::json::parse(variants);
  return definition_from(doc.dump());
}

}  // namespace velloquin::core::testing
