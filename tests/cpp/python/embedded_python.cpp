#include "embedded_python.h"

#include <cstdlib>
#include <iostream>

namespace velloquin::python::testing {
namespace {

PyObject* globals = nullptr;

// Starts the interpreter as the given executable, so that its virtual environment (and
// Pydantic there) is on the path.
bool start_interpreter() {
  PyConfig config;
  PyConfig_InitPythonConfig(&config);
  PyStatus status =
      PyConfig_SetBytesString(&config, &config.program_name, VELLOQUIN_PYTHON_EXECUTABLE);
  if (!PyStatus_Exception(status)) status = Py_InitializeFromConfig(&config);
  PyConfig_Clear(&config);
  if (PyStatus_Exception(status)) {
    std::cerr << "cannot start Python: " << (status.err_msg ? status.err_msg : "?") << "\n";
    return false;
  }
  OwnedRef main = OwnedRef::borrow(PyImport_AddModule("__main__"));
  globals = main ? PyModule_GetDict(main.get()) : nullptr;
  return globals != nullptr;
}

}  // namespace

std::string take_error() {
  OwnedRef exception = OwnedRef::steal(PyErr_GetRaisedException());
  if (!exception) return "no Python error set";
  OwnedRef traceback = OwnedRef::steal(PyImport_ImportModule("traceback"));
  OwnedRef lines = traceback ? OwnedRef::steal(PyObject_CallMethod(
                                   traceback.get(), "format_exception", "O", exception.get()))
                             : OwnedRef();
  OwnedRef empty = OwnedRef::steal(PyUnicode_FromString(""));
  OwnedRef text = lines && empty ? OwnedRef::steal(PyUnicode_Join(empty.get(), lines.get()))
                                 : OwnedRef::steal(PyObject_Str(exception.get()));
  const char* utf8 = text ? PyUnicode_AsUTF8AndSize(text.get(), nullptr) : nullptr;
  std::string result = utf8 != nullptr ? utf8 : "unprintable Python error";
  PyErr_Clear();
  return result;
}

bool run(const std::string& code) {
  OwnedRef result = OwnedRef::steal(PyRun_String(code.c_str(), Py_file_input, globals, globals));
  if (result) return true;
  ADD_FAILURE() << take_error();
  return false;
}

OwnedRef eval(const std::string& code) {
  OwnedRef result = OwnedRef::steal(PyRun_String(code.c_str(), Py_eval_input, globals, globals));
  if (!result) ADD_FAILURE() << take_error();
  return result;
}

void bind(const char* name, PyObject* object) {
  if (PyDict_SetItemString(globals, name, object) < 0) ADD_FAILURE() << take_error();
}

}  // namespace velloquin::python::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!velloquin::python::testing::start_interpreter()) return EXIT_FAILURE;
  const int result = RUN_ALL_TESTS();
  // The interpreter stays up: the module's classes live for the whole process by design.
  return result;
}
