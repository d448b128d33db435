#include "definition/toml/toml_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definition/definition_writer.h"

namespace velloquin::core {
namespace {

// A definition's three required keys, for texts that test something else.
const std::string kHead = "name = 'n'\nrole = 'user'\nbody = 'b'\n";
const std::string kPlain = R"({"body":"b","name":"n","role":"user"})";

struct Case {
  std::string name;
  std::string text;
  std::string expected;  // the definition written out as JSON, or the whole report
};

std::string outcome(const std::string& text) {
  auto definition = read_definition_from_toml(text);
  if (!definition) return definition.error().display();
  return to_json(*definition).dump();
}

void expect_outcomes(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(outcome(c.text), c.expected) << c.name;
}

// The report for an error on line `line` of `text`, the span starting `column` characters in.
std::string report(std::size_t line, std::size_t column, const std::string& excerpt,
                   std::size_t carets, const std::string& message) {
  const std::string gutter(std::to_string(line).size() + 1, ' ');
  return "TOML parse error at line " + std::to_string(line) + ", column " + std::to_string(column) +
         "\n" + gutter + "|\n" + std::to_string(line) + " | " + excerpt + "\n" + gutter + "|" +
         std::string(column, ' ') + std::string(carets, '^') + "\n" + message + "\n";
}

const std::string kDefinitionKeys =
    "one of `body`, `metadata`, `name`, `output_model`, `role`, `variables`, `variants`";

TEST(TomlReader, LaysOutTheReportByteForByte) {
  EXPECT_EQ(outcome("name = 'greet'\nrole = 'user'\nbody = 'Hi'\ncolour = 1\n"),
            "TOML parse error at line 4, column 1\n"
            "  |\n"
            "4 | colour = 1\n"
            "  | ^^^^^^\n"
            "unknown field `colour`, expected one of `body`, `metadata`, `name`, `output_model`, "
            "`role`, `variables`, `variants`\n");
  EXPECT_EQ(outcome(""),
            "TOML parse error at line 1, column 1\n  |\n1 | \n  | ^\nmissing field `body`\n");
}

TEST(TomlReader, ReportsFirstProblemInKeyOrder) {
  expect_outcomes({
      {"missing body wherever the other keys stand", "name = 'n'\nrole = 'user'\n",
       report(1, 1, "name = 'n'", 1, "missing field `body`")},
      {"missing name after body", "body = 'b'\nrole = 'user'\n",
       report(1, 1, "body = 'b'", 1, "missing field `name`")},
      {"bad body before a later unknown key", "body = 5\nname = 'n'\nrole = 'user'\nzzz = 1\n",
       report(1, 8, "body = 5", 1, "invalid type: integer `5`, expected a string")},
      {"earlier unknown key before a bad body", "body = 5\nname = 'n'\nrole = 'user'\naaa = 1\n",
       report(4, 1, "aaa = 1", 3, "unknown field `aaa`, expected " + kDefinitionKeys)},
      {"unknown key before a missing field", "zzz = 1\n",
       report(1, 1, "zzz = 1", 3, "unknown field `zzz`, expected " + kDefinitionKeys)},
      {"capitalised key", "Body = 'x'\nname = 'n'\nrole = 'user'\n",
       report(1, 1, "Body = 'x'", 4, "unknown field `Body`, expected " + kDefinitionKeys)},
      {"key twice", kHead + "name = 'x'\n", report(4, 8, "name = 'x'", 1, "duplicate key")},
      {"table twice", kHead + "[metadata]\n[metadata]\n",
       report(5, 1, "[metadata]", 1, "duplicate key")},
      {"missing field in a nested table", kHead + "[variables.topic]\ntype = 'string'\n",
       report(4, 1, "[variables.topic]", 17, "missing field `trusted`")},
      {"missing trusted before missing type", kHead + "variables.topic = {}\n",
       report(4, 19, "variables.topic = {}", 2, "missing field `trusted`")},
      {"empty name", "name = ''\nrole = 'user'\nbody = 'b'\n",
       report(1, 8, "name = ''", 2, "shorter than 1 characters")},
      {"bad boolean in a nested record", kHead + "[variables.topic]\ntrusted = 'yes'\n",
       report(5, 11, "trusted = 'yes'", 5, "invalid type: string \"yes\", expected a boolean")},
      {"untagged type error on the type value",
       kHead + "variables.t = { trusted = true, type = 'String' }\n",
       report(4, 40, "variables.t = { trusted = true, type = 'String' }", 8,
              "data did not match any variant of untagged enum PromptVariableType")},
      {"no mapping form of a type without null",
       kHead + "variables.t = { trusted = true, type = { string = {} } }\n",
       report(4, 40, "variables.t = { trusted = true, type = { string = {} } }", 15,
              "data did not match any variant of untagged enum PromptVariableType")},
  });
}

TEST(TomlReader, ReadsEveryTableFormAlike) {
  const std::string topic =
      R"({"body":"b","name":"n","role":"user","variables":{"topic":{"trusted":true,"type":"string","validation_required":false}}})";
  expect_outcomes({
      {"table header", kHead + "[variables.topic]\ntrusted = true\ntype = 'string'\n", topic},
      {"dotted keys", kHead + "variables.topic.trusted = true\nvariables.topic.type = 'string'\n",
       topic},
      {"inline table", kHead + "[variables]\ntopic = { trusted = true, type = 'string' }\n", topic},
      {"empty metadata table", kHead + "[metadata]\n", kPlain},
      {"empty inline metadata", kHead + "metadata = {}\n", kPlain},
      {"quoted and empty variable names",
       kHead + "[variables]\n\"\" = { trusted = true, type = 'string' }\n'a b' = { trusted = "
               "false, type = ['null'] }\n",
       R"({"body":"b","name":"n","role":"user","variables":{"":{"trusted":true,"type":"string","validation_required":false},"a b":{"trusted":false,"type":["null"],"validation_required":false}}})"},
      {"array of tables is a sequence", kHead + "[[variables]]\na = 1\n",
       report(4, 1, "[[variables]]", 13, "invalid type: sequence, expected a map")},
      {"metadata as a string", kHead + "metadata = 'x'\n",
       report(4, 12, "metadata = 'x'", 3, "invalid type: string \"x\", expected a map")},
      {"output_model as empty text", kHead + "output_model = ''\n",
       R"({"body":"b","name":"n","output_model":"","role":"user"})"},
      {"multi-line strings", "name = 'n'\nrole = 'user'\nbody = '''\nline\n'''\n",
       R"({"body":"line\n","name":"n","role":"user"})"},
  });
}

TEST(TomlReader, ReadsVariablesAndVariantsPositionally) {
  expect_outcomes({
      {"variant of one body", kHead + "variants.short = ['Short body']\n",
       R"({"body":"b","name":"n","role":"user","variants":{"short":{"body":"Short body"}}})"},
      {"empty variant array", kHead + "variants.short = []\n",
       report(4, 18, "variants.short = []", 2,
              "invalid length 0, expected struct PromptVariant with 2 elements")},
      {"elements past the last field are ignored", kHead + "variants.short = ['x', {a = 1}, 3]\n",
       R"({"body":"b","name":"n","role":"user","variants":{"short":{"body":"x","metadata":{"a":1}}}})"},
      {"empty variable array", kHead + "variables.topic = []\n",
       report(4, 19, "variables.topic = []", 2,
              "invalid length 1, expected struct PromptVariable with 4 elements")},
      {"variable of description, trusted and type",
       kHead + "variables.topic = ['d', true, ['string', 'null']]\n",
       R"({"body":"b","name":"n","role":"user","variables":{"topic":{"description":"d","trusted":true,"type":["string","null"],"validation_required":false}}})"},
      {"variable missing its type", kHead + "variables.topic = ['d', true]\n",
       report(4, 19, "variables.topic = ['d', true]", 11,
              "invalid length 2, expected struct PromptVariable with 4 elements")},
      {"variable as a number", kHead + "variables.topic = 5\n",
       report(4, 19, "variables.topic = 5", 1,
              "invalid type: integer `5`, expected struct PromptVariable")},
  });
}

TEST(TomlReader, ReadsDatetimesAsOneEntryMaps) {
  expect_outcomes({
      {"in metadata", kHead + "[metadata]\ncreated = 1979-05-27T07:32:00Z\n",
       R"({"body":"b","metadata":{"created":{"$__toml_private_datetime":"1979-05-27T07:32:00Z"}},"name":"n","role":"user"})"},
      {"as the whole metadata", kHead + "metadata = 1979-05-27\n",
       R"({"body":"b","metadata":{"$__toml_private_datetime":"1979-05-27"},"name":"n","role":"user"})"},
      {"as a variant's metadata", kHead + "variants.s = { body = 'x', metadata = 07:32:00 }\n",
       R"({"body":"b","name":"n","role":"user","variants":{"s":{"body":"x","metadata":{"$__toml_private_datetime":"07:32:00"}}}})"},
      {"as a variant", kHead + "variants.short = 1979-05-27\n",
       report(4, 18, "variants.short = 1979-05-27", 10,
              "unknown field `$__toml_private_datetime`, expected `body` or `metadata`")},
      {"as a variable", kHead + "variables.topic = 1979-05-27\n",
       report(4, 19, "variables.topic = 1979-05-27", 10,
              "unknown field `$__toml_private_datetime`, expected one of `description`, "
              "`trusted`, `type`, `validation_required`")},
      {"as the variables", kHead + "variables = 1979-05-27\n",
       report(4, 13, "variables = 1979-05-27", 10,
              "invalid type: string \"1979-05-27\", expected struct PromptVariable")},
      {"as the body", "name = 'n'\nrole = 'user'\nbody = 1979-05-27\n",
       report(3, 8, "body = 1979-05-27", 10, "invalid type: map, expected a string")},
      {"as trusted", kHead + "variables.t = { trusted = 1979-05-27, type = 'string' }\n",
       report(4, 27, "variables.t = { trusted = 1979-05-27, type = 'string' }", 10,
              "invalid type: map, expected a boolean")},
      {"as a type", kHead + "variables.t = { trusted = true, type = 1979-05-27 }\n",
       report(4, 40, "variables.t = { trusted = true, type = 1979-05-27 }", 10,
              "data did not match any variant of untagged enum PromptVariableType")},
      {"as the role", "name = 'n'\nbody = 'b'\nrole = 1979-05-27\n",
       report(3, 8, "role = 1979-05-27", 10, "wanted string or table")},
  });
}

TEST(TomlReader, MapsMetadataNumbers) {
  expect_outcomes({
      {"nan and infinities", kHead + "[metadata]\nratio = nan\nup = +inf\ndown = -inf\n",
       R"({"body":"b","metadata":{"down":null,"ratio":null,"up":null},"name":"n","role":"user"})"},
      {"the 64-bit edges",
       kHead + "[metadata]\nmax = 18446744073709551615\nmin = -9223372036854775808\nhex = "
               "0xFFFF_FFFF_FFFF_FFFF\n",
       R"({"body":"b","metadata":{"hex":18446744073709551615,"max":18446744073709551615,"min":-9223372036854775808},"name":"n","role":"user"})"},
      {"2^64", kHead + "[metadata]\nbig = 18446744073709551616\n",
       report(5, 7, "big = 18446744073709551616", 20, "JSON number out of range")},
      {"-2^63 - 1 inside an array", kHead + "metadata.list = [1, -9223372036854775809]\n",
       report(4, 21, "metadata.list = [1, -9223372036854775809]", 20, "JSON number out of range")},
      {"beyond 128 bits", kHead + "metadata.x = 340282366920938463463374607431768211456\n",
       report(4, 14, "metadata.x = 340282366920938463463374607431768211456", 39,
              "integer number overflowed")},
      {"float beyond 64 bits", kHead + "metadata.x = 1e400\n",
       report(4, 14, "metadata.x = 1e400", 5, "floating-point number overflowed")},
      {"big integer as a body", "name = 'n'\nrole = 'user'\nbody = 9223372036854775808\n",
       report(3, 8, "body = 9223372036854775808", 19,
              "invalid type: integer `9223372036854775808`, expected a string")},
      {"huge integer as a body", "name = 'n'\nrole = 'user'\nbody = -9223372036854775809\n",
       report(3, 8, "body = -9223372036854775809", 20,
              "invalid type: integer `-9223372036854775809` as i128, expected a string")},
      {"float as a body", "name = 'n'\nrole = 'user'\nbody = 1e3\n",
       report(3, 8, "body = 1e3", 3, "invalid type: floating point `1000.0`, expected a string")},
  });
}

TEST(TomlReader, ReadsTheRoleShapes) {
  const std::string tail = "name = 'n'\nbody = 'b'\n";
  const std::string assistant = R"({"body":"b","name":"n","role":"assistant"})";
  expect_outcomes({
      {"word", tail + "role = 'assistant'\n", assistant},
      {"table to an empty table", tail + "role = { assistant = {} }\n", assistant},
      {"table to an empty array", tail + "role = { assistant = [] }\n", assistant},
      {"header table", tail + "[role.assistant]\n", assistant},
      {"capitalised word", tail + "role = 'System'\n",
       report(3, 8, "role = 'System'", 8,
              "unknown variant `System`, expected one of `system`, `user`, `assistant`")},
      {"empty table", tail + "role = {}\n",
       report(3, 8, "role = {}", 2, "wanted exactly 1 element, found 0 elements")},
      {"two entries", tail + "role = { a = {}, b = {} }\n",
       report(3, 8, "role = { a = {}, b = {} }", 18,
              "wanted exactly 1 element, more than 1 element")},
      {"number", tail + "role = 1\n", report(3, 8, "role = 1", 1, "wanted string or table")},
      {"array", tail + "role = ['user']\n",
       report(3, 8, "role = ['user']", 8, "wanted string or table")},
      {"non-empty table payload", tail + "role = { user = { a = 1 } }\n",
       report(3, 17, "role = { user = { a = 1 } }", 9, "expected empty table")},
      {"non-empty array payload", tail + "role = { user = [1] }\n",
       report(3, 17, "role = { user = [1] }", 3, "expected empty array")},
      {"string payload", tail + "role = { user = 'x' }\n",
       report(3, 17, "role = { user = 'x' }", 3, "expected table, found string")},
      {"float payload", tail + "role = { user = 1.5 }\n",
       report(3, 17, "role = { user = 1.5 }", 3, "expected table, found float")},
      {"datetime payload", tail + "role = { user = 07:00:00 }\n",
       report(3, 17, "role = { user = 07:00:00 }", 8, "expected table, found datetime")},
      {"non-empty header table payload", tail + "[role.user]\na = 1\n",
       report(3, 1, "[role.user]", 11, "expected empty table")},
      {"unknown word as the key", tail + "role = { boss = {} }\n",
       report(3, 10, "role = { boss = {} }", 4,
              "unknown variant `boss`, expected one of `system`, `user`, `assistant`")},
  });
}

TEST(TomlReader, CountsColumnsInCharactersAndKeepsCarriageReturns) {
  expect_outcomes({
      {"multi-byte characters before the error", kHead + "metadata.\"ünï\" = 1\nzz = 1\n",
       report(5, 1, "zz = 1", 2, "unknown field `zz`, expected " + kDefinitionKeys)},
      {"error after multi-byte characters", "name = 'ñ'\nrole = 'user'\nbody = 'é' \nx = 1\n",
       report(4, 1, "x = 1", 1, "unknown field `x`, expected " + kDefinitionKeys)},
      {"column counts characters", "name = 'n'\nrole = 'user'\nbody = 'b'\nvariables.ü = 1\n",
       report(4, 15, "variables.ü = 1", 1,
              "invalid type: integer `1`, expected struct PromptVariable")},
      {"crlf lines", "name = 'n'\r\nrole = 'user'\r\nbody = 'b'\r\nxx = 1\r\n",
       report(4, 1, "xx = 1\r", 2, "unknown field `xx`, expected " + kDefinitionKeys)},
  });
}

TEST(TomlReader, ReadsKeysOfAnyScript) {
  // Latin-1, Cyrillic, kana and Arabic presentation forms, quoted and bare, in keys and values.
  EXPECT_EQ(
      outcome(kHead + "[metadata]\n\"café\" = 'é'\nключ = 'я'\n\"かな\" = \"ア\"\n\"ﻼ\" = 1\n"),
      R"({"body":"b","metadata":{"café":"é","ключ":"я","かな":"ア","ﻼ":1},"name":"n","role":"user"})");
}

TEST(TomlReader, SurvivesHostileInput) {
  const std::vector<std::string> texts = {
      "body = '\xff'\n",
      "body = 'abc",
      "a = " + std::string(100000, '['),
      "a = " + std::string(100000, '{'),
      std::string(50000, '[') + "a" + std::string(50000, ']') + " = 1",
      "a = 99999999999999999999999999999999999999999999999999999999999999999999999999999\n",
      std::string("name = 'n\0'", 11),
      [] {
        std::string deep = "metadata";
        for (int i = 0; i < 100000; ++i) deep += ".a";
        return deep + " = 1\n";
      }(),
      [] {
        std::string deep = "[metadata";
        for (int i = 0; i < 100000; ++i) deep += ".a";
        return deep + "]\n";
      }(),
  };
  for (const std::string& text : texts) {
    auto result = read_definition_from_toml(text);
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().display().starts_with("TOML parse error at line "));
    EXPECT_TRUE(result.error().display().ends_with("\n"));
  }
  const std::string full =
      kHead +
      "output_model = 'M'\n[variables.city]\ndescription = \"\"\"x\ny\"\"\"\ntrusted "
      "= true\ntype = ['string', 'null']\n[metadata]\nwhen = "
      "1979-05-27T00:32:00.5-07:00\nlist = [1, 2.5, { a = 'b' }]\n";
  ASSERT_TRUE(read_definition_from_toml(full)) << outcome(full);
  for (std::size_t length = 0; length < full.size(); ++length) {
    auto result = read_definition_from_toml(full.substr(0, length));
    if (!result) {
      EXPECT_TRUE(result.error().display().starts_with("TOML parse error at line "));
    }
  }
}

}  // namespace
}  // namespace velloquin::core
