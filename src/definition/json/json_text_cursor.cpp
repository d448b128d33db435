#include "definition/json/json_text_cursor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "base/try.h"
#include "base/utf8.h"
#include "definition/read_messages.h"

namespace velloquin::core {
namespace {

using Json = nlohmann::json;

bool is_digit(int c) {
  return c >= '0' && c <= '9';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    // Runs of ASCII, eight bytes at a time.
    while (end - p >= 8) {
      std::uint64_t chunk;
      std::memcpy(&chunk, p, 8);
      if (chunk & 0x8080808080808080ULL) break;
      p += 8;
    }
    if (p == end) break;
    unsigned char lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || static_cast<std::size_t>(end - p) < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((p[k] & 0xC0) != 0x80) return false;
    }
    if (length == 3) {
      if (lead == 0xE0 && p[1] < 0xA0) return false;   // overlong
      if (lead == 0xED && p[1] >= 0xA0) return false;  // surrogate
    } else if (length == 4) {
      if (lead == 0xF0 && p[1] < 0x90) return false;   // overlong
      if (lead == 0xF4 && p[1] >= 0x90) return false;  // beyond U+10FFFF
    }
    p += length;
  }
  return true;
}

// The character a one-letter escape stands for; 0 for `u` and for what is no escape.
char escaped_char(char c) {
  switch (c) {
    case '"':
    case '\\':
    case '/':
      return c;
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return 0;
  }
}

bool is_string_end(unsigned char c) {
  return c == '"' || c == '\\' || c < 0x20;
}

// Whether any byte of `chunk` is a quote, a backslash or a control character. Exact about
// whether there is one, not about where: the caller then looks byte by byte.
bool chunk_has_string_end(std::uint64_t chunk) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  auto has_zero = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
  std::uint64_t below_space = (chunk - kOnes * 0x20) & ~chunk & kHighs;
  return (has_zero(chunk ^ (kOnes * '"')) | has_zero(chunk ^ (kOnes * '\\')) | below_space) != 0;
}

// The offset of the first byte from `pos` that ends a run of plain string bytes.
std::size_t skip_plain_string_bytes(const unsigned char* data, std::size_t pos, std::size_t size) {
  while (size - pos >= 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, data + pos, 8);
    if (chunk_has_string_end(chunk)) break;
    pos += 8;
  }
  while (pos < size && !is_string_end(data[pos])) ++pos;
  return pos;
}

std::string describe_number(const JsonTextNumber& number) {
  switch (number.kind) {
    case JsonTextNumber::Kind::U64:
      return describe_integer(number.u64);
    case JsonTextNumber::Kind::I64:
      return describe_integer(number.i64);
    case JsonTextNumber::Kind::F64:
      return describe_json_float(number.f64);
  }
  return {};
}

Json json_of(const JsonTextNumber& number) {
  switch (number.kind) {
    case JsonTextNumber::Kind::U64:
      return Json(number.u64);
    case JsonTextNumber::Kind::I64:
      return Json(number.i64);
    case JsonTextNumber::Kind::F64:
      return Json(number.f64);
  }
  return Json();
}

Content content_of(const JsonTextNumber& number) {
  switch (number.kind) {
    case JsonTextNumber::Kind::U64:
      return Content::of_u64(number.u64);
    case JsonTextNumber::Kind::I64:
      return Content::of_i64(number.i64);
    case JsonTextNumber::Kind::F64:
      return Content::of_f64(number.f64);
  }
  return Content::null();
}

}  // namespace

JsonTextPoint json_text_point(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  std::string_view before = text.substr(0, offset);
  std::size_t line_start = before.rfind('\n');
  line_start = line_start == std::string_view::npos ? 0 : line_start + 1;
  JsonTextPoint point;
  point.line =
      1 + static_cast<std::size_t>(std::count(
              before.begin(), before.begin() + static_cast<std::ptrdiff_t>(line_start), '\n'));
  point.column = offset - line_start;
  return point;
}

