#include "python/composition/message.h"

#include <utility>

#include "base/debug_quote.h"
#include "python/support/cpp_class.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

PyObject* repr(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&] {
    const MessageRecord& record = value_of<MessageRecord>(self);
    std::string text = "Message(role=";
    text += jinja::debug_quote(record.role);
    text += ", text=";
    text += jinja::debug_quote(record.text);
    text += ')';
    return text_object(text).release();
  });
}

PyGetSetDef kGetSet[] = {
    {"role", get_text_member<MessageRecord, &MessageRecord::role>, nullptr,
     "The role of the entry's prompt: \"system\", \"user\" or \"assistant\".", nullptr},
    {"text", get_text_member<MessageRecord, &MessageRecord::text>, nullptr, "The rendered text.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kDoc =
    "One message of a resolved Composition: the prompt's role and the rendered text. "
    "Read-only; never constructed from Python.";

OnceCell type_cell;

}  // namespace

PyTypeObject* message_type() {
  return cpp_class<MessageRecord>(type_cell, {"velloquin.Message", kDoc, kGetSet, nullptr, repr});
}

PyObject* new_message(MessageRecord record) {
  return new_cpp_object(message_type(), std::move(record));
}

}  // namespace velloquin::python
