// The advisory check: findings about a prompt that never make it fail.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "definition/prompt_definition.h"

namespace velloquin::check {

// A variable declared untrusted in a prompt whose metadata has no "guard" key.
struct UntrustedWithoutGuard {
  std::string field;
  bool operator==(const UntrustedWithoutGuard&) const = default;
};

// What was found, with its data.
using FindingKind = std::variant<UntrustedWithoutGuard>;

// The snake-case word of a kind: "untrusted_without_guard".
std::string_view kind_name(const FindingKind& kind);

struct Finding {
  std::string prompt;                  // the prompt's name
  FindingKind kind;                    //
  std::string detail;                  // a sentence for people
  std::optional<std::string> variant;  // absent when the finding is about the whole prompt

  bool operator==(const Finding&) const = default;
};

struct CheckReport {
  std::vector<Finding> findings;  // in a stable order: by variable name

  bool passed() const { return findings.empty(); }
  bool operator==(const CheckReport&) const = default;
};

// The check of Prompt::check, over any definition.
CheckReport check_definition(const core::PromptDefinition& definition);

}  // namespace velloquin::check

namespace velloquin {
using check::CheckReport;
using check::Finding;
using check::FindingKind;
using check::UntrustedWithoutGuard;
}  // namespace velloquin
