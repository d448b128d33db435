#include "definition/yaml/yaml_node_reader.h"

#include "base/try.h"
#include "definition/read_messages.h"

#include <cmath>

namespace velloquin::core {
namespace {

using Kind = YamlEvent::Kind;

bool is_local_tag(const std::optional<std::string>& tag) {
  return tag && tag->starts_with('!');
}

nlohmann::json json_of(const YamlScalarValue& value) {
  using V = YamlScalarValue::Kind;
  switch (value.kind) {
    case V::Null:
      return nullptr;
    case V::Boolean:
      return value.boolean;
    case V::Unsigned:
      return value.unsigned_value;
    case V::Signed:
      return value.signed_value;
    case V::Float:
      if (!std::isfinite(value.float_value)) return nullptr;
      return value.float_value;
    case V::String:
      return std::string(value.text);
    default:
      return nullptr;  // 128-bit integers and enums are refused before this
  }
}

constexpr std::string_view kAnyJson = "any valid JSON value";

}  // namespace

YamlResult<const YamlEvent*> YamlNodeReader::peek() const {
  const auto& events = state_.document.events;
  if (position_ < events.size()) return &events[position_];
  if (state_.document.error) return err(*state_.document.error);
  return err(yaml_final_error("EOF while parsing a value"));
}

YamlResult<const YamlEvent*> YamlNodeReader::next() {
  auto event = peek();
  if (event) ++position_;
  return event;
}

YamlResult<std::size_t> YamlNodeReader::replay(const YamlEvent& alias) {
  const auto& events = state_.document.events;
  const YamlEvent& node = events[alias.target];
  const bool collection = node.kind == Kind::SequenceStart || node.kind == Kind::MappingStart;
  // A collection cut short by an error runs to the end of what was loaded.
  const std::size_t last = !collection               ? alias.target
                           : node.end > alias.target ? node.end
                                                     : events.size() - 1;
  ++state_.replays;
  state_.replayed_events += last - alias.target + 1;
  const std::size_t limit = events.size() * 100;
  if (state_.replays > limit || state_.replayed_events > limit)
    return err(yaml_final_error("repetition limit exceeded"));
  return alias.target;
}

ReadError YamlNodeReader::invalid_type(const YamlEvent& event, std::string_view expecting) {
  std::string found;
  switch (event.kind) {
    case Kind::SequenceStart:
      found = "sequence";
      break;
    case Kind::MappingStart:
      found = "map";
      break;
    default: {
      auto value = resolve_yaml_scalar(event);
      if (!value) return read_error(std::move(value).error());
      found = describe_yaml_value(*value);
    }
  }
  return read_error("invalid type: " + found + ", expected " + std::string(expecting));
}

YamlResult<std::string> YamlNodeReader::read_string(std::string_view expecting) {
  VQ_TRY(auto next_event, next());
  const YamlEvent& event = *next_event;
  if (event.kind == Kind::Scalar) return event.value;
  if (event.kind == Kind::Alias) {
    return read_alias(event, [&](YamlNodeReader& aliased) -> YamlResult<std::string> {
      auto text = aliased.read_string(expecting);
      if (!text) return err(settle(std::move(text).error(), event.mark));
      return text;
    });
  }
  return err(settle(invalid_type(event, expecting), event.mark));
}

YamlResult<bool> YamlNodeReader::read_bool(std::string_view expecting) {
  VQ_TRY(auto next_event, next());
  const YamlEvent& event = *next_event;
  if (event.kind == Kind::Alias) {
    return read_alias(event, [&](YamlNodeReader& aliased) -> YamlResult<bool> {
      auto value = aliased.read_bool(expecting);
      if (!value) return err(settle(std::move(value).error(), event.mark));
      return value;
    });
  }
  if (event.kind == Kind::Scalar) {
    const bool readable =
        event.style == YamlScalarStyle::Plain ||
        (event.style == YamlScalarStyle::Literal && event.tag && *event.tag == kYamlBoolTag);
    if (readable) {
      if (auto value = parse_yaml_bool(event.value)) return *value;
    }
  }
  return err(settle(invalid_type(event, expecting), event.mark));
}

YamlResult<std::optional<std::string>> YamlNodeReader::read_optional_string(
    std::string_view expecting) {
  VQ_TRY(auto peeked, peek());
  const YamlEvent& event = *peeked;
  if (event.kind == Kind::Alias) {
    ++position_;
    return read_alias(
        event, [&](YamlNodeReader& aliased) { return aliased.read_optional_string(expecting); });
  }
  bool is_null = false;
  if (event.kind == Kind::Scalar && event.style == YamlScalarStyle::Plain) {
    if (event.tag && *event.tag == kYamlNullTag) {
      if (!is_yaml_null_spelling(event.value))
        return err(
            settle(read_error(invalid_value(describe_string(event.value), "null")), event.mark));
      is_null = true;
    } else if (!event.tag) {
      is_null = event.value.empty() || is_yaml_null_spelling(event.value);
    }
  }
  if (is_null) {
    ++position_;
    return std::optional<std::string>();
  }
  VQ_TRY(auto text, read_string(expecting));
  return std::optional<std::string>(std::move(text));
}

YamlResult<nlohmann::json> YamlNodeReader::read_json() {
  VQ_TRY(auto next_event, next());
  const YamlEvent& event = *next_event;
  auto value = read_json_from(event);
  if (!value) return err(settle(std::move(value).error(), event.mark));
  return value;
}

YamlResult<nlohmann::json> YamlNodeReader::read_json_from(const YamlEvent& event) {
  switch (event.kind) {
    case Kind::Alias:
      return read_alias(event, [](YamlNodeReader& aliased) { return aliased.read_json(); });
    case Kind::Scalar: {
      auto value = resolve_yaml_scalar_as_any(event);
      if (!value) return err(read_error(std::move(value).error()));
      using V = YamlScalarValue::Kind;
      if (value->kind == V::Enum)
        return err(read_error("invalid type: enum, expected " + std::string(kAnyJson)));
      if (value->kind == V::Unsigned128 || value->kind == V::Signed128)
        return err(read_error("JSON number out of range"));
      return json_of(*value);
    }
    case Kind::SequenceStart: {
      if (is_local_tag(event.tag))
        return err(read_error("invalid type: enum, expected " + std::string(kAnyJson)));
      return nested(event.mark, [&]() -> YamlResult<nlohmann::json> {
        nlohmann::json array = nlohmann::json::array();
        for (std::size_t index = 0;; ++index) {
          VQ_TRY(auto peeked, peek());
          if (peeked->kind == Kind::SequenceEnd) break;
          const YamlPath path = YamlPath::element(path_, index);
          YamlNodeReader element(state_, position_, path, remaining_depth_);
          VQ_TRY(auto value, element.read_json());
          array.push_back(std::move(value));
        }
        ++position_;
        return array;
      });
    }
    case Kind::MappingStart: {
      if (is_local_tag(event.tag))
        return err(read_error("invalid type: enum, expected " + std::string(kAnyJson)));
      return nested(event.mark, [&]() -> YamlResult<nlohmann::json> {
        nlohmann::json object = nlohmann::json::object();
        for (bool first = true;; first = false) {
          VQ_TRY(auto peeked, peek());
          const YamlEvent& key_event = *peeked;
          if (key_event.kind == Kind::MappingEnd) break;
          // A later entry with the same key replaces the earlier one.
          VQ_TRY(auto key, read_string(first ? "a string key" : "a string"));
          const YamlPath path = key_event.kind == Kind::Scalar
                                    ? YamlPath::value_of(path_, key_event.value)
                                    : YamlPath::unknown_in(path_);
          YamlNodeReader entry(state_, position_, path, remaining_depth_);
          VQ_TRY(auto value, entry.read_json());
          object[std::move(key)] = std::move(value);
        }
        ++position_;
        return object;
      });
    }
    default:
      return err(read_error("internal: unexpected end of collection"));
  }
}

YamlResult<void> YamlNodeReader::skip() {
  std::size_t open = 0;
  do {
    VQ_TRY(auto event, next());
    switch (event->kind) {
      case Kind::SequenceStart:
      case Kind::MappingStart:
        ++open;
        break;
      case Kind::SequenceEnd:
      case Kind::MappingEnd:
        --open;
        break;
      default:
        break;
    }
  } while (open != 0);
  return {};
}

YamlResult<void> YamlNodeReader::finish_collection() {
  for (;;) {
    VQ_TRY(auto peeked, peek());
    const Kind kind = peeked->kind;
    if (kind == Kind::SequenceEnd || kind == Kind::MappingEnd) {
      ++position_;
      return {};
    }
    VQ_CHECK(skip());
  }
}

}  // namespace velloquin::core
