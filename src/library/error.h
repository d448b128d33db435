// The prompt library's error shape: rows of {field, code, message}, or one load message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/kernel_error.h"

namespace velloquin::error {

// The closed vocabulary of row codes. The library writes the kernel-facing five; the Python
// binding writes "validation" and "load".
namespace code {
inline constexpr std::string_view kValidation = "validation";
inline constexpr std::string_view kLoad = "load";
inline constexpr std::string_view kParse = "parse";
inline constexpr std::string_view kRender = "render";
inline constexpr std::string_view kUnknownVariant = "unknown_variant";
inline constexpr std::string_view kUndefinedVariable = "undefined_variable";
inline constexpr std::string_view kExcludedFeature = "excluded_feature";
}  // namespace code

// One error row. Plain data: never validated, no text form of its own.
struct FieldError {
  std::string field;
  std::string code;
  std::string message;

  bool operator==(const FieldError&) const = default;
};

// The library's one error type. The alternatives are in tag order: Validation, Render, Load.
class ConsumerError {
 public:
  // Caller values or validator coverage failed; produced by the binding.
  struct Validation {
    std::vector<FieldError> rows;
    bool operator==(const Validation&) const = default;
  };
  // A kernel error or a construction check; always one row when this library makes it.
  struct Render {
    std::vector<FieldError> rows;
    bool operator==(const Render&) const = default;
  };
  // A definition text or value that cannot be read.
  struct Load {
    std::string message;
    bool operator==(const Load&) const = default;
  };
  using Payload = std::variant<Validation, Render, Load>;

  ConsumerError(Validation validation) : payload_(std::move(validation)) {}
  ConsumerError(Render render) : payload_(std::move(render)) {}
  ConsumerError(Load load) : payload_(std::move(load)) {}

  // The scrubbing conversion: render and excluded-feature detail could echo bound values, so
  // it is replaced by fixed texts; parse detail describes the template only and is kept.
  static ConsumerError from_kernel(core::KernelError error);

  // As from_kernel, except that with `reveal` a render-kind error keeps the engine's text.
  // Excluded-feature detail stays scrubbed either way.
  static ConsumerError from_kernel_revealing(core::KernelError error, bool reveal);

  const Payload& payload() const& { return payload_; }
  Payload&& payload() && { return std::move(payload_); }

  bool operator==(const ConsumerError&) const = default;

 private:
  Payload payload_;
};

}  // namespace velloquin::error

namespace velloquin {
using error::ConsumerError;
using error::FieldError;
}  // namespace velloquin
