#include "core/variant.h"
#include "base/try.h"

namespace velloquin::core {

Result<ResolvedArm, KernelError> resolve_variant(const PromptDefinition& definition,
                                                 std::optional<std::string_view> variant) {
  // "default" is tested before the look-up, so a variants entry of that name is unreachable.
  if (!variant || *variant == kDefaultArmLabel) {
    return ResolvedArm{std::string(kDefaultArmLabel), definition.body};
  }
  auto found = definition.variants.find(std::string(*variant));
  if (found == definition.variants.end()) {
    return err(KernelError{KernelError::Kind::UnknownVariant, std::string(*variant)});
  }
  return ResolvedArm{std::string(*variant), found->second.body};
}

Result<std::string_view, KernelError> get_source(const PromptDefinition& definition,
                                                 std::optional<std::string_view> variant) {
  VQ_TRY(auto arm, resolve_variant(definition, variant));
  return arm.source;
}

}  // namespace velloquin::core
