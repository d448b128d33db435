// The mutable namespace object of `namespace()`.
#include <map>

#include "jinja/runtime/functions.h"
#include "jinja/value/value_data.h"
#include "jinja/value/value_ops.h"

namespace velloquin::jinja {

namespace {

class NamespaceObject : public Object {
 public:
  explicit NamespaceObject(MapEntries initial) {
    for (auto& [k, v] : initial) {
      if (k.is_string())
        values_[std::string(k.str())] = std::move(v);
      else
        values_[k.to_display_string()] = std::move(v);
    }
  }

  ~NamespaceObject() override {
    std::vector<Value> values;
    values.reserve(values_.size());
    for (auto& [k, v] : values_) values.push_back(std::move(v));
    release_nested(values);
  }

  ValueKind kind() const override { return ValueKind::Map; }
  Value get_attr(std::string_view name) const override {
    auto it = values_.find(name);
    return it == values_.end() ? Value() : it->second;
  }
  Value get_item(const Value& key) const override {
    return key.is_string() ? get_attr(key.str()) : Value();
  }
  velloquin::Result<void, Error> set_attr(std::string_view name, Value value) override {
    // A namespace holding itself would never be freed and would print without end.
    if (reaches(value, 0)) return err(invalid_operation("cannot store a namespace inside itself"));
    auto it = values_.find(name);
    if (it != values_.end())
      it->second = std::move(value);
    else
      values_.emplace(std::string(name), std::move(value));
    return {};
  }
  std::optional<std::size_t> length() const override { return values_.size(); }
  std::optional<std::vector<Value>> iterate() const override {
    std::vector<Value> keys;
    keys.reserve(values_.size());
    for (const auto& [k, v] : values_) keys.emplace_back(k);
    return keys;
  }
  bool truthy() const override { return !values_.empty(); }
  void display(std::string& out) const override {
    out += '{';
    bool first = true;
    for (const auto& [k, v] : values_) {
      if (!first) out += ", ";
      first = false;
      Value(k).repr(out);
      out += ": ";
      v.repr(out);
    }
    out += '}';
  }

 private:
  bool reaches(const Value& v, int depth) const {
    if (depth > 16) return false;
    if (Object* o = v.object_ptr()) {
      if (o == this) return true;
      if (auto* ns = dynamic_cast<const NamespaceObject*>(o)) {
        for (const auto& [k, val] : ns->values_)
          if (reaches(val, depth + 1)) return true;
        return false;
      }
      if (auto items = o->iterate()) {
        if (o->kind() == ValueKind::Map) {
          for (const auto& k : *items)
            if (reaches(o->get_item(k), depth + 1)) return true;
        } else {
          for (const auto& item : *items)
            if (reaches(item, depth + 1)) return true;
        }
      }
      return false;
    }
    if (const auto* items = v.items()) {
      for (const auto& item : *items)
        if (reaches(item, depth + 1)) return true;
    } else if (const Map* m = v.map_data()) {
      for (const auto& [k, val] : m->entries())
        if (reaches(val, depth + 1)) return true;
    }
    return false;
  }

  std::map<std::string, Value, std::less<>> values_;
};

}  // namespace

std::shared_ptr<Object> make_namespace(MapEntries initial) {
  return std::make_shared<NamespaceObject>(std::move(initial));
}

}  // namespace velloquin::jinja
