// The failure of a conversion of Python data: its text only.
#pragma once

#include <string>

namespace velloquin::python {

// "dict keys must have type str", "unsupported type {}", "JSON number out of range", or the
// text form of an exception that Python raised during the conversion.
struct MarshalError {
  std::string text;
  bool operator==(const MarshalError&) const = default;
};

}  // namespace velloquin::python