int JsonTextCursor::skip_whitespace() {
  while (pos_ < text_.size()) {
    char c = text_[pos_];
    if (c != ' ' && c != '\n' && c != '\t' && c != '\r') {
      return static_cast<unsigned char>(c);
    }
    ++pos_;
  }
  return -1;
}

ReadError JsonTextCursor::error_here(std::string message) const {
  return ReadError{std::move(message), ReadPosition{pos_, pos_, 0, 0, {}}};
}

ReadError JsonTextCursor::error_at_peek(std::string message) const {
  std::size_t at = std::min(text_.size(), pos_ + 1);
  return ReadError{std::move(message), ReadPosition{at, at, 0, 0, {}}};
}

ReadError JsonTextCursor::place(ReadError error) const {
  return std::move(error).at(ReadPosition{pos_, pos_, 0, 0, {}});
}

Result<void, ReadError> JsonTextCursor::enter() {
  if (--remaining_depth_ == 0) return err(error_at_peek("recursion limit exceeded"));
  return {};
}

Result<void, ReadError> JsonTextCursor::parse_ident(std::string_view rest) {
  for (char expected : rest) {
    if (pos_ >= text_.size()) return err(error_here("EOF while parsing a value"));
    char next = text_[pos_++];
    if (next != expected) return err(error_here("expected ident"));
  }
  return {};
}

Result<std::string_view, ReadError> JsonTextCursor::parse_string() {
  scratch_.clear();
  bool copied = false;
  std::size_t start = pos_;
  const std::size_t size = text_.size();
  const auto* data = reinterpret_cast<const unsigned char*>(text_.data());
  for (;;) {
    pos_ = skip_plain_string_bytes(data, pos_, size);
    if (pos_ == size) return err(error_here("EOF while parsing a string"));
    unsigned char c = data[pos_];
    if (c == '"') {
      std::string_view value;
      if (!copied) {
        value = text_.substr(start, pos_ - start);
      } else {
        scratch_.append(text_.substr(start, pos_ - start));
        value = scratch_;
      }
      ++pos_;
      // Escapes only ever produce UTF-8; the raw bytes of a C++ caller's text may not be.
      if (!valid_utf8(value)) return err(error_here("invalid unicode code point"));
      return value;
    }
    if (c == '\\') {
      scratch_.append(text_.substr(start, pos_ - start));
      copied = true;
      ++pos_;
      VQ_CHECK(parse_escape());
      start = pos_;
      continue;
    }
    ++pos_;
    return err(error_here("control character (\\u0000-\\u001F) found while parsing a string"));
  }
}

Result<void, ReadError> JsonTextCursor::parse_escape() {
  if (pos_ >= text_.size()) return err(error_here("EOF while parsing a string"));
  char c = text_[pos_++];
  if (c != 'u') {
    const char plain = escaped_char(c);
    if (plain == 0) return err(error_here("invalid escape"));
    scratch_ += plain;
    return {};
  }
  VQ_TRY(std::uint32_t n, parse_hex_escape());
  if (n >= 0xDC00 && n <= 0xDFFF) return err(error_here("lone leading surrogate in hex escape"));
  if (n < 0xD800 || n > 0xDBFF) {
    jinja::utf8::append(scratch_, n);
    return {};
  }
  // A leading surrogate: the trailing one must follow as a second escape.
  for (char expected : {'\\', 'u'}) {
    if (pos_ >= text_.size()) return err(error_here("EOF while parsing a string"));
    bool matches = text_[pos_] == expected;
    ++pos_;
    if (!matches) return err(error_here("unexpected end of hex escape"));
  }
  VQ_TRY(std::uint32_t n2, parse_hex_escape());
  if (n2 < 0xDC00 || n2 > 0xDFFF) return err(error_here("lone leading surrogate in hex escape"));
  jinja::utf8::append(scratch_, (((n - 0xD800) << 10) | (n2 - 0xDC00)) + 0x10000);
  return {};
}

