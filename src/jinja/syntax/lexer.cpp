#include "jinja/syntax/lexer.h"

#include <charconv>
#include <cstring>
#include <string>

#include "base/utf8.h"

namespace velloquin::jinja {

namespace {

constexpr std::uint32_t kMaxLine = 65535;

bool is_ascii_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_alpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_ident_start(char c) {
  return is_alpha(c) || c == '_';
}
bool is_ident_char(char c) {
  return is_ident_start(c) || is_digit(c);
}

bool is_white_space(char32_t cp) {
  return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
         (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x3000;
}

// Decodes the code point starting at `i`; malformed bytes decode as U+FFFD of length 1.
char32_t decode_at(std::string_view s, std::size_t i, std::size_t& len) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  auto cont = [&](std::size_t k) {
    return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
  };
  auto bits = [&](std::size_t k) { return static_cast<char32_t>(s[i + k] & 0x3F); };
  if (b0 < 0x80) {
    len = 1;
    return b0;
  }
  if ((b0 & 0xE0) == 0xC0 && cont(1)) {
    len = 2;
    return (static_cast<char32_t>(b0 & 0x1F) << 6) | bits(1);
  }
  if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
    len = 3;
    return (static_cast<char32_t>(b0 & 0x0F) << 12) | (bits(1) << 6) | bits(2);
  }
  if ((b0 & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
    len = 4;
    return (static_cast<char32_t>(b0 & 0x07) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
  }
  len = 1;
  return 0xFFFD;
}

std::size_t leading_white_space(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t len = 0;
    if (!is_white_space(decode_at(s, i, len))) break;
    i += len;
  }
  return i;
}

// Length of `s` without its trailing Unicode white space.
std::size_t trimmed_end(std::string_view s) {
  std::size_t end = s.size();
  while (end > 0) {
    std::size_t start = end - 1;
    while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80 && end - start < 4) {
      --start;
    }
    std::size_t len = 0;
    const char32_t cp = decode_at(s, start, len);
    if (start + len != end || !is_white_space(cp)) break;
    end = start;
  }
  return end;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool read_hex(std::string_view s, std::size_t at, std::size_t count, std::uint32_t& out) {
  if (at + count > s.size()) return false;
  out = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const int v = hex_value(s[at + k]);
    if (v < 0) return false;
    out = out * 16 + static_cast<std::uint32_t>(v);
  }
  return true;
}

// Decodes the escapes of a string literal's body; false on a bad escape.
bool unescape(std::string_view body, std::string& out) {
  out.reserve(body.size());
  std::size_t i = 0;
  while (i < body.size()) {
    const char c = body[i];
    if (c != '\\' || i + 1 >= body.size()) {
      out += c;
      ++i;
      continue;
    }
    const char e = body[i + 1];
    i += 2;
    switch (e) {
      case '\\':
      case '"':
      case '\'':
      case '/':
        out += e;
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        std::uint32_t unit = 0;
        if (!read_hex(body, i, 4, unit)) return false;
        i += 4;
        if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          std::uint32_t low = 0;
          if (i + 1 >= body.size() || body[i] != '\\' || body[i + 1] != 'u' ||
              !read_hex(body, i + 2, 4, low) || low < 0xDC00 || low > 0xDFFF) {
            return false;
          }
          i += 6;
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
        utf8::append(out, unit);
        break;
      }
      case 'x': {
        std::uint32_t byte = 0;
        if (!read_hex(body, i, 2, byte)) return false;
        i += 2;
        utf8::append(out, byte);
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          std::uint32_t value = static_cast<std::uint32_t>(e - '0');
          for (int k = 0; k < 2 && i < body.size() && body[i] >= '0' && body[i] <= '7'; ++k) {
            value = value * 8 + static_cast<std::uint32_t>(body[i] - '0');
            ++i;
          }
          if (value > 255) return false;
          utf8::append(out, value);
        } else {
          out += '\\';
          out += e;
        }
    }
  }
  return true;
}

bool parse_u128(std::string_view digits, unsigned radix, unsigned __int128& out) {
  if (digits.empty()) return false;
  const unsigned __int128 max = ~static_cast<unsigned __int128>(0);
  out = 0;
  for (const char c : digits) {
    const int v = hex_value(c);
    if (v < 0 || static_cast<unsigned>(v) >= radix) return false;
    if (out > (max - static_cast<unsigned>(v)) / radix) return false;
    out = out * radix + static_cast<unsigned>(v);
  }
  return true;
}

