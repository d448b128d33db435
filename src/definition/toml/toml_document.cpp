#include "definition/toml/toml_document.h"

#include "definition/toml/toml_nesting.h"

namespace velloquin::core {
namespace {

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

struct Failure {
  TomlError error;
  bool integer_overflow = false;
};

// toml++'s description, with the failures that have a fixed wording of their own renamed.
Failure translate(const toml::parse_error& error, const TomlSourceText& source) {
  const std::string_view description = error.description();
  const TomlSpan at = toml_region_span(error.source(), source);
  if (contains(description, "cannot redefine existing")) return {{"duplicate key", at}};
  // toml++ stops just after a number literal it cannot hold; the report points at the literal.
  const bool integer_overflow =
      contains(description, "integer") && contains(description, "is not representable in 64 bits");
  const bool float_overflow =
      contains(description, "floating-point") && contains(description, "could not be interpreted");
  if (integer_overflow || float_overflow) {
    const std::size_t start = source.literal_start_before(at.start);
    return {{integer_overflow ? "integer number overflowed" : "floating-point number overflowed",
             {start, at.start}},
            integer_overflow};
  }
  return {{std::string(description), at}};
}

}  // namespace

TomlSpan toml_region_span(const toml::source_region& region, const TomlSourceText& source) {
  const std::size_t start = source.offset_of(region.begin.line, region.begin.column);
  const std::size_t end = source.offset_of(region.end.line, region.end.column);
  return {start, end < start ? start : end};
}

const TomlBigInteger* TomlReadContext::big_integer_at(const toml::node& node) const {
  if (!node.is_floating_point() || big_integers.empty()) return nullptr;
  const toml::source_position& begin = node.source().begin;
  auto found = big_integers.find(source.offset_of(begin.line, begin.column));
  return found == big_integers.end() ? nullptr : &found->second;
}

Result<TomlDocument, TomlError> parse_toml_document(std::string_view text,
                                                    const TomlSourceText& source) {
  if (auto overflow = find_toml_nesting_overflow(text))
    return err(TomlError{"recursion limit exceeded", *overflow});
  TomlBigIntegers big_integers;
  std::string patched;  // the text with stand-ins, made on the first big integer
  for (;;) {
    toml::parse_result parsed = toml::parse(patched.empty() ? text : std::string_view(patched));
    if (parsed) return TomlDocument{std::move(parsed).table(), std::move(big_integers)};
    Failure failure = translate(parsed.error(), source);
    if (!failure.integer_overflow || big_integers.size() == kTomlBigIntegerLimit)
      return err(std::move(failure.error));
    const TomlSpan span = failure.error.span;
    auto value = parse_toml_big_integer(text.substr(span.start, span.end - span.start));
    if (!value || span.end - span.start < 3 || big_integers.contains(span.start))
      return err(std::move(failure.error));
    if (patched.empty()) patched = std::string(text);
    patched.replace(span.start, span.end - span.start,
                    toml_integer_stand_in(span.end - span.start));
    big_integers.emplace(span.start, *value);
  }
}

}  // namespace velloquin::core