Result<std::uint16_t, ReadError> JsonTextCursor::parse_hex_escape() {
  if (text_.size() - pos_ < 4) {
    pos_ = text_.size();
    return err(error_here("EOF while parsing a string"));
  }
  std::uint32_t value = 0;
  bool valid = true;
  for (int k = 0; k < 4; ++k) {
    int digit = hex_value(text_[pos_ + static_cast<std::size_t>(k)]);
    valid = valid && digit >= 0;
    value = (value << 4) | static_cast<std::uint32_t>(digit & 0xF);
  }
  pos_ += 4;
  if (!valid) return err(error_here("invalid escape"));
  return static_cast<std::uint16_t>(value);
}

Result<JsonTextNumber, ReadError> JsonTextCursor::parse_number(bool positive) {
  const std::size_t start = positive ? pos_ : pos_ - 1;
  if (pos_ >= text_.size()) return err(error_here("EOF while parsing a value"));
  char first = text_[pos_++];
  std::uint64_t significand = 0;
  bool is_float = false;
  if (first == '0') {
    if (is_digit(peek())) return err(error_at_peek("invalid number"));
  } else if (first >= '1' && first <= '9') {
    significand = static_cast<std::uint64_t>(first - '0');
    while (is_digit(peek())) {
      auto digit = static_cast<std::uint64_t>(text_[pos_] - '0');
      if (!is_float && significand > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
        is_float = true;  // too long for 64 bits: read as a float
      }
      if (!is_float) significand = significand * 10 + digit;
      ++pos_;
    }
  } else {
    return err(error_here("invalid number"));
  }
  if (peek() == '.') {
    ++pos_;
    bool any = false;
    while (is_digit(peek())) {
      ++pos_;
      any = true;
    }
    if (!any) {
      return err(error_at_peek(peek() < 0 ? "EOF while parsing a value" : "invalid number"));
    }
    is_float = true;
  }
  if (peek() == 'e' || peek() == 'E') {
    ++pos_;
    if (peek() == '+' || peek() == '-') ++pos_;
    if (pos_ >= text_.size()) return err(error_here("EOF while parsing a value"));
    bool digit = is_digit(static_cast<unsigned char>(text_[pos_]));
    ++pos_;
    if (!digit) return err(error_here("invalid number"));
    while (is_digit(peek())) ++pos_;
    is_float = true;
  }
  JsonTextNumber number;
  if (!is_float) {
    if (positive) {
      number.kind = JsonTextNumber::Kind::U64;
      number.u64 = significand;
      return number;
    }
    // -0 and values below the signed range are floats.
    if (significand != 0 && significand <= (std::uint64_t{1} << 63)) {
      number.kind = JsonTextNumber::Kind::I64;
      number.i64 = static_cast<std::int64_t>(0 - significand);
      return number;
    }
  }
  VQ_TRY(auto value, parse_float(start));
  number.kind = JsonTextNumber::Kind::F64;
  number.f64 = value;
  return number;
}

// Converts the number text from `start` to the read offset, rounding exactly. Overflow fails;
// underflow gives a signed zero.
Result<double, ReadError> JsonTextCursor::parse_float(std::size_t start) {
  std::string_view literal = text_.substr(start, pos_ - start);
  double value = 0;
  auto [end, ec] = std::from_chars(literal.data(), literal.data() + literal.size(), value);
  (void)end;
  if (ec == std::errc()) return value;
  const bool negative = literal.front() == '-';
  // Out of range either way: the decimal exponent of the first significant digit decides.
  std::string_view body = literal.substr(negative ? 1 : 0);
  std::size_t exp_at = body.find_first_of("eE");
  std::string_view mantissa = body.substr(0, exp_at);
  long long exponent = 0;
  if (exp_at != std::string_view::npos) {
    std::string_view digits = body.substr(exp_at + 1);
    bool exp_negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
      digits.remove_prefix(1);
    }
    for (char d : digits) exponent = std::min<long long>(exponent * 10 + (d - '0'), 1LL << 40);
    if (exp_negative) exponent = -exponent;
  }
  std::size_t point = mantissa.find('.');
  std::size_t integer_digits = point == std::string_view::npos ? mantissa.size() : point;
  std::size_t first_significant = mantissa.find_first_of("123456789");
  if (first_significant == std::string_view::npos) return negative ? -0.0 : 0.0;
  long long magnitude =
      first_significant < integer_digits
          ? static_cast<long long>(integer_digits - first_significant) + exponent
          : exponent - static_cast<long long>(first_significant - integer_digits - 1);
  if (magnitude > 0) return err(error_here("number out of range"));
  return negative ? -0.0 : 0.0;
}

