#include "definition/record_reader.h"

#include <array>
#include <bitset>
#include <optional>
#include <utility>

#include "base/try.h"
#include "definition/read_messages.h"

namespace velloquin::core {
namespace {

using Unit = Result<void, ReadError>;

constexpr std::array<std::string_view, 7> kDefinitionFields = {
    "body", "metadata", "name", "output_model", "role", "variables", "variants"};
constexpr std::array<std::string_view, 4> kVariableFields = {"description", "trusted", "type",
                                                             "validation_required"};
constexpr std::array<std::string_view, 2> kVariantFields = {"body", "metadata"};
constexpr std::array<std::string_view, 3> kRoleWords = {"system", "user", "assistant"};
constexpr std::array<std::string_view, 6> kTypeWords = {"string",  "integer", "number",
                                                        "boolean", "array",   "object"};
constexpr std::array<std::string_view, 7> kTypeItemWords = {
    "string", "integer", "number", "boolean", "array", "object", "null"};

const RecordShape kDefinitionShape{"PromptDefinition", "struct PromptDefinition",
                                   kDefinitionFields};
const RecordShape kVariableShape{"PromptVariable", "struct PromptVariable", kVariableFields};
const RecordShape kVariantShape{"PromptVariant", "struct PromptVariant", kVariantFields};
const EnumShape kRoleShape{"PromptDefinitionRole", "enum PromptDefinitionRole", kRoleWords};

constexpr std::string_view kUntaggedTypeMismatch =
    "data did not match any variant of untagged enum PromptVariableType";

// "`a`", "`a` or `b`", "one of `a`, `b`, `c`": how a list of accepted names is written.
std::string one_of(std::span<const std::string_view> names) {
  std::string out;
  if (names.size() == 1) return "`" + std::string(names[0]) + "`";
  if (names.size() == 2) {
    return "`" + std::string(names[0]) + "` or `" + std::string(names[1]) + "`";
  }
  out = "one of ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += ", ";
    out += "`";
    out += names[i];
    out += "`";
  }
  return out;
}

std::optional<std::size_t> index_of(std::span<const std::string_view> names,
                                    std::string_view word) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == word) return i;
  }
  return std::nullopt;
}

Unit match_field(const RecordShape& shape, std::string_view key, std::size_t& field) {
  if (auto index = index_of(shape.fields, key)) {
    field = *index;
    return {};
  }
  return err(
      read_error("unknown field `" + std::string(key) + "`, expected " + one_of(shape.fields)));
}

ReadError missing_field(std::string_view field) {
  return read_error("missing field `" + std::string(field) + "`");
}

ReadError too_short(const RecordShape& shape, std::size_t position) {
  return read_error(invalid_length(
      position,
      std::string(shape.expecting) + " with " + std::to_string(shape.fields.size()) + " elements"));
}

// Reads the value of the key just read into `slot` with `read`.
template <class T, class Read>
Unit read_value(EntryReader& entries, std::optional<T>& slot, Read read) {
  return entries.next_value([&](ValueReader& value) -> Unit {
    VQ_TRY(slot, read(value));
    return {};
  });
}

// Reads the next element into `slot`; false when the sequence has ended before it.
template <class T, class Read>
Result<bool, ReadError> read_element(ElementReader& elements, std::optional<T>& slot, Read read) {
  return elements.next_element([&](ValueReader& value) -> Unit {
    VQ_TRY(slot, read(value));
    return {};
  });
}

// The key loop shared by every record: unknown keys fail at the key, repeated keys before
// their value is read. `read_field(index)` reads the value of field `index`.
template <class ReadField>
Unit visit_record_entries(const RecordShape& shape, EntryReader& entries, ReadField read_field) {
  std::bitset<8> seen;
  for (;;) {
    std::size_t field = 0;
    VQ_TRY(auto more, entries.next_key("field identifier", [&](std::string_view key) {
      return match_field(shape, key, field);
    }));
    if (!more) return {};
    if (seen[field]) {
      return err(read_error("duplicate field `" + std::string(shape.fields[field]) + "`"));
    }
    seen[field] = true;
    VQ_CHECK(read_field(field));
  }
}

// Reads the positional form: element i is field i. A required field the sequence does not
// reach fails; the others keep their defaults.
template <class ReadElement, class Required>
Unit visit_record_elements(const RecordShape& shape, ReadElement read_element_at,
                           Required required) {
  for (std::size_t field = 0; field < shape.fields.size(); ++field) {
    VQ_TRY(auto present, read_element_at(field));
    if (!present && required(field)) return err(too_short(shape, field));
  }
  return {};
}

Result<std::string, ReadError> read_text(ValueReader& value) {
  return value.read_string();
}
Result<std::optional<std::string>, ReadError> read_optional_text(ValueReader& value) {
  return value.read_optional_string();
}
Result<bool, ReadError> read_boolean(ValueReader& value) {
  return value.read_bool();
}
Result<JsonObject, ReadError> read_metadata(ValueReader& value) {
  return value.read_json_map();
}

