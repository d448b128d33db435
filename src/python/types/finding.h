// The Python class Finding: one finding of the advisory check, frozen.
#pragma once

#include <Python.h>

#include <optional>
#include <string>

namespace velloquin::python {

// One finding as the binding holds it; the library's finding kind is already its snake-case
// word here ("untrusted_without_guard").
struct FindingRecord {
  std::string prompt;
  std::string kind;
  std::string detail;
  std::optional<std::string> variant;  // absent for a finding about the whole prompt

  bool operator==(const FindingRecord&) const = default;
};

// The class (borrowed; it lives for the whole process), created on first use; nullptr with a
// Python error set when it cannot be created.
PyTypeObject* finding_type();

// A new Finding object holding `record`; nullptr with a Python error set on failure.
PyObject* new_finding(FindingRecord record);

}  // namespace velloquin::python
