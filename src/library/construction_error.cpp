#include "library/construction_error.h"

#include <string>
#include <utility>

namespace velloquin::prompt {
namespace {

using Kind = core::KernelError::Kind;

FieldError row(std::string_view field, std::string_view code, std::string message) {
  return FieldError{std::string(field), std::string(code), std::move(message)};
}

}  // namespace

FieldError reserved_variant_row() {
  return row("variant", error::code::kUndefinedVariable,
             "variant `default` uses the reserved name for the root body; rename it or move its "
             "body to the root");
}

FieldError undeclared_root_row(std::string_view root, std::string_view arm) {
  std::string message = "template references undeclared variable `";
  message.append(root).append("` (variant `").append(arm);
  message.append("`); add it to the prompt's `variables`");
  return row(root, error::code::kUndefinedVariable, std::move(message));
}

FieldError construction_row(core::KernelError error) {
  std::string& text = error.text;
  switch (error.kind) {
    case Kind::UnknownVariant:
      return row("variant", error::code::kUnknownVariant, "unknown variant: `" + text + "`");
    case Kind::ExcludedFeature:
      return row("template", error::code::kExcludedFeature, "template uses an excluded feature");
    case Kind::Parse:
      return row("template", error::code::kParse, "template parse error");
    case Kind::UndefinedVariable:
      return row("template", error::code::kUndefinedVariable,
                 "undefined variable at render: `" + text + "`");
    case Kind::Render:
      break;
    case Kind::InvalidGuardAdvisory:
      return row("guard", error::code::kRender, "guard advisory override is invalid: " + text);
  }
  return row("template", error::code::kRender, "render error");
}

}  // namespace velloquin::prompt