class VariantVisitor final : public RecordVisitor {
 public:
  Unit visit_entries(EntryReader& entries) override {
    VQ_CHECK(visit_record_entries(kVariantShape, entries, [&](std::size_t field) {
      return field == 0 ? read_value(entries, body_, read_text)
                        : read_value(entries, metadata_, read_metadata);
    }));
    if (!body_) return err(missing_field("body"));
    return {};
  }

  Unit visit_elements(ElementReader& elements) override {
    return visit_record_elements(
        kVariantShape,
        [&](std::size_t field) {
          return field == 0 ? read_element(elements, body_, read_text)
                            : read_element(elements, metadata_, read_metadata);
        },
        [](std::size_t field) { return field == 0; });
  }

  PromptVariant take() && {
    return PromptVariant{std::move(*body_), metadata_ ? std::move(*metadata_) : JsonObject{}};
  }

 private:
  std::optional<std::string> body_;
  std::optional<JsonObject> metadata_;
};

class VariableVisitor final : public RecordVisitor {
 public:
  Unit visit_entries(EntryReader& entries) override {
    VQ_CHECK(visit_record_entries(kVariableShape, entries, [&](std::size_t field) {
      switch (field) {
        case 0:
          return read_value(entries, description_, read_optional_text);
        case 1:
          return read_value(entries, trusted_, read_boolean);
        case 2:
          return read_value(entries, type_, read_variable_type);
        default:
          return read_value(entries, validation_required_, read_boolean);
      }
    }));
    if (!trusted_) return err(missing_field("trusted"));
    if (!type_) return err(missing_field("type"));
    return {};
  }

  Unit visit_elements(ElementReader& elements) override {
    return visit_record_elements(
        kVariableShape,
        [&](std::size_t field) {
          switch (field) {
            case 0:
              return read_element(elements, description_, read_optional_text);
            case 1:
              return read_element(elements, trusted_, read_boolean);
            case 2:
              return read_element(elements, type_, read_variable_type);
            default:
              return read_element(elements, validation_required_, read_boolean);
          }
        },
        [](std::size_t field) { return field == 1 || field == 2; });
  }

  PromptVariable take() && {
    return PromptVariable{description_ ? std::move(*description_) : std::nullopt, *trusted_,
                          std::move(*type_), validation_required_.value_or(false)};
  }

 private:
  std::optional<std::optional<std::string>> description_;
  std::optional<bool> trusted_;
  std::optional<PromptVariableType> type_;
  std::optional<bool> validation_required_;
};

class DefinitionVisitor final : public RecordVisitor {
 public:
  Unit visit_entries(EntryReader& entries) override {
    VQ_CHECK(visit_record_entries(kDefinitionShape, entries, [&](std::size_t field) {
      return read_field_value(entries, field);
    }));
    if (!body_) return err(missing_field("body"));
    if (!name_) return err(missing_field("name"));
    if (!role_) return err(missing_field("role"));
    return {};
  }

  Unit visit_elements(ElementReader& elements) override {
    return visit_record_elements(
        kDefinitionShape, [&](std::size_t field) { return read_field_element(elements, field); },
        [](std::size_t field) { return field == 0 || field == 2 || field == 4; });
  }

  PromptDefinition take() && {
    return PromptDefinition{std::move(*body_),
                            metadata_ ? std::move(*metadata_) : JsonObject{},
                            std::move(*name_),
                            output_model_ ? std::move(*output_model_) : std::nullopt,
                            *role_,
                            variables_ ? std::move(*variables_) : PromptVariables{},
                            variants_ ? std::move(*variants_) : PromptVariants{}};
  }

 private:
  Unit read_field_value(EntryReader& entries, std::size_t field) {
    switch (field) {
      case 0:
        return read_value(entries, body_, read_text);
      case 1:
        return read_value(entries, metadata_, read_metadata);
      case 2:
        return read_value(entries, name_, read_name);
      case 3:
        return read_value(entries, output_model_, read_optional_text);
      case 4:
        return read_value(entries, role_, read_role);
      case 5:
        return read_value(entries, variables_, read_variables);
      default:
        return read_value(entries, variants_, read_variants);
    }
  }

  Result<bool, ReadError> read_field_element(ElementReader& elements, std::size_t field) {
    switch (field) {
      case 0:
        return read_element(elements, body_, read_text);
      case 1:
        return read_element(elements, metadata_, read_metadata);
      case 2:
        return read_element(elements, name_, read_name);
      case 3:
        return read_element(elements, output_model_, read_optional_text);
      case 4:
        return read_element(elements, role_, read_role);
      case 5:
        return read_element(elements, variables_, read_variables);
      default:
        return read_element(elements, variants_, read_variants);
    }
  }

  std::optional<std::string> body_;
  std::optional<JsonObject> metadata_;
  std::optional<PromptDefinitionName> name_;
  std::optional<std::optional<std::string>> output_model_;
  std::optional<PromptDefinitionRole> role_;
  std::optional<PromptVariables> variables_;
  std::optional<PromptVariants> variants_;
};

