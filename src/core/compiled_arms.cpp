#include "core/compiled_arms.h"

#include <set>
#include <utility>

#include "core/guard/guard.h"
#include "core/hashing.h"
#include "core/variant.h"

namespace velloquin::core {
namespace {

// A failed compile holds nothing: the render that needs it compiles again and reports why.
KernelTemplate compiled_or_empty(std::string source, bool guarded) {
  auto compiled = compile_kernel(std::move(source), guarded);
  return compiled ? std::move(compiled).value() : KernelTemplate{};
}

}  // namespace

std::shared_ptr<const CompiledArms> CompiledArms::build(const PromptDefinition& definition) {
  auto arms = std::make_shared<CompiledArms>();
  const std::set<std::string> untrusted = untrusted_fields(definition);
  arms->guard_acts_ = !untrusted.empty();

  auto add = [&](std::string label, std::string_view source) {
    Arm arm{
        std::move(label), sha256_hex(source), compiled_or_empty(std::string(source), false), {}};
    if (arms->guard_acts_) {
      arm.guarded = compiled_or_empty(apply_guard_prepass(source, untrusted), true);
    }
    arms->arms_.push_back(std::move(arm));
  };
  add(std::string(kDefaultArmLabel), definition.body);
  for (const auto& [key, variant] : definition.variants) add(key, variant.body);
  return arms;
}

const CompiledArms::Arm* CompiledArms::arm(std::string_view label) const {
  for (const Arm& arm : arms_) {
    if (arm.label == label) return &arm;
  }
  return nullptr;
}

const KernelTemplate* CompiledArms::find(std::string_view label, bool guarded) const {
  const Arm* found = arm(label);
  if (found == nullptr) return nullptr;
  const KernelTemplate& held = guarded ? found->guarded : found->unguarded;
  return held.compiled == nullptr ? nullptr : &held;
}

const std::string* CompiledArms::template_hash(std::string_view label) const {
  const Arm* found = arm(label);
  return found == nullptr ? nullptr : &found->template_hash;
}

}  // namespace velloquin::core
