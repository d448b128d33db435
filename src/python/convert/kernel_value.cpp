#include "python/convert/kernel_value.h"

#include <string>
#include <utility>

#include "python/convert/marshal.h"

namespace velloquin::python {

Result<KernelValue, ConsumerError> to_kernel_value(PyObject* object) {
  auto converted = to_json(object);
  if (!converted) {
    return err(ConsumerError(ConsumerError::Load{"could not marshal Python value: " +
                                                 std::move(converted).error().text}));
  }
  return std::move(converted).value();
}

}  // namespace velloquin::python
