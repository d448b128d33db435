#include "python/prompt/prompt_object.h"

#include <memory>
#include <new>
#include <utility>

#include "python/prompt/prompt_methods.h"
#include "python/support/once_cell.h"

namespace velloquin::python {
namespace {

struct PromptObject {
  PyObject ob_base;
  PromptState state;
};

// The bound validators class can lead back to the prompt (a class attribute holding it).
int traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(prompt_state_of(self).validators.get());
  return 0;
}

int clear(PyObject* self) {
  // Moved out first: releasing the class can run Python code that looks at this object.
  OwnedRef validators = std::move(prompt_state_of(self).validators);
  return 0;
}

void dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  std::destroy_at(&prompt_state_of(self));
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

template <class Function>
PyCFunction as_cfunction(Function function) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

PyMethodDef kMethods[] = {
    {"from_json", as_cfunction(prompt_from_json), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_json(text, *, validators=None)\n--\n\n"
     "A new Prompt from JSON definition text, with `validators` (a Pydantic model class) bound "
     "to it. Raises LoadError for text that does not parse or does not fit the definition's "
     "shape, PromptRenderError when a template fails the construction checks, and "
     "PromptValidationError when `validators` does not declare every variable marked "
     "`validation_required`."},
    {"from_toml", as_cfunction(prompt_from_toml), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_toml(text, *, validators=None)\n--\n\n"
     "A new Prompt from TOML definition text; otherwise as from_json."},
    {"from_yaml", as_cfunction(prompt_from_yaml), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_yaml(text, *, validators=None)\n--\n\n"
     "A new Prompt from YAML definition text (exactly one document); otherwise as from_json."},
    {"get_source", as_cfunction(prompt_get_source), METH_VARARGS | METH_KEYWORDS,
     "get_source($self, *, variant=None)\n--\n\n"
     "The unrendered template source of `variant` (None or \"default\": the root body). Raises "
     "PromptRenderError (code \"unknown_variant\") for a name that is not a variant."},
    {"render", as_cfunction(prompt_render), METH_VARARGS | METH_KEYWORDS,
     "render($self, model=None, *, data=None, variant=None, guard=None, "
     "unsafe_reveal_render_detail=False)\n--\n\n"
     "Validates the values in Python and renders the prompt, returning a RenderResult.\n\n"
     "With `data`, `model` is the Pydantic model class that validates it; without, `model` is "
     "a model instance, validated by its own class. Without `model`, the validators bound at "
     "construction validate `data`. `variant` picks a named variant (None: the root body); "
     "`guard` is a GuardConfig; `unsafe_reveal_render_detail=True` lets the engine's own text "
     "of a render failure reach the error row, which can echo the values.\n\n"
     "Raises PromptValidationError when validation fails (other exceptions of the model pass "
     "unchanged), LoadError when the validated data cannot be converted, and PromptRenderError "
     "when rendering fails."},
    {"derive", as_cfunction(prompt_derive), METH_VARARGS | METH_KEYWORDS,
     "derive($self, overlay, *, validators=None, strategy=None)\n--\n\n"
     "A new Prompt with the dict `overlay` (any of name, role, body, variables, variants, "
     "output_model, metadata) laid over this prompt's definition; this prompt is unchanged. "
     "`strategy` is a MergeStrategy (None: MergeStrategy.REPLACE). `validators` (None: keep the "
     "ones bound to this prompt) are bound to the new prompt.\n\n"
     "Raises TypeError for a `strategy` that is not a MergeStrategy, LoadError for an overlay "
     "that is not a dict or whose fields do not fit, PromptRenderError when the derived "
     "definition fails the construction checks, and PromptValidationError when the validators "
     "do not declare every variable marked `validation_required`."},
    {"check", prompt_check, METH_NOARGS,
     "check($self)\n--\n\n"
     "Runs the advisory check and returns a new CheckReport. Never raises."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kGetSet[] = {
    {"name", prompt_get_name, nullptr, "The prompt's name.", nullptr},
    {"role", prompt_get_role, nullptr, "\"system\", \"user\" or \"assistant\".", nullptr},
    {"body", prompt_get_body, nullptr, "The root body's template source.", nullptr},
    {"variables", prompt_get_variables, nullptr,
     "A new dict of the declared variables, keys sorted.", nullptr},
    {"variants", prompt_get_variants, nullptr, "A new dict of the named variants, keys sorted.",
     nullptr},
    {"output_model", prompt_get_output_model, nullptr,
     "The output model's name, or None. Carried as data only.", nullptr},
    {"metadata", prompt_get_metadata, nullptr, "A new dict of the metadata, keys sorted.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kDoc =
    "Prompt(shape, *, validators=None)\n--\n\n"
    "An immutable, fully validated prompt definition.\n\n"
    "`shape` is a Pydantic model instance (read through its model_dump_json) or plain data "
    "(dicts, lists, str, numbers, bool, None). `validators` is the Pydantic model class that "
    "validates render values; it must declare every variable marked `validation_required`. "
    "Raises LoadError, PromptRenderError or PromptValidationError as from_json does.";

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_new, reinterpret_cast<void*>(prompt_new)},
    {Py_tp_methods, kMethods},
    {Py_tp_getset, kGetSet},
    {Py_tp_repr, reinterpret_cast<void*>(prompt_repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {0, nullptr},
};

// No BASETYPE: not subclassable.
PyType_Spec kSpec = {
    "velloquin.Prompt",
    static_cast<int>(sizeof(PromptObject)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_HAVE_GC,
    kSlots,
};

OnceCell type_cell;

}  // namespace

PyTypeObject* prompt_type() {
  return reinterpret_cast<PyTypeObject*>(type_cell.get([] { return PyType_FromSpec(&kSpec); }));
}

PromptState& prompt_state_of(PyObject* object) {
  return reinterpret_cast<PromptObject*>(object)->state;
}

PyObject* new_prompt(velloquin::Prompt inner, OwnedRef validators) {
  PyTypeObject* type = prompt_type();
  if (type == nullptr) return nullptr;
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* self = alloc(type, 0);
  if (self == nullptr) return nullptr;
  new (&prompt_state_of(self)) PromptState{{}, std::move(inner), std::move(validators)};
  return self;
}

}  // namespace velloquin::python
