#include "definition/toml/toml_reader.h"

#include "definition/record_reader.h"
#include "definition/toml/toml_document.h"
#include "definition/toml/toml_source.h"
#include "definition/toml/toml_value_reader.h"

namespace velloquin::core {

Result<PromptDefinition, TomlTextError> read_definition_from_toml(std::string_view text) {
  const TomlSourceText source(text);
  auto parsed = parse_toml_document(text, source);
  if (!parsed) {
    const TomlError& error = parsed.error();
    return err(TomlTextError{format_toml_report(text, error.span, error.message)});
  }
  // The root table stands at the start of the text, so a field missing there is reported at
  // line 1, column 1 with a single caret.
  const TomlReadContext context{source, parsed->big_integers};
  const TomlValue root{&parsed->root, nullptr, TomlSpan{0, 0}};
  TomlValueReader reader(root, context);
  auto definition = read_definition(reader);
  if (!definition) {
    const ReadError& error = definition.error();
    const TomlSpan span =
        error.position ? TomlSpan{error.position->offset, error.position->end} : TomlSpan{0, 0};
    return err(TomlTextError{format_toml_report(text, span, error.message)});
  }
  return std::move(definition).value();
}

}  // namespace velloquin::core
