// Definitions for the library's tests, written as JSON so each case reads like a document.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "definition/json/json_text_reader.h"
#include "definition/prompt_definition.h"

namespace velloquin::testing {

inline core::PromptDefinition definition_from(std::string_view json) {
  auto read = core::read_definition_from_json_text(json);
  if (!read) {
    ADD_FAILURE() << "test definition does not read: " << read.error().display();
    return core::PromptDefinition{"",
                                  {},
                                  *core::PromptDefinitionName::from_str("broken"),
                                  std::nullopt,
                                  core::PromptDefinitionRole::User,
                                  {},
                                  {}};
  }
  return std::move(read).value();
}

}  // namespace velloquin::testing
