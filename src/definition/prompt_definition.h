// The prompt-definition record that every part of the system works on.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/result.h"

namespace velloquin::core {

// An object of JSON values; its keys stay in ascending byte order.
using JsonObject = nlohmann::json::object_t;

// The only failure of the name conversion.
struct ConversionError {
  const char* message;
  std::string_view display() const { return message; }
};

// A name of at least one character; made only through from_str.
class PromptDefinitionName {
 public:
  static Result<PromptDefinitionName, ConversionError> from_str(std::string_view text) {
    if (text.empty()) return err(ConversionError{"shorter than 1 characters"});
    return PromptDefinitionName(std::string(text));
  }
  const std::string& str() const { return text_; }
  bool operator==(const PromptDefinitionName&) const = default;

 private:
  explicit PromptDefinitionName(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

enum class PromptDefinitionRole : std::uint8_t { System, User, Assistant };

// "system", "user" or "assistant".
constexpr std::string_view to_string(PromptDefinitionRole role) {
  switch (role) {
    case PromptDefinitionRole::System:
      return "system";
    case PromptDefinitionRole::User:
      return "user";
    case PromptDefinitionRole::Assistant:
      return "assistant";
  }
  return "system";
}

enum class PromptVariableTypeString : std::uint8_t {
  String,
  Integer,
  Number,
  Boolean,
  Array,
  Object
};
enum class PromptVariableTypeArrayItem : std::uint8_t {
  String,
  Integer,
  Number,
  Boolean,
  Array,
  Object,
  Null,
};

// A single type word, or a list of words that may also hold "null".
using PromptVariableType =
    std::variant<PromptVariableTypeString, std::vector<PromptVariableTypeArrayItem>>;

struct PromptVariable {
  std::optional<std::string> description;
  bool trusted = false;
  PromptVariableType type;
  bool validation_required = false;

  bool operator==(const PromptVariable&) const = default;
};

struct PromptVariant {
  std::string body;
  JsonObject metadata;

  bool operator==(const PromptVariant&) const = default;
};

// Variables and variants are keyed by name. Their order carries no meaning; a sorted map makes
// every walk over them, and so every reported error, reproducible.
using PromptVariables = std::map<std::string, PromptVariable>;
using PromptVariants = std::map<std::string, PromptVariant>;

struct PromptDefinition {
  std::string body;
  JsonObject metadata;
  PromptDefinitionName name;
  std::optional<std::string> output_model;
  PromptDefinitionRole role;
  PromptVariables variables;
  PromptVariants variants;

  bool operator==(const PromptDefinition&) const = default;
};

}  // namespace velloquin::core
