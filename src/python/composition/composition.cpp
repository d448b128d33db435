#include "python/composition/composition.h"

#include <array>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/debug_quote.h"
#include "python/composition/composition_entry.h"
#include "python/composition/message.h"
#include "python/errors/error_reporting.h"
#include "python/errors/error_text.h"
#include "python/prompt/prompt_access.h"
#include "python/support/arguments.h"
#include "python/support/borrow_flag.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

struct CompositionState {
  BorrowFlag borrow;
  std::vector<CompositionEntry> entries;  // only ever added to at the end
};

struct CompositionObject {
  PyObject ob_base;
  CompositionState state;
};

CompositionState& state_of(PyObject* self) {
  return reinterpret_cast<CompositionObject*>(self)->state;
}

PyObject* new_composition(PyTypeObject* type, std::vector<CompositionEntry> entries) {
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* self = alloc(type, 0);
  if (self == nullptr) return nullptr;
  new (&state_of(self)) CompositionState{{}, std::move(entries)};
  return self;
}

// --- construction -------------------------------------------------------------------------

PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 0> bound{};
  if (!bind_arguments("Composition", std::span<const Parameter>{}, args, kwargs, bound)) {
    return nullptr;
  }
  return new_composition(type, {});
}

PyObject* new_entry(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(nullptr, [&] { return construct(type, args, kwargs); });
}

// --- append -------------------------------------------------------------------------------

constexpr std::array<Parameter, 3> kAppendParameters = {{
    {"prompt", /*required=*/true, /*keyword_only=*/false},
    {"vars", /*required=*/true, /*keyword_only=*/false},
    {"variant", /*required=*/false, /*keyword_only=*/true},
}};

PyObject* append(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, kAppendParameters.size()> bound{};
  if (!bind_arguments("append", kAppendParameters, args, kwargs, bound)) return nullptr;
  CompositionState& state = state_of(self);
  // Held across the model's Python code, which may call back into this composition.
  auto exclusive = state.borrow.take();
  if (!exclusive) return nullptr;
  if (!is_prompt(bound[0])) {
    raise_not_an_instance("prompt", bound[0], kPromptClassName);
    return nullptr;
  }
  std::optional<std::string_view> variant;
  if (!extract_optional_str("append", "variant", bound[2], variant)) return nullptr;
  auto entry =
      make_entry(bound[0], bound[1], variant ? std::optional<std::string>(*variant) : std::nullopt);
  if (!entry) return std::move(entry).error().raise();
  state.entries.push_back(std::move(entry).value());
  Py_RETURN_NONE;
}

PyObject* append_entry_point(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(nullptr, [&] { return append(self, args, kwargs); });
}

// --- from_messages ------------------------------------------------------------------------

constexpr std::array<Parameter, 1> kFromMessagesParameters = {{
    {"entries", /*required=*/true, /*keyword_only=*/false},
}};

void raise_type_error(const std::string& message) {
  PyErr_SetString(PyExc_TypeError, message.c_str());
}

// The variant of a 3-tuple: None means the root body; anything but a str fails as the str
// conversion does, without naming a parameter (there is none).
bool variant_of_item(PyObject* item, std::optional<std::string>& variant) {
  variant.reset();
  if (PyTuple_Size(item) < 3) return true;
  PyObject* value = PyTuple_GetItem(item, 2);
  if (value == nullptr) return false;
  if (value == Py_None) return true;
  if (!PyUnicode_Check(value)) {
    raise_type_error("'" + type_name(value) + "' object cannot be converted to 'PyString'");
    return false;
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value, &size);
  if (data == nullptr) return false;
  variant.emplace(data, static_cast<std::size_t>(size));
  return true;
}

// One item of from_messages: a (prompt, vars) or (prompt, vars, variant) tuple.
std::optional<CompositionEntry> entry_of_item(PyObject* item) {
  if (!PyTuple_Check(item)) {
    raise_type_error(
        "composition entry must be a tuple of (prompt, vars) or (prompt, vars, "
        "variant)");
    return std::nullopt;
  }
  const Py_ssize_t size = PyTuple_Size(item);
  if (size < 0) return std::nullopt;
  if (size != 2 && size != 3) {
    raise_type_error("composition entry must have 2 or 3 elements (prompt, vars[, variant]), got " +
                     std::to_string(size));
    return std::nullopt;
  }
  PyObject* prompt = PyTuple_GetItem(item, 0);
  if (prompt == nullptr) return std::nullopt;
  if (!is_prompt(prompt)) {
    raise_type_error("composition entry first element must be a Prompt object");
    return std::nullopt;
  }
  PyObject* vars = PyTuple_GetItem(item, 1);
  if (vars == nullptr) return std::nullopt;
  std::optional<std::string> variant;
  if (!variant_of_item(item, variant)) return std::nullopt;
  auto entry = make_entry(prompt, vars, std::move(variant));
  if (!entry) {
    std::move(entry).error().raise();
    return std::nullopt;
  }
  return std::move(entry).value();
}

