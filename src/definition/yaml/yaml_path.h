// The path of the value being read, from the document root: printed in error messages as
// "." for the root, "a.b" for mapping values, "a[1]" for sequence elements and "?" for a value
// whose key is not a scalar. Each link lives on the stack of the reader that owns it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velloquin::core {

struct YamlPath {
  enum class Kind : unsigned char { Root, Sequence, Mapping, Alias, Unknown };

  Kind kind = Kind::Root;
  const YamlPath* parent = nullptr;
  std::size_t index = 0;  // Sequence
  std::string_view key;   // Mapping

  static YamlPath element(const YamlPath& parent, std::size_t index) {
    return {Kind::Sequence, &parent, index, {}};
  }
  static YamlPath value_of(const YamlPath& parent, std::string_view key) {
    return {Kind::Mapping, &parent, 0, key};
  }
  static YamlPath alias_of(const YamlPath& parent) { return {Kind::Alias, &parent, 0, {}}; }
  static YamlPath unknown_in(const YamlPath& parent) { return {Kind::Unknown, &parent, 0, {}}; }

  std::string to_string() const {
    std::string out;
    append_to(out);
    return out;
  }

 private:
  void append_to(std::string& out) const {
    switch (kind) {
      case Kind::Root:
        out += '.';
        return;
      case Kind::Sequence:
        parent->append_to(out);
        out += '[' + std::to_string(index) + ']';
        return;
      case Kind::Mapping:
        append_parent_prefix(out);
        out += key;
        return;
      case Kind::Alias:
        parent->append_to(out);
        return;
      case Kind::Unknown:
        append_parent_prefix(out);
        out += '?';
        return;
    }
  }
  // A parent other than the root, followed by ".".
  void append_parent_prefix(std::string& out) const {
    if (parent->kind == Kind::Root) return;
    parent->append_to(out);
    out += '.';
  }
};

}  // namespace velloquin::core
