// The JSON text reader on damaged input: every failure is one error with a position inside the
// text, never a crash (run these under the sanitizers).
#include <gtest/gtest.h>

#include <random>
#include <string_view>

#include "definition/json/json_text_cursor.h"
#include "definition/json/json_text_reader.h"
#include "definition/read_messages.h"

namespace velloquin::core {
namespace {

const std::string kDocument =
    "{\"body\": \"Hi {{ city }} \\u00e9\\ud83d\\ude00\",\n"
    " \"name\": \"greet\", \"role\": {\"user\": null}, \"output_model\": null,\n"
    " \"metadata\": {\"n\": [1, -2, 3.5e-1, true, false, null, {\"k\": \"v\"}], \"e\": \"\\t\"},\n"
    " \"variables\": {\"city\": {\"description\": \"d\", \"trusted\": false,\n"
    "   \"type\": [\"string\", \"null\"], \"validation_required\": true},\n"
    "   \"pos\": [null, true, \"number\"]},\n"
    " \"variants\": {\"short\": [\"S\"], \"long\": {\"body\": \"L\", \"metadata\": {}}}}";

// Whether `message` is some text followed by " at line L column C", L from 1. The message itself
// may hold anything (keys are quoted raw, so it may span lines), so the position is the last one.
bool ends_with_position(std::string_view message) {
  const auto digits = [](std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  const std::size_t at = message.rfind(" at line ");
  if (at == std::string_view::npos || at == 0) return false;
  const std::string_view place = message.substr(at + 9);
  const std::size_t column = place.find(" column ");
  if (column == std::string_view::npos) return false;
  const std::string_view line = place.substr(0, column);
  return digits(line) && line.front() != '0' && digits(place.substr(column + 8));
}

std::size_t line_count(const std::string& text) {
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(JsonTextRobustness, DocumentReads) {
  auto read = read_definition_from_json_text(kDocument);
  ASSERT_TRUE(read.ok()) << read.error().display();
}

TEST(JsonTextRobustness, EveryProperPrefixFailsAtItsEnd) {
  for (std::size_t length = 0; length < kDocument.size(); ++length) {
    std::string prefix = kDocument.substr(0, length);
    auto read = read_definition_from_json_text(prefix);
    ASSERT_FALSE(read.ok()) << prefix;
    JsonTextPoint end = json_text_point(prefix, prefix.size());
    EXPECT_EQ(read.error().message.rfind("EOF while parsing", 0), 0u)
        << prefix << " -> " << read.error().display();
    EXPECT_EQ(read.error().line, end.line) << prefix;
    EXPECT_EQ(read.error().column, end.column) << prefix;
  }
}

TEST(JsonTextRobustness, PositionShapeIsTheMessagesLastPlace) {
  for (const char* good : {"x at line 1 column 0", "a\nb at line 3 at line 12 column 40"}) {
    EXPECT_TRUE(ends_with_position(good)) << good;
  }
  for (const char* bad : {" at line 1 column 2", "x at line 0 column 2", "x at line 1 column ",
                          "x at line 1 column 2 ", "x at line 1 column 2 at line 3", "x"}) {
    EXPECT_FALSE(ends_with_position(bad)) << bad;
  }
}

TEST(JsonTextRobustness, MutatedDocumentsFailWithOnePositionedError) {
  std::mt19937 random(20240601);
  int failures = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text = kDocument;
    int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits && !text.empty(); ++e) {
      std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0:
          text[at] = static_cast<char>(random() % 256);
          break;
        case 1:
          text.erase(at, 1 + random() % 4);
          break;
        default:
          text.insert(at, 1, "{}[],:\"\\0-e.un\xff\xc3"[random() % 16]);
          break;
      }
    }
    auto read = read_definition_from_json_text(text);
    if (read.ok()) continue;
    ++failures;
    const JsonTextError& error = read.error();
    ASSERT_TRUE(ends_with_position(error.display())) << debug_quote(error.display());
    ASSERT_LE(error.line, line_count(text)) << error.display();
  }
  EXPECT_GT(failures, 10000);
}

}  // namespace
}  // namespace velloquin::core
