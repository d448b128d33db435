// The overlay of Prompt.derive, read from the JSON form of the caller's dict.
#pragma once

#include <nlohmann/json.hpp>

#include "base/result.h"
#include "library/error.h"
#include "library/overlay.h"

namespace velloquin::python {

// The seven top-level fields, looked up in a fixed order (name, role, body, variables,
// variants, output_model, metadata); other keys are ignored. A value that is not an object is
// Load "overlay must be a dict"; the first field that does not read is Load "overlay field
// `{key}`: {reader's text}", and no later field is looked at.
Result<PromptOverlay, ConsumerError> read_overlay(nlohmann::json value);

}  // namespace velloquin::python
