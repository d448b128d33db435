#include "core/render.h"

#include <optional>
#include <set>
#include <string>
#include <utility>

#include "core/engine_error.h"
#include "core/guard_filter.h"
#include "core/hashing.h"
#include "core/kernel_environment.h"
#include "core/origin.h"
#include "core/variant.h"
#include "jinja/environment.h"
#include "jinja/template.h"

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

}  // namespace

Result<RenderResult, KernelError> render(const PromptDefinition& definition,
                                         std::optional<std::string_view> variant,
                                         jinja::Value context, const GuardConfig& guard) {
  auto arm = resolve_variant(definition, variant);
  if (!arm) return err(std::move(arm).error());
  PreparedSource prepared = prepare_source(definition, arm->source, guard);
  // The override is judged before compiling, so a bad override wins over a bad template.
  auto advisory = build_guard_text(definition, guard);
  if (!advisory) return err(std::move(advisory).error());

  jinja::Environment environment;
  make_strict(environment);
  if (prepared.guarded) register_guard_filter(environment);
  auto compiled = compile_kernel_template(environment, std::move(prepared.text));
  if (!compiled) return err(std::move(compiled).error());
  auto text = (*compiled)->render(std::move(context));
  if (!text) return err(map_engine_error(std::move(text).error()));

  RenderResult result;
  result.text = std::move(text).value();
  result.name = definition.name.str();
  result.variant = std::move(arm->label);
  result.template_hash = sha256_hex(arm->source);  // the stored arm, never the rewrite
  result.render_hash = sha256_hex(result.text);
  result.guard = std::move(advisory).value();
  return result;
}

Result<RenderResult, KernelError> render(const PromptDefinition& definition,
                                         std::optional<std::string_view> variant,
                                         const nlohmann::json& context, const GuardConfig& guard) {
  return render(definition, variant, jinja::Value::from_json(context), guard);
}

}  // namespace velloquin::core
