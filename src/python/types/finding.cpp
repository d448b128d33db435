#include "python/types/finding.h"

#include <utility>

#include "base/debug_quote.h"
#include "python/support/cpp_class.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

const FindingRecord& record_of(PyObject* self) {
  return value_of<FindingRecord>(self);
}

PyObject* get_variant(PyObject* self, void*) {
  return guard_entry<PyObject*>(
      nullptr, [&] { return optional_text_object(record_of(self).variant).release(); });
}

PyObject* repr(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&] {
    const FindingRecord& record = record_of(self);
    std::string text = "Finding(prompt=";
    text += jinja::debug_quote(record.prompt);
    text += ", variant=";
    text += record.variant ? "Some(" + jinja::debug_quote(*record.variant) + ")" : "None";
    text += ", kind=";
    text += jinja::debug_quote(record.kind);
    text += ", detail=";
    text += jinja::debug_quote(record.detail);
    text += ')';
    return text_object(text).release();
  });
}

PyGetSetDef kGetSet[] = {
    {"prompt", get_text_member<FindingRecord, &FindingRecord::prompt>, nullptr,
     "The prompt's name.", nullptr},
    {"variant", get_variant, nullptr,
     "The variant the finding concerns, or None for a finding about the whole prompt.", nullptr},
    {"kind", get_text_member<FindingRecord, &FindingRecord::kind>, nullptr,
     "The finding kind, a snake-case word such as \"untrusted_without_guard\".", nullptr},
    {"detail", get_text_member<FindingRecord, &FindingRecord::detail>, nullptr,
     "A human-readable explanation.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kDoc =
    "One finding of the advisory check (Prompt.check). Read-only; never constructed from "
    "Python.";

OnceCell type_cell;

}  // namespace

PyTypeObject* finding_type() {
  return cpp_class<FindingRecord>(type_cell, {"velloquin.Finding", kDoc, kGetSet, nullptr, repr});
}

PyObject* new_finding(FindingRecord record) {
  return new_cpp_object(finding_type(), std::move(record));
}

}  // namespace velloquin::python