// A map from text keys to records; a repeated key replaces the earlier record.
template <class Record, class ReadRecord>
Result<std::map<std::string, Record>, ReadError> read_record_map(ValueReader& value,
                                                                 ReadRecord read_record) {
  std::map<std::string, Record> records;
  VQ_CHECK(value.read_map([&](EntryReader& entries) -> Unit {
    for (;;) {
      std::string key;
      VQ_TRY(auto more, entries.next_key("a string", [&](std::string_view text) -> Unit {
        key = std::string(text);
        return {};
      }));
      if (!more) return {};
      std::optional<Record> record;
      VQ_CHECK(read_value(entries, record, read_record));
      records.insert_or_assign(std::move(key), std::move(*record));
    }
  }));
  return records;
}

// A unit enumeration value held in a content buffer: a word, a variant index as a map key, or a
// one-entry map from either to null. An empty map is a payload, not the absence of one, so a
// format without null (TOML) has no mapping form of a type at all.
std::optional<std::size_t> enum_from_content(const Content& content,
                                             std::span<const std::string_view> words) {
  auto word_of = [&](const Content& key) -> std::optional<std::size_t> {
    if (key.kind == Content::Kind::String) return index_of(words, key.text);
    if (key.kind == Content::Kind::U64 && key.u64 < words.size()) {
      return static_cast<std::size_t>(key.u64);
    }
    return std::nullopt;
  };
  if (content.kind == Content::Kind::String) return index_of(words, content.text);
  if (content.kind != Content::Kind::Map || content.entries.size() != 1) return std::nullopt;
  const auto& [key, payload] = content.entries.front();
  auto word = word_of(key);
  if (!word) return std::nullopt;
  if (payload.kind != Content::Kind::Null) return std::nullopt;
  return word;
}

std::optional<PromptVariableType> variable_type_from_content(const Content& content) {
  if (auto word = enum_from_content(content, kTypeWords)) {
    return PromptVariableType{static_cast<PromptVariableTypeString>(*word)};
  }
  if (content.kind != Content::Kind::Seq) return std::nullopt;
  std::vector<PromptVariableTypeArrayItem> items;
  items.reserve(content.items.size());
  for (const Content& item : content.items) {
    auto word = enum_from_content(item, kTypeItemWords);
    if (!word) return std::nullopt;
    items.push_back(static_cast<PromptVariableTypeArrayItem>(*word));
  }
  return PromptVariableType{std::move(items)};
}

}  // namespace

const RecordShape& definition_shape() {
  return kDefinitionShape;
}
const RecordShape& variable_shape() {
  return kVariableShape;
}
const RecordShape& variant_shape() {
  return kVariantShape;
}
const EnumShape& role_shape() {
  return kRoleShape;
}

Result<PromptDefinition, ReadError> read_definition(ValueReader& value) {
  DefinitionVisitor visitor;
  VQ_CHECK(value.read_record(kDefinitionShape, visitor));
  return std::move(visitor).take();
}

Result<PromptVariable, ReadError> read_variable(ValueReader& value) {
  VariableVisitor visitor;
  VQ_CHECK(value.read_record(kVariableShape, visitor));
  return std::move(visitor).take();
}

Result<PromptVariant, ReadError> read_variant(ValueReader& value) {
  VariantVisitor visitor;
  VQ_CHECK(value.read_record(kVariantShape, visitor));
  return std::move(visitor).take();
}

Result<PromptVariables, ReadError> read_variables(ValueReader& value) {
  return read_record_map<PromptVariable>(value, read_variable);
}

Result<PromptVariants, ReadError> read_variants(ValueReader& value) {
  return read_record_map<PromptVariant>(value, read_variant);
}

Result<PromptDefinitionName, ReadError> read_name(ValueReader& value) {
  VQ_TRY(auto text, value.read_string());
  auto name = PromptDefinitionName::from_str(text);
  if (!name) return err(read_error(std::string(name.error().display())));
  return std::move(name).value();
}

Result<PromptDefinitionRole, ReadError> read_role(ValueReader& value) {
  PromptDefinitionRole role = PromptDefinitionRole::System;
  VQ_CHECK(value.read_unit_enum(kRoleShape, [&](std::string_view word) -> Unit {
    auto index = index_of(kRoleWords, word);
    if (!index) {
      return err(read_error("unknown variant `" + std::string(word) + "`, expected " +
                            one_of(kRoleWords)));
    }
    role = static_cast<PromptDefinitionRole>(*index);
    return {};
  }));
  return role;
}

Result<PromptVariableType, ReadError> read_variable_type(ValueReader& value) {
  VQ_TRY(auto content, value.read_content());
  if (auto type = variable_type_from_content(content)) return std::move(*type);
  return err(read_error(std::string(kUntaggedTypeMismatch)));
}

}  // namespace velloquin::core
