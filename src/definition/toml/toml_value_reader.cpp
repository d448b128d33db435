#include "definition/toml/toml_value_reader.h"

#include "definition/read_messages.h"

#include <optional>
#include <vector>

#include "base/try.h"
#include "definition/toml/toml_datetime_text.h"
#include "definition/toml/toml_document.h"
#include "definition/toml/toml_metadata.h"
#include "definition/yaml/yaml_scalar.h"

namespace velloquin::core {
namespace {

bool is_datetime(const toml::node& node) {
  return node.is_date() || node.is_time() || node.is_date_time();
}

std::string datetime_text_of(const toml::node& node, const TomlSpan& span,
                             const TomlReadContext& context) {
  return toml_datetime_text(node, context.source.text().substr(span.start, span.end - span.start));
}

// Where a key or a node of the document stands.
template <class Item>
ReadPosition position_of(const Item& item, const TomlSourceText& source) {
  return toml_position(toml_region_span(item.source(), source));
}

TomlValue value_of(const toml::node& node, const TomlReadContext& context) {
  return TomlValue{&node, nullptr, toml_region_span(node.source(), context.source)};
}

// A table's entries in ascending byte order of their keys (toml++ keeps them sorted).
class TomlTableEntries final : public EntryReader {
 public:
  TomlTableEntries(const toml::table& table, const TomlReadContext& context)
      : context_(context), next_(table.begin()), end_(table.end()) {}

  Result<bool, ReadError> next_key(std::string_view, KeyVisitor visit) override {
    if (next_ == end_) return false;
    current_ = next_++;
    if (auto visited = visit(current_->first.str()); !visited)
      return err(std::move(visited).error().at(position_of(current_->first, context_.source)));
    return true;
  }

  Result<void, ReadError> next_value(ValueVisitor visit) override {
    const TomlValue value = value_of(current_->second, context_);
    TomlValueReader reader(value, context_);
    if (auto visited = visit(reader); !visited)
      return err(std::move(visited).error().at(toml_position(value.span)));
    return {};
  }

 private:
  const TomlReadContext& context_;
  toml::table::const_iterator next_;
  toml::table::const_iterator end_;
  toml::table::const_iterator current_;
};

// The one entry of a date-time read as a mapping: "$__toml_private_datetime" and its text.
class TomlDatetimeEntry final : public EntryReader {
 public:
  TomlDatetimeEntry(const std::string& text, const TomlSpan& span, const TomlReadContext& context)
      : text_(text), span_(span), context_(context) {}

  Result<bool, ReadError> next_key(std::string_view, KeyVisitor visit) override {
    if (done_) return false;
    done_ = true;
    if (auto visited = visit(kTomlDatetimeKey); !visited)
      return err(std::move(visited).error().at(toml_position(span_)));
    return true;
  }

  Result<void, ReadError> next_value(ValueVisitor visit) override {
    const TomlValue value{nullptr, &text_, span_};
    TomlValueReader reader(value, context_);
    if (auto visited = visit(reader); !visited)
      return err(std::move(visited).error().at(toml_position(span_)));
    return {};
  }

 private:
  const std::string& text_;
  TomlSpan span_;
  const TomlReadContext& context_;
  bool done_ = false;
};

// An array's elements as a record's field values; elements past the last field are ignored.
class TomlArrayElements final : public ElementReader {
 public:
  TomlArrayElements(const toml::array& array, const TomlReadContext& context)
      : array_(array), context_(context) {}

  Result<bool, ReadError> next_element(ValueVisitor visit) override {
    if (index_ == array_.size()) return false;
    const TomlValue value = value_of(array_[index_++], context_);
    TomlValueReader reader(value, context_);
    if (auto visited = visit(reader); !visited)
      return err(std::move(visited).error().at(toml_position(value.span)));
    return true;
  }

 private:
  const toml::array& array_;
  const TomlReadContext& context_;
  std::size_t index_ = 0;
};

Content content_of(const toml::node& node, const TomlReadContext& context) {
  switch (node.type()) {
    case toml::node_type::string:
      return Content::of_string(node.as_string()->get());
    case toml::node_type::integer:
      return Content::of_i64(node.as_integer()->get());
    case toml::node_type::floating_point:
      return Content::of_f64(node.as_floating_point()->get());
    case toml::node_type::boolean:
      return Content::of_bool(node.as_boolean()->get());
    case toml::node_type::array: {
      std::vector<Content> items;
      for (const toml::node& element : *node.as_array())
        items.push_back(content_of(element, context));
      return Content::of_seq(std::move(items));
    }
    case toml::node_type::table: {
      std::vector<std::pair<Content, Content>> entries;
      for (const auto& [key, value] : *node.as_table())
        entries.emplace_back(Content::of_string(std::string(key.str())),
                             content_of(value, context));
      return Content::of_map(std::move(entries));
    }
    default:
      break;
  }
  const std::string text =
      datetime_text_of(node, toml_region_span(node.source(), context.source), context);
  std::vector<std::pair<Content, Content>> entries;
  entries.emplace_back(Content::of_string(std::string(kTomlDatetimeKey)), Content::of_string(text));
  return Content::of_map(std::move(entries));
}

// The kind word of "expected table, found {}".
std::string_view kind_word(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::string:
      return "string";
    case toml::node_type::integer:
      return "integer";
    case toml::node_type::floating_point:
      return "float";
    case toml::node_type::boolean:
      return "boolean";
    case toml::node_type::array:
      return "array";
    case toml::node_type::table:
      return "table";
    default:
      return "datetime";
  }
}

}  // namespace

