#include "core/read_messages.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace velloquin::core {
namespace {

struct CodePointRange {
  char32_t first;
  char32_t last;
};

constexpr CodePointRange kEscapedCodePoints[] = {
#include "core/escaped_code_points.inc"
};

bool escaped_when_quoted(char32_t c) {
  const auto* end = std::end(kEscapedCodePoints);
  const auto* it = std::upper_bound(
      std::begin(kEscapedCodePoints), end, c,
      [](char32_t value, const CodePointRange& range) { return value < range.first; });
  if (it == std::begin(kEscapedCodePoints)) return false;
  --it;
  return c <= it->last;
}

// Decodes one UTF-8 sequence at `text[i]`; returns its length, or 0 when it is malformed.
std::size_t decode_utf8(std::string_view text, std::size_t i, char32_t& out) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  std::size_t length = lead < 0x80   ? 1
                       : lead < 0xC2 ? 0
                       : lead < 0xE0 ? 2
                       : lead < 0xF0 ? 3
                       : lead < 0xF5 ? 4
                                     : 0;
  if (length == 0 || i + length > text.size()) return 0;
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and code points beyond U+10FFFF are not UTF-8.
  if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
      (c >= 0xD800 && c <= 0xDFFF)) {
    return 0;
  }
  out = c;
  return length;
}

void append_hex(std::string& out, std::uint32_t value) {
  std::array<char, 8> digits{};
  auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value, 16);
  (void)ec;
  out.append(digits.data(), end);
}

// The shortest round-trip digits of a finite, non-zero double, and the decimal exponent of
// its first digit: value = 0.D1D2... * 10^(point).
struct ShortestDigits {
  bool negative = false;
  std::string digits;
  int point = 0;  // position of the decimal point relative to the digits
};

ShortestDigits shortest_digits(double value) {
  std::array<char, 64> buffer{};
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                 std::chars_format::scientific);
  (void)ec;
  std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  ShortestDigits out;
  if (!text.empty() && text.front() == '-') {
    out.negative = true;
    text.remove_prefix(1);
  }
  auto e = text.find('e');
  for (char c : text.substr(0, e)) {
    if (c != '.') out.digits += c;
  }
  int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
  out.point = exponent + 1;
  return out;
}

}  // namespace

std::string invalid_type(std::string_view found, std::string_view expected) {
  std::string out = "invalid type: ";
  out += found;
  out += ", expected ";
  out += expected;
  return out;
}

std::string invalid_value(std::string_view found, std::string_view expected) {
  std::string out = "invalid value: ";
  out += found;
  out += ", expected ";
  out += expected;
  return out;
}

std::string invalid_length(std::size_t length, std::string_view expected) {
  return "invalid length " + std::to_string(length) + ", expected " + std::string(expected);
}

std::string debug_quote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    switch (byte) {
      case '\t':
        out += "\\t";
        ++i;
        continue;
      case '\r':
        out += "\\r";
        ++i;
        continue;
      case '\n':
        out += "\\n";
        ++i;
        continue;
      case '\\':
        out += "\\\\";
        ++i;
        continue;
      case '"':
        out += "\\\"";
        ++i;
        continue;
      case '\0':
        out += "\\0";
        ++i;
        continue;
      default:
        break;
    }
    if (byte >= 0x20 && byte < 0x7F) {
      out += static_cast<char>(byte);
      ++i;
      continue;
    }
    char32_t c = 0;
    std::size_t length = decode_utf8(text, i, c);
    if (length == 0) {
      // Not UTF-8: shown byte by byte, the way a byte string prints.
      out += "\\x";
      if (byte < 0x10) out += '0';
      append_hex(out, byte);
      ++i;
      continue;
    }
    if (c < 0x80 || escaped_when_quoted(c)) {
      out += "\\u{";
      append_hex(out, static_cast<std::uint32_t>(c));
      out += '}';
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  out += '"';
  return out;
}

std::string describe_string(std::string_view text) {
  return "string " + debug_quote(text);
}

std::string describe_bool(bool value) {
  return value ? "boolean `true`" : "boolean `false`";
}

std::string describe_integer(std::uint64_t value) {
  return "integer `" + std::to_string(value) + "`";
}

std::string describe_integer(std::int64_t value) {
  return "integer `" + std::to_string(value) + "`";
}

std::string json_float_text(double value) {
  // JSON text has no such numbers, but a value built in memory may hold them.
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";
  ShortestDigits d = shortest_digits(value);
  const int length = static_cast<int>(d.digits.size());
  const int kk = d.point;     // 10^(kk-1) <= |value| < 10^kk
  const int k = kk - length;  // value = digits * 10^k
  std::string out = d.negative ? "-" : "";
  if (k >= 0 && kk <= 16) {
    out += d.digits;
    out.append(static_cast<std::size_t>(k), '0');
    out += ".0";
  } else if (kk > 0 && kk <= 16) {
    out += d.digits.substr(0, static_cast<std::size_t>(kk));
    out += '.';
    out += d.digits.substr(static_cast<std::size_t>(kk));
  } else if (kk > -5 && kk <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-kk), '0');
    out += d.digits;
  } else {
    out += d.digits[0];
    if (length > 1) {
      out += '.';
      out += d.digits.substr(1);
    }
    out += 'e';
    out += std::to_string(kk - 1);
  }
  return out;
}

std::string describe_json_float(double value) {
  return "floating point `" + json_float_text(value) + "`";
}

std::string describe_float(double value) {
  std::string text;
  if (std::isnan(value)) {
    text = "NaN";
  } else if (std::isinf(value)) {
    text = value > 0 ? "inf" : "-inf";
  } else if (value == 0) {
    text = std::signbit(value) ? "-0.0" : "0.0";
  } else {
    ShortestDigits d = shortest_digits(value);
    const int length = static_cast<int>(d.digits.size());
    text = d.negative ? "-" : "";
    if (d.point <= 0) {
      text += "0.";
      text.append(static_cast<std::size_t>(-d.point), '0');
      text += d.digits;
    } else if (d.point >= length) {
      text += d.digits;
      text.append(static_cast<std::size_t>(d.point - length), '0');
      text += ".0";
    } else {
      text += d.digits.substr(0, static_cast<std::size_t>(d.point));
      text += '.';
      text += d.digits.substr(static_cast<std::size_t>(d.point));
    }
  }
  return "floating point `" + text + "`";
}

}  // namespace velloquin::core
