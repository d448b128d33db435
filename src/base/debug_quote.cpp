#include "base/debug_quote.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>

namespace velloquin::jinja {
namespace {

struct CodePointRange {
  char32_t first;
  char32_t last;
};

constexpr CodePointRange kUnicodeEscapeRanges[] = {
#include "base/unicode_tables.inc"
};

static_assert(std::is_sorted(std::begin(kUnicodeEscapeRanges), std::end(kUnicodeEscapeRanges),
                             [](const CodePointRange& a, const CodePointRange& b) {
                               return a.last < b.first;
                             }));

bool needs_unicode_escape(char32_t cp) {
  if (cp >= 0x20 && cp < 0x7F) return false;
  const auto* it = std::upper_bound(
      std::begin(kUnicodeEscapeRanges), std::end(kUnicodeEscapeRanges), cp,
      [](char32_t value, const CodePointRange& range) { return value < range.first; });
  return it != std::begin(kUnicodeEscapeRanges) && cp <= std::prev(it)->last;
}

struct Decoded {
  char32_t cp;
  std::size_t length;
};

// One code point of well-formed UTF-8 starting at `at`, or nothing when the bytes there do not
// begin a well-formed sequence (overlong forms, surrogates and values past U+10FFFF included).
std::optional<Decoded> decode_one(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return Decoded{lead, 1};

  std::size_t length = 0;
  char32_t cp = 0;
  unsigned char low = 0x80;  // bounds of the second byte, which rule out the invalid forms
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return std::nullopt;
  }
  if (text.size() - at < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char b = byte(i);
    const unsigned char lo = i == 1 ? low : 0x80;
    const unsigned char hi = i == 1 ? high : 0xBF;
    if (b < lo || b > hi) return std::nullopt;
    cp = (cp << 6) | (b & 0x3F);
  }
  return Decoded{cp, length};
}

void append_hex(std::string& out, std::uint32_t value, int min_digits) {
  const char* digits = "0123456789abcdef";
  char buffer[8];
  int n = 0;
  do {
    buffer[n++] = digits[value & 0xF];
    value >>= 4;
  } while (value != 0 || n < min_digits);
  while (n > 0) out.push_back(buffer[--n]);
}

void append_escaped(std::string& out, char32_t cp) {
  switch (cp) {
    case U'\0':
      out += "\\0";
      return;
    case U'\t':
      out += "\\t";
      return;
    case U'\r':
      out += "\\r";
      return;
    case U'\n':
      out += "\\n";
      return;
    case U'\\':
      out += "\\\\";
      return;
    case U'"':
      out += "\\\"";
      return;
    default:
      out += "\\u{";
      append_hex(out, static_cast<std::uint32_t>(cp), 1);
      out += '}';
  }
}

bool needs_escape(char32_t cp) {
  return cp == U'\\' || cp == U'"' || needs_unicode_escape(cp);
}

}  // namespace

std::string debug_quote(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out.push_back('"');
  std::size_t at = 0;
  while (at < utf8.size()) {
    const std::optional<Decoded> decoded = decode_one(utf8, at);
    if (!decoded) {
      out += "\\x";
      append_hex(out, static_cast<unsigned char>(utf8[at]), 2);
      ++at;
      continue;
    }
    if (needs_escape(decoded->cp)) {
      append_escaped(out, decoded->cp);
    } else {
      out.append(utf8.substr(at, decoded->length));
    }
    at += decoded->length;
  }
  out.push_back('"');
  return out;
}

}  // namespace velloquin::jinja
