// The heap contents behind string, sequence and iterator values (internal to the engine).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jinja/error.h"
#include "jinja/value.h"

namespace velloquin::jinja {

struct StringData : HeapData {
  explicit StringData(std::string t) : text(std::move(t)) {}
  std::string text;
};

struct SeqData : HeapData {
  explicit SeqData(std::vector<Value> i) : items(std::move(i)) {}
  std::vector<Value> items;
};

// An iterator: either computed items (sized or not) or an arithmetic range.
struct IterData : HeapData {
  std::vector<Value> items;
  bool sized = true;
  bool is_range = false;
  Value::RangeSpec range{0, 1, 0};
  // Iterating fails with this (an input of a chain that cannot be iterated).
  std::optional<Error> failure;
};

}  // namespace velloquin::jinja