ReadPosition toml_position(const TomlSpan& span) {
  ReadPosition position;
  position.offset = span.start;
  position.end = span.end;
  return position;
}

ReadError TomlValueReader::placed(ReadError error) const {
  return std::move(error).at(toml_position(value_.span));
}

ReadError TomlValueReader::invalid_type(std::string_view expecting) const {
  const std::string found = value_.datetime_text ? describe_string(*value_.datetime_text)
                                                 : describe_toml_value(*value_.node, context_);
  return placed(read_error("invalid type: " + found + ", expected " + std::string(expecting)));
}

Result<void, ReadError> TomlValueReader::visit_mapping(EntriesVisitor visit) const {
  Result<void, ReadError> result;
  if (const toml::table* table = value_.node->as_table()) {
    TomlTableEntries entries(*table, context_);
    result = visit(entries);
  } else {
    const std::string text = datetime_text_of(*value_.node, value_.span, context_);
    TomlDatetimeEntry entry(text, value_.span, context_);
    result = visit(entry);
  }
  if (!result) return err(placed(std::move(result).error()));
  return result;
}

Result<void, ReadError> TomlValueReader::read_record(const RecordShape& shape,
                                                     RecordVisitor& visitor) {
  if (value_.node && (value_.node->is_table() || is_datetime(*value_.node)))
    return visit_mapping([&](EntryReader& entries) { return visitor.visit_entries(entries); });
  if (value_.node && value_.node->is_array()) {
    TomlArrayElements elements(*value_.node->as_array(), context_);
    auto result = visitor.visit_elements(elements);
    if (!result) return err(placed(std::move(result).error()));
    return result;
  }
  return err(invalid_type(shape.expecting));
}

Result<void, ReadError> TomlValueReader::read_map(EntriesVisitor visit) {
  if (value_.node && (value_.node->is_table() || is_datetime(*value_.node)))
    return visit_mapping(visit);
  return err(invalid_type("a map"));
}

Result<JsonObject, ReadError> TomlValueReader::read_json_map() {
  if (!value_.node) return err(invalid_type("a map"));
  if (const toml::table* table = value_.node->as_table()) {
    JsonObject object;
    for (const auto& [key, value] : *table) {
      VQ_TRY(auto json, toml_to_json(value, context_));
      object.emplace(std::string(key.str()), std::move(json));
    }
    return object;
  }
  if (is_datetime(*value_.node)) {
    JsonObject object;
    object.emplace(std::string(kTomlDatetimeKey),
                   datetime_text_of(*value_.node, value_.span, context_));
    return object;
  }
  return err(invalid_type("a map"));
}

Result<std::string, ReadError> TomlValueReader::read_string() {
  if (value_.datetime_text) return *value_.datetime_text;
  if (const auto* text = value_.node->as_string()) return text->get();
  return err(invalid_type("a string"));
}

Result<std::optional<std::string>, ReadError> TomlValueReader::read_optional_string() {
  // TOML has no null: a present key always carries its value.
  VQ_TRY(auto text, read_string());
  return std::optional<std::string>(std::move(text));
}

Result<bool, ReadError> TomlValueReader::read_bool() {
  if (value_.node) {
    if (const auto* boolean = value_.node->as_boolean()) return boolean->get();
  }
  return err(invalid_type("a boolean"));
}

Result<void, ReadError> TomlValueReader::read_unit_enum(const EnumShape&, KeyVisitor visit) {
  if (value_.datetime_text) {
    if (auto visited = visit(*value_.datetime_text); !visited)
      return err(placed(std::move(visited).error()));
    return {};
  }
  if (const auto* text = value_.node->as_string()) {
    if (auto visited = visit(text->get()); !visited) return err(placed(std::move(visited).error()));
    return {};
  }
  const toml::table* table = value_.node->as_table();
  if (!table) return err(placed(read_error("wanted string or table")));
  if (table->empty()) return err(placed(read_error("wanted exactly 1 element, found 0 elements")));
  if (table->size() > 1)
    return err(placed(read_error("wanted exactly 1 element, more than 1 element")));
  const auto entry = *table->begin();
  const toml::key& key = entry.first;
  const toml::node& payload = entry.second;
  if (auto visited = visit(key.str()); !visited)
    return err(std::move(visited).error().at(position_of(key, source_)));
  // A payload that is not empty is the payload's fault, so the error points at it.
  auto at_payload = [&](std::string message) {
    return read_error(std::move(message)).at(position_of(payload, source_));
  };
  if (const toml::table* inner = payload.as_table()) {
    if (inner->empty()) return {};
    return err(at_payload("expected empty table"));
  }
  if (const toml::array* inner = payload.as_array()) {
    if (inner->empty()) return {};
    return err(at_payload("expected empty array"));
  }
  return err(at_payload("expected table, found " + std::string(kind_word(payload))));
}

Result<Content, ReadError> TomlValueReader::read_content() {
  if (value_.datetime_text) return Content::of_string(*value_.datetime_text);
  return content_of(*value_.node, context_);
}

}  // namespace velloquin::core
