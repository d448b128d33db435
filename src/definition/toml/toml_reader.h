// Reading a prompt definition from TOML text.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"
#include "definition/prompt_definition.h"
#include "definition/read_error.h"

namespace velloquin::core {

// The reader's one error; its display text is the whole multi-line report ("TOML parse error at
// line L, column C", the excerpt, the carets, the message), final line feed included.
using TomlTextError = DocumentError;

// Reads the text's root table as a definition.
Result<PromptDefinition, TomlTextError> read_definition_from_toml(std::string_view text);

}  // namespace velloquin::core
