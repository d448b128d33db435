#include "core/guard/guard.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "jinja/syntax/lexer.h"
#include "jinja/syntax/token.h"

#include "base/markup_escape.h"

namespace velloquin::core {
namespace {

// ---- advisory override ----------------------------------------------------------------------

constexpr std::string_view kMissingPrefix =
    "a guard advisory override must reference the delimiter contract; missing: ";

bool contains(std::string_view text, std::string_view needle) {
  return text.find(needle) != std::string_view::npos;
}

bool mentions_escaping(std::string_view text) {
  return contains(text, "&amp;") || contains(text, "&lt;") || contains(text, "&gt;") ||
         contains(text, "escap");
}

bool has_untrusted_variable(const PromptDefinition& definition) {
  for (const auto& [name, variable] : definition.variables) {
    if (!variable.trusted) return true;
  }
  return false;
}

// ---- which expressions mention an untrusted root ------------------------------------------

// Every byte the engine's lexer skips as white space inside a tag splits words, and so do the
// braces and the colon of dict literals and slices, which would otherwise glue a name to its
// neighbour ("{'k': x}" must show the word x).
constexpr std::array<bool, 256> make_token_delimiters() {
  std::array<bool, 256> table{};
  for (unsigned char c : std::string_view("\t\n\f\r !%()*+,-/:<=>[]{|}~")) table[c] = true;
  return table;
}
constexpr std::array<bool, 256> kTokenDelimiters = make_token_delimiters();

bool is_token_delimiter(char c) {
  return kTokenDelimiters[static_cast<unsigned char>(c)];
}

bool is_identifier_start(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool is_ascii_identifier(std::string_view text) {
  if (text.empty() || !is_identifier_start(text[0])) return false;
  for (char c : text.substr(1)) {
    if (!is_identifier_start(c) && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

// The word split does not know literals or operators beyond the delimiter bytes: it only asks
// whether some word, read as a root name before any ".", is an untrusted variable. A word inside
// a literal can match too, which only fences a value that needed none.
bool mentions_untrusted(std::string_view expression, const std::set<std::string>& untrusted,
                        std::string& key) {
  std::size_t i = 0;
  const std::size_t size = expression.size();
  while (i < size) {
    while (i < size && is_token_delimiter(expression[i])) ++i;
    const std::size_t begin = i;
    while (i < size && !is_token_delimiter(expression[i])) ++i;
    if (begin == i) break;
    std::string_view token = expression.substr(begin, i - begin);
    std::string_view root = token.substr(0, token.find('.'));
    if (!is_ascii_identifier(root)) continue;
    key.assign(root);
    if (untrusted.count(key) != 0) return true;
  }
  return false;
}

// ---- rewriting one expression --------------------------------------------------------------

// The byte length of a Unicode White_Space character opening `text`, 0 when there is none.
std::size_t leading_space(std::string_view text) {
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const std::size_t n = text.size();
  if (n == 0) return 0;
  const unsigned char b0 = at(0);
  if ((b0 >= 0x09 && b0 <= 0x0d) || b0 == 0x20) return 1;
  if (n >= 2 && b0 == 0xc2 && (at(1) == 0x85 || at(1) == 0xa0)) return 2;  // U+0085, U+00A0
  if (n < 3) return 0;
  const unsigned char b1 = at(1), b2 = at(2);
  if (b0 == 0xe1 && b1 == 0x9a && b2 == 0x80) return 3;  // U+1680
  if (b0 == 0xe2 && b1 == 0x80 &&
      ((b2 >= 0x80 && b2 <= 0x8a) || b2 == 0xa8 || b2 == 0xa9 || b2 == 0xaf)) {
    return 3;  // U+2000..U+200A, U+2028, U+2029, U+202F
  }
  if (b0 == 0xe2 && b1 == 0x81 && b2 == 0x9f) return 3;  // U+205F
  if (b0 == 0xe3 && b1 == 0x80 && b2 == 0x80) return 3;  // U+3000
  return 0;
}

// The byte length of a Unicode White_Space character closing `text`, 0 when there is none.
std::size_t trailing_space(std::string_view text) {
  for (std::size_t length = 1; length <= 3 && length <= text.size(); ++length) {
    if (leading_space(text.substr(text.size() - length)) == length) return length;
  }
  return 0;
}

std::string_view trim_space(std::string_view text) {
  while (std::size_t n = leading_space(text)) text.remove_prefix(n);
  while (std::size_t n = trailing_space(text)) text.remove_suffix(n);
  return text;
}

bool is_whitespace_marker(char c) {
  return c == '-' || c == '+';
}

// ---- output expressions as the engine's lexer reads them ----------------------------------

// One output expression: where its "{{" starts and its "}}" ends, the whitespace-control markers
// next to the delimiters, and the text between them.
struct OutputExpression {
  std::size_t open = 0;
  std::size_t after = 0;
  std::string_view opening_marker;
  std::string_view closing_marker;
  std::string_view text;
};

// Walks the source with the engine's own lexer, so statements, comments, raw blocks and string
// literals are read exactly as the engine reads them, and no text of theirs can open or close an
// output expression. Calls found() for each complete output expression whose brackets never
// close more than they opened: only then can a pair of parentheses around its text hold all of
// it. Stops at the first lexical error, where the engine rejects the source anyway; the lexer
// reads each byte once, so the walk is linear whatever the source.
template <class Found>
void for_each_output_expression(std::string_view source, Found&& found) {
  jinja::Lexer lexer(source);
  jinja::Token token;
  const auto consumed = [&] { return source.size() - lexer.remaining(); };
  OutputExpression current;
  std::size_t text_start = 0;
  std::size_t depth = 0;
  bool inside = false;
  bool balanced = true;
  while (true) {
    const std::size_t before = consumed();
    auto next = lexer.next(token);
    if (!next.ok() || !next.value()) return;
    const std::size_t at = consumed();
    switch (token.kind) {
      case jinja::TokenKind::VariableStart: {
        // The token ends in "{{" or in "{{" and the marker the lexer took with it.
        const bool marked = is_whitespace_marker(source[at - 1]);
        current = OutputExpression{};
        current.open = at - (marked ? 3 : 2);
        if (marked) current.opening_marker = source.substr(at - 1, 1);
        text_start = at;
        depth = 0;
        inside = true;
        balanced = true;
        break;
      }
      case jinja::TokenKind::VariableEnd: {
        // What the token consumed is white space, then "}}" with or without a marker before it.
        const bool marked = at - before >= 3 && is_whitespace_marker(source[at - 3]);
        const std::size_t close = at - (marked ? 3 : 2);
        if (marked) current.closing_marker = source.substr(close, 1);
        current.text = source.substr(text_start, std::max(close, text_start) - text_start);
        current.after = at;
        if (inside && balanced) found(std::as_const(current));
        inside = false;
        break;
      }
      case jinja::TokenKind::ParenOpen:
      case jinja::TokenKind::BracketOpen:
      case jinja::TokenKind::BraceOpen:
        ++depth;
        break;
      case jinja::TokenKind::ParenClose:
      case jinja::TokenKind::BracketClose:
      case jinja::TokenKind::BraceClose:
        if (depth == 0) balanced = false;
        if (depth > 0) --depth;
        break;
      default:
        break;
    }
  }
}

// The whitespace-control markers belong to the delimiters, so they stay outside the parentheses:
// "{{- x -}}" becomes "{{- (x) | vq_guard_wrap -}}". Inside they would read as operators, and the
// rewritten source would no longer compile or would negate the value.
void append_guarded(std::string& out, const OutputExpression& expression) {
  out += "{{";
  out += expression.opening_marker;
  out += " (";
  out += trim_space(expression.text);
  out += ") | ";
  out += kGuardFilterName;
  out += ' ';
  out += expression.closing_marker;
  out += "}}";
}

}  // namespace

std::set<std::string> untrusted_fields(const PromptDefinition& definition) {
  std::set<std::string> names;
  for (const auto& [name, variable] : definition.variables) {
    if (!variable.trusted) names.insert(name);
  }
  return names;
}

Result<std::optional<std::string>, KernelError> build_guard_text(const PromptDefinition& definition,
                                                                 const GuardConfig& guard) {
  if (!guard.enabled || !has_untrusted_variable(definition)) {
    return std::optional<std::string>();
  }
  if (!guard.advisory) return std::optional<std::string>(std::string(kDefaultGuardAdvisory));

  const std::string& advisory = *guard.advisory;
  std::string missing;
  auto miss = [&](std::string_view item) {
    if (!missing.empty()) missing += ", ";
    missing += item;
  };
  if (!contains(advisory, kUntrustedOpenTag)) miss("opening tag `<untrusted>`");
  if (!contains(advisory, kUntrustedCloseTag)) miss("closing tag `</untrusted>`");
  if (!mentions_escaping(advisory)) miss("escape indication (`&amp;`/`&lt;`/`&gt;` or \"escap\")");
  if (!missing.empty()) {
    return err(KernelError{KernelError::Kind::InvalidGuardAdvisory,
                           std::string(kMissingPrefix) + missing});
  }
  return std::optional<std::string>(advisory);
}

std::string apply_guard_prepass(std::string_view source, const std::set<std::string>& untrusted) {
  if (untrusted.empty()) return std::string(source);

  std::string out;
  out.reserve(source.size() + 64);
  std::string key;       // reused for every set look-up
  std::size_t done = 0;  // the source before this is in `out`
  // The engine lexes the source without its final line end; the positions are the same.
  for_each_output_expression(jinja::strip_trailing_newline(source),
                             [&](const OutputExpression& expression) {
                               if (!mentions_untrusted(expression.text, untrusted, key)) return;
                               out += source.substr(done, expression.open - done);
                               append_guarded(out, expression);
                               done = expression.after;
                             });
  out += source.substr(done);
  return out;
}

std::string guard_wrap_text(std::string_view text) {
  std::string out;
  out.reserve(kUntrustedOpenTag.size() + text.size() + kUntrustedCloseTag.size());
  out += kUntrustedOpenTag;
  append_markup_escaped<MarkupEscape::Text>(out, text);
  out += kUntrustedCloseTag;
  return out;
}

}  // namespace velloquin::core
