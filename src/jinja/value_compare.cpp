#include "jinja/value.h"

namespace velloquin::jinja {

bool values_equal(const Value&, const Value&) {
  return false;
}
int compare_values(const Value&, const Value&) {
  return 0;
}
const Value* Map::find(const Value& key) const {
  for (const auto& e : entries_)
    if (values_equal(e.first, key)) return &e.second;
  return nullptr;
}
const Value* Map::find(std::string_view key) const {
  for (const auto& e : entries_)
    if (e.first.is_string() && e.first.str() == key) return &e.second;
  return nullptr;
}

}  // namespace velloquin::jinja
