#include "core/render.h"

#include <optional>
#include <set>
#include <string>
#include <utility>

#include "base/try.h"
#include "core/compiled_arms.h"
#include "core/engine_error.h"
#include "core/guard/guard.h"
#include "core/hashing.h"
#include "core/kernel_environment.h"
#include "core/variant.h"
#include "jinja/runtime/template.h"

namespace velloquin::core {
namespace {

// The source the engine compiles: the arm as stored, or its guarded rewrite when the guard acts.
struct PreparedSource {
  std::string text;
  bool guarded = false;
};

// The untrusted set is computed only when the guard is enabled, and an empty set rewrites
// nothing, so a disabled guard never costs a scan.
PreparedSource prepare_source(const PromptDefinition& definition, std::string_view source,
                              const GuardConfig& guard) {
  if (guard.enabled) {
    const std::set<std::string> untrusted = untrusted_fields(definition);
    if (!untrusted.empty()) return {apply_guard_prepass(source, untrusted), true};
  }
  return {std::string(source), false};
}

// Both entry points: `compiled`, when given, was built from `definition`; an arm it holds is
// rendered as it stands, any other is compiled here as it always was.
Result<RenderResult, KernelError> render_arm(const PromptDefinition& definition,
                                             const CompiledArms* compiled,
                                             std::optional<std::string_view> variant,
                                             jinja::Value context, const GuardConfig& guard,
                                             jinja::Interruption* interruption) {
  VQ_TRY(auto arm, resolve_variant(definition, variant));
  // The override is judged before compiling, so a bad override wins over a bad template.
  VQ_TRY(auto advisory, build_guard_text(definition, guard));

  const jinja::Template* kernel_template = nullptr;
  if (compiled != nullptr) {
    const KernelTemplate* held = compiled->find(arm.label, guard.enabled && compiled->guard_acts());
    if (held != nullptr) kernel_template = held->compiled;
  }
  KernelTemplate fresh;
  if (kernel_template == nullptr) {
    PreparedSource prepared = prepare_source(definition, arm.source, guard);
    VQ_TRY(fresh, compile_kernel(std::move(prepared.text), prepared.guarded));
    kernel_template = fresh.compiled;
  }
  auto text = kernel_template->render(std::move(context), interruption);
  if (!text) return err(map_engine_error(std::move(text).error()));

  RenderResult result;
  result.text = std::move(text).value();
  result.name = definition.name.str();
  result.variant = std::move(arm.label);
  // The stored arm, never the rewrite.
  const std::string* known_hash = compiled ? compiled->template_hash(result.variant) : nullptr;
  result.template_hash = known_hash ? *known_hash : sha256_hex(arm.source);
  result.render_hash = sha256_hex(result.text);
  result.guard = std::move(advisory);
  return result;
}

}  // namespace

Result<RenderResult, KernelError> render(const PromptDefinition& definition,
                                         std::optional<std::string_view> variant,
                                         jinja::Value context, const GuardConfig& guard,
                                         jinja::Interruption* interruption) {
  return render_arm(definition, nullptr, variant, std::move(context), guard, interruption);
}

Result<RenderResult, KernelError> render(const PromptDefinition& definition,
                                         const CompiledArms& compiled,
                                         std::optional<std::string_view> variant,
                                         jinja::Value context, const GuardConfig& guard,
                                         jinja::Interruption* interruption) {
  return render_arm(definition, &compiled, variant, std::move(context), guard, interruption);
}

Result<RenderResult, KernelError> render(const PromptDefinition& definition,
                                         std::optional<std::string_view> variant,
                                         const nlohmann::json& context, const GuardConfig& guard) {
  return render(definition, variant, jinja::Value::from_json(context), guard);
}

}  // namespace velloquin::core
