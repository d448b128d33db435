// The YAML reader's one error type and its display text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

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

class YamlError {
 public:
  enum class Kind : unsigned char {
    Message,              // a shape or type error; gets its path and mark from the reader
    Syntax,               // libyaml's problem, already laid out
    EndOfStream,          // no document at all
    MoreThanOneDocument,  // a second document follows the first
    RecursionLimit,       // too many collections open at once
    RepetitionLimit,      // aliases replayed too often
    UnknownAnchor,        // an alias names no anchor defined before it
  };

  static YamlError message(std::string text) { return YamlError(Kind::Message, std::move(text)); }
  static YamlError syntax(std::string display) {
    return YamlError(Kind::Syntax, std::move(display));
  }
  static YamlError of_kind(Kind kind) { return YamlError(kind, {}); }
  static YamlError at(Kind kind, YamlMark mark) {
    YamlError error(kind, {});
    error.mark_ = mark;
    return error;
  }

  Kind kind() const { return kind_; }
  // The message alone, without path or position (for Message errors).
  const std::string& text() const { return text_; }

  // Gives a Message error the position of the value being read, unless an inner reader
  // already did. `path` is the printed path ("." at the root).
  void settle_position(const YamlMark& mark, const std::string& path);
  bool has_position() const { return mark_.has_value(); }

  std::string display() const;

 private:
  YamlError(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

  Kind kind_;
  std::string text_;
  std::optional<YamlMark> mark_;
  std::string path_;
};

}  // namespace velloquin::core
