#include "jinja/runtime/loop_object.h"

#include <algorithm>
#include <array>

#include "jinja/runtime/evaluator.h"

namespace velloquin::jinja {

namespace {

constexpr std::array<std::string_view, 11> kAttributes = {
    "index0", "index", "length", "revindex", "revindex0", "first",
    "last",   "depth", "depth0", "previtem", "nextitem"};

Value count(std::size_t n) {
  return Value(static_cast<long long>(n));
}

}  // namespace

Value LoopObject::get_attr(std::string_view name) const {
  const std::size_t size = items_ ? items_->size() : 0;
  if (name == "index0") return count(index0_);
  if (name == "index") return count(index0_ + 1);
  if (name == "first") return Value(index0_ == 0);
  if (name == "depth") return count(depth0_ + 1);
  if (name == "depth0") return count(depth0_);
  if (name == "previtem") return index0_ > 0 && index0_ <= size ? (*items_)[index0_ - 1] : Value();
  if (name == "nextitem") return index0_ + 1 < size ? (*items_)[index0_ + 1] : Value();
  if (name == "last") return Value(length_known_ && index0_ + 1 == size);
  if (!length_known_) return Value();
  if (name == "length") return count(size);
  if (name == "revindex") return count(size - index0_);
  if (name == "revindex0") return count(size - index0_ - 1);
  return Value();
}

std::optional<std::vector<Value>> LoopObject::iterate() const {
  std::vector<Value> names;
  names.reserve(kAttributes.size());
  for (const auto name : kAttributes) names.emplace_back(name);
  return names;
}

void LoopObject::display(std::string& out) const {
  out += "<loop ";
  out += std::to_string(index0_);
  out += '/';
  out += length_known_ && items_ ? std::to_string(items_->size()) : std::string("?");
  out += '>';
}

ValueResult LoopObject::call(State& state, const Args& args) const {
  auto* evaluator = dynamic_cast<Evaluator*>(&state);
  if (evaluator == nullptr) {
    return err(invalid_operation("loop recursion cannot be called this way"));
  }
  return evaluator->recurse(*this, args);
}

ValueResult LoopObject::call_method(State& state, std::string_view name, const Args& args) const {
  if (name == "cycle") {
    if (args.has_kwargs) return err(Error(ErrorKind::TooManyArguments));
    if (args.positional.empty()) {
      return err(invalid_operation("cycle needs at least one value to cycle through"));
    }
    return args.positional[index0_ % args.positional.size()];
  }
  if (name == "changed") {
    std::vector<Value> current = args.positional;
    if (args.has_kwargs) current.push_back(args.kwargs_map());
    if (last_changed_ && last_changed_->size() == current.size()) {
      bool same = true;
      for (std::size_t i = 0; i < current.size() && same; ++i) {
        same = values_equal((*last_changed_)[i], current[i]);
      }
      if (same) return Value(false);
    }
    last_changed_ = std::move(current);
    return Value(true);
  }
  // An attribute is there even while its value is undefined (`previtem` on the first item).
  if (std::find(kAttributes.begin(), kAttributes.end(), name) != kAttributes.end())
    return call_value(state, get_attr(name), args);
  return Object::call_method(state, name, args);
}

}  // namespace velloquin::jinja
