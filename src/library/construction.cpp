#include "library/construction.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "base/try.h"
#include "core/agreement.h"
#include "core/variant.h"
#include "library/construction_error.h"

namespace velloquin::prompt {
namespace {

ConsumerError one_row(FieldError row) {
  return ConsumerError::Render{{std::move(row)}};
}

// `variant` is what the kernel resolves (absent for the root body); `label` is what messages say.
// The arm's root names: from its compiled template when there is one, else from compiling it
// again, which gives the failure.
Result<std::set<std::string>, ConsumerError> arm_roots(const core::PromptDefinition& definition,
                                                       const core::CompiledArms& compiled,
                                                       std::optional<std::string_view> variant,
                                                       std::string_view label) {
  if (const core::KernelTemplate* held = compiled.find(label, /*guarded=*/false)) {
    return core::template_roots(*held);
  }
  auto agreement = core::required_roots(definition, variant);
  if (!agreement) return err(one_row(construction_row(std::move(agreement).error())));
  return std::move(agreement->roots);
}

Result<void, ConsumerError> check_arm(const core::PromptDefinition& definition,
                                      const core::CompiledArms& compiled,
                                      std::optional<std::string_view> variant,
                                      std::string_view label) {
  VQ_TRY(const auto roots, arm_roots(definition, compiled, variant, label));
  for (const std::string& root : roots) {
    if (!definition.variables.contains(root)) return err(one_row(undeclared_root_row(root, label)));
  }
  return {};
}

}  // namespace

Result<void, ConsumerError> check_construction(const core::PromptDefinition& definition,
                                               const core::CompiledArms& compiled) {
  if (definition.variants.contains(std::string(core::kDefaultArmLabel))) {
    return err(one_row(reserved_variant_row()));
  }
  if (auto root = check_arm(definition, compiled, std::nullopt, core::kDefaultArmLabel); !root) {
    return root;
  }
  // The variants map is sorted, so which failing variant is reported first never varies.
  for (const auto& [key, variant] : definition.variants) {
    VQ_CHECK(check_arm(definition, compiled, key, key));
  }
  return {};
}

}  // namespace velloquin::prompt
