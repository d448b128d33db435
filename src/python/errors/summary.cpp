#include "python/errors/summary.h"

namespace velloquin::python {

std::string summarize(std::string_view label, std::span<const velloquin::FieldError> rows) {
  std::string text(label);
  text += " (";
  text += std::to_string(rows.size());
  text += " error(s))";
  for (const velloquin::FieldError& row : rows) {
    text += "; ";
    text += row.field;
    text += ": ";
    text += row.message;
    text += " [";
    text += row.code;
    text += ']';
  }
  return text;
}

}  // namespace velloquin::python
