// Reading a definition from JSON text: one pass over the text, errors in text order, each
// with its line and column.
//
// The text is taken as bytes. Raw bytes inside a string that are not UTF-8 fail with "invalid
// unicode code point" (after the string), and anywhere else they are a syntax error at that
// byte, so text that is not UTF-8 never reaches the definition.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/result.h"
#include "definition/prompt_definition.h"

namespace velloquin::core {

struct JsonTextError {
  std::string message;
  std::size_t line = 0;  // 0 when there is no position
  std::size_t column = 0;

  // "{message} at line {line} column {column}", or the message alone without a position.
  std::string display() const;
  bool operator==(const JsonTextError&) const = default;
};

Result<PromptDefinition, JsonTextError> read_definition_from_json_text(std::string_view text);

}  // namespace velloquin::core
