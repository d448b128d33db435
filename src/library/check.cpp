#include "library/check.h"

#include <set>
#include <string>

#include "core/guard/guard.h"

namespace velloquin::check {
namespace {

// Only the key's presence counts: any value under it, null or false included, means a guard was
// thought about.
constexpr std::string_view kGuardKey = "guard";

std::string untrusted_detail(const std::string& field) {
  return "field `" + field +
         "` is declared untrusted (`trusted: false`) but the prompt configures no guard (add a "
         "`guard` key under the prompt's `metadata`)";
}

}  // namespace

std::string_view kind_name(const FindingKind& kind) {
  struct Name {
    std::string_view operator()(const UntrustedWithoutGuard&) const {
      return "untrusted_without_guard";
    }
  };
  return std::visit(Name{}, kind);
}

CheckReport check_definition(const core::PromptDefinition& definition) {
  CheckReport report;
  const std::set<std::string> untrusted = core::untrusted_fields(definition);
  if (untrusted.empty() || definition.metadata.contains(std::string(kGuardKey))) return report;
  for (const std::string& field : untrusted) {
    report.findings.push_back(Finding{definition.name.str(), UntrustedWithoutGuard{field},
                                      untrusted_detail(field), std::nullopt});
  }
  return report;
}

}  // namespace velloquin::check
