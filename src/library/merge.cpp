#include "library/merge.h"

#include <array>
#include <string_view>
#include <utility>

namespace velloquin::prompt {
namespace {

// The map fields whose entries merge one by one.
constexpr std::array<std::string_view, 3> kMergeKeys = {"variables", "variants", "metadata"};

bool is_merge_key(std::string_view key) {
  for (std::string_view merge_key : kMergeKeys) {
    if (key == merge_key) return true;
  }
  return false;
}

ConsumerError internal(const char* message) {
  return ConsumerError::Load{message};
}

}  // namespace

Result<nlohmann::json, ConsumerError> merge_definitions(nlohmann::json base, nlohmann::json overlay,
                                                        MergeStrategy strategy) {
  if (!base.is_object()) return err(internal("internal: base is not a JSON object"));
  if (!overlay.is_object()) return err(internal("internal: overlay is not a JSON object"));
  auto& fields = base.get_ref<nlohmann::json::object_t&>();
  for (auto& [key, value] : overlay.get_ref<nlohmann::json::object_t&>()) {
    auto existing = fields.find(key);
    const bool unite = strategy == MergeStrategy::Merge && is_merge_key(key) && value.is_object() &&
                       (existing == fields.end() || existing->second.is_object());
    if (!unite) {
      fields[key] = std::move(value);
      continue;
    }
    nlohmann::json& target = fields[key];
    if (target.is_null()) target = nlohmann::json::object();
    for (auto& [entry_key, entry] : value.get_ref<nlohmann::json::object_t&>()) {
      target[entry_key] = std::move(entry);
    }
  }
  return base;
}

}  // namespace velloquin::prompt