// A `{%` tag consisting only of WORD with optional markers and white space: its length
// (counted from just after `{%`) and whether it ends with a trimming `-`.
bool match_basic_tag(std::string_view s, std::string_view word, std::size_t& length, bool& trim) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  while (i < s.size() && is_ascii_space(s[i])) ++i;
  if (s.substr(i, word.size()) != word) return false;
  i += word.size();
  while (i < s.size() && is_ascii_space(s[i])) ++i;
  trim = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    trim = s[i] == '-';
    ++i;
  }
  if (s.substr(i, 2) != "%}") return false;
  length = i + 2;
  return true;
}

// Position of the next `{{`, `{%` or `{#`, or npos.
std::size_t find_marker(std::string_view s) {
  std::size_t from = 0;
  while (true) {
    const std::size_t at = s.find('{', from);
    if (at == std::string_view::npos || at + 1 >= s.size()) return std::string_view::npos;
    const char n = s[at + 1];
    if (n == '{' || n == '%' || n == '#') return at;
    from = at + 1;
  }
}

}  // namespace

std::string_view strip_trailing_newline(std::string_view source) {
  if (!source.empty() && source.back() == '\n') source.remove_suffix(1);
  if (!source.empty() && source.back() == '\r') source.remove_suffix(1);
  return source;
}

void Lexer::advance(std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) {
    if (rest_[i] == '\n' && line_ < kMaxLine) ++line_;
  }
  rest_.remove_prefix(bytes);
}

Error Lexer::error(ErrorKind kind, const char* detail) const {
  Error e = detail ? Error(kind, std::string(detail)) : Error(kind);
  e.set_location("", line_);
  return e;
}

Result<bool, Error> Lexer::next(Token& token) {
  token.decoded.clear();
  while (!rest_.empty()) {
    if (mode_ == Mode::Template) {
      auto r = lex_template(token);
      if (!r.ok() || r.value()) return r;
    } else {
      return lex_in_tag(token);
    }
  }
  return false;
}

Result<bool, Error> Lexer::lex_template(Token& token) {
  const std::string_view opener = rest_.substr(0, 2);
  if (opener == "{{" || opener == "{%") {
    if (opener == "{%") {
      std::size_t open_len = 0;
      bool open_trim = false;
      if (match_basic_tag(rest_.substr(2), "raw", open_len, open_trim)) {
        const std::string_view after_open = rest_.substr(2 + open_len);
        std::size_t from = 0;
        while (true) {
          const std::size_t at = after_open.find("{%", from);
          if (at == std::string_view::npos) {
            return err(error(ErrorKind::SyntaxError, "unexpected end of raw block"));
          }
          std::size_t end_len = 0;
          bool end_trim = false;
          if (match_basic_tag(after_open.substr(at + 2), "endraw", end_len, end_trim)) {
            std::string_view content = after_open.substr(0, at);
            const bool strip_end = at + 2 < after_open.size() && after_open[at + 2] == '-';
            token.kind = TokenKind::TemplateData;
            token.line = line_;
            std::size_t lead = open_trim ? leading_white_space(content) : 0;
            content.remove_prefix(lead);
            if (strip_end) content = content.substr(0, trimmed_end(content));
            token.text = content;
            advance(2 + open_len + at + 2 + end_len);
            trim_leading_ = end_trim;
            return true;
          }
          from = at + 2;
        }
      }
    }
    token.kind = opener == "{{" ? TokenKind::VariableStart : TokenKind::BlockStart;
    token.line = line_;
    const bool marker = rest_.size() > 2 && (rest_[2] == '-' || rest_[2] == '+');
    advance(marker ? 3 : 2);
    mode_ = opener == "{{" ? Mode::Variable : Mode::Block;
    brackets_ = 0;
    return true;
  }
  if (opener == "{#") {
    const std::size_t end = rest_.find("#}", 1);
    if (end == std::string_view::npos) {
      return err(error(ErrorKind::SyntaxError, "unexpected end of comment"));
    }
    if (rest_[end - 1] == '-') trim_leading_ = true;
    advance(end + 2);
    return false;
  }
  if (trim_leading_) {
    trim_leading_ = false;
    advance(leading_white_space(rest_));
    if (rest_.empty()) return false;
  }
  const std::size_t marker = find_marker(rest_);
  std::string_view text = rest_.substr(0, marker);
  const std::size_t consumed = text.size();
  if (marker != std::string_view::npos && marker + 2 < rest_.size() && rest_[marker + 2] == '-') {
    text = text.substr(0, trimmed_end(text));
  }
  token.kind = TokenKind::TemplateData;
  token.line = line_;
  token.text = text;
  advance(consumed);
  return !text.empty();
}