Result<void, ReadError> JsonTextCursor::parse_colon() {
  int c = skip_whitespace();
  if (c == ':') {
    ++pos_;
    return {};
  }
  return err(error_at_peek(c < 0 ? "EOF while parsing an object" : "expected `:`"));
}

Result<bool, ReadError> JsonTextCursor::next_item(bool& first, char close,
                                                  std::string_view inside) {
  int c = skip_whitespace();
  if (c == close) return false;
  if (c < 0) return err(error_at_peek("EOF while parsing " + std::string(inside)));
  if (first) {
    first = false;
  } else if (c == ',') {
    ++pos_;
    c = skip_whitespace();
  } else {
    return err(error_at_peek(std::string("expected `,` or `") + close + "`"));
  }
  if (c == close) return err(error_at_peek("trailing comma"));
  if (c < 0) return err(error_at_peek("EOF while parsing a value"));
  return true;
}

Result<bool, ReadError> JsonTextCursor::next_member(bool& first) {
  VQ_TRY(bool more, next_item(first, '}', "an object"));
  if (!more) return false;
  if (peek() != '"') return err(error_at_peek("key must be a string"));
  ++pos_;
  return true;
}

Result<bool, ReadError> JsonTextCursor::next_element(bool& first) {
  return next_item(first, ']', "a list");
}

Result<void, ReadError> JsonTextCursor::end_object() {
  int c = skip_whitespace();
  if (c == '}') {
    ++pos_;
    return {};
  }
  if (c == ',') return err(error_at_peek("trailing comma"));
  if (c < 0) return err(error_at_peek("EOF while parsing an object"));
  return err(error_at_peek("trailing characters"));
}

Result<void, ReadError> JsonTextCursor::end_array() {
  int c = skip_whitespace();
  if (c == ']') {
    ++pos_;
    return {};
  }
  if (c == ',') {
    ++pos_;
    bool comma_then_end = skip_whitespace() == ']';
    return err(error_at_peek(comma_then_end ? "trailing comma" : "trailing characters"));
  }
  if (c < 0) return err(error_at_peek("EOF while parsing a list"));
  return err(error_at_peek("trailing characters"));
}

namespace {

// How a parsed tree is built: as JSON values (metadata) or as content buffers (the variable
// type), which keep every member of an object in its order, repeated keys too.
struct JsonTreeBuild {
  using Node = Json;
  using Seq = Json;
  using Map = JsonObject;
  static Node null() { return Json(); }
  static Node boolean(bool b) { return Json(b); }
  static Node string(std::string_view s) { return Json(std::string(s)); }
  static Node number(const JsonTextNumber& n) { return json_of(n); }
  static Seq seq() { return Json::array(); }
  static void push(Seq& seq, Node item) { seq.push_back(std::move(item)); }
  static Node of_seq(Seq seq) { return seq; }
  // A repeated key keeps the later value.
  static void insert(Map& map, std::string key, Node value) {
    map.insert_or_assign(std::move(key), std::move(value));
  }
  static Node of_map(Map map) { return Json(std::move(map)); }
};

struct ContentTreeBuild {
  using Node = Content;
  using Seq = std::vector<Content>;
  using Map = std::vector<std::pair<Content, Content>>;
  static Node null() { return Content::null(); }
  static Node boolean(bool b) { return Content::of_bool(b); }
  static Node string(std::string_view s) { return Content::of_string(std::string(s)); }
  static Node number(const JsonTextNumber& n) { return content_of(n); }
  static Seq seq() { return {}; }
  static void push(Seq& seq, Node item) { seq.push_back(std::move(item)); }
  static Node of_seq(Seq seq) { return Content::of_seq(std::move(seq)); }
  static void insert(Map& map, std::string key, Node value) {
    map.emplace_back(Content::of_string(std::move(key)), std::move(value));
  }
  static Node of_map(Map map) { return Content::of_map(std::move(map)); }
};

}  // namespace

