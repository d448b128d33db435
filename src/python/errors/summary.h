// The exception text built from error rows.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "library/error.h"

namespace velloquin::python {

// "{label} ({count} error(s))" followed by "; {field}: {message} [{code}]" per row, in order.
// Texts are inserted as they are.
std::string summarize(std::string_view label, std::span<const velloquin::FieldError> rows);

}  // namespace velloquin::python