Result<bool, Error> Lexer::lex_in_tag(Token& token) {
  std::size_t skip = 0;
  while (skip < rest_.size() && is_ascii_space(rest_[skip])) ++skip;
  advance(skip);
  if (rest_.empty()) return false;
  token.line = line_;
  if (brackets_ == 0) {
    const char* closer = mode_ == Mode::Variable ? "}}" : "%}";
    const std::size_t closer_at =
        (rest_[0] == '-' || rest_[0] == '+') && rest_.substr(1, 2) == closer ? 1 : 0;
    if (rest_.substr(closer_at, 2) == closer) {
      if (closer_at == 1 && rest_[0] == '-') trim_leading_ = true;
      token.kind = mode_ == Mode::Variable ? TokenKind::VariableEnd : TokenKind::BlockEnd;
      advance(closer_at + 2);
      mode_ = Mode::Template;
      return true;
    }
  }
  const std::string_view two = rest_.substr(0, 2);
  TokenKind kind{};
  bool found = true;
  if (two == "//")
    kind = TokenKind::FloorDiv;
  else if (two == "**")
    kind = TokenKind::Pow;
  else if (two == "==")
    kind = TokenKind::Eq;
  else if (two == "!=")
    kind = TokenKind::Ne;
  else if (two == ">=")
    kind = TokenKind::Gte;
  else if (two == "<=")
    kind = TokenKind::Lte;
  else
    found = false;
  if (found) {
    token.kind = kind;
    advance(2);
    return true;
  }
  found = true;
  switch (rest_[0]) {
    case '+':
      kind = TokenKind::Plus;
      break;
    case '-':
      kind = TokenKind::Minus;
      break;
    case '*':
      kind = TokenKind::Mul;
      break;
    case '/':
      kind = TokenKind::Div;
      break;
    case '%':
      kind = TokenKind::Mod;
      break;
    case '.':
      kind = TokenKind::Dot;
      break;
    case ',':
      kind = TokenKind::Comma;
      break;
    case ':':
      kind = TokenKind::Colon;
      break;
    case '~':
      kind = TokenKind::Tilde;
      break;
    case '|':
      kind = TokenKind::Pipe;
      break;
    case '=':
      kind = TokenKind::Assign;
      break;
    case '>':
      kind = TokenKind::Gt;
      break;
    case '<':
      kind = TokenKind::Lt;
      break;
    case '(':
      kind = TokenKind::ParenOpen;
      ++brackets_;
      break;
    case '[':
      kind = TokenKind::BracketOpen;
      ++brackets_;
      break;
    case '{':
      kind = TokenKind::BraceOpen;
      ++brackets_;
      break;
    case ')':
      kind = TokenKind::ParenClose;
      if (brackets_) --brackets_;
      break;
    case ']':
      kind = TokenKind::BracketClose;
      if (brackets_) --brackets_;
      break;
    case '}':
      kind = TokenKind::BraceClose;
      if (brackets_) --brackets_;
      break;
    default:
      found = false;
  }
  if (found) {
    token.kind = kind;
    advance(1);
    return true;
  }
  const char c = rest_[0];
  if (c == '"' || c == '\'') return lex_string(token);
  if (is_digit(c)) return lex_number(token);
  if (is_ident_start(c)) {
    std::size_t len = 1;
    while (len < rest_.size() && is_ident_char(rest_[len])) ++len;
    token.kind = TokenKind::Ident;
    token.text = rest_.substr(0, len);
    advance(len);
    return true;
  }
  return err(error(ErrorKind::SyntaxError, "unexpected character"));
}

Result<bool, Error> Lexer::lex_string(Token& token) {
  const char quote = rest_[0];
  std::size_t i = 1;
  bool escapes = false;
  while (i < rest_.size() && rest_[i] != quote) {
    if (rest_[i] == '\\') {
      escapes = true;
      ++i;
    }
    ++i;
  }
  if (i >= rest_.size()) return err(error(ErrorKind::SyntaxError, "unexpected end of string"));
  const std::string_view body = rest_.substr(1, i - 1);
  token.kind = TokenKind::String;
  token.text = body;
  if (escapes) {
    if (!unescape(body, token.decoded)) return err(error(ErrorKind::BadEscape, nullptr));
  } else {
    token.decoded.assign(body);
  }
  advance(i + 1);
  return true;
}

