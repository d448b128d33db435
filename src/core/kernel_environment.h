// The one way the kernel sets up the template engine: a fresh environment per operation, strict
// about undefined values, holding one template named "kernel".
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/kernel_error.h"

namespace velloquin::jinja {
class Environment;
class Template;
}  // namespace velloquin::jinja

namespace velloquin::core {

// The name of the one template every kernel environment holds; engine texts end in
// " (in kernel:N)".
inline constexpr std::string_view kKernelTemplateName = "kernel";

// Everything but undefined handling stays at the engine's defaults: the template name has no
// suffix, so nothing is auto-escaped, and there is no loader to include from.
void make_strict(jinja::Environment& environment);

// Compiles `source` as the template "kernel" and fetches it back; engine failures of either step
// are classified into kernel error kinds.
Result<const jinja::Template*, KernelError> compile_kernel_template(jinja::Environment& environment,
                                                                    std::string source);

// A kernel environment with its one compiled template, which lives as long as the environment.
struct KernelTemplate {
  std::unique_ptr<jinja::Environment> environment;
  const jinja::Template* compiled = nullptr;

  KernelTemplate();
  KernelTemplate(KernelTemplate&&) noexcept;
  KernelTemplate& operator=(KernelTemplate&&) noexcept;
  ~KernelTemplate();
};

// `source` compiled in a fresh strict environment, which has the guard filter when `guarded`.
Result<KernelTemplate, KernelError> compile_kernel(std::string source, bool guarded);

}  // namespace velloquin::core
