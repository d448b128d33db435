#include "python/types/render_result.h"

#include <string>
#include <utility>

#include "base/debug_quote.h"
#include "python/support/cpp_class.h"
#include "python/support/internal_fault.h"
#include "python/support/once_cell.h"
#include "python/support/py_ref.h"
#include "python/support/py_text.h"

namespace velloquin::python {
namespace {

const core::RenderResult& result_of(PyObject* self) {
  return value_of<core::RenderResult>(self);
}

PyObject* get_guard(PyObject* self, void*) {
  return guard_entry<PyObject*>(
      nullptr, [&] { return optional_text_object(result_of(self).guard).release(); });
}

// The keys in the order they are inserted; the rendered text and the advisory never belong to
// the provenance, which describes where a text came from, not the text.
struct ProvenanceKey {
  const char* key;
  std::string core::RenderResult::*member;
};
constexpr ProvenanceKey kProvenance[] = {
    {"velloquin.prompt.name", &core::RenderResult::name},
    {"velloquin.prompt.variant", &core::RenderResult::variant},
    {"velloquin.prompt.template_hash", &core::RenderResult::template_hash},
    {"velloquin.prompt.render_hash", &core::RenderResult::render_hash},
};

PyObject* provenance_attributes(PyObject* self, PyObject*) {
  return guard_entry<PyObject*>(nullptr, [&]() -> PyObject* {
    const core::RenderResult& result = result_of(self);
    OwnedRef dict = OwnedRef::steal(PyDict_New());
    if (!dict) return nullptr;
    for (const ProvenanceKey& entry : kProvenance) {
      OwnedRef value = text_object(result.*entry.member);
      if (!value || PyDict_SetItemString(dict.get(), entry.key, value.get()) < 0) return nullptr;
    }
    return dict.release();
  });
}

PyObject* repr(PyObject* self) {
  return guard_entry<PyObject*>(nullptr, [&] {
    const core::RenderResult& result = result_of(self);
    std::string text = "RenderResult(name=";
    text += jinja::debug_quote(result.name);
    text += ", variant=";
    text += jinja::debug_quote(result.variant);
    text += ", template_hash=";
    text += jinja::debug_quote(result.template_hash);
    text += ", render_hash=";
    text += jinja::debug_quote(result.render_hash);
    text += ')';
    return text_object(text).release();
  });
}

PyGetSetDef kGetSet[] = {
    {"text", get_text_member<core::RenderResult, &core::RenderResult::text>, nullptr,
     "The rendered text.", nullptr},
    {"name", get_text_member<core::RenderResult, &core::RenderResult::name>, nullptr,
     "The prompt's name.", nullptr},
    {"variant", get_text_member<core::RenderResult, &core::RenderResult::variant>, nullptr,
     "The variant rendered: its key, or \"default\" for the root body.", nullptr},
    {"template_hash", get_text_member<core::RenderResult, &core::RenderResult::template_hash>,
     nullptr, "SHA-256 of the template source, 64 lower-case hexadecimal characters.", nullptr},
    {"render_hash", get_text_member<core::RenderResult, &core::RenderResult::render_hash>, nullptr,
     "SHA-256 of the rendered text, 64 lower-case hexadecimal characters.", nullptr},
    {"guard", get_guard, nullptr,
     "The advisory sentence for the model when the guard acted, else None. Never part of "
     "`text`.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    {"provenance_attributes", provenance_attributes, METH_NOARGS,
     "provenance_attributes($self)\n--\n\n"
     "A new dict of the four provenance strings: \"velloquin.prompt.name\", "
     "\"velloquin.prompt.variant\", \"velloquin.prompt.template_hash\" and "
     "\"velloquin.prompt.render_hash\", in that order."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char* kDoc =
    "The result of one render: the text with its content-addressed provenance (the prompt's "
    "name, the variant, the SHA-256 of the template source and of the rendered text) and the "
    "guard's advisory sentence. Read-only; made only by Prompt.render, never constructed from "
    "Python.";

OnceCell type_cell;

}  // namespace

PyTypeObject* render_result_type() {
  return cpp_class<core::RenderResult>(type_cell,
                                       {"velloquin.RenderResult", kDoc, kGetSet, kMethods, repr});
}

PyObject* new_render_result(core::RenderResult result) {
  return new_cpp_object(render_result_type(), std::move(result));
}

}  // namespace velloquin::python
