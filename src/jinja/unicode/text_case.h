// Unicode case conversion and character classes that the string filters and tests need.
#pragma once

#include <string>
#include <string_view>

namespace velloquin::jinja {

// Full case mappings (may expand: "ß" upper-cases to "SS"); lower-casing applies the final
// sigma rule. Invalid UTF-8 bytes are kept as they are.
std::string to_upper(std::string_view text);
std::string to_lower(std::string_view text);
void append_upper(std::string& out, char32_t c);
void append_lower(std::string& out, char32_t c);
// Characters that have a case and are in that case.
bool is_lower_char(char32_t c);
bool is_upper_char(char32_t c);
// The Unicode White_Space property.
bool is_whitespace(char32_t c);

}  // namespace velloquin::jinja
