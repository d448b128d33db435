// The Python class CheckReport: the ordered findings of one advisory check, frozen.
#pragma once

#include <Python.h>

#include <vector>

#include "python/types/finding.h"

namespace velloquin::python {

// The class (borrowed; it lives for the whole process), created on first use; nullptr with a
// Python error set when it cannot be created.
PyTypeObject* check_report_type();

// A new CheckReport object holding `findings` in their order; nullptr with a Python error set
// on failure.
PyObject* new_check_report(std::vector<FindingRecord> findings);

}  // namespace velloquin::python
