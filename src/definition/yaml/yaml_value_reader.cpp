#include "definition/yaml/yaml_value_reader.h"

#include "base/try.h"
#include "definition/read_messages.h"

#include <optional>

namespace velloquin::core {
namespace {

using Kind = YamlEvent::Kind;

// The entries of one mapping (or of an empty value read as a mapping), in document order. Keys
// are read by the mapping's own reader; each value by a reader one path step further in.
class YamlEntryReader final : public EntryReader {
 public:
  YamlEntryReader(YamlNodeReader& mapping, bool empty) : mapping_(mapping), empty_(empty) {}

  Result<bool, ReadError> next_key(std::string_view expecting, KeyVisitor visit) override {
    if (empty_) return false;
    VQ_TRY(auto peeked, mapping_.peek());
    const YamlEvent& key = *peeked;
    if (key.kind == Kind::MappingEnd) return false;
    value_path_ = key.kind == Kind::Scalar ? YamlPath::value_of(mapping_.path(), key.value)
                                           : YamlPath::unknown_in(mapping_.path());
    VQ_TRY(auto text, mapping_.read_string(expecting));
    if (auto visited = visit(text); !visited)
      return err(mapping_.settle(std::move(visited).error(), key.mark));
    return true;
  }

  Result<void, ReadError> next_value(ValueVisitor visit) override {
    YamlNodeReader node(mapping_.state(), mapping_.position(), value_path_,
                        mapping_.remaining_depth());
    YamlValueReader value(node);
    return visit(value);
  }

