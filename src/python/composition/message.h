// The Python class Message: one role-tagged text of a resolved composition, frozen.
#pragma once

#include <Python.h>

#include <string>

namespace velloquin::python {

struct MessageRecord {
  std::string role;  // "system", "user" or "assistant"
  std::string text;

  bool operator==(const MessageRecord&) const = default;
};

// The class (borrowed; it lives for the whole process), created on first use; nullptr with a
// Python error set when it cannot be created.
PyTypeObject* message_type();

// A new Message object holding `record`; nullptr with a Python error set on failure.
PyObject* new_message(MessageRecord record);

}  // namespace velloquin::python
