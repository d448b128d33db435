#include "library/construction.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/agreement.h"
#include "core/variant.h"
#include "library/construction_error.h"

namespace velloquin::prompt {
namespace {

ConsumerError one_row(FieldError row) {
  return ConsumerError::Render{{std::move(row)}};
}

// `variant` is what the kernel resolves (absent for the root body); `label` is what messages say.
Result<void, ConsumerError> check_arm(const core::PromptDefinition& definition,
                                      std::optional<std::string_view> variant,
                                      std::string_view label) {
  auto agreement = core::required_roots(definition, variant);
  if (!agreement) return err(one_row(construction_row(std::move(agreement).error())));
  for (const std::string& root : agreement->roots) {
    if (!definition.variables.contains(root)) return err(one_row(undeclared_root_row(root, label)));
  }
  return {};
}

}  // namespace

Result<void, ConsumerError> check_construction(const core::PromptDefinition& definition) {
  if (definition.variants.contains(std::string(core::kDefaultArmLabel))) {
    return err(one_row(reserved_variant_row()));
  }
  if (auto root = check_arm(definition, std::nullopt, core::kDefaultArmLabel); !root) return root;
  // The variants map is sorted, so which failing variant is reported first never varies.
  for (const auto& [key, variant] : definition.variants) {
    if (auto arm = check_arm(definition, key, key); !arm) return arm;
  }
  return {};
}

}  // namespace velloquin::prompt
