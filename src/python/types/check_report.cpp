#include "python/types/check_report.h"

#include <string>
#include <utility>

#include "python/support/cpp_class.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_ref.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

using Findings = std::vector<FindingRecord>;
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

OnceCell type_cell;

}  // namespace

PyTypeObject* check_report_type() {
  // Only a length: without an item slot the report is neither iterable nor subscriptable.
  return cpp_class<Findings>(type_cell,
                             {"velloquin.CheckReport", kDoc, kGetSet, kMethods, repr, length});
}

PyObject* new_check_report(std::vector<FindingRecord> findings) {
  return new_cpp_object(check_report_type(), std::move(findings));
}

}  // namespace velloquin::python