 private:
  YamlNodeReader& mapping_;
  bool empty_;
  YamlPath value_path_;
};

bool is_empty_plain(const YamlEvent& event) {
  return event.kind == Kind::Scalar && event.style == YamlScalarStyle::Plain && event.value.empty();
}

// The name of an enumeration variant carried by a local tag: "!user" names user.
std::optional<std::string_view> local_tag_name(const YamlEvent& event) {
  if (!event.tag || !event.tag->starts_with('!')) return std::nullopt;
  std::string_view tag = *event.tag;
  return tag.size() > 1 ? tag.substr(1) : tag;
}

// Reads a mapping, or an empty plain value as an empty mapping, with `visit`; anything else
// fails with invalid type. Shared by records and maps, which YAML reads alike.
template <class Visit>
Result<void, ReadError> read_mapping(YamlNodeReader& node, std::string_view expecting,
                                     Visit&& visit) {
  VQ_TRY(auto next, node.next());
  const YamlEvent& event = *next;
  Result<void, ReadError> result;
  if (event.kind == Kind::Alias) {
    result = node.read_alias(
        event, [&](YamlNodeReader& aliased) { return read_mapping(aliased, expecting, visit); });
  } else if (event.kind == Kind::MappingStart) {
    result = node.nested(event.mark, [&]() -> Result<void, ReadError> {
      YamlEntryReader entries(node, false);
      VQ_CHECK(visit(entries));
      return node.finish_collection();
    });
  } else if (is_empty_plain(event)) {
    YamlEntryReader entries(node, true);
    result = visit(entries);
  } else {
    result = err(YamlNodeReader::invalid_type(event, expecting));
  }
  if (!result) return err(node.settle(std::move(result).error(), event.mark));
  return result;
}

Result<Content, ReadError> content_of_scalar(const YamlEvent& event) {
  auto value = resolve_yaml_scalar_as_any(event);
  if (!value) return err(read_error(std::move(value).error()));
  using V = YamlScalarValue::Kind;
  switch (value->kind) {
    case V::Null:
      return Content::null();
    case V::Boolean:
      return Content::of_bool(value->boolean);
    case V::Unsigned:
      return Content::of_u64(value->unsigned_value);
    case V::Signed:
      return Content::of_i64(value->signed_value);
    case V::Unsigned128:
      return Content::of_u128(value->unsigned128);
    case V::Signed128:
      return Content::of_i128(value->signed128);
    case V::Float:
      return Content::of_f64(value->float_value);
    case V::String:
      return Content::of_string(std::string(value->text));
    case V::Enum:
      break;
  }
  return err(read_error("untagged and internally tagged enums do not support enum input"));
}

Result<Content, ReadError> read_content_from(YamlNodeReader& node);

Result<Content, ReadError> read_content_of(YamlNodeReader& node, const YamlEvent& event) {
  switch (event.kind) {
    case Kind::Alias:
      return node.read_alias(event,
                             [](YamlNodeReader& aliased) { return read_content_from(aliased); });
    case Kind::Scalar:
      return content_of_scalar(event);
    case Kind::SequenceStart:
    case Kind::MappingStart:
      break;
    default:
      return err(read_error("internal: unexpected end of collection"));
  }
  if (local_tag_name(event))
    return err(read_error("untagged and internally tagged enums do not support enum input"));
  const bool sequence = event.kind == Kind::SequenceStart;
  return node.nested(event.mark, [&]() -> Result<Content, ReadError> {
    std::vector<Content> items;
    std::vector<std::pair<Content, Content>> entries;
    for (std::size_t index = 0;; ++index) {
      VQ_TRY(auto peeked, node.peek());
      const YamlEvent& item = *peeked;
      if (item.kind == Kind::SequenceEnd || item.kind == Kind::MappingEnd) break;
      if (sequence) {
        const YamlPath path = YamlPath::element(node.path(), index);
        YamlNodeReader element(node.state(), node.position(), path, node.remaining_depth());
        VQ_TRY(auto value, read_content_from(element));
        items.push_back(std::move(value));
        continue;
      }
      VQ_TRY(auto key, read_content_from(node));
      const YamlPath path = item.kind == Kind::Scalar ? YamlPath::value_of(node.path(), item.value)
                                                      : YamlPath::unknown_in(node.path());
      YamlNodeReader entry(node.state(), node.position(), path, node.remaining_depth());
      VQ_TRY(auto value, read_content_from(entry));
      entries.emplace_back(std::move(key), std::move(value));
    }
    ++node.position();
    return sequence ? Content::of_seq(std::move(items)) : Content::of_map(std::move(entries));
  });
}

Result<Content, ReadError> read_content_from(YamlNodeReader& node) {
  VQ_TRY(auto next, node.next());
  const YamlEvent& event = *next;
  auto content = read_content_of(node, event);
  if (!content) return err(node.settle(std::move(content).error(), event.mark));
  return content;
}

}  // namespace

Result<void, ReadError> YamlValueReader::read_record(const RecordShape& shape,
                                                     RecordVisitor& visitor) {
  // YAML has no positional form: a sequence is an invalid type like any other non-mapping.
  return read_mapping(node_, shape.expecting,
                      [&](EntryReader& entries) { return visitor.visit_entries(entries); });
}

Result<void, ReadError> YamlValueReader::read_map(EntriesVisitor visit) {
  return read_mapping(node_, "a map", [&](EntryReader& entries) { return visit(entries); });
}

Result<JsonObject, ReadError> YamlValueReader::read_json_map() {
  JsonObject object;
  VQ_CHECK(read_mapping(node_, "a map", [&](EntryReader& entries) -> Result<void, ReadError> {
    for (;;) {
      std::string key;
      VQ_TRY(auto more,
             entries.next_key("a string", [&](std::string_view text) -> Result<void, ReadError> {
               key = std::string(text);
               return {};
             }));
      if (!more) return {};
      VQ_CHECK(entries.next_value([&](ValueReader& reader) -> Result<void, ReadError> {
        auto& yaml = static_cast<YamlValueReader&>(reader);
        VQ_TRY(auto json, yaml.node_.read_json());
        // A later entry with the same key replaces the earlier one.
        object[std::move(key)] = std::move(json);
        return {};
      }));
    }
  }));
  return object;
}

Result<std::string, ReadError> YamlValueReader::read_string() {
  return node_.read_string("a string");
}

Result<std::optional<std::string>, ReadError> YamlValueReader::read_optional_string() {
  return node_.read_optional_string("a string");
}

Result<bool, ReadError> YamlValueReader::read_bool() {
  return node_.read_bool("a boolean");
}

Result<void, ReadError> YamlValueReader::read_unit_enum(const EnumShape& shape, KeyVisitor visit) {
  VQ_TRY(auto peeked, node_.peek());
  const YamlEvent& event = *peeked;
  auto result = [&]() -> Result<void, ReadError> {
    if (event.kind == Kind::Alias) {
      ++node_.position();
      return node_.read_alias(event, [&](YamlNodeReader& aliased) {
        YamlValueReader value(aliased);
        return value.read_unit_enum(shape, visit);
      });
    }
    const std::optional<std::string_view> tagged = local_tag_name(event);
    if (!tagged) {
      if (event.kind == Kind::MappingStart)
        return err(read_error("invalid type: map, expected a YAML tag starting with '!'"));
      if (event.kind == Kind::SequenceStart)
        return err(read_error("invalid type: sequence, expected a YAML tag starting with '!'"));
      // The scalar's text, whatever its style, is the word.
      VQ_TRY(auto word, node_.read_string("variant identifier"));
      return visit(word);
    }
    // A local tag names the variant; what it tags must then be empty.
    VQ_CHECK(visit(*tagged));
    ++node_.position();
    if (event.kind == Kind::Scalar) {
      const bool empty = event.style == YamlScalarStyle::Plain &&
                         (event.value.empty() || is_yaml_null_spelling(event.value));
      if (empty) return {};
      return err(read_error(invalid_value(describe_string(event.value), "null")));
    }
    return err(read_error(std::string("invalid type: ") +
                          (event.kind == Kind::MappingStart ? "map" : "sequence") +
                          ", expected unit"));
  }();
  if (!result) return err(node_.settle(std::move(result).error(), event.mark));
  return result;
}

Result<Content, ReadError> YamlValueReader::read_content() {
  return read_content_from(node_);
}

}  // namespace velloquin::core
