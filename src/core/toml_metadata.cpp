#include "core/toml_metadata.h"

#include "core/read_messages.h"

#include <cmath>

#include "core/toml_datetime_text.h"
#include "core/yaml_scalar.h"

namespace velloquin::core {

nlohmann::json toml_to_json(const toml::node& node, const TomlSourceText& source) {
  switch (node.type()) {
    case toml::node_type::string:
      return node.as_string()->get();
    case toml::node_type::integer:
      return node.as_integer()->get();
    case toml::node_type::floating_point: {
      const double value = node.as_floating_point()->get();
      if (!std::isfinite(value)) return nullptr;
      return value;
    }
    case toml::node_type::boolean:
      return node.as_boolean()->get();
    case toml::node_type::array: {
      nlohmann::json array = nlohmann::json::array();
      for (const toml::node& element : *node.as_array())
        array.push_back(toml_to_json(element, source));
      return array;
    }
    case toml::node_type::table: {
      nlohmann::json object = nlohmann::json::object();
      for (const auto& [key, value] : *node.as_table())
        object[std::string(key.str())] = toml_to_json(value, source);
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
  return nullptr;
}

std::string describe_toml_value(const toml::node& node) {
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
