// Quoting of a text for printed forms: the text in double quotes, escaped as Rust's `{:?}`.
#pragma once

#include <string>
#include <string_view>

namespace velloquin::jinja {

// Backslash and double quote get a backslash; tab, carriage return, line feed and NUL are
// written \t, \r, \n and \0; grapheme extenders and characters that are not printable become
// \u{hex} (lower-case, no leading zeros); everything else, printable non-ASCII included, is
// kept. The single quote is not escaped. Bytes that are not part of valid UTF-8 (including
// encoded surrogates) are written one by one as \xhh (lower-case hex, as byte strings print), so
// any input quotes without loss and the result is always valid UTF-8.
std::string debug_quote(std::string_view utf8);

}  // namespace velloquin::jinja
