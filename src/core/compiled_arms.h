// The arms of one definition compiled ahead of rendering, so a render does not compile again.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/kernel_environment.h"
#include "definition/prompt_definition.h"

namespace velloquin::core {

// Each arm is compiled exactly as a render compiles it (a strict environment; the guard filter
// and the rewritten source only in its guarded form), so rendering from here gives the same text
// and the same errors as compiling afresh. Immutable once built: any number of threads may render
// from it at once.
class CompiledArms {
 public:
  // The root body and every variant, unguarded, and guarded as well when some variable is
  // untrusted. An arm that does not compile is left out; a render then compiles it afresh and
  // fails as it always does.
  static std::shared_ptr<const CompiledArms> build(const PromptDefinition& definition);

  // Whether the guard, once enabled, rewrites anything: some variable is untrusted.
  bool guard_acts() const { return guard_acts_; }

  // The arm compiled, or nullptr when it is not held.
  const KernelTemplate* find(std::string_view label, bool guarded) const;
  // The digest of the arm's stored source, or nullptr for an unknown label.
  const std::string* template_hash(std::string_view label) const;

 private:
  struct Arm {
    std::string label;
    std::string template_hash;
    KernelTemplate unguarded;
    KernelTemplate guarded;
  };

  const Arm* arm(std::string_view label) const;

  std::vector<Arm> arms_;
  bool guard_acts_ = false;
};

}  // namespace velloquin::core
