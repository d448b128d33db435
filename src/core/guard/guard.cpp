#include "core/guard/guard.h"

#include <array>
#include <cstdint>
#include <vector>

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

// ---- end of an output expression ----------------------------------------------------------

// Where the end search stands at one byte: outside any literal, or inside one opened by the quote.
enum ScanState : std::uint8_t { kOutside = 1, kInApostrophes = 2, kInDoubleQuotes = 4 };

ScanState literal_state(char quote) {
  return quote == '"' ? kInDoubleQuotes : kInApostrophes;
}

// The end search is deterministic in (position, state), so once a search from some "{{" has run
// off the end, every (position, state) it passed leads off the end too. Remembering them keeps a
// source full of unterminated "{{'" linear instead of rescanning to the end from each opening.
class DeadEnds {
 public:
  explicit DeadEnds(std::size_t size) : size_(size) {}

  bool known(std::size_t position, ScanState state) const {
    return !marks_.empty() && (marks_[position] & state) != 0;
  }
  // Returns false when the point was already known, so marking can stop there.
  bool mark(std::size_t position, ScanState state) {
    if (marks_.empty()) marks_.assign(size_, 0);
    if (marks_[position] & state) return false;
    marks_[position] |= state;
    return true;
  }

 private:
  std::size_t size_;
  std::vector<std::uint8_t> marks_;  // allocated by the first search that finds no end
};

// Walks the end search from `start`, calling visit(position, state) at every point it stands on.
// Returns the position of the closing "}}", or npos when the source ends first. A visit that
// returns false stops the walk as if the source had ended there.
template <class Visit>
std::size_t walk_expression(std::string_view source, std::size_t start, Visit&& visit) {
  const std::size_t size = source.size();
  std::size_t i = start;
  ScanState state = kOutside;
  char quote = 0;
  while (i < size) {
    if (!visit(i, state)) return std::string_view::npos;
    const char c = source[i];
    if (state == kOutside) {
      if (c == '"' || c == '\'') {
        quote = c;
        state = literal_state(c);
      } else if (c == '}' && i + 1 < size && source[i + 1] == '}') {
        return i;
      }
      ++i;
    } else if (c == '\\') {
      i += 2;  // the escaped byte is passed over whatever it is
    } else {
      if (c == quote) state = kOutside;
      ++i;
    }
  }
  return std::string_view::npos;
}

std::size_t find_expression_end(std::string_view source, std::size_t start, DeadEnds& dead_ends) {
  const std::size_t end = walk_expression(
      source, start, [&](std::size_t i, ScanState state) { return !dead_ends.known(i, state); });
  if (end == std::string_view::npos) {
    (void)walk_expression(source, start,
                          [&](std::size_t i, ScanState state) { return dead_ends.mark(i, state); });
  }
  return end;
}

// ---- which expressions mention an untrusted root ------------------------------------------

constexpr std::array<bool, 256> make_token_delimiters() {
  std::array<bool, 256> table{};
  for (unsigned char c : std::string_view("\t\n\r !%()*+,-/<=>[]|~")) table[c] = true;
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

// The tokenizer does not know literals or operators beyond the delimiter bytes: it only asks
// whether some word, read as a root name before any ".", is an untrusted variable.
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

// The whitespace-control markers belong to the delimiters, so they stay outside the parentheses:
// "{{- x -}}" becomes "{{- (x) | vq_guard_wrap -}}". Inside they would read as operators, and the
// rewritten source would no longer compile or would negate the value.
void append_guarded(std::string& out, std::string_view expression) {
  std::string_view opening_marker, closing_marker;
  if (!expression.empty() && is_whitespace_marker(expression.front())) {
    opening_marker = expression.substr(0, 1);
    expression.remove_prefix(1);
  }
  if (!expression.empty() && is_whitespace_marker(expression.back())) {
    closing_marker = expression.substr(expression.size() - 1);
    expression.remove_suffix(1);
  }
  out += "{{";
  out += opening_marker;
  out += " (";
  out += trim_space(expression);
  out += ") | ";
  out += kGuardFilterName;
  out += ' ';
  out += closing_marker;
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
  DeadEnds dead_ends(source.size());
  std::string key;  // reused for every set look-up
  std::size_t p = 0;
  while (p < source.size()) {
    // Text up to the next "{{" cannot hold an expression; it is copied as one run. Continuation
    // bytes of UTF-8 are never "{", so this splits no character.
    const std::size_t open = source.find("{{", p);
    if (open == std::string_view::npos || open + 2 >= source.size()) {
      out += source.substr(p);
      break;
    }
    out += source.substr(p, open - p);
    p = open;

    const std::size_t start = p + 2;
    const std::size_t end = find_expression_end(source, start, dead_ends);
    if (end == std::string_view::npos) {
      // Only the first "{" goes; the second may still open an expression of its own.
      out += '{';
      p += 1;
      continue;
    }
    const std::string_view expression = source.substr(start, end - start);
    if (mentions_untrusted(expression, untrusted, key)) {
      append_guarded(out, expression);
    } else {
      out += source.substr(p, end + 2 - p);
    }
    p = end + 2;
  }
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
