// The extension module's front door: multi-phase initialisation with one execution slot.
#include <Python.h>

#include "core/version.h"
#include "python/composition/composition.h"
#include "python/composition/message.h"
#include "python/errors/error_registration.h"
#include "python/prompt/prompt_object.h"
#include "python/support/internal_fault.h"
#include "python/support/module_items.h"
#include "python/types/check_report.h"
#include "python/types/finding.h"
#include "python/types/guard_config.h"
#include "python/types/merge_strategy.h"
#include "python/types/render_result.h"

namespace velloquin::python {
namespace {

PyObject* core_version(PyObject*, PyObject*) {
  return guard_entry<PyObject*>(nullptr, [] {
    const std::string_view version = velloquin::core::version();
    return PyUnicode_FromStringAndSize(version.data(), static_cast<Py_ssize_t>(version.size()));
  });
}

PyMethodDef kCoreVersion = {"core_version", core_version, METH_NOARGS,
                            "core_version()\n--\n\n"
                            "Returns the version string of the underlying rendering kernel."};

int add_core_version(PyObject* module) {
  return add_function(module, &kCoreVersion);
}

// The adder of a class whose type object comes from `type` (nullptr with an error set when it
// cannot be created).
template <PyTypeObject* (*type)()>
int add_class(PyObject* module) {
  PyTypeObject* object = type();
  if (object == nullptr) return -1;
  return add_item(module, reinterpret_cast<PyObject*>(object));
}

// The module's items, added in this order; __all__ lists them in the same order. Each step
// adds one item or a group of them and returns 0, or -1 with a Python error set.
using AddStep = int (*)(PyObject* module);
constexpr AddStep kAddSteps[] = {
    add_core_version,
    register_error_items,  // FieldError, the five exceptions, make_prompt_load_error
    add_class<render_result_type>,
    add_class<guard_config_type>,
    add_class<check_report_type>,
    add_class<finding_type>,
    add_class<composition_type>,
    add_class<message_type>,
    add_class<prompt_type>,
    add_class<merge_strategy_type>,
};

int exec_module(PyObject* module) {
  return guard_entry<int>(-1, [module] {
    for (AddStep step : kAddSteps) {
      if (step(module) < 0) return -1;
    }
    return 0;
  });
}

PyModuleDef_Slot kSlots[] = {{Py_mod_exec, reinterpret_cast<void*>(exec_module)}, {0, nullptr}};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "velloquin",
    "The interpreter binds this extension through PyInit_velloquin, a symbol derived from the "
    "module's name: the module name, that symbol and the name the module is packaged under "
    "must all be velloquin, or the import fails with the symbol missing.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace velloquin::python

PyMODINIT_FUNC PyInit_velloquin() {
  return PyModuleDef_Init(&velloquin::python::kModule);
}
