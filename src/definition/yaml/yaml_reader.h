// Reading a prompt definition from YAML text.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"
#include "definition/prompt_definition.h"
#include "definition/read_error.h"

namespace velloquin::core {

// The reader's one error; its display text is the whole message, path and position included.
using YamlTextError = DocumentError;

// Reads the text's one document as a definition. Fails on a text without a document, on a second
// document, on a syntax error, on the repetition and nesting limits and on every shape error.
Result<PromptDefinition, YamlTextError> read_definition_from_yaml(std::string_view text);

}  // namespace velloquin::core
