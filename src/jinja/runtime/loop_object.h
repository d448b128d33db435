// The `loop` variable of a for loop: counters, neighbours, cycle/changed and recursion.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jinja/runtime/functions.h"
#include "jinja/value/value.h"

namespace velloquin::jinja {

struct ForStmt;

class LoopObject final : public Object {
 public:
  LoopObject(const ForStmt& stmt, std::uint32_t depth0) : stmt_(&stmt), depth0_(depth0) {}

  // Starts over `items`; `length_known` says whether `loop.length` is defined.
  void start(std::shared_ptr<const std::vector<Value>> items, bool length_known) {
    items_ = std::move(items);
    length_known_ = length_known;
    index0_ = 0;
  }
  void set_index(std::size_t index0) { index0_ = index0; }

  const ForStmt& stmt() const { return *stmt_; }
  std::uint32_t depth0() const { return depth0_; }

  ValueKind kind() const override { return ValueKind::Map; }
  Value get_attr(std::string_view name) const override;
  std::optional<std::size_t> length() const override { return 11; }
  std::optional<std::vector<Value>> iterate() const override;
  void display(std::string& out) const override;
  ValueResult call(State& state, const Args& args) const override;
  ValueResult call_method(State& state, std::string_view name, const Args& args) const override;

 private:
  const ForStmt* stmt_;
  std::uint32_t depth0_;
  std::shared_ptr<const std::vector<Value>> items_;
  bool length_known_ = false;
  std::size_t index0_ = 0;
  mutable std::optional<std::vector<Value>> last_changed_;
};

}  // namespace velloquin::jinja
