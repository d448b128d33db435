// The rows construction reports. They differ from the scrubbing conversion in two places: a
// parse failure carries no detail, and an undefined variable is filed under "template".
#pragma once

#include <string_view>

#include "core/kernel_error.h"
#include "library/error.h"

namespace velloquin::prompt {

// A variant keyed "default" would shadow the root body, which resolution always picks first.
FieldError reserved_variant_row();

// A root name the template reads that `variables` does not declare, with the arm's label.
FieldError undeclared_root_row(std::string_view root, std::string_view arm);

// A kernel error met while analysing one template.
FieldError construction_row(core::KernelError error);

}  // namespace velloquin::prompt
