// The caller's guard setting and the result of one render.
#pragma once

#include <optional>
#include <string>

namespace velloquin::core {

// The default value, guard off and no override, is what callers pass when the user asked for no
// guard. The override is checked only when the guard acts, never when the value is built.
struct GuardConfig {
  std::optional<std::string> advisory;
  bool enabled = false;

  bool operator==(const GuardConfig&) const = default;
};

// Owns every text it reports. `template_hash` covers the arm source as stored in the definition,
// so turning the guard on never changes it; `guard` holds the advisory sentence whenever the
// guard acted, and is never part of `text`.
struct RenderResult {
  std::string text;
  std::string name;
  std::string variant;
  std::string template_hash;
  std::string render_hash;
  std::optional<std::string> guard;

  bool operator==(const RenderResult&) const = default;
};

}  // namespace velloquin::core
