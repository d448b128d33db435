// Parsing a TOML text into toml++'s tree, with toml++'s failures turned into the messages and
// byte spans of the error report.
#pragma once

#include <string>
#include <string_view>

#include "core/toml_library.h"
#include "core/toml_source.h"
#include "jinja/result.h"

namespace velloquin::core {

// One failure of the TOML reader: its message and where it starts in the text.
struct TomlError {
  std::string message;
  TomlSpan span;
};

// The byte range that toml++ recorded for a node, a key or an error.
TomlSpan toml_region_span(const toml::source_region& region, const TomlSourceText& source);

Result<toml::table, TomlError> parse_toml_document(std::string_view text,
                                                   const TomlSourceText& source);

}  // namespace velloquin::core
