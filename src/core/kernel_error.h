// The rendering kernel's one error type: six kinds, each carrying one text.
#pragma once

#include <cstdint>
#include <string>

namespace velloquin::core {

struct KernelError {
  enum class Kind : std::uint8_t {
    UnknownVariant,        // the requested variant name, as requested
    ExcludedFeature,       // the engine error's full display text
    Parse,                 // the engine error's full display text
    UndefinedVariable,     // the engine error's detail, else its full display text
    Render,                // the engine error's full display text
    InvalidGuardAdvisory,  // the sentence naming what the override misses
  };

  Kind kind;
  std::string text;

  bool operator==(const KernelError&) const = default;
};

}  // namespace velloquin::core
