#include "python/types/merge_strategy.h"

#include <climits>
#include <string>

#include "python/support/cpp_object.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_ref.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

using MergeStrategyObject = CppObject<MergeStrategyValue>;

struct Member {
  MergeStrategyValue value;
  const char* name;
};
constexpr Member kMembers[] = {
    {MergeStrategyValue::Replace, "REPLACE"},
    {MergeStrategyValue::Merge, "MERGE"},
};

OnceCell type_cell;
OnceCell member_cells[std::size(kMembers)];

OnceCell& member_cell(MergeStrategyValue value) {
  return member_cells[static_cast<std::size_t>(value)];
}

std::int64_t number_of(PyObject* self) {
  return static_cast<std::int64_t>(value_of<MergeStrategyValue>(self));
}

PyObject* repr(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&] {
    const std::size_t index = static_cast<std::size_t>(number_of(self));
    return text_object(std::string("MergeStrategy.") + kMembers[index].name).release();
  });
}

PyObject* as_int(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&] { return PyLong_FromLongLong(number_of(self)); });
}

// `other` as a signed 64-bit integer through the interpreter's index conversion: int, bool and
// objects with __index__; floats, strings and ints beyond 64 bits do not convert.
std::optional<std::int64_t> as_int64(PyObject* other) {
  const long long number = PyLong_AsLongLong(other);
  if (number == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    return std::nullopt;
  }
  return static_cast<std::int64_t>(number);
}

PyObject* compare(std::int64_t left, std::int64_t right, int op) {
  if (op == Py_EQ) return PyBool_FromLong(left == right);
  if (op == Py_NE) return PyBool_FromLong(left != right);
  Py_RETURN_NOTIMPLEMENTED;
}

// Equality with members and with integers only; no ordering, so `<` between members raises.
PyObject* richcompare(PyObject* self, PyObject* other, int op) {
  return guard_entry<PyObject*>(nullptr, [&]() -> PyObject* {
    if (std::optional<MergeStrategyValue> member = merge_strategy_of(other)) {
      return compare(number_of(self), static_cast<std::int64_t>(*member), op);
    }
    if (std::optional<std::int64_t> number = as_int64(other)) {
      return compare(number_of(self), *number, op);
    }
    Py_RETURN_NOTIMPLEMENTED;
  });
}

constexpr const char* kDoc =
    "How Prompt.derive combines an overlay with the prompt's definition.\n\n"
    "REPLACE (the default): each overlay field that is present replaces the prompt's field "
    "whole.\n"
    "MERGE: the map fields `variables`, `variants` and `metadata` are united at their "
    "top-level keys, the overlay's entry winning whole, with no recursion; every other field "
    "is replaced as under REPLACE.\n\n"
    "Pass the strategy by keyword: `prompt.derive(overlay, strategy=MergeStrategy.MERGE)`. "
    "Members compare equal to their integer values (REPLACE == 0, MERGE == 1) but are not "
    "hashable, and derive accepts only the members themselves.";

// __int__ but no __index__ or __bool__ (both members are true); equality without a hash.
PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_nb_int, reinterpret_cast<void*>(as_int)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_cpp_object<MergeStrategyValue>)},
    {0, nullptr},
};

// No BASETYPE: not subclassable. DISALLOW_INSTANTIATION: calling the class is a TypeError.
// Not an immutable type: the members are class attributes, which can only be set once the
// class exists.
PyType_Spec kSpec = {
    "velloquin.MergeStrategy",
    static_cast<int>(sizeof(MergeStrategyObject)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    kSlots,
};

// The class and both members. The members are published only once all of it stands, so a
// failure leaves no member of a discarded class behind.
PyObject* build_type() {
  OwnedRef type = OwnedRef::steal(PyType_FromSpec(&kSpec));
  if (!type) return nullptr;
  OwnedRef members[std::size(kMembers)];
  for (std::size_t i = 0; i < std::size(kMembers); ++i) {
    members[i] = OwnedRef::steal(
        new_cpp_object(reinterpret_cast<PyTypeObject*>(type.get()), kMembers[i].value));
    if (!members[i] || PyObject_SetAttrString(type.get(), kMembers[i].name, members[i].get()) < 0) {
      return nullptr;
    }
  }
  for (std::size_t i = 0; i < std::size(kMembers); ++i) {
    member_cells[i].get([&] { return members[i].release(); });
  }
  return type.release();
}

}  // namespace

PyTypeObject* merge_strategy_type() {
  return reinterpret_cast<PyTypeObject*>(type_cell.get(build_type));
}

PyObject* merge_strategy_member(MergeStrategyValue value) {
  if (merge_strategy_type() == nullptr) return nullptr;
  return member_cell(value).peek();
}

std::optional<MergeStrategyValue> merge_strategy_of(PyObject* object) {
  for (const Member& member : kMembers) {
    PyObject* stored = member_cell(member.value).peek();
    if (stored != nullptr && stored == object) return member.value;
  }
  return std::nullopt;
}

}  // namespace velloquin::python