PyObject* from_messages(PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, kFromMessagesParameters.size()> bound{};
  if (!bind_arguments("from_messages", kFromMessagesParameters, args, kwargs, bound)) {
    return nullptr;
  }
  OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(bound[0]));
  if (!iterator) return nullptr;
  std::vector<CompositionEntry> entries;
  while (OwnedRef item = OwnedRef::steal(PyIter_Next(iterator.get()))) {
    std::optional<CompositionEntry> entry = entry_of_item(item.get());
    if (!entry) return nullptr;
    entries.push_back(std::move(*entry));
  }
  if (PyErr_Occurred()) return nullptr;
  PyTypeObject* type = composition_type();
  if (type == nullptr) return nullptr;
  return new_composition(type, std::move(entries));
}

PyObject* from_messages_entry_point(PyObject*, PyObject* args, PyObject* kwargs) {
  return guard_entry<PyObject*>(nullptr, [&] { return from_messages(args, kwargs); });
}

// --- resolve ------------------------------------------------------------------------------

PyObject* resolve(PyObject* self) {
  CompositionState& state = state_of(self);
  auto shared = state.borrow.share();
  if (!shared) return nullptr;
  std::vector<MessageRecord> messages;
  messages.reserve(state.entries.size());
  for (const CompositionEntry& entry : state.entries) {
    // The entry keeps its own value, so resolving again gives the same messages.
    auto text = render_entry(entry.prompt.get(), entry.variant, entry.value);
    if (!text) return std::move(text).error().raise();
    messages.push_back({prompt_role(entry.prompt.get()), std::move(text).value()});
  }
  OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(messages.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    PyObject* message = new_message(std::move(messages[i]));
    if (message == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), message);  // steals `message`
  }
  return list.release();
}

PyObject* resolve_entry_point(PyObject* self, PyObject*) {
  return guard_entry<PyObject*>(nullptr, [&] { return resolve(self); });
}

// --- len and repr -------------------------------------------------------------------------

Py_ssize_t length(PyObject* self) {
  return guard_entry<Py_ssize_t>(-1, [&]() -> Py_ssize_t {
    CompositionState& state = state_of(self);
    auto shared = state.borrow.share();
    if (!shared) return -1;
    return static_cast<Py_ssize_t>(state.entries.size());
  });
}

PyObject* repr(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&]() -> PyObject* {
    CompositionState& state = state_of(self);
    auto shared = state.borrow.share();
    if (!shared) return nullptr;
    std::string text = "Composition(entries=" + std::to_string(state.entries.size()) + ", names=[";
    for (std::size_t i = 0; i < state.entries.size(); ++i) {
      if (i > 0) text += ", ";
      text += jinja::debug_quote(prompt_name(state.entries[i].prompt.get()));
    }
    text += "])";
    return text_object(text).release();
  });
}

// --- lifecycle ----------------------------------------------------------------------------

// Entries hold prompts, and a prompt's validators can lead back to the composition.
int traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  for (const CompositionEntry& entry : state_of(self).entries) Py_VISIT(entry.prompt.get());
  return 0;
}

int clear(PyObject* self) {
  // Moved out first: releasing a prompt can run Python code that looks at this object.
  std::vector<CompositionEntry> entries = std::exchange(state_of(self).entries, {});
  return 0;
}

void dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  std::destroy_at(&state_of(self));
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

// --- the class ----------------------------------------------------------------------------

PyMethodDef kMethods[] = {
    {"append", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(append_entry_point)),
     METH_VARARGS | METH_KEYWORDS,
     "append($self, prompt, vars, *, variant=None)\n--\n\n"
     "Adds an entry at the end: `prompt` rendered with `vars`, a Pydantic model instance "
     "validated (by its own class) and converted now, at the variant `variant` (None: the root "
     "body). Returns None. Raises PromptValidationError when the model rejects the values, "
     "LoadError when the validated data cannot be converted, and whatever else the model "
     "raises; the composition is unchanged then."},
    {"from_messages",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_messages_entry_point)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_messages(entries)\n--\n\n"
     "A new Composition of `entries`, an iterable of (prompt, vars) or (prompt, vars, variant) "
     "tuples, each added as by append(). The first failure is raised and no composition is "
     "made."},
    {"resolve", resolve_entry_point, METH_NOARGS,
     "resolve($self)\n--\n\n"
     "Renders every entry, in order, into a new list of Message objects. The guard is never "
     "applied. Raises PromptRenderError when an entry fails to render."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char* kDoc =
    "Composition()\n--\n\n"
    "An explicit, ordered list of prompts with their values, resolved into role-tagged "
    "messages. Values are validated and converted when an entry is added; rendering happens "
    "in resolve(). `len(composition)` is the number of entries.";

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_new, reinterpret_cast<void*>(new_entry)},
    {Py_tp_methods, kMethods},
    {Py_sq_length, reinterpret_cast<void*>(length)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {0, nullptr},
};

// No BASETYPE: not subclassable.
PyType_Spec kSpec = {
    "velloquin.Composition",
    static_cast<int>(sizeof(CompositionObject)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_HAVE_GC,
    kSlots,
};

OnceCell type_cell;

}  // namespace

PyTypeObject* composition_type() {
  return reinterpret_cast<PyTypeObject*>(type_cell.get([] { return PyType_FromSpec(&kSpec); }));
}

}  // namespace velloquin::python
