// Filters over text: case, trimming, replacing, splitting, indenting, escaping.
#include <algorithm>
#include <vector>

#include "base/try.h"
#include "base/utf8.h"
#include "jinja/builtins/builtin_filters.h"
#include "jinja/builtins/builtin_support.h"
#include "jinja/unicode/text_case.h"

namespace velloquin::jinja::filters {

namespace {

constexpr std::size_t kMaxIndentedSize = 100'000'000;

// Reads the single piped value of a filter without parameters.
// The common shape of the case filters: text in, text out, safety kept.
template <class F>
ValueResult map_text(State& state, const Args& args, bool keep_safe, F&& f) {
  ArgReader r(args, false);
  VQ_TRY(const Value* v, r.required_ref());
  VQ_CHECK(r.finish());
  VQ_TRY(auto text, text_input(state, *v));
  return text_value(f(text.view()), keep_safe && v->is_safe());
}

bool is_ascii_punct(char32_t c) {
  return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

}  // namespace

ValueResult upper(State& state, const Args& args) {
  if (args.positional.size() == 1 && !args.has_kwargs && args.positional[0].is_string()) {
    // ASCII text is mapped byte by byte straight into the result.
    const Value& v = args.positional[0];
    const std::string_view s = v.str();
    if (utf8::ascii_prefix(s) == s.size()) {
      char* at = nullptr;
      Value out = Value::string_of_size(s.size(), v.is_safe(), &at);
      for (const char c : s) *at++ = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
      return out;
    }
  }
  return map_text(state, args, true, [](std::string_view s) { return to_upper(s); });
}

ValueResult lower(State& state, const Args& args) {
  return map_text(state, args, true, [](std::string_view s) { return to_lower(s); });
}

ValueResult capitalize(State& state, const Args& args) {
  return map_text(state, args, true, [](std::string_view s) {
    std::string out;
    if (s.empty()) return out;
    std::size_t i = 0;
    append_upper(out, utf8::next(s, i));
    out += to_lower(s.substr(i));
    return out;
  });
}

ValueResult title(State& state, const Args& args) {
  return map_text(state, args, false, [](std::string_view s) {
    std::string out;
    out.reserve(s.size());
    bool capitalize_next = true;
    for (std::size_t i = 0; i < s.size();) {
      char32_t c = utf8::next(s, i);
      if (capitalize_next)
        append_upper(out, c);
      else
        append_lower(out, c);
      capitalize_next = is_whitespace(c) || is_ascii_punct(c);
    }
    return out;
  });
}

ValueResult trim(State& state, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(const Value* v, r.required_ref());
  auto chars = r.optional();
  VQ_CHECK(r.finish());
  VQ_TRY(auto text, text_input(state, *v));
  std::vector<char32_t> set;
  if (chars) {
    VQ_TRY(auto c, text_input(state, *chars));
    std::string_view cs = c;
    for (std::size_t i = 0; i < cs.size();) set.push_back(utf8::next(cs, i));
  }
  auto strip = [&](char32_t ch) {
    return chars ? std::find(set.begin(), set.end(), ch) != set.end() : is_whitespace(ch);
  };
  std::string_view s = text;
  // Whitespace in ASCII is decided byte by byte; only other characters are decoded.
  auto ascii_space = [&](unsigned char b) {
    return !chars && ((b >= 0x9 && b <= 0xD) || b == ' ');
  };
  std::size_t begin = 0;
  while (begin < s.size() && ascii_space(static_cast<unsigned char>(s[begin]))) ++begin;
  while (begin < s.size()) {
    std::size_t next = begin;
    if (!strip(utf8::next(s, next))) break;
    begin = next;
  }
  std::size_t end = s.size();
  while (end > begin && ascii_space(static_cast<unsigned char>(s[end - 1]))) --end;
  while (end > begin) {
    std::size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    std::size_t probe = start;
    if (!strip(utf8::next(s, probe))) break;
    end = start;
  }
  return Value::string_copy(s.substr(begin, end - begin), v->is_safe());
}

namespace {

// Every occurrence of `from` replaced; an empty `from` matches between all characters.
std::string replace_all(std::string_view s, std::string_view from, std::string_view to) {
  std::string out;
  if (from.empty()) {
    out += to;
    for (std::size_t i = 0; i < s.size();) {
      std::size_t len = utf8::char_len(s, i);
      out += s.substr(i, len);
      out += to;
      i += len;
    }
    return out;
  }
  std::size_t pos = 0;
  while (true) {
    std::size_t hit = s.find(from, pos);
    if (hit == std::string_view::npos) break;
    out += s.substr(pos, hit - pos);
    out += to;
    pos = hit + from.size();
  }
  out += s.substr(pos);
  return out;
}

// The text of an argument escaped under `mode` as a string would be, unless it is safe.
velloquin::Result<std::string, Error> escaped_unless_safe(AutoEscape mode, const Value& v,
                                                          std::string_view text) {
  if (v.is_safe()) return std::string(text);
  std::string out;
  VQ_CHECK(write_escaped(out, mode, Value(text)));
  return out;
}

}  // namespace

ValueResult replace(State& state, const Args& args) {
  // Each argument is converted as it is read, so keyword arguments in the place of `from`
  // fail as kwargs, before `to` is found missing.
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  VQ_TRY(auto s, text_input(state, v));
  VQ_TRY(auto from, r.required());
  VQ_TRY(auto f, text_input(state, from));
  VQ_TRY(auto to, r.required());
  VQ_TRY(auto t, text_input(state, to));
  VQ_CHECK(r.finish());
  // With a safe part under escaping, the result is safe: the value and the replacement are
  // escaped unless safe themselves, while the text searched for is matched as written.
  const AutoEscape mode = state.auto_escape();
  if (mode != AutoEscape::None && (v.is_safe() || from.is_safe() || to.is_safe())) {
    VQ_TRY(std::string text, escaped_unless_safe(mode, v, s));
    VQ_TRY(std::string replacement, escaped_unless_safe(mode, to, t));
    return Value::safe_string(replace_all(text, f.view(), replacement));
  }
  return Value(replace_all(s.view(), f.view(), t.view()));
}

ValueResult safe(State& state, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  VQ_TRY(auto text, text_input(state, v));
  return Value::safe_string(std::move(text).str());
}

ValueResult string(State& state, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  if (v.is_string()) return v;
  VQ_TRY(auto text, text_input(state, v));
  return Value(std::move(text).str());
}

ValueResult escape(State& state, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  return escape_value(state, v);
}

ValueResult indent(State& state, const Args& args) {
  ArgReader r(args, true);
  VQ_TRY(auto v, r.required());
  auto width_arg = r.positional_or_keyword("width");
  auto first_arg = r.positional_or_keyword("first");
  auto blank_arg = r.positional_or_keyword("blank");
  VQ_CHECK(r.finish());
  std::size_t width = 4;
  if (width_arg) {
    VQ_TRY(width, arg_to_usize(*width_arg));
  }
  bool first = false, blank = false;
  if (first_arg) {
    VQ_TRY(auto b, arg_to_bool(*first_arg));
    first = b;
  }
  if (blank_arg) {
    VQ_TRY(blank, arg_to_bool(*blank_arg));
  }
  VQ_TRY(auto text, text_input(state, v));
  std::string_view s = text;
  auto drop_terminator = [](std::string_view& t) {
    if (!t.empty() && t.back() == '\n') t.remove_suffix(1);
    if (!t.empty() && t.back() == '\r') t.remove_suffix(1);
  };
  drop_terminator(s);
  // The result grows by `width` per line: bounded like string repetition.
  std::size_t indented =
      static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')) + (first ? 1 : 0);
  if (width > 0 && indented > kMaxIndentedSize / width)
    return err(invalid_operation("indented string is too large"));
  std::string out;
  out.reserve(s.size() + indented * width);
  std::size_t pos = 0;
  bool is_first = true;
  while (true) {
    std::size_t nl = s.find('\n', pos);
    std::string_view line =
        s.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    if (is_first && !first) {
      out += line;
    } else if (line.empty()) {
      if (blank) out.append(width, ' ');
    } else {
      out.append(width, ' ');
      out += line;
    }
    out += '\n';
    is_first = false;
    if (nl == std::string_view::npos) break;
    pos = nl + 1;
  }
  std::string_view result = out;
  drop_terminator(result);
  out.resize(result.size());
  return text_value(std::move(out), v.is_safe());
}

ValueResult lines(State&, const Args& args) {
  VQ_TRY(auto v, only_value(args));
  VQ_TRY(auto s, string_only(v));
  std::vector<Value> out;
  std::string_view text = s;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::string_view line =
        text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    if (nl != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.push_back(text_value(std::string(line), v.is_safe()));
    if (nl == std::string_view::npos) break;
    pos = nl + 1;
  }
  return Value::seq(std::move(out));
}

ValueResult split(State&, const Args& args) {
  ArgReader r(args, false);
  VQ_TRY(auto v, r.required());
  auto sep_arg = r.optional();
  auto max_arg = r.optional();
  VQ_CHECK(r.finish());
  // The arguments are converted before the value is checked.
  std::optional<std::string> sep;
  if (sep_arg) {
    VQ_TRY(auto t, string_only(*sep_arg));
    sep = std::string(t);
  }
  std::optional<std::size_t> max_splits;
  if (max_arg) {
    VQ_TRY(auto n, arg_to_i64(*max_arg));
    if (n >= 0) max_splits = static_cast<std::size_t>(n);
  }
  VQ_TRY(auto s, string_only(v));
  bool safe_items = v.is_safe();
  std::vector<Value> out;
  std::string_view text = s;
  auto push = [&](std::string_view piece) {
    out.push_back(text_value(std::string(piece), safe_items));
  };
  if (!sep) {
    std::size_t i = 0;
    auto skip_space = [&] {
      while (i < text.size()) {
        std::size_t next = i;
        if (!is_whitespace(utf8::next(text, next))) break;
        i = next;
      }
    };
    skip_space();
    while (i < text.size()) {
      if (max_splits && out.size() == *max_splits) {
        push(text.substr(i));
        break;
      }
      std::size_t start = i;
      while (i < text.size()) {
        std::size_t next = i;
        if (is_whitespace(utf8::next(text, next))) break;
        i = next;
      }
      push(text.substr(start, i - start));
      skip_space();
    }
    return Value::seq(std::move(out));
  }
  std::size_t pos = 0;
  if (sep->empty()) {
    // Matches at every character boundary, both ends included.
    std::size_t last = 0;
    while (true) {
      if (max_splits && out.size() == *max_splits) break;
      if (pos > text.size()) break;
      push(text.substr(last, pos - last));
      last = pos;
      if (pos == text.size()) {
        pos = text.size() + 1;
        break;
      }
      pos += utf8::char_len(text, pos);
    }
    push(text.substr(std::min(last, text.size())));
    return Value::seq(std::move(out));
  }
  while (true) {
    if (max_splits && out.size() == *max_splits) break;
    std::size_t hit = text.find(*sep, pos);
    if (hit == std::string_view::npos) break;
    push(text.substr(pos, hit - pos));
    pos = hit + sep->size();
  }
  push(text.substr(pos));
  return Value::seq(std::move(out));
}

}  // namespace velloquin::jinja::filters
