#include "definition/yaml/yaml_reader.h"

#include "definition/record_reader.h"
#include "definition/yaml/yaml_events.h"
#include "definition/yaml/yaml_node_reader.h"
#include "definition/yaml/yaml_value_reader.h"

namespace velloquin::core {

Result<PromptDefinition, YamlTextError> read_definition_from_yaml(std::string_view text) {
  const YamlDocument document = load_first_yaml_document(text);
  if (!document.present) return err(YamlTextError{"EOF while parsing a value"});

  YamlReadState state(document);
  std::size_t position = 0;
  const YamlPath root;
  YamlNodeReader node(state, position, root, YamlNodeReader::kDepthLimit);
  YamlValueReader value(node);
  auto definition = read_definition(value);
  if (!definition) return err(YamlTextError{yaml_error_display(definition.error())});
  // A syntax error after everything the definition needed still fails the read.
  if (document.error) return err(YamlTextError{yaml_error_display(*document.error)});
  if (document.followed_by_more)
    return err(YamlTextError{
        "deserializing from YAML containing more than one document is not supported"});
  return std::move(definition).value();
}

}  // namespace velloquin::core
