// The format filter: printf-style conversions in the manner of Python's `%` operator.
#include <cmath>
#include <cstdio>
#include <string>

#include "base/try.h"
#include "base/utf8.h"
#include "jinja/builtins/builtin_filters.h"
#include "jinja/builtins/builtin_support.h"

namespace velloquin::jinja::filters {

namespace {

constexpr std::size_t kMaxFormattedSize = 100'000'000;

struct Spec {
  std::size_t offset = 0;  // of the conversion type, as errors report it
  std::optional<std::string> key;
  bool alternate = false, zero = false, left = false, blank = false, plus = false;
  std::size_t width = 0;
  std::optional<std::size_t> precision;
  char type = 0;
};

Error spec_error(const Spec& spec, const std::string& what) {
  return invalid_operation("invalid format spec at offset " + std::to_string(spec.offset) + "; " +
                           what);
}

std::string type_description(char type) {
  switch (type) {
    case 'b':
      return "binary format ('b')";
    case 'o':
      return "octal format ('o')";
    case 'x':
      return "hex format ('x')";
    case 'X':
      return "hex format ('X')";
    case 'd':
    case 'i':
      return "decimal format ('d')";
    case 'e':
      return "scientific notation ('e')";
    case 'E':
      return "scientific notation ('E')";
    case 'f':
      return "fixed-point notation ('f')";
    case 'F':
      return "fixed-point notation ('F')";
    case 'g':
      return "general format ('g')";
    case 'G':
      return "general format ('G')";
    case 'c':
      return "character format ('c')";
    default:
      return "string format ('s')";
  }
}

std::string value_description(const Value& v) {
  if (v.is_float()) return "float";
  if (v.is_integer()) return "integer";
  return std::string(kind_name(v.kind()));
}

Error cannot_format(const Spec& spec, const Value& v) {
  return spec_error(
      spec, "'" + value_description(v) + "' cannot be formatted in " + type_description(spec.type));
}

// Pads `body` (already signed) to the width: zeros after the sign, or spaces on one side.
std::string pad(const Spec& spec, std::string sign, std::string body, bool numeric) {
  std::size_t len = utf8::count(sign) + utf8::count(body);
  if (len >= spec.width) return sign + body;
  std::size_t fill = spec.width - len;
  if (spec.left) return sign + body + std::string(fill, ' ');
  if (spec.zero && numeric) return sign + std::string(fill, '0') + body;
  return std::string(fill, ' ') + sign + body;
}

std::string sign_of(const Spec& spec, bool negative) {
  if (negative) return "-";
  if (spec.plus) return "+";
  if (spec.blank) return " ";
  return "";
}

std::string integer_digits(UInt128 magnitude, int base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  do {
    out += digits[static_cast<int>(magnitude % static_cast<UInt128>(base))];
    magnitude /= static_cast<UInt128>(base);
  } while (magnitude != 0);
  return std::string(out.rbegin(), out.rend());
}

velloquin::Result<std::string, Error> format_integer(const Spec& spec, const Value& v) {
  bool negative = false;
  UInt128 magnitude;
  if (auto u = v.to_uint128()) {
    magnitude = *u;
  } else {
    Int128 i = *v.to_int128();
    negative = true;
    magnitude = static_cast<UInt128>(0) - static_cast<UInt128>(i);
  }
  int base = 10;
  std::string prefix;
  switch (spec.type) {
    case 'o':
      base = 8;
      if (spec.alternate) prefix = "0o";
      break;
    case 'x':
      base = 16;
      if (spec.alternate) prefix = "0x";
      break;
    case 'X':
      base = 16;
      if (spec.alternate) prefix = "0X";
      break;
    case 'b':
      base = 2;
      if (spec.alternate) prefix = "0b";
      break;
    default:
      break;
  }
  // A precision does not pad integers here (unlike Python's `%`).
  std::string digits = integer_digits(magnitude, base, spec.type == 'X');
  return pad(spec, sign_of(spec, negative) + prefix, digits, true);
}

std::string c_float(const Spec& spec, double d, char type, std::optional<std::size_t> precision) {
  std::string fmt = "%";
  if (spec.alternate) fmt += '#';
  fmt += '.';
  fmt += std::to_string(precision.value_or(6));
  fmt += type;
  char buf[512];
  int n = std::snprintf(buf, sizeof buf, fmt.c_str(), std::fabs(d));
  if (n < 0) return "";
  if (static_cast<std::size_t>(n) < sizeof buf)
    return std::string(buf, static_cast<std::size_t>(n));
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), fmt.c_str(), std::fabs(d));
  big.resize(static_cast<std::size_t>(n));
  return big;
}

std::string format_float(const Spec& spec, double d) {
  std::string body;
  if (std::isnan(d)) {
    body = (spec.type >= 'A' && spec.type <= 'Z') ? "NAN" : "nan";
    return pad(spec, sign_of(spec, false), body, false);
  }
  // Precision is capped so the text stays bounded; beyond that digits are zeros anyway.
  auto precision = spec.precision
                       ? std::optional<std::size_t>(std::min<std::size_t>(*spec.precision, 400))
                       : std::nullopt;
  body = c_float(spec, d, spec.type, precision);
  return pad(spec, sign_of(spec, std::signbit(d)), body, std::isfinite(d));
}

