#include "python/convert/template_value.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "python/convert/marshal_walk.h"

namespace velloquin::python {
namespace {

// An engine value under construction: engine containers are immutable, so a sequence or a map
// gathers its items here and becomes a value once it is complete.
struct Node {
  enum class Kind : std::uint8_t { Scalar, Seq, Map };
  Kind kind = Kind::Scalar;
  jinja::Value scalar;
  std::vector<jinja::Value> items;
  jinja::MapEntries entries;

  // Maps are sorted by key (byte order for text keys), as the JSON tree would have them.
  jinja::Value seal() && {
    switch (kind) {
      case Kind::Seq:
        return jinja::Value::seq(std::move(items));
      case Kind::Map:
        return jinja::Value::map(std::move(entries));
      case Kind::Scalar:
        break;
    }
    return std::move(scalar);
  }
};

// Makes what Value::from_json would make of the JSON tree of the same data: the same number
// kinds, non-finite floats as none.
struct TemplateValueBuilder {
  using Value = Node;

  static Node scalar(jinja::Value value) {
    return Node{Node::Kind::Scalar, std::move(value), {}, {}};
  }

  Node null() { return scalar(jinja::Value::none()); }
  Node boolean(bool value) { return scalar(jinja::Value(value)); }
  Node signed_integer(std::int64_t value) {
    return scalar(jinja::Value(static_cast<long long>(value)));
  }
  Node unsigned_integer(std::uint64_t value) {
    return scalar(jinja::Value(static_cast<jinja::UInt128>(value)));
  }
  Node real(double value) {
    return scalar(std::isfinite(value) ? jinja::Value(value) : jinja::Value::none());
  }
  Node string(std::string_view utf8) { return scalar(jinja::Value(std::string(utf8))); }
  Node array() { return Node{Node::Kind::Seq, {}, {}, {}}; }
  void append(Node& array, Node item) { array.items.push_back(std::move(item).seal()); }
  Node object() { return Node{Node::Kind::Map, {}, {}, {}}; }
  void reserve(Node& container, std::size_t count) {
    if (container.kind == Node::Kind::Seq)
      container.items.reserve(count);
    else
      container.entries.reserve(count);
  }
  void append_text(Node& array, std::string_view utf8) { array.items.emplace_back(utf8); }
  void insert_text(Node& object, PyObject* key, std::string_view text, std::string_view utf8) {
    object.entries.emplace_back(key_value(key, text), jinja::Value(utf8));
  }
  void insert_keyed(Node& object, PyObject* key, std::string_view text, Node item) {
    object.entries.emplace_back(key_value(key, text), std::move(item).seal());
  }

  // Lists of records repeat the same few keys, usually as the very same str objects; each
  // distinct key becomes one shared engine string instead of one per record. A key is found by
  // identity first (the cache holds a reference, so the object cannot be replaced by another at
  // the same address), then by text. Records repeat their keys in the same order, so each
  // cached key remembers which key was asked for after it, and that one is tried first.
  jinja::Value key_value(PyObject* key, std::string_view text) {
    const std::size_t guess = last_key < keys.size() ? keys[last_key].next : kNone;
    std::size_t found = kNone;
    if (guess < keys.size() && keys[guess].object.get() == key) {
      found = guess;
    } else {
      found = find_key(key, text);
      if (found == kNone) {
        jinja::Value value(text);
        if (keys.size() == kKeyCacheSize) return value;
        found = keys.size();
        keys.push_back({OwnedRef::borrow(key), std::move(value), kNone});
      }
      if (last_key < keys.size()) keys[last_key].next = found;
    }
    last_key = found;
    return keys[found].value;
  }

  std::size_t find_key(PyObject* key, std::string_view text) const {
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].object.get() == key) return i;
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].value.str() == text) return i;
    }
    return kNone;
  }

  struct CachedKey {
    OwnedRef object;
    jinja::Value value;
    std::size_t next;  // the key asked for after this one last time, or kNone
  };
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  static constexpr std::size_t kKeyCacheSize = 32;
  std::vector<CachedKey> keys;
  std::size_t last_key = kNone;
  int depth = 0;
};

}  // namespace

Result<jinja::Value, ConsumerError> to_template_value(PyObject* object) {
  TemplateValueBuilder builder;
  auto converted = marshal_detail::walk(builder, object);
  if (!converted) {
    return err(ConsumerError(
        ConsumerError::Load{"could not marshal Python value: " +
                            marshal_detail::to_marshal_error(std::move(converted).error()).text}));
  }
  return std::move(converted).value().seal();
}

}  // namespace velloquin::python
