#include "library/overlay.h"

#include "definition/definition_writer.h"

namespace velloquin::prompt {
namespace {

template <class Map>
nlohmann::json map_to_json(const Map& map) {
  nlohmann::json out = nlohmann::json::object();
  for (const auto& [key, value] : map) out[key] = core::to_json(value);
  return out;
}

}  // namespace

nlohmann::json to_json(const PromptOverlay& overlay) {
  nlohmann::json out = nlohmann::json::object();
  if (overlay.name) out["name"] = overlay.name->str();
  if (overlay.role) out["role"] = core::to_json(*overlay.role);
  if (overlay.body) out["body"] = *overlay.body;
  if (overlay.variables) out["variables"] = map_to_json(*overlay.variables);
  if (overlay.variants) out["variants"] = map_to_json(*overlay.variants);
  if (std::holds_alternative<ClearOutputModel>(overlay.output_model)) {
    out["output_model"] = nullptr;
  } else if (const auto* text = std::get_if<std::string>(&overlay.output_model)) {
    out["output_model"] = *text;
  }
  if (overlay.metadata) out["metadata"] = *overlay.metadata;
  return out;
}

}  // namespace velloquin::prompt