template <class Build>
Result<typename Build::Map, ReadError> JsonTextCursor::parse_map() {
  VQ_CHECK(enter());
  ++pos_;
  typename Build::Map map;
  bool first = true;
  for (;;) {
    VQ_TRY(auto more, next_member(first));
    if (!more) break;
    VQ_TRY(auto key_view, parse_string());
    // The key's view is only valid until the value's strings are read.
    std::string key(key_view);
    VQ_CHECK(parse_colon());
    VQ_TRY(auto value, parse_tree<Build>());
    Build::insert(map, std::move(key), std::move(value));
  }
  leave();
  VQ_CHECK(end_object());
  return map;
}

template <class Build>
Result<typename Build::Node, ReadError> JsonTextCursor::parse_tree() {
  int c = skip_whitespace();
  switch (c) {
    case -1:
      return err(error_at_peek("EOF while parsing a value"));
    case 'n':
      ++pos_;
      VQ_CHECK(parse_ident("ull"));
      return Build::null();
    case 't':
      ++pos_;
      VQ_CHECK(parse_ident("rue"));
      return Build::boolean(true);
    case 'f':
      ++pos_;
      VQ_CHECK(parse_ident("alse"));
      return Build::boolean(false);
    case '"': {
      ++pos_;
      VQ_TRY(auto text, parse_string());
      return Build::string(text);
    }
    case '[': {
      VQ_CHECK(enter());
      ++pos_;
      typename Build::Seq seq = Build::seq();
      bool first = true;
      for (;;) {
        VQ_TRY(auto more, next_element(first));
        if (!more) break;
        VQ_TRY(auto item, parse_tree<Build>());
        Build::push(seq, std::move(item));
      }
      leave();
      VQ_CHECK(end_array());
      return Build::of_seq(std::move(seq));
    }
    case '{': {
      VQ_TRY(auto map, parse_map<Build>());
      return Build::of_map(std::move(map));
    }
    default:
      break;
  }
  if (c == '-' || is_digit(c)) {
    if (c == '-') ++pos_;
    VQ_TRY(auto number, parse_number(c != '-'));
    return Build::number(number);
  }
  return err(error_at_peek("expected value"));
}

Result<JsonObject, ReadError> JsonTextCursor::parse_object() {
  return parse_map<JsonTreeBuild>();
}

Result<Json, ReadError> JsonTextCursor::parse_value() {
  return parse_tree<JsonTreeBuild>();
}

Result<Content, ReadError> JsonTextCursor::parse_content() {
  return parse_tree<ContentTreeBuild>();
}

ReadError JsonTextCursor::unexpected(std::string_view expected) {
  std::string found;
  int c = peek();
  switch (c) {
    case 'n':
    case 't':
    case 'f': {
      ++pos_;
      std::string_view rest = c == 'n' ? "ull" : c == 't' ? "rue" : "alse";
      if (auto ident = parse_ident(rest); !ident) return std::move(ident).error();
      found = c == 'n' ? "null" : describe_bool(c == 't');
      break;
    }
    case '"': {
      ++pos_;
      auto text = parse_string();
      if (!text) return std::move(text).error();
      found = describe_string(*text);
      break;
    }
    case '[':
      found = "sequence";
      break;
    case '{':
      found = "map";
      break;
    default:
      if (c == '-' || is_digit(c)) {
        if (c == '-') ++pos_;
        auto number = parse_number(c != '-');
        if (!number) return std::move(number).error();
        found = describe_number(*number);
        break;
      }
      return error_at_peek("expected value");
  }
  return error_here(invalid_type(found, expected));
}

}  // namespace velloquin::core
