#include "python/composition/message.h"

#include <utility>

#include "base/debug_quote.h"
#include "python/support/cpp_object.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

using MessageObject = CppObject<MessageRecord>;

template <std::string MessageRecord::*member>
PyObject* get_text(PyObject* self, void*) {
  return guard_entry<PyObject*>(
      nullptr, [&] { return text_object(value_of<MessageRecord>(self).*member).release(); });
}

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
    {"role", get_text<&MessageRecord::role>, nullptr,
     "The role of the entry's prompt: \"system\", \"user\" or \"assistant\".", nullptr},
    {"text", get_text<&MessageRecord::text>, nullptr, "The rendered text.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kDoc =
    "One message of a resolved Composition: the prompt's role and the rendered text. "
    "Read-only; never constructed from Python.";

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_getset, kGetSet},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_cpp_object<MessageRecord>)},
    {0, nullptr},
};

// No BASETYPE: not subclassable. DISALLOW_INSTANTIATION: calling the class is a TypeError.
PyType_Spec kSpec = {
    "velloquin.Message",
    static_cast<int>(sizeof(MessageObject)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    kSlots,
};

OnceCell type_cell;

}  // namespace

PyTypeObject* message_type() {
  return reinterpret_cast<PyTypeObject*>(type_cell.get([] { return PyType_FromSpec(&kSpec); }));
}

PyObject* new_message(MessageRecord record) {
  return new_cpp_object(message_type(), std::move(record));
}

}  // namespace velloquin::python