Result<bool, Error> Lexer::lex_number(Token& token) {
  unsigned radix = 10;
  if (rest_.size() >= 2 && rest_[0] == '0') {
    const char p = rest_[1];
    if (p == 'b' || p == 'B') radix = 2;
    if (p == 'o' || p == 'O') radix = 8;
    if (p == 'x' || p == 'X') radix = 16;
  }
  enum class State { Integer, Fraction, Exponent, ExponentSign };
  State state = State::Integer;
  std::size_t len = radix == 10 ? 0 : 2;
  bool underscore = false;
  while (len < rest_.size()) {
    const char c = rest_[len];
    if (radix != 10) {
      if (is_digit(c) || (radix == 16 && hex_value(c) >= 0)) {
      } else if (c == '_') {
        underscore = true;
      } else {
        break;
      }
    } else if (c == '.' && state == State::Integer) {
      // `1.foo` and `x.0.bar` are attribute access, `1.e5` and `1.` are floats.
      const char n = len + 1 < rest_.size() ? rest_[len + 1] : '\0';
      if (is_ident_start(n)) {
        const char n2 = len + 2 < rest_.size() ? rest_[len + 2] : '\0';
        const bool exponent = (n == 'e' || n == 'E') && (is_digit(n2) || n2 == '+' || n2 == '-');
        if (!exponent) break;
      }
      state = State::Fraction;
    } else if ((c == 'e' || c == 'E') && (state == State::Integer || state == State::Fraction)) {
      state = State::Exponent;
    } else if ((c == '+' || c == '-') && state == State::Exponent) {
      state = State::ExponentSign;
    } else if (is_digit(c)) {
      if (state == State::Exponent) state = State::ExponentSign;
    } else if (c == '_') {
      underscore = true;
    } else {
      break;
    }
    ++len;
  }
  std::string_view literal = rest_.substr(0, len);
  std::string cleaned;
  if (underscore) {
    if (literal.back() == '_') {
      return err(error(ErrorKind::SyntaxError, "'_' may not occur at end of number"));
    }
    for (const char c : literal) {
      if (c != '_') cleaned += c;
    }
    literal = cleaned;
  }
  if (state != State::Integer) {
    double value = 0;
    const auto r = std::from_chars(literal.data(), literal.data() + literal.size(), value);
    if (r.ec != std::errc() || r.ptr != literal.data() + literal.size()) {
      return err(error(ErrorKind::SyntaxError, "invalid float"));
    }
    token.kind = TokenKind::Float;
    token.f64 = value;
  } else {
    unsigned __int128 value = 0;
    if (!parse_u128(radix == 10 ? literal : literal.substr(2), radix, value)) {
      return err(error(ErrorKind::SyntaxError, "invalid integer (too large)"));
    }
    if (value <= ~static_cast<std::uint64_t>(0)) {
      token.kind = TokenKind::Int;
      token.u64 = static_cast<std::uint64_t>(value);
    } else {
      token.kind = TokenKind::Int128;
      token.u128 = value;
    }
  }
  token.text = rest_.substr(0, len);
  advance(len);
  return true;
}

std::string_view token_name(TokenKind kind) {
  switch (kind) {
    case TokenKind::TemplateData:
      return "template-data";
    case TokenKind::VariableStart:
      return "start of variable block";
    case TokenKind::VariableEnd:
      return "end of variable block";
    case TokenKind::BlockStart:
      return "start of block";
    case TokenKind::BlockEnd:
      return "end of block";
    case TokenKind::Ident:
      return "identifier";
    case TokenKind::String:
      return "string";
    case TokenKind::Int:
    case TokenKind::Int128:
      return "integer";
    case TokenKind::Float:
      return "float";
    case TokenKind::Plus:
      return "`+`";
    case TokenKind::Minus:
      return "`-`";
    case TokenKind::Mul:
      return "`*`";
    case TokenKind::Div:
      return "`/`";
    case TokenKind::FloorDiv:
      return "`//`";
    case TokenKind::Pow:
      return "`**`";
    case TokenKind::Mod:
      return "`%`";
    case TokenKind::Dot:
      return "`.`";
    case TokenKind::Comma:
      return "`,`";
    case TokenKind::Colon:
      return "`:`";
    case TokenKind::Tilde:
      return "`~`";
    case TokenKind::Assign:
      return "`=`";
    case TokenKind::Pipe:
      return "`|`";
    case TokenKind::Eq:
      return "`==`";
    case TokenKind::Ne:
      return "`!=`";
    case TokenKind::Gt:
      return "`>`";
    case TokenKind::Gte:
      return "`>=`";
    case TokenKind::Lt:
      return "`<`";
    case TokenKind::Lte:
      return "`<=`";
    case TokenKind::BracketOpen:
      return "`[`";
    case TokenKind::BracketClose:
      return "`]`";
    case TokenKind::ParenOpen:
      return "`(`";
    case TokenKind::ParenClose:
      return "`)`";
    case TokenKind::BraceOpen:
      return "`{`";
    case TokenKind::BraceClose:
      return "`}`";
  }
  return "token";
}

}  // namespace velloquin::jinja
