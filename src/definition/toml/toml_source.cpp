#include "definition/toml/toml_source.h"

#include <algorithm>

namespace velloquin::core {
namespace {

bool is_continuation_byte(char c) {
  return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}

bool is_number_character(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         c == '+' || c == '-' || c == '.';
}

std::size_t decimal_digits(std::size_t value) {
  std::size_t digits = 1;
  while (value >= 10) value /= 10, ++digits;
  return digits;
}

}  // namespace

TomlSourceText::TomlSourceText(std::string_view text) : text_(text) {
  line_starts_.push_back(0);
  bool ascii = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) ascii = false;
    if (text[i] != '\n') continue;
    ascii_lines_.push_back(ascii);
    ascii = true;
    line_starts_.push_back(i + 1);
  }
  ascii_lines_.push_back(ascii);
}

std::size_t TomlSourceText::offset_of(std::uint32_t line, std::uint32_t column) const {
  if (line == 0) return 0;
  if (line > line_starts_.size()) return text_.size();
  const std::size_t start = line_starts_[line - 1];
  const std::size_t end = line < line_starts_.size() ? line_starts_[line] - 1 : text_.size();
  if (column == 0) return start;
  if (ascii_lines_[line - 1]) return std::min(start + (column - 1), end);
  auto [cached, inserted] = character_offsets_.try_emplace(line);
  std::vector<std::size_t>& offsets = cached->second;
  if (inserted) {
    for (std::size_t i = start; i < end; ++i)
      if (!is_continuation_byte(text_[i])) offsets.push_back(i);
    offsets.push_back(end);
  }
  return column - 1 < offsets.size() ? offsets[column - 1] : end;
}

std::size_t TomlSourceText::literal_start_before(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  while (offset > 0 && is_number_character(text_[offset - 1])) --offset;
  return offset;
}

std::string format_toml_report(std::string_view text, TomlSpan span, std::string_view message) {
  const std::size_t start = std::min(span.start, text.size());
  const std::size_t end = std::max(start, std::min(span.end, text.size()));
  const std::size_t line_start = text.rfind('\n', start == 0 ? std::string_view::npos : start - 1);
  const std::size_t first =
      (start == 0 || line_start == std::string_view::npos) ? 0 : line_start + 1;
  const std::size_t line_number =
      1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + first, '\n'));
  std::size_t line_end = text.find('\n', first);
  if (line_end == std::string_view::npos) line_end = text.size();
  const std::string_view line = text.substr(first, line_end - first);

  // Characters before the start; a start inside a multi-byte character counts bytes instead.
  const std::string_view before = text.substr(first, start - first);
  std::size_t column = 1;
  const bool multibyte_start =
      start < text.size() && static_cast<unsigned char>(text[start]) >= 0x80;
  if (multibyte_start) {
    column += before.size();
  } else {
    for (char c : before)
      if (!is_continuation_byte(c)) ++column;
  }

  const std::size_t span_bytes = end - start;
  const std::size_t room = line.size() > column - 1 ? line.size() - (column - 1) : 0;
  const std::size_t carets = std::max<std::size_t>(1, std::min(span_bytes, room));
  const std::string gutter(decimal_digits(line_number) + 1, ' ');

  std::string out = "TOML parse error at line " + std::to_string(line_number) + ", column " +
                    std::to_string(column) + "\n";
  out += gutter + "|\n";
  out += std::to_string(line_number) + " | " + std::string(line) + "\n";
  out += gutter + "|" + std::string(column, ' ') + std::string(carets, '^') + "\n";
  out += std::string(message) + "\n";
  return out;
}

}  // namespace velloquin::core
