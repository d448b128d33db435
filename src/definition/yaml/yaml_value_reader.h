// The YAML side of the record readers: one document value, read by the rules of the YAML form
// (no positional records, empty values as empty maps, tags, aliases, the nesting limit).
#pragma once

#include "definition/record_reader.h"
#include "definition/yaml/yaml_node_reader.h"

namespace velloquin::core {

class YamlValueReader final : public ValueReader {
 public:
  explicit YamlValueReader(YamlNodeReader& node) : node_(node) {}

  Result<void, ReadError> read_record(const RecordShape& shape, RecordVisitor& visitor) override;
  Result<void, ReadError> read_map(EntriesVisitor visit) override;
  Result<JsonObject, ReadError> read_json_map() override;
  Result<std::string, ReadError> read_string() override;
  Result<std::optional<std::string>, ReadError> read_optional_string() override;
  Result<bool, ReadError> read_bool() override;
  Result<void, ReadError> read_unit_enum(const EnumShape& shape, KeyVisitor visit) override;
  Result<Content, ReadError> read_content() override;

 private:
  YamlNodeReader& node_;
};

}  // namespace velloquin::core
