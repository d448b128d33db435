// Prompt.check: the advisory check handed to Python as a CheckReport.
#include <string>
#include <utility>
#include <vector>

#include "library/check.h"
#include "python/prompt/prompt_methods.h"
#include "python/prompt/prompt_object.h"
#include "python/support/internal_fault.h"
#include "python/types/check_report.h"

namespace velloquin::python {
namespace {

// The field that the library kind carries is already named in the detail sentence.
FindingRecord record_of(velloquin::Finding finding) {
  return FindingRecord{std::move(finding.prompt), std::string(check::kind_name(finding.kind)),
                       std::move(finding.detail), std::move(finding.variant)};
}

}  // namespace

PyObject* prompt_check(PyObject* self, PyObject*) {
  return guard_entry<PyObject*>(nullptr, [&] {
    velloquin::CheckReport report = prompt_state_of(self).inner.check();
    std::vector<FindingRecord> findings;
    findings.reserve(report.findings.size());
    for (velloquin::Finding& finding : report.findings) {
      findings.push_back(record_of(std::move(finding)));
    }
    return new_check_report(std::move(findings));
  });
}

}  // namespace velloquin::python
