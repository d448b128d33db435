#include "jinja/unicode/text_case.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "base/utf8.h"

namespace velloquin::jinja {

namespace {

struct CaseMapping {
  char32_t from;
  char32_t to[3];
};

#include "jinja/unicode/case_tables.inc"

template <std::size_t N>
const CaseMapping* lookup(const CaseMapping (&table)[N], char32_t c) {
  auto it = std::lower_bound(std::begin(table), std::end(table), c,
                             [](const CaseMapping& m, char32_t k) { return m.from < k; });
  if (it != std::end(table) && it->from == c) return &*it;
  return nullptr;
}

void append_mapping(std::string& out, const CaseMapping* m, char32_t c) {
  if (!m) {
    utf8::append(out, c);
    return;
  }
  for (char32_t t : m->to)
    if (t != 0) utf8::append(out, t);
}

bool has_case(char32_t c) {
  return lookup(kUpperCase, c) || lookup(kLowerCase, c);
}

// Marks and format characters that final-sigma detection looks through (approximation of
// Case_Ignorable for the common cases: apostrophes, combining marks, zero-width joiners).
bool case_ignorable(char32_t c) {
  return c == '\'' || c == '.' || c == ':' || c == 0x2019 || (c >= 0x300 && c <= 0x36F) ||
         c == 0x200D || c == 0x200C || c == 0xAD;
}

}  // namespace

void append_upper(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return;
  }
  append_mapping(out, lookup(kUpperCase, c), c);
}

void append_lower(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return;
  }
  append_mapping(out, lookup(kLowerCase, c), c);
}

std::string to_upper(std::string_view text) {
  // The ASCII start is copied at once and mapped in place: no decoding.
  const std::size_t ascii = utf8::ascii_prefix(text);
  std::string out(text.substr(0, ascii));
  for (char& c : out) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
  if (ascii == text.size()) return out;
  out.reserve(text.size());
  for (std::size_t i = ascii; i < text.size();) {
    std::size_t len = utf8::char_len(text, i);
    if (len == 1 && static_cast<unsigned char>(text[i]) >= 0x80) {
      out += text[i++];
      continue;
    }
    append_upper(out, utf8::next(text, i));
  }
  return out;
}

std::string to_lower(std::string_view text) {
  if (utf8::ascii_prefix(text) == text.size()) {
    // No sigma and no decoding in ASCII text.
    std::string out(text);
    for (char& c : out) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return out;
  }
  std::string out;
  out.reserve(text.size());
  std::vector<char32_t> chars;
  std::vector<bool> raw;  // invalid bytes, kept verbatim
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = utf8::char_len(text, i);
    bool invalid = len == 1 && static_cast<unsigned char>(text[i]) >= 0x80;
    raw.push_back(invalid);
    chars.push_back(invalid ? static_cast<unsigned char>(text[i]) : utf8::next(text, i));
    if (invalid) ++i;
  }
  for (std::size_t k = 0; k < chars.size(); ++k) {
    if (raw[k]) {
      out += static_cast<char>(chars[k]);
      continue;
    }
    if (chars[k] == 0x3A3) {
      // Final sigma: preceded by a cased letter and not followed by one.
      std::size_t p = k;
      while (p > 0 && case_ignorable(chars[p - 1])) --p;
      bool before = p > 0 && has_case(chars[p - 1]);
      std::size_t n = k + 1;
      while (n < chars.size() && case_ignorable(chars[n])) ++n;
      bool after = n < chars.size() && has_case(chars[n]);
      utf8::append(out, before && !after ? 0x3C2 : 0x3C3);
      continue;
    }
    append_lower(out, chars[k]);
  }
  return out;
}

bool is_lower_char(char32_t c) {
  if (c < 0x80) return c >= 'a' && c <= 'z';
  return lookup(kUpperCase, c) && !lookup(kLowerCase, c);
}

bool is_upper_char(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z';
  return lookup(kLowerCase, c) && !lookup(kUpperCase, c);
}

bool is_whitespace(char32_t c) {
  return (c >= 0x9 && c <= 0xD) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

}  // namespace velloquin::jinja
