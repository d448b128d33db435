// Combining a written-out definition with an overlay.
#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

#include "base/result.h"
#include "library/error.h"

namespace velloquin::prompt {

// Replace: every overlay field replaces the prompt's field whole. Merge: the map fields
// `variables`, `variants` and `metadata` are united one level deep, entries of the overlay
// winning; every other field is replaced.
enum class MergeStrategy : std::uint8_t { Replace, Merge };

// Both values must be objects (the base is tested first); fails with a Load error otherwise.
Result<nlohmann::json, ConsumerError> merge_definitions(nlohmann::json base, nlohmann::json overlay,
                                                        MergeStrategy strategy);

}  // namespace velloquin::prompt

namespace velloquin {
using prompt::MergeStrategy;
}  // namespace velloquin
