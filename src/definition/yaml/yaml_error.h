// Positions and display texts of the YAML reader's errors.
#pragma once

#include <cstddef>
#include <string>

#include "definition/read_error.h"

namespace velloquin::core {

// A point in the YAML text: line and column count from 0, index is the byte offset.
struct YamlMark {
  std::size_t index = 0;
  std::size_t line = 0;
  std::size_t column = 0;

  bool at_origin() const { return line == 0 && column == 0; }
  bool operator==(const YamlMark&) const = default;
};

// "line L column C" (both from 1), or "position N" for a mark at line 0, column 0.
std::string describe_yaml_mark(const YamlMark& mark);

// Where a shape or type error belongs: the node's mark and the printed path of its value.
ReadPosition yaml_position(const YamlMark& mark, std::string path);

// An error whose text is complete as it stands (syntax errors, the document and limit errors):
// it is marked as placed so that no enclosing node gives it a path or a position.
ReadError yaml_final_error(std::string display);
// "{message} at line L column C" (nothing added at the very start of the text), never a path.
ReadError yaml_final_error_at(std::string message, const YamlMark& mark);

// "{path}: {message} at line L column C", the path left out at the root and the position left
// out at the start of the text; a final error's text as it stands.
std::string yaml_error_display(const ReadError& error);

}  // namespace velloquin::core
