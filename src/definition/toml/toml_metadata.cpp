#include "definition/toml/toml_metadata.h"

#include "definition/read_messages.h"

#include <cmath>

#include "base/try.h"
#include "definition/toml/toml_datetime_text.h"
#include "definition/yaml/yaml_scalar.h"

namespace velloquin::core {

Result<nlohmann::json, ReadError> toml_to_json(const toml::node& node,
                                               const TomlReadContext& context) {
  const TomlSourceText& source = context.source;
  switch (node.type()) {
    case toml::node_type::string:
      return nlohmann::json(node.as_string()->get());
    case toml::node_type::integer:
      return nlohmann::json(node.as_integer()->get());
    case toml::node_type::floating_point: {
      if (const TomlBigInteger* big = context.big_integer_at(node)) {
        auto value = toml_big_integer_json(*big);
        if (!value) {
          ReadPosition position;
          const TomlSpan span = toml_region_span(node.source(), source);
          position.offset = span.start;
          position.end = span.end;
          return err(read_error(std::move(value).error()).at(std::move(position)));
        }
        return std::move(*value);
      }
      const double value = node.as_floating_point()->get();
      if (!std::isfinite(value)) return nlohmann::json(nullptr);
      return nlohmann::json(value);
    }
    case toml::node_type::boolean:
      return nlohmann::json(node.as_boolean()->get());
    case toml::node_type::array: {
      nlohmann::json array = nlohmann::json::array();
      for (const toml::node& element : *node.as_array()) {
        VQ_TRY(auto value, toml_to_json(element, context));
        array.push_back(std::move(value));
      }
      return array;
    }
    case toml::node_type::table: {
      nlohmann::json object = nlohmann::json::object();
      for (const auto& [key, element] : *node.as_table()) {
        VQ_TRY(auto value, toml_to_json(element, context));
        object[std::string(key.str())] = std::move(value);
      }
      return object;
    }
    case toml::node_type::date:
    case toml::node_type::time:
    case toml::node_type::date_time: {
      const TomlSpan span = toml_region_span(node.source(), source);
      const std::string_view literal = source.text().substr(span.start, span.end - span.start);
      nlohmann::json object = nlohmann::json::object();
      object[std::string(kTomlDatetimeKey)] = toml_datetime_text(node, literal);
      return object;
    }
    case toml::node_type::none:
      break;
  }
  return nlohmann::json(nullptr);
}

std::string describe_toml_value(const toml::node& node, const TomlReadContext& context) {
  if (const TomlBigInteger* big = context.big_integer_at(node))
    return describe_toml_big_integer(*big);
  switch (node.type()) {
    case toml::node_type::string:
      return describe_string(node.as_string()->get());
    case toml::node_type::integer:
      return describe_integer(static_cast<std::int64_t>(node.as_integer()->get()));
    case toml::node_type::floating_point:
      return describe_float(node.as_floating_point()->get());
    case toml::node_type::boolean:
      return describe_bool(node.as_boolean()->get());
    case toml::node_type::array:
      return "sequence";
    default:
      return "map";
  }
}

}  // namespace velloquin::core
