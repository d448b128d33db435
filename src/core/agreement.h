// Template agreement: the top-level names a template needs from its context.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/kernel_environment.h"
#include "core/kernel_error.h"
#include "definition/prompt_definition.h"

namespace velloquin::core {

struct Agreement {
  std::string variant;          // the arm label: "default" or the requested variant name
  std::set<std::string> roots;  // byte order, the engine's own global names left out

  bool operator==(const Agreement&) const = default;
};

// Compiles the arm exactly as an unguarded render would, so it fails the same way, and lists
// the root names the template reads before (or without) assigning them.
Result<Agreement, KernelError> required_roots(const PromptDefinition& definition,
                                              std::optional<std::string_view> variant);

// The root names of a template already compiled as an unguarded render compiles it.
std::set<std::string> template_roots(const KernelTemplate& compiled);

}  // namespace velloquin::core
