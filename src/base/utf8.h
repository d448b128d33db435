// Walking UTF-8 text by Unicode scalar values, tolerant of invalid bytes (one byte each).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace velloquin::jinja::utf8 {

// Length in bytes of the character starting at text[i] (1 for an invalid byte).
inline std::size_t char_len(std::string_view text, std::size_t i) {
  auto c = static_cast<unsigned char>(text[i]);
  std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  if (i + len > text.size()) return 1;
  for (std::size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  return len;
}

// Decodes the character at text[i] and advances i past it.
inline char32_t next(std::string_view text, std::size_t& i) {
  std::size_t len = char_len(text, i);
  auto c = static_cast<unsigned char>(text[i]);
  char32_t cp;
  if (len == 1) {
    cp = c;
  } else {
    cp = c & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  }
  i += len;
  return cp;
}

// How many bytes at the start of `text` are ASCII (eight at a time: prompts are mostly ASCII).
inline std::size_t ascii_prefix(std::string_view text) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if ((word & kHighBits) != 0) break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i;
}

inline std::size_t count(std::string_view text) {
  std::size_t n = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t run = ascii_prefix(text.substr(i));
    n += run;
    i += run;
    if (i < text.size()) {
      i += char_len(text, i);
      ++n;
    }
  }
  return n;
}

inline void append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace velloquin::jinja::utf8
