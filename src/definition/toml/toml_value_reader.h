// The TOML side of the record readers: one value of a parsed TOML document, read by the rules
// of the TOML form (sorted keys, positional variables and variants, date-times as one-entry
// maps, the role's table form) with every error placed on a byte span.
#pragma once

#include <string>

#include "definition/record_reader.h"
#include "definition/toml/toml_document.h"
#include "definition/toml/toml_library.h"
#include "definition/toml/toml_source.h"

namespace velloquin::core {

// A value as the record readers see it: a toml++ node, or the text of a date-time, which is the
// only entry of the map that stands for the date-time.
struct TomlValue {
  const toml::node* node = nullptr;
  const std::string* datetime_text = nullptr;
  TomlSpan span;
};

class TomlValueReader final : public ValueReader {
 public:
  TomlValueReader(const TomlValue& value, const TomlReadContext& context)
      : value_(value), context_(context), source_(context.source) {}

  Result<void, ReadError> read_record(const RecordShape& shape, RecordVisitor& visitor) override;
  Result<void, ReadError> read_map(EntriesVisitor visit) override;
  Result<JsonObject, ReadError> read_json_map() override;
  Result<std::string, ReadError> read_string() override;
  Result<std::optional<std::string>, ReadError> read_optional_string() override;
  Result<bool, ReadError> read_bool() override;
  Result<void, ReadError> read_unit_enum(const EnumShape& shape, KeyVisitor visit) override;
  Result<Content, ReadError> read_content() override;

 private:
  // Runs `visit` over the value as a mapping: a table's entries, or a date-time's one entry.
  Result<void, ReadError> visit_mapping(EntriesVisitor visit) const;
  ReadError invalid_type(std::string_view expecting) const;
  ReadError placed(ReadError error) const;

  const TomlValue& value_;
  const TomlReadContext& context_;
  const TomlSourceText& source_;
};

// A byte span as a read position.
ReadPosition toml_position(const TomlSpan& span);

}  // namespace velloquin::core
