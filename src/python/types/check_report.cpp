#include "python/types/check_report.h"

#include <string>
#include <utility>

#include "python/support/cpp_object.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_ref.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

using Findings = std::vector<FindingRecord>;
using CheckReportObject = CppObject<Findings>;

const Findings& findings_of(PyObject* self) {
  return value_of<Findings>(self);
}

// Every read hands out new Finding objects, so what a caller does with them never reaches the
// report.
PyObject* get_findings(PyObject* self, void*) {
  return guard_entry<PyObject*>(nullptr, [&]() -> PyObject* {
    const Findings& findings = findings_of(self);
    OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(findings.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < findings.size(); ++i) {
      PyObject* finding = new_finding(findings[i]);
      if (finding == nullptr) return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), finding);  // steals `finding`
    }
    return list.release();
  });
}

PyObject* passed(PyObject* self, PyObject*) {
  return guard_entry<PyObject*>(nullptr,
                                [&] { return PyBool_FromLong(findings_of(self).empty()); });
}

// With a length and no truth method, a report that passed is false in a boolean test.
Py_ssize_t length(PyObject* self) {
  return guard_entry<Py_ssize_t>(-1,
                                 [&] { return static_cast<Py_ssize_t>(findings_of(self).size()); });
}

PyObject* repr(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&] {
    return text_object("CheckReport(findings=" + std::to_string(findings_of(self).size()) + ")")
        .release();
  });
}

PyGetSetDef kGetSet[] = {
    {"findings", get_findings, nullptr,
     "A new list of the findings, in the check's order (one per untrusted variable, by name).",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    {"passed", passed, METH_NOARGS, "passed($self)\n--\n\nTrue when the check found nothing."},
    {"is_empty", passed, METH_NOARGS,
     "is_empty($self)\n--\n\nTrue when there are no findings; the same answer as passed()."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char* kDoc =
    "The findings of the advisory check (Prompt.check), in order. `len(report)` is their "
    "number, and a report that passed is false in a boolean test. Iterate over `findings`; "
    "the report itself is neither iterable nor subscriptable. Read-only; never constructed "
    "from Python.";

// Only a length: without an item slot the report is neither iterable nor subscriptable.
PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_getset, kGetSet},
    {Py_tp_methods, kMethods},
    {Py_sq_length, reinterpret_cast<void*>(length)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_cpp_object<Findings>)},
    {0, nullptr},
};

// No BASETYPE: not subclassable. DISALLOW_INSTANTIATION: calling the class is a TypeError.
PyType_Spec kSpec = {
    "velloquin.CheckReport",
    static_cast<int>(sizeof(CheckReportObject)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    kSlots,
};

OnceCell type_cell;

}  // namespace

PyTypeObject* check_report_type() {
  return reinterpret_cast<PyTypeObject*>(type_cell.get([] { return PyType_FromSpec(&kSpec); }));
}

PyObject* new_check_report(std::vector<FindingRecord> findings) {
  return new_cpp_object(check_report_type(), std::move(findings));
}

}  // namespace velloquin::python
