// The Python class MergeStrategy: the two ways `derive` combines an overlay with a prompt.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>

namespace velloquin::python {

enum class MergeStrategyValue : std::int64_t {
  Replace = 0,
  Merge = 1,
};

// The class (borrowed; it lives for the whole process) with its two members, created together
// on first use; nullptr with a Python error set when they cannot be created.
PyTypeObject* merge_strategy_type();

// The member object (borrowed; one per process); nullptr with a Python error set when the
// class cannot be created.
PyObject* merge_strategy_member(MergeStrategyValue value);

// Which member `object` is, or nullopt when it is none of them (never raises).
std::optional<MergeStrategyValue> merge_strategy_of(PyObject* object);

}  // namespace velloquin::python
