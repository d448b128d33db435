#include "core/engine_error.h"

#include <array>
#include <string>
#include <string_view>

namespace velloquin::core {
namespace {

// The statements the engine is built without: inheritance, inclusion, imports and macros. The
// engine reports each as "unknown statement NAME", with NAME spelt as the template wrote it.
constexpr std::array<std::string_view, 6> kExcludedStatements = {
    "include", "extends", "import", "from", "macro", "block",
};

// Only A-Z change, so multi-byte UTF-8 in the text stays intact.
std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// A substring test, not a word test: "unknown statement blocks" names an excluded statement too.
bool names_excluded_statement(std::string_view display) {
  const std::string lower = ascii_lower(display);
  std::string needle;
  for (std::string_view name : kExcludedStatements) {
    needle.assign("unknown statement ");
    needle.append(name);
    if (lower.find(needle) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

KernelError map_engine_error(jinja::Error error) {
  using Kind = KernelError::Kind;
  switch (error.kind()) {
    case jinja::ErrorKind::SyntaxError: {
      std::string display = error.display();
      const Kind kind = names_excluded_statement(display) ? Kind::ExcludedFeature : Kind::Parse;
      return KernelError{kind, std::move(display)};
    }
    case jinja::ErrorKind::UndefinedError:
      if (error.detail()) return KernelError{Kind::UndefinedVariable, *error.detail()};
      return KernelError{Kind::UndefinedVariable, error.display()};
    default:
      return KernelError{Kind::Render, error.display()};
  }
}

}  // namespace velloquin::core
