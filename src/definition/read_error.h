// The error every document reader passes around: one message, and where the format placed it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace velloquin::core {

// Where a format puts an error. Each format fills the fields it has and reads them back itself
// when it builds its own error; the record readers never look inside.
struct ReadPosition {
  std::size_t offset = 0;  // byte offset from the start of the text
  std::size_t end = 0;     // end of the byte span, for formats that mark spans
  std::size_t line = 0;    // line and column as the format counts them, for formats with marks
  std::size_t column = 0;
  std::string path;  // the node's path, for formats that print one
};

struct ReadError {
  std::string message;
  std::optional<ReadPosition> position;

  // Places the error unless a node nearer to its cause already did: the innermost place wins,
  // so every node may call this on whatever error leaves it.
  ReadError&& at(ReadPosition where) && {
    if (!position) position = std::move(where);
    return std::move(*this);
  }
  bool placed() const { return position.has_value(); }
};

inline ReadError read_error(std::string message) {
  return ReadError{std::move(message), {}};
}

// What a format reader returns to its caller: one finished message, which is its display text.
struct DocumentError {
  std::string message;
  const std::string& display() const { return message; }
  bool operator==(const DocumentError&) const = default;
};

}  // namespace velloquin::core
