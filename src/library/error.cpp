#include "library/error.h"

#include <string>
#include <utility>

namespace velloquin::error {
namespace {

using Kind = core::KernelError::Kind;

constexpr std::string_view kFieldVariant = "variant";
constexpr std::string_view kFieldTemplate = "template";
constexpr std::string_view kFieldGuard = "guard";

// Texts that stand in for detail that must not reach the caller.
constexpr std::string_view kExcludedFeatureMessage = "template uses an excluded feature";
constexpr std::string_view kRenderMessage = "render error";

FieldError row(std::string_view field, std::string_view code, std::string message) {
  return FieldError{std::string(field), std::string(code), std::move(message)};
}

std::string concat(std::string_view a, std::string_view b, std::string_view c = {}) {
  std::string out;
  out.reserve(a.size() + b.size() + c.size());
  out.append(a).append(b).append(c);
  return out;
}

FieldError scrubbed_row(core::KernelError error) {
  std::string& text = error.text;
  switch (error.kind) {
    case Kind::UnknownVariant:
      return row(kFieldVariant, code::kUnknownVariant, concat("unknown variant: `", text, "`"));
    case Kind::ExcludedFeature:
      return row(kFieldTemplate, code::kExcludedFeature, std::string(kExcludedFeatureMessage));
    case Kind::Parse:
      return row(kFieldTemplate, code::kParse, concat("template parse error: ", text));
    case Kind::UndefinedVariable: {
      std::string message = concat("undefined variable at render: `", text, "`");
      return row(text, code::kUndefinedVariable, std::move(message));
    }
    case Kind::Render:
      return row(kFieldTemplate, code::kRender, std::string(kRenderMessage));
    case Kind::InvalidGuardAdvisory:
      return row(kFieldGuard, code::kRender, concat("guard advisory override is invalid: ", text));
  }
  // Unreachable for the six kinds; a value outside them is reported as a scrubbed render error.
  return row(kFieldTemplate, code::kRender, std::string(kRenderMessage));
}

}  // namespace

ConsumerError ConsumerError::from_kernel(core::KernelError error) {
  return Render{{scrubbed_row(std::move(error))}};
}

ConsumerError ConsumerError::from_kernel_revealing(core::KernelError error, bool reveal) {
  if (reveal && error.kind == Kind::Render) {
    return Render{{row(kFieldTemplate, code::kRender, std::move(error.text))}};
  }
  return from_kernel(std::move(error));
}

}  // namespace velloquin::error
