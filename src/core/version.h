#pragma once

#include <string_view>

namespace velloquin::core {

// The rendering kernel's version, reported to Python by core_version().
inline constexpr std::string_view kVersion = "0.5.0";

}  // namespace velloquin::core
