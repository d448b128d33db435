// The heap contents behind sequence and iterator values (internal to the engine).
#pragma once

#include <string>
#include <vector>

#include "jinja/error.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {

// Frees the containers nested in `items` without recursing once per level: a deep value
// (a list in a list in a list ...) would otherwise exhaust the stack when released.
void release_nested(std::vector<Value>& items);

struct SeqData : HeapData {
  explicit SeqData(std::vector<Value> i) : items(std::move(i)) {}
  ~SeqData() override { release_nested(items); }
  std::vector<Value> items;
};

// An iterator: either computed items (sized or not) or an arithmetic range.
struct IterData : HeapData {
  std::vector<Value> items;
  bool sized = true;
  bool is_range = false;
  Value::RangeSpec range{0, 1, 0};
  ~IterData() override { release_nested(items); }
};

}  // namespace velloquin::jinja
