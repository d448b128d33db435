// Template engine errors: a kind, an optional detail and the template location.
#pragma once

#include <cstdint>
#include <memory>
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

// Small by design (two words): errors travel inside every Result of the evaluator, whose
// recursion depth is bounded by frames of that size.
class Error {
 public:
  explicit Error(ErrorKind kind, std::optional<std::string> detail = std::nullopt) : kind_(kind) {
    if (detail) extra().detail = std::move(detail);
  }
  Error(const Error& other)
      : kind_(other.kind_),
        line_(other.line_),
        extra_(other.extra_ ? std::make_unique<Extra>(*other.extra_) : nullptr) {}
  Error(Error&&) noexcept = default;
  Error& operator=(const Error& other) {
    if (this != &other) *this = Error(other);
    return *this;
  }
  Error& operator=(Error&&) noexcept = default;
  ~Error() = default;

  ErrorKind kind() const { return kind_; }
  const std::optional<std::string>& detail() const { return extra_ ? extra_->detail : kNone; }
  const std::optional<std::string>& template_name() const { return extra_ ? extra_->name : kNone; }
  std::uint32_t line() const { return line_; }

  // Attaches the template and line; errors raised while compiling or rendering always have one.
  void set_location(std::string name, std::uint32_t line) {
    extra().name = std::move(name);
    line_ = line;
  }

  // "DESCRIPTION[: DETAIL][ (in NAME:LINE)]", line 0 when unknown.
  std::string display() const;

 private:
  struct Extra {
    std::optional<std::string> detail;
    std::optional<std::string> name;
  };
  static inline const std::optional<std::string> kNone{};

  Extra& extra() {
    if (!extra_) extra_ = std::make_unique<Extra>();
    return *extra_;
  }

  ErrorKind kind_;
  std::uint32_t line_ = 0;
  std::unique_ptr<Extra> extra_;
};

}  // namespace velloquin::jinja
