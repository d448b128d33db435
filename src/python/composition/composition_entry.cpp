#include "python/composition/composition_entry.h"

#include <utility>

#include "base/try.h"
#include "python/errors/error_reporting.h"
#include "python/prompt/validation.h"

namespace velloquin::python {

Result<CompositionEntry, PendingError> make_entry(PyObject* prompt, PyObject* vars,
                                                  std::optional<std::string> variant) {
  VQ_TRY(auto validated, validate_in_python(vars, nullptr));
  auto value = to_kernel_value(validated.get());
  if (!value) return err(consumer_error_to_pyerr(std::move(value).error()));
  return CompositionEntry{std::move(variant), std::move(value).value(), OwnedRef::borrow(prompt)};
}

}  // namespace velloquin::python
