#include "definition/json/json_text_reader.h"

#include <utility>

#include "base/try.h"
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
    VQ_TRY(auto key, cursor_.parse_string());
    VQ_CHECK(visit(key));
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
    VQ_TRY(auto text, cursor_.parse_string());
    return std::string(text);
  }

  Result<std::optional<std::string>, ReadError> read_optional_string() override {
    if (cursor_.skip_whitespace() == 'n') {
      cursor_.eat();
      VQ_CHECK(cursor_.parse_ident("ull"));
      return std::optional<std::string>{};
    }
    VQ_TRY(auto text, read_string());
    return std::optional<std::string>(std::move(text));
  }

  Result<bool, ReadError> read_bool() override {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c == 't' || c == 'f') {
      cursor_.eat();
      VQ_CHECK(cursor_.parse_ident(c == 't' ? "rue" : "alse"));
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
    VQ_CHECK(cursor_.enter());
    cursor_.eat();
    VQ_CHECK(read_word(visit));
    VQ_CHECK(cursor_.parse_colon());
    VQ_CHECK(read_unit());
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
    return read_nested<TextEntries>(visit, &JsonTextCursor::end_object);
  }

  template <class Visit>
  Unit read_array(Visit visit) {
    return read_nested<TextElements>(visit, &JsonTextCursor::end_array);
  }

  // An object or array: `Items` steps through its members or elements for `visit`. The closing
  // bracket is looked for even after a failure, so that a failure decided by the record is
  // placed after it.
  template <class Items, class Visit>
  Unit read_nested(Visit visit, Unit (JsonTextCursor::*end)()) {
    VQ_CHECK(cursor_.enter());
    cursor_.eat();
    Items items(cursor_);
    Unit visited = visit(items);
    cursor_.leave();
    Unit ended = (cursor_.*end)();
    if (!visited) return err(cursor_.place(std::move(visited).error()));
    return ended;
  }

  // A string naming an enumeration word; an error of `visit` is placed after the string.
  Unit read_word(KeyVisitor visit) {
    int c = cursor_.skip_whitespace();
    if (c < 0) return err(cursor_.error_at_peek("EOF while parsing a value"));
    if (c != '"') return err(cursor_.place(cursor_.unexpected("variant identifier")));
    cursor_.eat();
    VQ_TRY(auto word, cursor_.parse_string());
    if (auto visited = visit(word); !visited) return err(cursor_.place(std::move(visited).error()));
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
  VQ_CHECK(cursor_.parse_colon());
  TextValue value(cursor_);
  return visit(value);
}

Result<bool, ReadError> TextElements::next_element(ValueVisitor visit) {
  auto more = cursor_.next_element(first_);
  if (!more || !*more) return more;
  TextValue value(cursor_);
  VQ_CHECK(visit(value));
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
