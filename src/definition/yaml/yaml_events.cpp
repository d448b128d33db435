#include "definition/yaml/yaml_events.h"

#include <yaml.h>

#include <map>

namespace velloquin::core {
namespace {

YamlMark to_mark(const yaml_mark_t& mark) {
  return {mark.index, mark.line, mark.column};
}

// libyaml's problem, then its context, each with the mark that makes it findable.
ReadError syntax_error(const yaml_parser_t& parser) {
  std::string out = parser.problem ? parser.problem : "libyaml parser failed but there is no error";
  const YamlMark problem = to_mark(parser.problem_mark);
  if (!problem.at_origin()) {
    out += " at " + describe_yaml_mark(problem);
  } else if (parser.problem_offset != 0) {
    out += " at position " + std::to_string(parser.problem_offset);
  }
  if (parser.context) {
    out += ", ";
    out += parser.context;
    const YamlMark context = to_mark(parser.context_mark);
    if (!context.at_origin() && (context.line != problem.line || context.column != problem.column))
      out += " at " + describe_yaml_mark(context);
  }
  return yaml_final_error(std::move(out));
}

YamlScalarStyle to_style(yaml_scalar_style_t style) {
  switch (style) {
    case YAML_SINGLE_QUOTED_SCALAR_STYLE:
      return YamlScalarStyle::SingleQuoted;
    case YAML_DOUBLE_QUOTED_SCALAR_STYLE:
      return YamlScalarStyle::DoubleQuoted;
    case YAML_LITERAL_SCALAR_STYLE:
      return YamlScalarStyle::Literal;
    case YAML_FOLDED_SCALAR_STYLE:
      return YamlScalarStyle::Folded;
    default:
      return YamlScalarStyle::Plain;
  }
}

std::optional<std::string> optional_text(const yaml_char_t* text) {
  if (!text) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(text));
}

class Parser {
 public:
  explicit Parser(std::string_view text) {
    yaml_parser_initialize(&parser_);
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()),
                                 text.size());
  }
  ~Parser() { yaml_parser_delete(&parser_); }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // The next event, or false after a syntax error (the error stays on the parser).
  bool next(yaml_event_t& event) {
    if (parser_.error != YAML_NO_ERROR) return false;
    return yaml_parser_parse(&parser_, &event) != 0;
  }
  const yaml_parser_t& state() const { return parser_; }

 private:
  yaml_parser_t parser_{};
};

// Owns one libyaml event for the length of a scope.
struct EventGuard {
  yaml_event_t& event;
  ~EventGuard() { yaml_event_delete(&event); }
};

// A YAML stream may open with a byte-order mark, as files saved by many editors do. libyaml,
// told the encoding, would read it as a character of the first line (shifting the first key off
// column 0, so that `---` is no longer a marker), so the mark is cut off before parsing: every
// line, column and byte offset then counts as if the text started after it.
std::string_view without_byte_order_mark(std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  return text;
}

}  // namespace

YamlDocument load_first_yaml_document(std::string_view text) {
  YamlDocument document;
  Parser parser(without_byte_order_mark(text));
  // An anchor defined again later names its latest node from then on.
  std::map<std::string, std::size_t, std::less<>> anchors;

  std::size_t depth = 0;
  std::vector<std::size_t> open;  // indices of the collections not yet ended
  auto enter = [&]() {
    if (++depth <= kYamlLoadDepthLimit) return true;
    document.error = yaml_final_error("recursion limit exceeded");
    return false;
  };

  auto remember_anchor = [&](const yaml_char_t* anchor) {
    if (anchor) anchors[reinterpret_cast<const char*>(anchor)] = document.events.size();
  };

  for (;;) {
    yaml_event_t event;
    if (!parser.next(event)) {
      document.present = true;
      document.error = syntax_error(parser.state());
      return document;
    }
    EventGuard guard{event};
    YamlEvent loaded;
    loaded.mark = to_mark(event.start_mark);
    switch (event.type) {
      case YAML_STREAM_START_EVENT:
        continue;
      case YAML_STREAM_END_EVENT:
        return document;
      case YAML_DOCUMENT_START_EVENT:
        document.present = true;
        continue;
      case YAML_DOCUMENT_END_EVENT: {
        // Anything but the end of the stream means a further document (or a broken one).
        yaml_event_t after;
        if (!parser.next(after)) {
          document.followed_by_more = true;
          return document;
        }
        document.followed_by_more = after.type != YAML_STREAM_END_EVENT;
        yaml_event_delete(&after);
        return document;
      }
      case YAML_ALIAS_EVENT: {
        auto found = anchors.find(reinterpret_cast<const char*>(event.data.alias.anchor));
        if (found == anchors.end()) {
          document.error = yaml_final_error_at("unknown anchor", loaded.mark);
          return document;
        }
        loaded.kind = YamlEvent::Kind::Alias;
        loaded.target = found->second;
        break;
      }
      case YAML_SCALAR_EVENT:
        remember_anchor(event.data.scalar.anchor);
        loaded.style = to_style(event.data.scalar.style);
        loaded.value.assign(reinterpret_cast<const char*>(event.data.scalar.value),
                            event.data.scalar.length);
        loaded.tag = optional_text(event.data.scalar.tag);
        break;
      case YAML_SEQUENCE_START_EVENT:
        if (!enter()) return document;
        remember_anchor(event.data.sequence_start.anchor);
        loaded.kind = YamlEvent::Kind::SequenceStart;
        loaded.tag = optional_text(event.data.sequence_start.tag);
        break;
      case YAML_SEQUENCE_END_EVENT:
        --depth;
        loaded.kind = YamlEvent::Kind::SequenceEnd;
        break;
      case YAML_MAPPING_START_EVENT:
        if (!enter()) return document;
        remember_anchor(event.data.mapping_start.anchor);
        loaded.kind = YamlEvent::Kind::MappingStart;
        loaded.tag = optional_text(event.data.mapping_start.tag);
        break;
      case YAML_MAPPING_END_EVENT:
        --depth;
        loaded.kind = YamlEvent::Kind::MappingEnd;
        break;
      default:
        continue;
    }
    if (loaded.kind == YamlEvent::Kind::SequenceStart ||
        loaded.kind == YamlEvent::Kind::MappingStart)
      open.push_back(document.events.size());
    if ((loaded.kind == YamlEvent::Kind::SequenceEnd ||
         loaded.kind == YamlEvent::Kind::MappingEnd) &&
        !open.empty()) {
      document.events[open.back()].end = document.events.size();
      open.pop_back();
    }
    document.events.push_back(std::move(loaded));
  }
}

}  // namespace velloquin::core
