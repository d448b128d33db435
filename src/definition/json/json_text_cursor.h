// The lexical side of the JSON text reader: one pass over the text with a read offset, the
// nesting budget, and the error texts and positions of JSON syntax.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/result.h"
#include "definition/content.h"
#include "definition/prompt_definition.h"
#include "definition/read_error.h"

namespace velloquin::core {

struct JsonTextNumber {
  enum class Kind : std::uint8_t { U64, I64, F64 };
  Kind kind = Kind::U64;
  std::uint64_t u64 = 0;
  std::int64_t i64 = 0;
  double f64 = 0;
};

// Line (1 + line feeds before the point's line) and column (bytes from the start of that
// line to the point) of a byte offset.
struct JsonTextPoint {
  std::size_t line = 1;
  std::size_t column = 0;
};
JsonTextPoint json_text_point(std::string_view text, std::size_t offset);

class JsonTextCursor {
 public:
  explicit JsonTextCursor(std::string_view text) : text_(text) {}

  // The next byte, or -1 at the end of the text.
  int peek() const { return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1; }
  void eat() { ++pos_; }
  // Skips space, tab, line feed and carriage return; returns the next byte, or -1.
  int skip_whitespace();

  // An error placed at the read offset (for what was decided after reading).
  ReadError error_here(std::string message) const;
  // An error placed at the next unread character (for what was found looking at it).
  ReadError error_at_peek(std::string message) const;
  // Places an error that no inner value placed at the read offset.
  ReadError place(ReadError error) const;

  // Takes one unit of nesting before an array or object is entered; fails at the bracket when
  // none is left.
  Result<void, ReadError> enter();
  void leave() { ++remaining_depth_; }

  // The rest of `null`, `true` or `false` after its first byte was eaten.
  Result<void, ReadError> parse_ident(std::string_view rest);
  // A string whose opening quote was eaten. The view is valid until the next string is read.
  Result<std::string_view, ReadError> parse_string();
  // A number; for a negative one the sign was eaten and `positive` is false.
  Result<JsonTextNumber, ReadError> parse_number(bool positive);
  Result<void, ReadError> parse_colon();

  // Steps to the next member of an object whose `{` was eaten: true with the key's opening
  // quote eaten, false with the closing brace ahead (not eaten).
  Result<bool, ReadError> next_member(bool& first);
  // Steps to the next element of an array whose `[` was eaten: true at the element, false with
  // the closing bracket ahead (not eaten).
  Result<bool, ReadError> next_element(bool& first);
  // After the last member or element: eats the closing bracket, or fails on what stands there.
  Result<void, ReadError> end_object();
  Result<void, ReadError> end_array();

  // Any JSON value, as a JSON value (metadata) or as a content buffer (the variable type).
  Result<nlohmann::json, ReadError> parse_value();
  // An object's members as a JSON object; the `{` is ahead. A repeated key keeps the later
  // value.
  Result<JsonObject, ReadError> parse_object();
  Result<Content, ReadError> parse_content();

  // The error for a value of the wrong kind where `expected` was wanted: the value is read to
  // describe it ("invalid type: integer `5`, expected a string"), or its syntax error returned.
  ReadError unexpected(std::string_view expected);

 private:
  Result<void, ReadError> parse_escape();
  Result<std::uint16_t, ReadError> parse_hex_escape();
  Result<double, ReadError> parse_float(std::size_t start);
  // Steps past the comma before the next item inside a bracket that `close` ends (`inside`
  // names it for errors): true at the item, false with the closing bracket ahead.
  Result<bool, ReadError> next_item(bool& first, char close, std::string_view inside);
  // One walk of the grammar for every kind of tree; `Build` says how nodes are made.
  template <class Build>
  Result<typename Build::Node, ReadError> parse_tree();
  template <class Build>
  Result<typename Build::Map, ReadError> parse_map();

  std::string_view text_;
  std::size_t pos_ = 0;
  int remaining_depth_ = 128;
  std::string scratch_;
};

}  // namespace velloquin::core
