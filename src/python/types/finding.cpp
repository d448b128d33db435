#include "python/types/finding.h"

#include <utility>

#include "base/debug_quote.h"
#include "python/support/cpp_object.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

using FindingObject = CppObject<FindingRecord>;

const FindingRecord& record_of(PyObject* self) {
  return value_of<FindingRecord>(self);
}

template <std::string FindingRecord::*member>
PyObject* get_text(PyObject* self, void*) {
  return guard_entry<PyObject*>(nullptr,
                                [&] { return text_object(record_of(self).*member).release(); });
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
    {"prompt", get_text<&FindingRecord::prompt>, nullptr, "The prompt's name.", nullptr},
    {"variant", get_variant, nullptr,
     "The variant the finding concerns, or None for a finding about the whole prompt.", nullptr},
    {"kind", get_text<&FindingRecord::kind>, nullptr,
     "The finding kind, a snake-case word such as \"untrusted_without_guard\".", nullptr},
    {"detail", get_text<&FindingRecord::detail>, nullptr, "A human-readable explanation.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kDoc =
    "One finding of the advisory check (Prompt.check). Read-only; never constructed from "
    "Python.";

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_getset, kGetSet},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_cpp_object<FindingRecord>)},
    {0, nullptr},
};

// No BASETYPE: not subclassable. DISALLOW_INSTANTIATION: calling the class is a TypeError.
PyType_Spec kSpec = {
    "velloquin.Finding",
    static_cast<int>(sizeof(FindingObject)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    kSlots,
};

OnceCell type_cell;

}  // namespace

PyTypeObject* finding_type() {
  return reinterpret_cast<PyTypeObject*>(type_cell.get([] { return PyType_FromSpec(&kSpec); }));
}

PyObject* new_finding(FindingRecord record) {
  return new_cpp_object(finding_type(), std::move(record));
}

}  // namespace velloquin::python
