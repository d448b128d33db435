#include "core/toml_document.h"

namespace velloquin::core {
namespace {

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// toml++'s description, with the failures that have a fixed wording of their own renamed.
TomlError translate(const toml::parse_error& error, const TomlSourceText& source) {
  const std::string_view description = error.description();
  const TomlSpan at = toml_region_span(error.source(), source);
  if (contains(description, "cannot redefine existing")) return {"duplicate key", at};
  // toml++ stops just after a number literal it cannot hold; the report points at the literal.
  const bool integer_overflow =
      contains(description, "integer") && contains(description, "is not representable in 64 bits");
  const bool float_overflow =
      contains(description, "floating-point") && contains(description, "could not be interpreted");
  if (integer_overflow || float_overflow) {
    const std::size_t start = source.literal_start_before(at.start);
    return {integer_overflow ? "integer number overflowed" : "floating-point number overflowed",
            {start, at.start}};
  }
  return {std::string(description), at};
}

}  // namespace

TomlSpan toml_region_span(const toml::source_region& region, const TomlSourceText& source) {
  const std::size_t start = source.offset_of(region.begin.line, region.begin.column);
  const std::size_t end = source.offset_of(region.end.line, region.end.column);
  return {start, end < start ? start : end};
}

Result<toml::table, TomlError> parse_toml_document(std::string_view text,
                                                   const TomlSourceText& source) {
  toml::parse_result parsed = toml::parse(text);
  if (!parsed) return err(translate(parsed.error(), source));
  return std::move(parsed).table();
}

}  // namespace velloquin::core
