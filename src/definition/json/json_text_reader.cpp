#include "definition/json/json_text_reader.h"

#include <utility>

#include "definition/json/json_text_cursor.h"
#include "definition/record_reader.h"

namespace velloquin::core {
namespace {

using Unit = Result<void, ReadError>;

// The members of an object whose `{` was eaten, in text order.
class TextEntries final : public EntryReader {
 public:
  explicit TextEntries(JsonTextCursor& cursor) : cursor_(cursor) {}

  Result<bool, ReadError> next_key(std::string_view, KeyVisitor visit) override {
    auto more = cursor_.next_member(first_);
    if (!more || !*more) return more;
    auto key = cursor_.parse_string();
    if (!key) return err(std::move(key).error());
    if (auto visited = visit(*key); !visited) return err(std::move(visited).error());
    return true;
  }

  Unit next_value(ValueVisitor visit) override;

 private:
  JsonTextCursor& cursor_;
  bool first_ = true;
};

// The elements of an array whose `[` was eaten.
class TextElements final : public ElementReader {
 public:
  explicit TextElements(JsonTextCursor& cursor) : cursor_(cursor) {}

  Result<bool, ReadError> next_element(ValueVisitor visit) override;

 private:
  JsonTextCursor& cursor_;
  bool first_ = true;
};

// The value that starts at the cursor (after whitespace). Every error leaving a request is
// placed at the read offset unless something inside placed it already.
class TextValue final : public ValueReader {
 public:
  explicit TextValue(JsonTextCursor& cursor) : cursor_(cursor) {}

  Unit read_record(const RecordShape& shape, RecordVisitor& visitor) override {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c == '[') {
      return read_array([&](TextElements& elements) { return visitor.visit_elements(elements); });
    }
    if (c == '{') {
      return read_object([&](TextEntries& entries) { return visitor.visit_entries(entries); });
    }
    return err(cursor_.place(cursor_.unexpected(shape.expecting)));
  }

  Unit read_map(EntriesVisitor visit) override {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c == '{') return read_object([&](TextEntries& entries) { return visit(entries); });
    return err(cursor_.place(cursor_.unexpected("a map")));
  }

  Result<JsonObject, ReadError> read_json_map() override {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c == '{') return cursor_.parse_object();
    return err(cursor_.place(cursor_.unexpected("a map")));
  }

  Result<std::string, ReadError> read_string() override {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c != '"') return err(cursor_.place(cursor_.unexpected("a string")));
    cursor_.eat();
    auto text = cursor_.parse_string();
    if (!text) return err(std::move(text).error());
    return std::string(*text);
  }

  Result<std::optional<std::string>, ReadError> read_optional_string() override {
    if (cursor_.skip_whitespace() == 'n') {
      cursor_.eat();
      if (auto ident = cursor_.parse_ident("ull"); !ident) return err(std::move(ident).error());
      return std::optional<std::string>{};
    }
    auto text = read_string();
    if (!text) return err(std::move(text).error());
    return std::optional<std::string>(std::move(text).value());
  }

  Result<bool, ReadError> read_bool() override {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c == 't' || c == 'f') {
      cursor_.eat();
      if (auto ident = cursor_.parse_ident(c == 't' ? "rue" : "alse"); !ident) {
        return err(std::move(ident).error());
      }
      return c == 't';
    }
    return err(cursor_.place(cursor_.unexpected("a boolean")));
  }

  // A word, or an object of one member from the word to null. Any other value is not even
  // read: it fails where it starts.
  Unit read_unit_enum(const EnumShape&, KeyVisitor visit) override {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c == '"') return read_word(visit);
    if (c != '{') return err(cursor_.error_at_peek("expected value"));
    if (auto depth = cursor_.enter(); !depth) return depth;
    cursor_.eat();
    if (auto word = read_word(visit); !word) return word;
    if (auto colon = cursor_.parse_colon(); !colon) return colon;
    if (auto unit = read_unit(); !unit) return unit;
    cursor_.leave();
    int end = cursor_.skip_whitespace();
    if (end == '}') {
      cursor_.eat();
      return {};
    }
    return err(cursor_.error_here(end < 0 ? "EOF while parsing an object" : "expected value"));
  }

  Result<Content, ReadError> read_content() override { return cursor_.parse_content(); }

 private:
  template <class Visit>
  Unit read_object(Visit visit) {
    if (auto depth = cursor_.enter(); !depth) return depth;
    cursor_.eat();
    TextEntries entries(cursor_);
    Unit visited = visit(entries);
    cursor_.leave();
    // The closing brace is looked for even after a failure, so that a failure decided by the
    // record is placed after it.
    Unit ended = cursor_.end_object();
    if (!visited) return err(cursor_.place(std::move(visited).error()));
    if (!ended) return ended;
    return {};
  }

  template <class Visit>
  Unit read_array(Visit visit) {
    if (auto depth = cursor_.enter(); !depth) return depth;
    cursor_.eat();
    TextElements elements(cursor_);
    Unit visited = visit(elements);
    cursor_.leave();
    Unit ended = cursor_.end_array();
    if (!visited) return err(cursor_.place(std::move(visited).error()));
    if (!ended) return ended;
    return {};
  }

  // A string naming an enumeration word; an error of `visit` is placed after the string.
  Unit read_word(KeyVisitor visit) {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c != '"') return err(cursor_.place(cursor_.unexpected("variant identifier")));
    cursor_.eat();
    auto word = cursor_.parse_string();
    if (!word) return err(std::move(word).error());
    if (auto visited = visit(*word); !visited)
      return err(cursor_.place(std::move(visited).error()));
    return {};
  }

  Unit read_unit() {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c != 'n') return err(cursor_.place(cursor_.unexpected("unit")));
    cursor_.eat();
    return cursor_.parse_ident("ull");
  }

  JsonTextCursor& cursor_;
};

Unit TextEntries::next_value(ValueVisitor visit) {
  if (auto colon = cursor_.parse_colon(); !colon) return colon;
  TextValue value(cursor_);
  return visit(value);
}

Result<bool, ReadError> TextElements::next_element(ValueVisitor visit) {
  auto more = cursor_.next_element(first_);
  if (!more || !*more) return more;
  TextValue value(cursor_);
  if (auto read = visit(value); !read) return err(std::move(read).error());
  return true;
}

}  // namespace

std::string JsonTextError::display() const {
  if (line == 0) return message;
  return message + " at line " + std::to_string(line) + " column " + std::to_string(column);
}

Result<PromptDefinition, JsonTextError> read_definition_from_json_text(std::string_view text) {
  JsonTextCursor cursor(text);
  auto to_text_error = [&](ReadError error) {
    error = cursor.place(std::move(error));
    JsonTextPoint point = json_text_point(text, error.position->offset);
    return JsonTextError{std::move(error.message), point.line, point.column};
  };
  TextValue root(cursor);
  auto definition = read_definition(root);
  if (!definition) return err(to_text_error(std::move(definition).error()));
  if (cursor.skip_whitespace() >= 0) {
    return err(to_text_error(cursor.error_at_peek("trailing characters")));
  }
  return std::move(definition).value();
}

}  // namespace velloquin::core
