#pragma once

#include <string_view>

namespace velloquin::core {

// The rendering kernel's version, reported to Python by core_version(). It is the project
// version of the top-level CMakeLists.txt, which the package metadata reads too.
std::string_view version();

}  // namespace velloquin::core
