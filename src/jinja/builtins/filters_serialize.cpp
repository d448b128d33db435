// tojson and urlencode: values written out as JSON text and as URL components.
#include <charconv>
#include <cmath>

#include "base/try.h"
#include "base/utf8.h"
#include "jinja/builtins/builtin_filters.h"
#include "jinja/builtins/builtin_support.h"

namespace velloquin::jinja::filters {

namespace {

// Finite floats as JSON numbers: shortest digits, plain between 1e-5 and 1e16, else exponent.
void write_json_float(std::string& out, double d) {
  double a = std::fabs(d);
  if (a == 0.0 || (a >= 1e-5 && a < 1e16)) {
    write_float_display(out, d);
    return;
  }
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
  std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
  std::size_t e = text.find('e');
  std::string_view mantissa = text.substr(0, e);
  out += mantissa;
  out += 'e';
  std::string_view exp = text.substr(e + 1);
  if (!exp.empty() && exp[0] == '+') exp.remove_prefix(1);
  bool negative = !exp.empty() && exp[0] == '-';
  if (negative) exp.remove_prefix(1);
  while (exp.size() > 1 && exp[0] == '0') exp.remove_prefix(1);
  if (negative) out += '-';
  out += exp;
}

// A byte below 0x80 as `\u00XX`.
void write_unicode_escape(std::string& out, char c) {
  static const char* hex = "0123456789abcdef";
  out += "\\u00";
  out += hex[(c >> 4) & 0xF];
  out += hex[c & 0xF];
}

// `html_safe`: also `<`, `>`, `&` and `'` as escapes, so the text can sit inside HTML.
void write_json_string(std::string& out, std::string_view s, bool html_safe) {
  out += '"';
  for (char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '<':
      case '>':
      case '&':
      case '\'':
        if (html_safe)
          write_unicode_escape(out, c);
        else
          out += c;
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20)
          write_unicode_escape(out, c);
        else
          out += c;
    }
  }
  out += '"';
}

class JsonWriter {
 public:
  JsonWriter(std::optional<std::size_t> indent, bool html_safe)
      : indent_(indent), html_safe_(html_safe) {}

  velloquin::Result<void, Error> write(const Value& v, std::size_t depth) {
    if (depth > 500) return err(invalid_operation("cannot serialize to JSON"));
    switch (v.kind()) {
      case ValueKind::Undefined:
      case ValueKind::None:
        out_ += "null";
        return {};
      case ValueKind::Bool:
        out_ += v.as_bool() ? "true" : "false";
        return {};
      case ValueKind::Number:
        if (v.is_float()) {
          if (std::isfinite(v.as_float()))
            write_json_float(out_, v.as_float());
          else
            out_ += "null";
        } else {
          v.display(out_);
        }
        return {};
      case ValueKind::String:
        write_json_string(out_, v.str(), html_safe_);
        return {};
      case ValueKind::Map:
        return write_map(v, depth);
      case ValueKind::Seq:
      case ValueKind::Iterator:
      case ValueKind::Bytes:
        return write_seq(v, depth);
      default:
        write_json_string(out_, v.to_display_string(), html_safe_);
        return {};
    }
  }

  std::string take() { return std::move(out_); }

 private:
  void newline(std::size_t depth) {
    if (!indent_) return;
    out_ += '\n';
    out_.append(*indent_ * depth, ' ');
  }

  velloquin::Result<void, Error> write_seq(const Value& v, std::size_t depth) {
    if (const std::vector<Value>* list = v.items()) return write_items(*list, depth);
    std::vector<Value> items;
    if (v.kind() == ValueKind::Bytes) {
      for (unsigned char c : v.str()) items.emplace_back(static_cast<int>(c));
    } else {
      auto collected = collect(v);
      if (!collected) return err(invalid_operation("cannot serialize to JSON"));
      items = std::move(*collected);
    }
    return write_items(items, depth);
  }

