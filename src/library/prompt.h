// The prompt library's immutable, fully validated prompt.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "base/result.h"
#include "core/compiled_arms.h"
#include "definition/prompt_definition.h"
#include "library/check.h"
#include "library/error.h"
#include "library/merge.h"
#include "library/overlay.h"

namespace velloquin::prompt {

// Holds one definition that passed every construction check: no variant uses the reserved name
// "default", every template compiles under the kernel's rules, and every root name a template
// reads is declared. Nothing changes after construction; derivation makes a new prompt.
class Prompt {
 public:
  // The construction checks; the first failure is the only row reported, always of kind Render.
  static Result<Prompt, ConsumerError> create(core::PromptDefinition definition);

  // Read the text with the format's reader (any reader error is Load, carrying the reader's
  // own display text) and construct.
  static Result<Prompt, ConsumerError> from_json(std::string_view text);
  static Result<Prompt, ConsumerError> from_toml(std::string_view text);
  static Result<Prompt, ConsumerError> from_yaml(std::string_view text);

  // The arm's source as stored, borrowed from this prompt; absent or "default" is the root body.
  Result<std::string_view, ConsumerError> get_source(
      std::optional<std::string_view> variant) const&;
  Result<std::string_view, ConsumerError> get_source(std::optional<std::string_view> variant) && =
      delete;

  const core::PromptDefinition& definition() const& { return definition_; }
  const core::PromptDefinition& definition() && = delete;

  // Every arm compiled once at construction, for core::render to render from.
  const core::CompiledArms& compiled_arms() const& { return *compiled_; }
  const core::CompiledArms& compiled_arms() && = delete;

  // A new prompt from this one's definition with the overlay laid over it, checked in full.
  // This prompt is left as it is whatever happens.
  Result<Prompt, ConsumerError> derive_with(PromptOverlay overlay, MergeStrategy strategy) const;

  // The advisory check; never fails.
  CheckReport check() const;

  // Prompts are equal when their definitions are; the compiled arms follow from those.
  bool operator==(const Prompt& other) const { return definition_ == other.definition_; }

 private:
  Prompt(core::PromptDefinition definition, std::shared_ptr<const core::CompiledArms> compiled)
      : definition_(std::move(definition)), compiled_(std::move(compiled)) {}

  core::PromptDefinition definition_;
  std::shared_ptr<const core::CompiledArms> compiled_;
};

}  // namespace velloquin::prompt

namespace velloquin {
using prompt::Prompt;
}  // namespace velloquin
