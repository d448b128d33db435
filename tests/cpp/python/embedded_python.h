// An interpreter embedded in the test binary, and Python snippets run in one shared namespace.
#pragma once

#include <Python.h>

#include <gtest/gtest.h>

#include <string>

#include "python/support/py_ref.h"

namespace velloquin::python::testing {

// Runs `code` (statements) in the shared namespace; a Python exception fails the test with
// its traceback and false is returned.
bool run(const std::string& code);

// The value of the expression `code` in the shared namespace (empty when it raised; the test
// then fails).
OwnedRef eval(const std::string& code);

// Binds `name` to `object` in the shared namespace.
void bind(const char* name, PyObject* object);

// The text of the current Python error with its traceback; clears it.
std::string take_error();

}  // namespace velloquin::python::testing

// Runs Python assertions, failing the test at the first one that does not hold.
#define EXPECT_PYTHON(code) EXPECT_TRUE(::velloquin::python::testing::run(code))
