#include "core/kernel_environment.h"

#include <utility>

#include "base/try.h"
#include "core/engine_error.h"
#include "core/guard/guard_filter.h"
#include "jinja/runtime/environment.h"
#include "jinja/runtime/template.h"

namespace velloquin::core {

void make_strict(jinja::Environment& environment) {
  environment.set_undefined_behavior(jinja::UndefinedBehavior::Strict);
}

Result<const jinja::Template*, KernelError> compile_kernel_template(jinja::Environment& environment,
                                                                    std::string source) {
  auto added = environment.add_template(std::string(kKernelTemplateName), std::move(source));
  if (!added) return err(map_engine_error(std::move(added).error()));
  auto fetched = environment.get_template(kKernelTemplateName);
  if (!fetched) return err(map_engine_error(std::move(fetched).error()));
  return *fetched;
}

KernelTemplate::KernelTemplate() = default;
KernelTemplate::KernelTemplate(KernelTemplate&&) noexcept = default;
KernelTemplate& KernelTemplate::operator=(KernelTemplate&&) noexcept = default;
KernelTemplate::~KernelTemplate() = default;

Result<KernelTemplate, KernelError> compile_kernel(std::string source, bool guarded) {
  KernelTemplate made;
  made.environment = std::make_unique<jinja::Environment>();
  make_strict(*made.environment);
  if (guarded) register_guard_filter(*made.environment);
  VQ_TRY(made.compiled, compile_kernel_template(*made.environment, std::move(source)));
  return made;
}

}  // namespace velloquin::core
