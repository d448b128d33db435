// Strict rendering of one arm of a definition, with provenance.
#pragma once

#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/result.h"
#include "core/kernel_environment.h"
#include "core/kernel_error.h"
#include "core/render_types.h"
#include "definition/prompt_definition.h"
#include "jinja/runtime/interruption.h"
#include "jinja/value/value.h"

namespace velloquin::core {

// Renders the arm chosen by `variant` (absent or "default": the root body) with `context` as the
// root value. Every call builds, uses and drops its own engine environment with strict undefined
// behaviour; the guard filter exists in it only when the guard is active. Failures come in the
// order: unknown variant, invalid advisory override, compile errors, render errors.
// `interruption`, when given, can stop a long render: its error comes back as a Render error.
Result<RenderResult, KernelError> render(const PromptDefinition& definition,
                                         std::optional<std::string_view> variant,
                                         jinja::Value context, const GuardConfig& guard,
                                         jinja::Interruption* interruption = nullptr);

class CompiledArms;

// The same, rendering from `compiled` (built from this very definition) instead of compiling:
// the text, the hashes and every failure are those of the call above.
Result<RenderResult, KernelError> render(const PromptDefinition& definition,
                                         const CompiledArms& compiled,
                                         std::optional<std::string_view> variant,
                                         jinja::Value context, const GuardConfig& guard,
                                         jinja::Interruption* interruption = nullptr);

// The same, with the context given as a JSON tree (objects become maps in key order).
Result<RenderResult, KernelError> render(const PromptDefinition& definition,
                                         std::optional<std::string_view> variant,
                                         const nlohmann::json& context, const GuardConfig& guard);

}  // namespace velloquin::core
