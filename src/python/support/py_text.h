// Python str objects for the texts the module hands out.
#pragma once

#include <Python.h>

#include <optional>
#include <string>
#include <string_view>

#include "python/support/py_ref.h"

namespace velloquin::python {

// A new str of the UTF-8 `text`. Texts are meant to be UTF-8; a stray bad byte is shown as
// U+FFFD rather than making the value unreadable. Empty with a Python error set on failure.
inline OwnedRef text_object(std::string_view text) {
  return OwnedRef::steal(
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
}

// text_object of the text, or a new reference to None when it is absent.
inline OwnedRef optional_text_object(const std::optional<std::string>& text) {
  if (!text) return OwnedRef::borrow(Py_None);
  return text_object(*text);
}

}  // namespace velloquin::python
