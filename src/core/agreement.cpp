#include "core/agreement.h"

#include <utility>

#include "core/variant.h"

namespace velloquin::core {

// Until the template engine is in, only resolution is checked and no roots are reported.
Result<Agreement, KernelError> required_roots(const PromptDefinition& definition,
                                              std::optional<std::string_view> variant) {
  auto arm = resolve_variant(definition, variant);
  if (!arm) return err(std::move(arm).error());
  return Agreement{std::move(arm->label), {}};
}

}  // namespace velloquin::core