  velloquin::Result<void, Error> write_items(const std::vector<Value>& items, std::size_t depth) {
    out_ += '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i) out_ += ',';
      newline(depth + 1);
      VQ_CHECK(write(items[i], depth + 1));
    }
    if (!items.empty()) newline(depth);
    out_ += ']';
    return {};
  }

  velloquin::Result<void, Error> write_map(const Value& v, std::size_t depth) {
    if (const Map* map = v.map_data()) {
      // A map's keys are unique, so its entries are what looking up each key would give.
      out_ += '{';
      for (std::size_t i = 0; i < map->entries().size(); ++i) {
        const auto& [k, val] = map->entries()[i];
        VQ_CHECK(write_entry(i == 0, k, val, depth));
      }
      if (map->size() > 0) newline(depth);
      out_ += '}';
      return {};
    }
    auto keys = collect(v);
    if (!keys) return err(invalid_operation("cannot serialize to JSON"));
    out_ += '{';
    bool first = true;
    for (const auto& k : *keys) {
      auto val = get_item(v, k);
      VQ_CHECK(write_entry(first, k, val ? *val : Value(), depth));
      first = false;
    }
    if (!first) newline(depth);
    out_ += '}';
    return {};
  }

  velloquin::Result<void, Error> write_entry(bool first, const Value& k, const Value& val,
                                             std::size_t depth) {
    if (!first) out_ += ',';
    newline(depth + 1);
    if (k.is_string()) {
      write_json_string(out_, k.str(), html_safe_);
    } else if (k.is_number()) {
      std::string text;
      if (k.is_float())
        write_json_float(text, k.as_float());
      else
        k.display(text);
      write_json_string(out_, text, html_safe_);
    } else {
      return err(invalid_operation("cannot serialize to JSON"));
    }
    out_ += indent_ ? ": " : ":";
    return write(val, depth + 1);
  }

  std::optional<std::size_t> indent_;
  bool html_safe_;
  std::string out_;
};

bool url_safe(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
         c == '.' || c == '-' || c == '_';
}

void percent_encode(std::string& out, std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  for (unsigned char c : text) {
    if (url_safe(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
}

}  // namespace

ValueResult tojson(State&, const Args& args) {
  ArgReader r(args, true);
  VQ_TRY(auto v, r.required());
  auto indent_arg = r.positional_or_keyword("indent");
  VQ_CHECK(r.finish());
  std::optional<std::size_t> indent;
  if (indent_arg) {
    if (indent_arg->is_bool()) {
      if (indent_arg->as_bool()) indent = 2;
    } else {
      VQ_TRY(indent, arg_to_usize(*indent_arg));
    }
  }
  JsonWriter writer(indent, true);
  VQ_CHECK(writer.write(v, 0));
  return Value::safe_string(writer.take());
}

ValueResult urlencode(State&, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  VQ_CHECK(r.finish());
  std::string out;
  if (v.kind() == ValueKind::Map) {
    VQ_TRY(auto keys, collect(v));
    for (const auto& k : keys) {
      auto val = get_item(v, k);
      if (!val || val->is_none() || val->is_undefined()) continue;
      if (!out.empty()) out += '&';
      percent_encode(out, k.to_display_string());
      out += '=';
      percent_encode(out, val->to_display_string());
    }
    return Value(std::move(out));
  }
  if (v.is_none() || v.is_undefined()) return Value("");
  if (v.is_string() || v.kind() == ValueKind::Bytes)
    percent_encode(out, v.str());
  else
    percent_encode(out, v.to_display_string());
  return Value(std::move(out));
}

}  // namespace velloquin::jinja::filters

namespace velloquin::jinja {

velloquin::Result<std::string, Error> plain_json(const Value& v) {
  filters::JsonWriter writer(std::nullopt, false);
  VQ_CHECK(writer.write(v, 0));
  return writer.take();
}

}  // namespace velloquin::jinja
