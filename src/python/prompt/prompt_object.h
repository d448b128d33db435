// The Python class Prompt: a validated library prompt with the validators class bound to it.
#pragma once

#include <Python.h>

#include "library/prompt.h"
#include "python/support/borrow_flag.h"
#include "python/support/py_ref.h"

namespace velloquin::python {

// Set once when the object is built; nothing changes it afterwards. The borrow flag exists for
// the shared borrows that rendering takes: nothing takes an exclusive one.
struct PromptState {
  BorrowFlag borrow;
  velloquin::Prompt inner;
  OwnedRef validators;  // empty when none were bound
};

// The class (borrowed; it lives for the whole process), created on first use; nullptr with a
// Python error set when it cannot be created.
PyTypeObject* prompt_type();

// A new Prompt object holding `inner` and `validators` (empty: none); nullptr with a Python
// error set on failure.
PyObject* new_prompt(velloquin::Prompt inner, OwnedRef validators);

// The state of a Prompt object; `object` must be one.
PromptState& prompt_state_of(PyObject* object);

}  // namespace velloquin::python
