#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "base/try.h"
#include "definition/definition_writer.h"
#include "definition/json/json_value_reader.h"
#include "library/merge.h"
#include "library/prompt.h"

namespace velloquin::prompt {

namespace {

ConsumerError load(std::string_view prefix, std::string_view detail) {
  std::string message(prefix);
  message.append(detail);
  return ConsumerError::Load{std::move(message)};
}

// The JSON library reports its faults by throwing; none may leave the library.
template <class Write>
Result<nlohmann::json, ConsumerError> write_out(Write&& write, std::string_view prefix) {
  try {
    return write();
  } catch (const std::exception& fault) {
    return err(load(prefix, fault.what()));
  }
}

}  // namespace

// Writing either side out cannot fail for a well-formed record, so the only failures a caller
// sees come from the construction checks of the merged definition.
Result<Prompt, ConsumerError> Prompt::derive_with(PromptOverlay overlay,
                                                  MergeStrategy strategy) const {
  VQ_TRY(auto base, write_out([&] { return core::to_json(definition_); },
                              "internal: failed to serialize base definition: "));
  VQ_TRY(auto layer,
         write_out([&] { return to_json(overlay); }, "internal: failed to serialize overlay: "));
  VQ_TRY(auto merged, merge_definitions(std::move(base), std::move(layer), strategy));
  auto definition = core::read_definition_from_json(std::move(merged));
  if (!definition) {
    return err(
        load("internal: failed to deserialize merged definition: ", definition.error().display()));
  }
  return create(std::move(definition).value());
}

}  // namespace velloquin::prompt
