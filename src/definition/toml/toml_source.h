// Byte positions in a TOML text and the multi-line error report built around them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin::core {

// A byte range of the source text; start == end marks a point.
struct TomlSpan {
  std::size_t start = 0;
  std::size_t end = 0;
};

class TomlSourceText {
 public:
  explicit TomlSourceText(std::string_view text);

  std::string_view text() const { return text_; }
  // The byte offset of a position given as toml++ gives it: line from 1, column from 1 counted
  // in code points. Positions past a line's end or the text's end are clamped.
  std::size_t offset_of(std::uint32_t line, std::uint32_t column) const;
  // The offset just after a literal that ends at `offset`, skipping back over the characters
  // that numbers are written with, to find where the literal starts.
  std::size_t literal_start_before(std::size_t offset) const;

 private:
  std::string_view text_;
  std::vector<std::size_t> line_starts_;
  std::vector<bool> ascii_lines_;
  // For lines with multi-byte characters, the offset of each character, built on first use so
  // that positions on one long line cost no more than one pass over it.
  mutable std::map<std::uint32_t, std::vector<std::size_t>> character_offsets_;
};

// "TOML parse error at line L, column C", the excerpt of the line with carets under the span,
// then the message; every line ends with a line feed.
std::string format_toml_report(std::string_view text, TomlSpan span, std::string_view message);

}  // namespace velloquin::core
