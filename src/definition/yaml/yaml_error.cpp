#include "definition/yaml/yaml_error.h"

namespace velloquin::core {
namespace {

// A path no YAML value can have: marks an error whose message is its whole text.
constexpr char kFinalPath[] = "\x01";

std::string with_mark(std::string message, const YamlMark& mark) {
  if (!mark.at_origin()) message += " at " + describe_yaml_mark(mark);
  return message;
}

}  // namespace

std::string describe_yaml_mark(const YamlMark& mark) {
  if (mark.at_origin()) return "position " + std::to_string(mark.index);
  return "line " + std::to_string(mark.line + 1) + " column " + std::to_string(mark.column + 1);
}

ReadPosition yaml_position(const YamlMark& mark, std::string path) {
  ReadPosition position;
  position.offset = mark.index;
  position.end = mark.index;
  position.line = mark.line;
  position.column = mark.column;
  position.path = std::move(path);
  return position;
}

ReadError yaml_final_error(std::string display) {
  ReadPosition position;
  position.path = kFinalPath;
  return ReadError{std::move(display), std::move(position)};
}

ReadError yaml_final_error_at(std::string message, const YamlMark& mark) {
  return yaml_final_error(with_mark(std::move(message), mark));
}

std::string yaml_error_display(const ReadError& error) {
  if (!error.position) return error.message;
  const ReadPosition& position = *error.position;
  if (position.path == kFinalPath) return error.message;
  std::string out;
  if (position.path != ".") out = position.path + ": ";
  out += error.message;
  return with_mark(std::move(out), {position.offset, position.line, position.column});
}

}  // namespace velloquin::core
