// The checks every prompt passes once, when it is built.
#pragma once

#include "base/result.h"
#include "core/compiled_arms.h"
#include "definition/prompt_definition.h"
#include "library/error.h"

namespace velloquin::prompt {

// The reserved variant name first, then the root body and each variant in key order: each must
// compile and read only declared root names. The first failure is the one Render row returned.
// `compiled` holds the definition's arms compiled; an arm it lacks is compiled again for its
// failure.
Result<void, ConsumerError> check_construction(const core::PromptDefinition& definition,
                                               const core::CompiledArms& compiled);

}  // namespace velloquin::prompt
