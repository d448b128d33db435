// The first document of a YAML text as a list of libyaml events, with aliases resolved to the
// position of the node they replay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "definition/read_error.h"
#include "definition/yaml/yaml_error.h"

namespace velloquin::core {

enum class YamlScalarStyle : std::uint8_t { Plain, SingleQuoted, DoubleQuoted, Literal, Folded };

struct YamlEvent {
  enum class Kind : std::uint8_t {
    Alias,
    Scalar,
    SequenceStart,
    SequenceEnd,
    MappingStart,
    MappingEnd,
  };

  Kind kind = Kind::Scalar;
  YamlMark mark;
  YamlScalarStyle style = YamlScalarStyle::Plain;  // scalars only
  std::string value;                               // a scalar's text after unquoting
  std::optional<std::string> tag;                  // scalars and collection starts
  std::size_t target = 0;                          // aliases: index of the anchored event
  std::size_t end = 0;  // collection starts: index of the matching end event, once loaded
};

struct YamlDocument {
  // False when the text holds no document at all.
  bool present = false;
  std::vector<YamlEvent> events;
  // Set when the document ended early: a syntax error or an alias to an unknown anchor. The
  // events before that point are still readable.
  std::optional<ReadError> error;
  // True when anything but the end of the stream follows the first document.
  bool followed_by_more = false;
};

// Loading stops at the first collection nested deeper than this. A reader that takes one unit
// of depth per collection and allows fewer than this many fails at a shallower collection before
// it could reach the cut, and libyaml's cost per event grows with the nesting depth, so a deeply
// nested text would otherwise take quadratic time.
inline constexpr std::size_t kYamlLoadDepthLimit = 130;

YamlDocument load_first_yaml_document(std::string_view text);

}  // namespace velloquin::core
