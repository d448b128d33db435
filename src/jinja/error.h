// Template engine errors: a kind, an optional detail and the template location.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velloquin::jinja {

enum class ErrorKind : std::uint8_t {
  NonPrimitive,
  NonKey,
  InvalidOperation,
  SyntaxError,
  TemplateNotFound,
  TooManyArguments,
  MissingArgument,
  UnknownFilter,
  UnknownTest,
  UnknownFunction,
  UnknownMethod,
  BadEscape,
  UndefinedError,
  BadSerialization,
  CannotDeserialize,
  BadInclude,
  EvalBlock,
  CannotUnpack,
  WriteFailure,
  UnknownBlock,
  InvalidDelimiter,
  OutOfFuel,
};

// The kind's description as it opens the display text ("syntax error", "undefined value", ...).
std::string_view describe(ErrorKind kind);

class Error {
 public:
  explicit Error(ErrorKind kind, std::optional<std::string> detail = std::nullopt)
      : kind_(kind), detail_(std::move(detail)) {}

  ErrorKind kind() const { return kind_; }
  const std::optional<std::string>& detail() const { return detail_; }
  const std::optional<std::string>& template_name() const { return name_; }
  std::uint32_t line() const { return line_; }

  // Attaches the template and line; errors raised while compiling or rendering always have one.
  void set_location(std::string name, std::uint32_t line) {
    name_ = std::move(name);
    line_ = line;
  }

  // "DESCRIPTION[: DETAIL][ (in NAME:LINE)]", line 0 when unknown.
  std::string display() const;

 private:
  ErrorKind kind_;
  std::optional<std::string> detail_;
  std::optional<std::string> name_;
  std::uint32_t line_ = 0;
};

}  // namespace velloquin::jinja
