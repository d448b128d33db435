#include "definition/json/json_text_reader.h"

#include <gtest/gtest.h>

#include "definition/definition_writer.h"

namespace velloquin::core {
namespace {

using Json = nlohmann::json;

// 36 bytes: a complete definition's members, without the closing brace.
const std::string kHead = R"({"body":"b","name":"n","role":"user")";
const std::string kValid = kHead + "}";

std::string with_variable(const std::string& variable) {
  return kHead + R"(,"variables":{"v":)" + variable + "}}";
}

std::string with_metadata(const std::string& metadata) {
  return kHead + R"(,"metadata":)" + metadata + "}";
}

struct ErrorCase {
  const char* label;
  std::string text;
  std::string display;
};

void expect_errors(const std::vector<ErrorCase>& cases) {
  for (const auto& c : cases) {
    auto read = read_definition_from_json_text(c.text);
    ASSERT_FALSE(read.ok()) << c.label;
    EXPECT_EQ(read.error().display(), c.display) << c.label;
  }
}

TEST(JsonTextReader, EntryAndEnd) {
  expect_errors({
      {"empty text", "", "EOF while parsing a value at line 1 column 0"},
      {"only whitespace", "  \n", "EOF while parsing a value at line 2 column 0"},
      {"not a value", "x", "expected value at line 1 column 1"},
      {"byte order mark", "\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
      {"integer", "5",
       "invalid type: integer `5`, expected struct PromptDefinition at line 1 column 1"},
      {"float", " 1.5",
       "invalid type: floating point `1.5`, expected struct PromptDefinition at line 1 column 4"},
      {"string", R"("hi")",
       R"(invalid type: string "hi", expected struct PromptDefinition at line 1 column 4)"},
      {"null", "null", "invalid type: null, expected struct PromptDefinition at line 1 column 4"},
      {"true", "true",
       "invalid type: boolean `true`, expected struct PromptDefinition at line 1 column 4"},
      {"trailing character", kValid + " x", "trailing characters at line 1 column 39"},
      {"second object", kValid + "{}", "trailing characters at line 1 column 38"},
      {"empty array", "[]",
       "invalid length 0, expected struct PromptDefinition with 7 elements at line 1 column 2"},
      {"array of one", R"(["hi"])",
       "invalid length 2, expected struct PromptDefinition with 7 elements at line 1 column 6"},
      {"array too long", R"(["b",{},"n",null,"user",{},{},1])",
       "trailing characters at line 1 column 31"},
      {"array with trailing comma", R"(["b",{},"n",null,"user",{},{},])",
       "trailing comma at line 1 column 31"},
  });
}

TEST(JsonTextReader, ShapeErrorsArePlacedAtTheReadOffset) {
  expect_errors({
      {"missing body", R"({"name":"n","role":"user"})", "missing field `body` at line 1 column 26"},
      {"missing body over lines", "{\n\"name\":\"n\"\n}",
       "missing field `body` at line 3 column 1"},
      {"missing body over CRLF lines", "{\r\n\"name\":\"n\"\r\n}",
       "missing field `body` at line 3 column 1"},
      {"unknown key", R"({"zzz":1})",
       "unknown field `zzz`, expected one of `body`, `metadata`, `name`, `output_model`, `role`, "
       "`variables`, `variants` at line 1 column 6"},
      {"unknown key before missing body", R"({"name":"n","Body":"b"})",
       "unknown field `Body`, expected one of `body`, `metadata`, `name`, `output_model`, `role`, "
       "`variables`, `variants` at line 1 column 18"},
      {"repeated key", R"({"body":"a","body":"b"})", "duplicate field `body` at line 1 column 18"},
      {"repeated null output model", R"({"output_model":null,"output_model":"M"})",
       "duplicate field `output_model` at line 1 column 35"},
      {"empty name", R"({"body":"b","name":"","role":"user"})",
       "shorter than 1 characters at line 1 column 21"},
      {"trusted as text", with_variable(R"({"trusted":"true","type":"string"})"),
       R"(invalid type: string "true", expected a boolean at line 1 column 71)"},
      {"metadata null", R"({"metadata":null})",
       "invalid type: null, expected a map at line 1 column 16"},
      {"metadata array", R"({"metadata":[1]})",
       "invalid type: sequence, expected a map at line 1 column 12"},
      {"variables null", kHead + R"(,"variables":null})",
       "invalid type: null, expected a map at line 1 column 53"},
      {"body null", R"({"body":null})",
       "invalid type: null, expected a string at line 1 column 12"},
      {"body number", R"({"body":-12})",
       "invalid type: integer `-12`, expected a string at line 1 column 11"},
      {"body huge integer", R"({"body":18446744073709551616})",
       "invalid type: floating point `1.8446744073709552e19`, expected a string at line 1 column "
       "28"},
      {"body negative zero", R"({"body":-0})",
       "invalid type: floating point `-0.0`, expected a string at line 1 column 10"},
      {"untagged type", with_variable(R"({"trusted":true,"type":"String"})"),
       "data did not match any variant of untagged enum PromptVariableType at line 1 column 86"},
      {"type word with empty object payload",
       with_variable(R"({"trusted":true,"type":{"string":{}}})"),
       "data did not match any variant of untagged enum PromptVariableType at line 1 column 91"},
      {"untagged type before another member", with_variable(R"({"type":"null","trusted":true})"),
       "data did not match any variant of untagged enum PromptVariableType at line 1 column 68"},
      {"variable as text", with_variable(R"("x")"),
       R"(invalid type: string "x", expected struct PromptVariable at line 1 column 57)"},
      {"variant with a name", kHead + R"(,"variants":{"s":{"body":"b","name":"x"}}})",
       "unknown field `name`, expected `body` or `metadata` at line 1 column 71"},
      {"variant as empty array", kHead + R"(,"variants":{"s":[]}})",
       "invalid length 0, expected struct PromptVariant with 2 elements at line 1 column 55"},
  });
}

TEST(JsonTextReader, RoleForms) {
  expect_errors({
      {"capitalised word", R"({"body":"b","name":"n","role":"System"})",
       "unknown variant `System`, expected one of `system`, `user`, `assistant` at line 1 column "
       "38"},
      {"null", R"({"body":"b","name":"n","role":null})", "expected value at line 1 column 31"},
      {"number", R"({"body":"b","name":"n","role":1})", "expected value at line 1 column 31"},
      {"array", R"({"body":"b","name":"n","role":["user"]})", "expected value at line 1 column 31"},
      {"payload not null", R"({"body":"b","name":"n","role":{"user":5}})",
       "invalid type: integer `5`, expected unit at line 1 column 39"},
      {"second member", R"({"body":"b","name":"n","role":{"user":null,"x":null}})",
       "expected value at line 1 column 42"},
      {"end of text in object", R"({"body":"b","name":"n","role":{"user":null)",
       "EOF while parsing an object at line 1 column 42"},
      {"end of text after the brace", R"({"body":"b","name":"n","role":{)",
       "EOF while parsing a value at line 1 column 31"},
      {"word not a string", R"({"body":"b","name":"n","role":{5:null}})",
       "invalid type: integer `5`, expected variant identifier at line 1 column 32"},
      {"unknown word in object", R"({"body":"b","name":"n","role":{"admin":null}})",
       "unknown variant `admin`, expected one of `system`, `user`, `assistant` at line 1 column "
       "38"},
  });
  auto read =
      read_definition_from_json_text(R"({"body":"b","name":"n","role":{ "assistant" : null }})");
  ASSERT_TRUE(read.ok()) << read.error().display();
  EXPECT_EQ(read->role, PromptDefinitionRole::Assistant);
}

TEST(JsonTextReader, SyntaxErrors) {
  expect_errors({
      {"trailing comma in object", R"({"body":"b",})", "trailing comma at line 1 column 13"},
      {"missing colon", R"({"body" "b"})", "expected `:` at line 1 column 9"},
      {"missing comma", R"({"body":"b" "name":"n"})", "expected `,` or `}` at line 1 column 13"},
      {"key not a string", R"({1:2})", "key must be a string at line 1 column 2"},
      {"misspelt true", R"({"body":tru})", "expected ident at line 1 column 12"},
      {"misspelt null in metadata", with_metadata(R"({"a":nul})"),
       "expected ident at line 1 column 57"},
      {"invalid escape", R"({"body":"a\x"})", "invalid escape at line 1 column 12"},
      {"bad hex escape", R"({"body":"\u12"})", "invalid escape at line 1 column 15"},
      {"hex escape cut by end", R"({"body":"\u12)",
       "EOF while parsing a string at line 1 column 13"},
      {"lone trailing surrogate", R"({"body":"\udc00"})",
       "lone leading surrogate in hex escape at line 1 column 15"},
      {"leading surrogate alone", R"({"body":"\ud800"})",
       "unexpected end of hex escape at line 1 column 16"},
      {"leading surrogate then other escape", R"({"body":"\ud800\n"})",
       "unexpected end of hex escape at line 1 column 17"},
      {"leading surrogate then non-surrogate", R"({"body":"\ud800\u0041"})",
       "lone leading surrogate in hex escape at line 1 column 21"},
      {"control character", "{\"body\":\"a\x01\"}",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 11"},
      {"raw line feed in string", "{\"body\":\"a\nb\"}",
       "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
      {"unterminated string", R"({"body":"abc)", "EOF while parsing a string at line 1 column 12"},
      {"leading zero", with_metadata(R"({"a":01})"), "invalid number at line 1 column 55"},
      {"no digit after point", with_metadata(R"({"a":1.})"), "invalid number at line 1 column 56"},
      {"sign alone", with_metadata(R"({"a":-})"), "invalid number at line 1 column 55"},
      {"no exponent digits", with_metadata(R"({"a":1e})"), "invalid number at line 1 column 56"},
      {"float out of range", with_metadata(R"({"a":1e400})"),
       "number out of range at line 1 column 58"},
      {"just above the largest double", with_metadata(R"({"a":1.7976931348623159e308})"),
       "number out of range at line 1 column 75"},
      {"negative float out of range", with_metadata(R"({"a":-1.5e99999999999999})"),
       "number out of range at line 1 column 72"},
      {"long integer out of range", with_metadata("{\"a\":1" + std::string(400, '0') + "}"),
       "number out of range at line 1 column 454"},
      {"trailing comma in array", with_metadata(R"({"a":[1,]})"),
       "trailing comma at line 1 column 57"},
      {"missing comma in array", with_metadata(R"({"a":[1 2]})"),
       "expected `,` or `]` at line 1 column 57"},
      {"end inside array", kHead + R"(,"metadata":{"a":[1)",
       "EOF while parsing a list at line 1 column 55"},
      {"end after member value", kHead + R"(,"metadata":{"a":1)",
       "EOF while parsing an object at line 1 column 54"},
      {"end before member value", kHead + R"(,"metadata":{"a":)",
       "EOF while parsing a value at line 1 column 53"},
      {"end inside definition", R"({"body":"b")",
       "EOF while parsing an object at line 1 column 11"},
      {"end after colon", R"({"body":)", "EOF while parsing a value at line 1 column 8"},
      {"not UTF-8 in a string", "{\"body\":\"\xff\"}",
       "invalid unicode code point at line 1 column 11"},
      {"cut UTF-8 in a key", "{\"\xc3\":1}", "invalid unicode code point at line 1 column 4"},
      {"encoded surrogate", "{\"body\":\"\xed\xa0\x80\"}",
       "invalid unicode code point at line 1 column 13"},
      {"not UTF-8 outside strings", "{\"body\":\xff}", "expected value at line 1 column 9"},
  });
}

TEST(JsonTextReader, NestingLimit) {
  // The definition's object and the metadata object count: 125 arrays make 127 open.
  auto nested = [](int arrays) {
    return R"({"metadata":{"a":)" + std::string(arrays, '[') + std::string(arrays, ']') +
           R"(},"body":"b","name":"n","role":"user"})";
  };
  auto accepted = read_definition_from_json_text(nested(125));
  ASSERT_TRUE(accepted.ok()) << accepted.error().display();
  expect_errors({
      {"128 open", nested(126), "recursion limit exceeded at line 1 column 143"},
      {"far too deep", R"({"metadata":{"a":)" + std::string(100000, '['),
       "recursion limit exceeded at line 1 column 143"},
      {"array where the body goes", std::string(100000, '['),
       "invalid type: sequence, expected a string at line 1 column 1"},
      {"deep type", with_variable(R"({"trusted":true,"type":)" + std::string(200, '[')),
       "recursion limit exceeded at line 1 column 202"},
      {"deep objects",
       [] {
         std::string s = R"({"metadata":)";
         for (int i = 0; i < 200; ++i) s += R"({"a":)";
         return s;
       }(),
       "recursion limit exceeded at line 1 column 643"},
  });
}

TEST(JsonTextReader, AcceptedForms) {
  auto read = read_definition_from_json_text(
      " \t\r\n{\"\\u0062ody\": \"Hello \\\"{{ city }}\\\" \\u00e9\\ud83d\\ude00\",\n"
      R"( "name": "é", "role": "system", "output_model": null,
      "metadata": {"n": null, "t": true, "u": 18446744073709551615, "i": -9223372036854775808,
                   "big": -9223372036854775809, "f": 0.5e1, "tiny": 1e-400, "sub": 4.9e-324, "max": 1.7976931348623157e308, "z": -0, "k": 1, "k": 2,
                   "nested": [{"b": 1, "a": [[]]}], "s": "\/\b\f\n\r\t"},
      "variables": {"city": {"description": null, "trusted": false, "type": ["string", "null"]},
                    "city": {"trusted": true, "type": "string"},
                    "pos": ["d", true, {"number": null}]},
      "variants": {"short": ["Short"], "": {"body": "", "metadata": {}}}}
      )");
  ASSERT_TRUE(read.ok()) << read.error().display();
  const PromptDefinition& d = *read;
  EXPECT_EQ(d.body, "Hello \"{{ city }}\" \u00e9\U0001F600");
  EXPECT_EQ(d.name.str(), "é");
  EXPECT_EQ(d.role, PromptDefinitionRole::System);
  EXPECT_FALSE(d.output_model.has_value());
  const Json metadata(d.metadata);
  EXPECT_TRUE(metadata["n"].is_null());
  EXPECT_TRUE(metadata["u"].is_number_unsigned());
  EXPECT_EQ(metadata["u"].get<std::uint64_t>(), 18446744073709551615ULL);
  EXPECT_TRUE(metadata["i"].is_number_integer() && !metadata["i"].is_number_unsigned());
  EXPECT_EQ(metadata["i"].get<std::int64_t>(), INT64_MIN);
  EXPECT_TRUE(metadata["big"].is_number_float());
  EXPECT_EQ(metadata["big"].get<double>(), -9223372036854775809.0);
  EXPECT_EQ(metadata["f"].get<double>(), 5.0);
  EXPECT_EQ(metadata["tiny"].get<double>(), 0.0);
  EXPECT_EQ(metadata["sub"].get<double>(), 5e-324);
  EXPECT_EQ(metadata["max"].get<double>(), 1.7976931348623157e308);
  EXPECT_TRUE(metadata["z"].is_number_float());
  EXPECT_TRUE(std::signbit(metadata["z"].get<double>()));
  EXPECT_EQ(metadata["k"], 2);
  EXPECT_EQ(metadata["nested"].dump(), R"([{"a":[[]],"b":1}])");
  EXPECT_EQ(metadata["s"], "/\b\f\n\r\t");
  ASSERT_EQ(d.variables.size(), 2u);
  EXPECT_EQ(d.variables.at("city"),
            (PromptVariable{std::nullopt, true, PromptVariableTypeString::String, false}));
  EXPECT_EQ(d.variables.at("pos"),
            (PromptVariable{"d", true, PromptVariableTypeString::Number, false}));
  EXPECT_EQ(d.variants.at("short"), (PromptVariant{"Short", {}}));
  EXPECT_EQ(d.variants.at(""), (PromptVariant{"", {}}));
}

TEST(JsonTextReader, SurroundingWhitespaceIsAccepted) {
  for (const std::string& text : {" \t\r\n" + kValid, kValid + "  \n\n ", "\n" + kValid + "\r\n"}) {
    auto read = read_definition_from_json_text(text);
    ASSERT_TRUE(read.ok()) << read.error().display();
    EXPECT_EQ(read->body, "b");
    EXPECT_EQ(read->name.str(), "n");
    EXPECT_EQ(read->role, PromptDefinitionRole::User);
  }
}

TEST(JsonTextReader, PositionalDefinitionAndRoundTrip) {
  auto read = read_definition_from_json_text(R"(["hi", {}, "n", null, "user"])");
  ASSERT_TRUE(read.ok()) << read.error().display();
  EXPECT_EQ(to_json(*read).dump(), R"({"body":"hi","name":"n","role":"user"})");

  auto full = read_definition_from_json_text(
      R"({"body":"b","metadata":{"x":[1.5,"y"]},"name":"n","output_model":"M","role":"assistant",)"
      R"("variables":{"v":{"description":"d","trusted":true,"type":[],"validation_required":true}},)"
      R"("variants":{"s":{"body":"sb","metadata":{"m":{}}}}})");
  ASSERT_TRUE(full.ok()) << full.error().display();
  std::string written = to_json(*full).dump();
  auto again = read_definition_from_json_text(written);
  ASSERT_TRUE(again.ok()) << again.error().display();
  EXPECT_EQ(*again, *full);
}

TEST(JsonTextReader, DisplayWithoutPosition) {
  EXPECT_EQ((JsonTextError{"m", 0, 0}).display(), "m");
  EXPECT_EQ((JsonTextError{"m", 2, 5}).display(), "m at line 2 column 5");
}

}  // namespace
}  // namespace velloquin::core
