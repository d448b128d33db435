// Parsing a TOML text into toml++'s tree, with toml++'s failures turned into the messages and
// byte spans of the error report.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"
#include "definition/toml/toml_big_integer.h"
#include "definition/toml/toml_library.h"
#include "definition/toml/toml_source.h"

namespace velloquin::core {

// One failure of the TOML reader: its message and where it starts in the text.
struct TomlError {
  std::string message;
  TomlSpan span;
};

// The byte range that toml++ recorded for a node, a key or an error.
TomlSpan toml_region_span(const toml::source_region& region, const TomlSourceText& source);

struct TomlDocument {
  toml::table root;
  // The integers that toml++ could not hold, standing in the tree as floats.
  TomlBigIntegers big_integers;
};

// What the value readers need besides the tree: the original text and the big integers.
struct TomlReadContext {
  const TomlSourceText& source;
  const TomlBigIntegers& big_integers;

  // The big integer standing at `node` as a float, if any.
  const TomlBigInteger* big_integer_at(const toml::node& node) const;
};

// Parses the text. An integer beyond 64 bits that fits 128 is parsed through a stand-in float
// and kept aside; at most kTomlBigIntegerLimit of them are taken this way (each costs a parse),
// any further one fails like an integer beyond 128 bits.
inline constexpr std::size_t kTomlBigIntegerLimit = 16;
Result<TomlDocument, TomlError> parse_toml_document(std::string_view text,
                                                    const TomlSourceText& source);

}  // namespace velloquin::core
