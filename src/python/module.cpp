// The extension module's front door: multi-phase initialisation with one execution slot.
#include <Python.h>

#include "core/version.h"

namespace {

PyObject* core_version(PyObject*, PyObject*) {
  return PyUnicode_FromStringAndSize(velloquin::core::kVersion.data(),
                                     static_cast<Py_ssize_t>(velloquin::core::kVersion.size()));
}

PyMethodDef kCoreVersion = {"core_version", core_version, METH_NOARGS,
                            "core_version()\n--\n\n"
                            "Returns the version string of the underlying rendering kernel."};

int add_to_all(PyObject* module, const char* name, PyObject* object) {
  PyObject* all = PyObject_GetAttrString(module, "__all__");
  if (all == nullptr) {
    PyErr_Clear();
    all = PyList_New(0);
    if (all == nullptr || PyObject_SetAttrString(module, "__all__", all) < 0) {
      Py_XDECREF(all);
      return -1;
    }
  }
  PyObject* py_name = PyUnicode_FromString(name);
  int rc = py_name == nullptr ? -1 : PyList_Append(all, py_name);
  Py_XDECREF(py_name);
  Py_DECREF(all);
  if (rc < 0) return -1;
  return PyObject_SetAttrString(module, name, object);
}

int exec_module(PyObject* module) {
  PyObject* fn = PyCFunction_NewEx(&kCoreVersion, module, nullptr);
  if (fn == nullptr) return -1;
  int rc = add_to_all(module, "core_version", fn);
  Py_DECREF(fn);
  return rc;
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

PyMODINIT_FUNC PyInit_velloquin() { return PyModuleDef_Init(&kModule); }
