#include "library/prompt.h"

#include <utility>

#include "base/try.h"
#include "core/variant.h"
#include "definition/json/json_text_reader.h"
#include "definition/toml/toml_reader.h"
#include "definition/yaml/yaml_reader.h"
#include "library/construction.h"

namespace velloquin::prompt {
namespace {

// A reader's error becomes the load message exactly as the reader displays it.
template <class ReadError>
Result<Prompt, ConsumerError> construct_read(Result<core::PromptDefinition, ReadError> read) {
  if (!read) return err(ConsumerError(ConsumerError::Load{std::string(read.error().display())}));
  return Prompt::create(std::move(read).value());
}

}  // namespace

Result<Prompt, ConsumerError> Prompt::create(core::PromptDefinition definition) {
  std::shared_ptr<const core::CompiledArms> compiled = core::CompiledArms::build(definition);
  VQ_CHECK(check_construction(definition, *compiled));
  return Prompt(std::move(definition), std::move(compiled));
}

Result<Prompt, ConsumerError> Prompt::from_json(std::string_view text) {
  return construct_read(core::read_definition_from_json_text(text));
}

Result<Prompt, ConsumerError> Prompt::from_toml(std::string_view text) {
  return construct_read(core::read_definition_from_toml(text));
}

Result<Prompt, ConsumerError> Prompt::from_yaml(std::string_view text) {
  return construct_read(core::read_definition_from_yaml(text));
}

Result<std::string_view, ConsumerError> Prompt::get_source(
    std::optional<std::string_view> variant) const& {
  auto source = core::get_source(definition_, variant);
  if (!source) return err(ConsumerError::from_kernel(std::move(source).error()));
  return *source;
}

CheckReport Prompt::check() const {
  return check::check_definition(definition_);
}

}  // namespace velloquin::prompt
