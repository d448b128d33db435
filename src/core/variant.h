// Picks the template a kernel operation works on: the root body or one named variant.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/kernel_error.h"
#include "definition/prompt_definition.h"

namespace velloquin::core {

// The label every caller reports for the root body; also the one variant name that never reaches
// the `variants` map.
inline constexpr std::string_view kDefaultArmLabel = "default";

// One arm of a definition. The label is owned so results can keep it; the source is borrowed and
// lives exactly as long as the definition it was resolved from.
struct ResolvedArm {
  std::string label;
  std::string_view source;
};

// No variant, or exactly "default", is the root body; any other name must be a key of
// `variants`, compared byte for byte. Fails only with UnknownVariant carrying the name as given.
Result<ResolvedArm, KernelError> resolve_variant(const PromptDefinition& definition,
                                                 std::optional<std::string_view> variant);

// The arm's source, verbatim: neither rendered nor rewritten.
Result<std::string_view, KernelError> get_source(const PromptDefinition& definition,
                                                 std::optional<std::string_view> variant);

// The source borrows from the definition, so a temporary one would leave it dangling.
Result<ResolvedArm, KernelError> resolve_variant(const PromptDefinition&& definition,
                                                 std::optional<std::string_view> variant) = delete;
Result<std::string_view, KernelError> get_source(const PromptDefinition&& definition,
                                                 std::optional<std::string_view> variant) = delete;

}  // namespace velloquin::core
