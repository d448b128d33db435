#include "core/yaml_error.h"

namespace velloquin::core {

std::string describe_yaml_mark(const YamlMark& mark) {
  if (mark.at_origin()) return "position " + std::to_string(mark.index);
  return "line " + std::to_string(mark.line + 1) + " column " + std::to_string(mark.column + 1);
}

void YamlError::settle_position(const YamlMark& mark, const std::string& path) {
  if (kind_ != Kind::Message || mark_) return;
  mark_ = mark;
  path_ = path;
}

std::string YamlError::display() const {
  std::string out;
  switch (kind_) {
    case Kind::Syntax:
      return text_;
    case Kind::Message:
      if (mark_ && path_ != ".") out = path_ + ": ";
      out += text_;
      break;
    case Kind::EndOfStream:
      return "EOF while parsing a value";
    case Kind::MoreThanOneDocument:
      return "deserializing from YAML containing more than one document is not supported";
    case Kind::RepetitionLimit:
      return "repetition limit exceeded";
    case Kind::RecursionLimit:
      out = "recursion limit exceeded";
      break;
    case Kind::UnknownAnchor:
      out = "unknown anchor";
      break;
  }
  // A position at the very start of the text says nothing and is left out.
  if (mark_ && !mark_->at_origin()) out += " at " + describe_yaml_mark(*mark_);
  return out;
}

}  // namespace velloquin::core