// `%s` of a float: general format, six significant digits, ".0" for integral results.
std::string float_as_text(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", d);
  std::string s = buf;
  if (d != 0.0 && s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

// `escape`: the mode the arguments of a safe format string are escaped with (none otherwise).
velloquin::Result<std::string, Error> convert(const Spec& spec, const Value& v, bool safe_format,
                                              AutoEscape escape) {
  switch (spec.type) {
    case 's': {
      std::string text;
      if (v.is_float()) {
        text = float_as_text(v.as_float());
      } else if (safe_format && !v.is_safe()) {
        VQ_CHECK(write_escaped(text, escape, v));
      } else if (v.is_string()) {
        text = std::string(v.str());
      } else {
        text = v.to_display_string();
      }
      if (spec.precision) {
        std::size_t pos = 0;
        for (std::size_t n = 0; n < *spec.precision && pos < text.size(); ++n)
          pos += utf8::char_len(text, pos);
        text.resize(pos);
      }
      return pad(spec, "", text, false);
    }
    case 'd':
    case 'i':
    case 'o':
    case 'x':
    case 'X':
    case 'b':
      if (v.is_integer() || v.is_bool()) return format_integer(spec, v);
      return err(cannot_format(spec, v));
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
      if (v.is_number() || v.is_bool()) return format_float(spec, *v.to_double());
      return err(cannot_format(spec, v));
    case 'c': {
      if (safe_format)
        return err(
            invalid_operation("character formatting is not supported for safe format strings"));
      if (spec.blank)
        return err(invalid_operation("sign flags are not allowed with character format ('c')"));
      std::string ch;
      if (v.is_integer() || v.is_bool()) {
        auto i = v.to_int128();
        if (!i || *i < 0 || *i >= 0x110000 || (*i >= 0xD800 && *i <= 0xDFFF))
          return err(invalid_operation("character format ('c') arg not in range(0x110000)"));
        utf8::append(ch, static_cast<char32_t>(*i));
      } else if (v.is_string() && utf8::count(v.str()) == 1) {
        ch = std::string(v.str());
      } else {
        return err(invalid_operation("character format ('c') requires integer or char"));
      }
      return pad(spec, "", ch, false);
    }
    default:
      break;
  }
  return err(invalid_operation("invalid conversion type"));
}

}  // namespace

ValueResult format(State& state, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  std::vector<Value> values = r.rest();
  if (!v.is_string()) return err(invalid_operation("value is not a string"));
  std::string_view fmt = v.str();
  bool safe_format = v.is_safe();
  const AutoEscape escape = safe_format ? escape_filter_mode(state) : AutoEscape::None;
  std::string out;
  out.reserve(fmt.size());
  std::size_t next_arg = 0;
  std::size_t i = 0;
  while (i < fmt.size()) {
    std::size_t pct = fmt.find('%', i);
    if (pct == std::string_view::npos) {
      out += fmt.substr(i);
      break;
    }
    out += fmt.substr(i, pct - i);
    Spec spec;
    std::size_t p = pct + 1;
    auto incomplete = [&] {
      return invalid_operation("incomplete format spec at offset " + std::to_string(fmt.size()) +
                               "; missing conversion type");
    };
    if (p >= fmt.size()) return err(incomplete());
    if (fmt[p] == '%') {
      out += '%';
      i = p + 1;
      continue;
    }
    if (fmt[p] == '(') {
      std::size_t close = fmt.find(')', p + 1);
      if (close == std::string_view::npos) {
        return err(invalid_operation("incomplete format key at offset " + std::to_string(p + 1) +
                                     "; missing closing ')'"));
      }
      spec.key = std::string(fmt.substr(p + 1, close - p - 1));
      p = close + 1;
    }
    for (; p < fmt.size(); ++p) {
      char c = fmt[p];
      if (c == '#')
        spec.alternate = true;
      else if (c == '0')
        spec.zero = true;
      else if (c == '-')
        spec.left = true;
      else if (c == ' ')
        spec.blank = true;
      else if (c == '+')
        spec.plus = true;
      else
        break;
    }
    auto read_number = [&](std::size_t& n) {
      while (p < fmt.size() && fmt[p] >= '0' && fmt[p] <= '9') {
        n = std::min<std::size_t>(n * 10 + static_cast<std::size_t>(fmt[p] - '0'), 1'000'000);
        ++p;
      }
    };
    read_number(spec.width);
    if (p < fmt.size() && fmt[p] == '.') {
      ++p;
      std::size_t precision = 0;
      read_number(precision);
      spec.precision = precision;
    }
    if (p < fmt.size() && (fmt[p] == 'h' || fmt[p] == 'l' || fmt[p] == 'L')) ++p;
    if (p >= fmt.size()) return err(incomplete());
    spec.offset = p;
    std::size_t type_len = utf8::char_len(fmt, p);
    std::string_view type = fmt.substr(p, type_len);
    if (type_len != 1 ||
        std::string_view("sdioxXeEfFgGc").find(type[0]) == std::string_view::npos) {
      return err(invalid_operation("invalid conversion type '" + std::string(type) +
                                   "' in format spec at offset " + std::to_string(p)));
    }
    spec.type = type[0];
    i = p + 1;

    Value arg;
    if (spec.key) {
      if (values.empty() || values[0].kind() != ValueKind::Map)
        return err(invalid_operation("format argument must be a mapping"));
      auto found = get_item(values[0], Value(*spec.key));
      if (!found || found->is_undefined()) {
        return err(invalid_operation("missing an argument for format spec at offset '" +
                                     std::to_string(spec.offset) + "'"));
      }
      arg = std::move(found).value();
    } else {
      if (next_arg >= values.size()) {
        return err(invalid_operation("missing an argument for format spec at offset '" +
                                     std::to_string(spec.offset) + "'"));
      }
      arg = values[next_arg++];
    }
    VQ_TRY(auto piece, convert(spec, arg, safe_format, escape));
    out += piece;
    // Widths multiply sizes: the result is bounded like string repetition.
    if (out.size() > kMaxFormattedSize)
      return err(invalid_operation("formatted string is too large"));
  }
  return Value::string(std::move(out), safe_format);
}

}  // namespace velloquin::jinja::filters
