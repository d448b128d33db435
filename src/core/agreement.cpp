#include "core/agreement.h"

#include <set>
#include <string>
#include <utility>

#include "base/try.h"
#include "core/kernel_environment.h"
#include "core/variant.h"
#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"

namespace velloquin::core {

Result<Agreement, KernelError> required_roots(const PromptDefinition& definition,
                                              std::optional<std::string_view> variant) {
  VQ_TRY(auto arm, resolve_variant(definition, variant));
  // Compiled exactly as an unguarded render compiles it, so both fail alike.
  VQ_TRY(auto compiled, compile_kernel(std::string(arm.source), /*guarded=*/false));
  return Agreement{std::move(arm.label), template_roots(compiled)};
}

std::set<std::string> template_roots(const KernelTemplate& compiled) {
  std::set<std::string> roots = compiled.compiled->undeclared_variables(false);
  // Whatever the engine provides itself needs no declaration; asked of the environment, so a
  // global the engine adds later is covered too.
  for (const std::string& global : compiled.environment->global_names()) roots.erase(global);
  return roots;
}

}  // namespace velloquin::core
