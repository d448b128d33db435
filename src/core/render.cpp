#include "core/render.h"

#include <utility>

#include "core/variant.h"

namespace velloquin::core {

// Until the template engine is in, every render that resolves fails as a render error.
Result<RenderResult, KernelError> render(const PromptDefinition& definition,
                                         std::optional<std::string_view> variant,
                                         const nlohmann::json& /*context*/,
                                         const GuardConfig& /*guard*/) {
  auto arm = resolve_variant(definition, variant);
  if (!arm) return err(std::move(arm).error());
  return err(KernelError{KernelError::Kind::Render, "template engine not available"});
}

}  // namespace velloquin::core
