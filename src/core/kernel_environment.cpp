#include "core/kernel_environment.h"

#include <utility>

#include "core/engine_error.h"
#include "jinja/environment.h"
#include "jinja/template.h"

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

}  // namespace velloquin::core
