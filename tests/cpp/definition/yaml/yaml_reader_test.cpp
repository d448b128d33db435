#include "definition/yaml/yaml_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definition/definition_writer.h"

namespace velloquin::core {
namespace {

// A definition's three required keys, for texts that test something else.
const std::string kHead = "body: b\nname: n\nrole: user\n";

struct Case {
  std::string name;
  std::string text;
  std::string expected;  // the definition written out as JSON, or the exact error text
};

std::string outcome(const std::string& text) {
  auto definition = read_definition_from_yaml(text);
  if (!definition) return definition.error().display();
  return to_json(*definition).dump();
}

void expect_outcomes(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(outcome(c.text), c.expected) << c.name;
}

std::string nested_sequences(int depth) {
  return std::string(static_cast<std::size_t>(depth), '[') +
         std::string(static_cast<std::size_t>(depth), ']');
}

TEST(YamlReader, ReadsExactlyOneDocument) {
  const std::string plain = R"({"body":"b","name":"n","role":"user"})";
  expect_outcomes({
      {"empty text", "", "EOF while parsing a value"},
      {"comments only", "# nothing here\n  # or here\n", "EOF while parsing a value"},
      {"document end marker alone is a broken stream", "...\n",
       "did not find expected node content, while parsing a block node"},
      {"explicitly empty document", "---\n", "missing field `body` at line 2 column 1"},
      {"plain definition", kHead, plain},
      {"definition after a start marker", "---\n" + kHead, plain},
      {"definition then an end marker", kHead + "...\n", plain},
      {"a second document", kHead + "---\nbody: y\n",
       "deserializing from YAML containing more than one document is not supported"},
      {"a second, empty document", kHead + "---\n",
       "deserializing from YAML containing more than one document is not supported"},
      {"a broken second document", kHead + "---\n[\n",
       "deserializing from YAML containing more than one document is not supported"},
      {"a shape error wins over a second document", "name: n\nrole: user\n---\nbody: y\n",
       "missing field `body`"},
  });
}

// One leading byte-order mark is cut off; positions count as if the text started after it.
TEST(YamlReader, SkipsOneLeadingByteOrderMark) {
  const std::string mark = "\xEF\xBB\xBF";
  const std::string plain = R"({"body":"b","name":"n","role":"user"})";
  expect_outcomes({
      {"before the definition", mark + kHead, plain},
      {"before a start marker", mark + "---\n" + kHead, plain},
      {"before a definition lacking body", mark + "name: n\nrole: user\n", "missing field `body`"},
      {"columns on the first line", mark + "body: {a: 1}\n",
       "body: invalid type: map, expected a string at line 1 column 7"},
      {"lines after a comment", mark + "# c\nname: n\nrole: user\n",
       "missing field `body` at line 2 column 1"},
      {"alone", mark, "EOF while parsing a value"},
      {"inside a text it stays text", "body: " + mark + "b\nname: n\nrole: user\n",
       R"({"body":")" + mark + R"(b","name":"n","role":"user"})"},
  });
}

TEST(YamlReader, PlacesShapeErrorsByPathAndMark) {
  expect_outcomes({
      {"missing body at the very start", "name: n\nrole: user\n", "missing field `body`"},
      {"missing body after a comment", "# c\nname: n\nrole: user\n",
       "missing field `body` at line 2 column 1"},
      {"bad boolean in a nested record",
       "variables:\n  city:\n    trusted: yes\n    type: string\n" + kHead,
       "variables.city.trusted: invalid type: string \"yes\", expected a boolean at line 3 column "
       "14"},
      {"quoted true is text", kHead + "variables:\n  d: {trusted: \"true\", type: string}\n",
       "variables.d.trusted: invalid type: string \"true\", expected a boolean at line 5 column "
       "16"},
      {"empty boolean is the unit value", kHead + "variables:\n  d:\n    trusted:\n",
       "variables.d.trusted: invalid type: unit value, expected a boolean at line 6 column 13"},
      {"unknown field is placed on its key, with the record's path",
       kHead + "variables:\n  b:\n    <<: {}\n",
       "variables.b: unknown field `<<`, expected one of `description`, `trusted`, `type`, "
       "`validation_required` at line 6 column 5"},
      {"capitalised key", "name: n\nBody: x\n",
       "unknown field `Body`, expected one of `body`, `metadata`, `name`, `output_model`, `role`, "
       "`variables`, `variants` at line 2 column 1"},
      {"unknown key before a missing body", "name: n\nzzz: 1\n",
       "unknown field `zzz`, expected one of `body`, `metadata`, `name`, `output_model`, `role`, "
       "`variables`, `variants` at line 2 column 1"},
      {"repeated key is the record's error", "body: b\nbody: c\n", "duplicate field `body`"},
      {"empty name is placed on the record", "body: b\nname:\nrole: user\n",
       "shorter than 1 characters"},
      {"untagged type error is placed on the variable",
       kHead + "variables:\n  v: {trusted: true, type: [string, null]}\n",
       "variables.v: data did not match any variant of untagged enum PromptVariableType at line 5 "
       "column 6"},
      {"missing trusted is placed on the variable", kHead + "variables:\n  v:\n    type: string\n",
       "variables.v: missing field `trusted` at line 6 column 5"},
      {"empty variable value", kHead + "variables:\n  v:\n",
       "variables.v: missing field `trusted` at line 5 column 5"},
      {"empty variant value", kHead + "variants:\n  v:\n",
       "variants.v: missing field `body` at line 5 column 5"},
      {"sequence element path", kHead + "metadata: {a: [1, !x y]}\n",
       "metadata.a[1]: invalid type: enum, expected any valid JSON value at line 4 column 19"},
      {"value of a non-scalar key", kHead + "metadata:\n  k: &k key\n  *k : !x 1\n",
       "metadata.?: invalid type: enum, expected any valid JSON value at line 6 column 8"},
      {"non-scalar record key", kHead + "? [a]\n: b\n",
       "invalid type: sequence, expected field identifier at line 4 column 3"},
      {"non-scalar map key", kHead + "metadata: {[a]: 1}\n",
       "metadata: invalid type: sequence, expected a string at line 4 column 12"},
  });
}

TEST(YamlReader, RecordsAreMappingsOnly) {
  expect_outcomes({
      {"sequence as the definition", "- a\n",
       "invalid type: sequence, expected struct PromptDefinition"},
      {"scalar as the definition", "hello\n",
       "invalid type: string \"hello\", expected struct PromptDefinition"},
      {"null as the definition", "~\n",
       "invalid type: unit value, expected struct PromptDefinition"},
      {"number as the definition", "5\n",
       "invalid type: integer `5`, expected struct PromptDefinition"},
      {"no positional variable", kHead + "variables: {v: [true, string]}\n",
       "variables.v: invalid type: sequence, expected struct PromptVariable at line 4 column 16"},
      {"no positional variant", kHead + "variants: {s: [x]}\n",
       "variants.s: invalid type: sequence, expected struct PromptVariant at line 4 column 15"},
      {"a tag on a record's mapping is ignored",
       kHead + "variants: {s: !thing {body: x, metadata: !!map {a: 1}}}\n",
       R"({"body":"b","name":"n","role":"user","variants":{"s":{"body":"x","metadata":{"a":1}}}})"},
  });
}

TEST(YamlReader, ReadsScalarsByField) {
  const std::string plain = R"({"body":"b","name":"n","role":"user"})";
  expect_outcomes({
      {"name of one space", "body: b\nname: ' '\nrole: user\n",
       R"({"body":"b","name":" ","role":"user"})"},
      {"name of one multi-byte character", "body: b\nname: é\nrole: user\n",
       R"({"body":"b","name":"é","role":"user"})"},
      {"type as bare null", kHead + "variables: {v: {trusted: false, type: \"null\"}}\n",
       "variables.v: data did not match any variant of untagged enum PromptVariableType at line 4 "
       "column 16"},
      {"type as a number", kHead + "variables: {v: {trusted: false, type: 5}}\n",
       "variables.v: data did not match any variant of untagged enum PromptVariableType at line 4 "
       "column 16"},
      {"type with a local tag", kHead + "variables: {v: {trusted: false, type: !x string}}\n",
       "variables.v.type: untagged and internally tagged enums do not support enum input at line 4 "
       "column 39"},
      {"body of digits", "body: 42\nname: n\nrole: user\n",
       R"({"body":"42","name":"n","role":"user"})"},
      {"body ~ is text", "body: ~\nname: n\nrole: user\n",
       R"({"body":"~","name":"n","role":"user"})"},
      {"body null is text", "body: null\nname: n\nrole: user\n",
       R"({"body":"null","name":"n","role":"user"})"},
      {"empty body", "body:\nname: n\nrole: user\n", R"({"body":"","name":"n","role":"user"})"},
      {"tagged body keeps its text", "body: !!int 0x10\nname: n\nrole: user\n",
       R"({"body":"0x10","name":"n","role":"user"})"},
      {"body as a mapping", "body: {a: 1}\n",
       "body: invalid type: map, expected a string at line 1 column 7"},
      {"output_model ~", kHead + "output_model: ~\n", plain},
      {"output_model null", kHead + "output_model: null\n", plain},
      {"output_model NULL", kHead + "output_model: NULL\n", plain},
      {"output_model empty", kHead + "output_model:\n", plain},
      {"output_model quoted null", kHead + "output_model: \"null\"\n",
       R"({"body":"b","name":"n","output_model":"null","role":"user"})"},
      {"output_model tagged null", kHead + "output_model: !!null ~\n", plain},
      {"output_model tagged null of another text", kHead + "output_model: !!null x\n",
       "output_model: invalid value: string \"x\", expected null at line 4 column 15"},
      {"output_model tagged null of a word", kHead + "output_model: !!null none\n",
       "output_model: invalid value: string \"none\", expected null at line 4 column 15"},
      {"output_model tagged empty null", kHead + "output_model: !!null\n",
       "output_model: invalid value: string \"\", expected null at line 4 column 15"},
      {"description tagged null of another text",
       kHead + "variables:\n  city:\n    description: !!null x\n",
       "variables.city.description: invalid value: string \"x\", expected null at line 6 column "
       "18"},
      {"description null",
       kHead + "variables: {v: {description: null, trusted: true, type: string}}\n",
       R"({"body":"b","name":"n","role":"user","variables":{"v":{"trusted":true,"type":"string","validation_required":false}}})"},
      {"trusted True", kHead + "variables: {v: {trusted: True, type: string}}\n",
       R"({"body":"b","name":"n","role":"user","variables":{"v":{"trusted":true,"type":"string","validation_required":false}}})"},
      {"trusted as a tagged literal block",
       kHead + "variables:\n  v:\n    trusted: !!bool |-\n      true\n    type: string\n",
       R"({"body":"b","name":"n","role":"user","variables":{"v":{"trusted":true,"type":"string","validation_required":false}}})"},
      {"a tagged literal block keeps its line feed",
       kHead + "variables:\n  v:\n    trusted: !!bool |\n      true\n    type: string\n",
       "variables.v.trusted: invalid value: string \"true\\n\", expected a boolean at line 6 "
       "column "
       "14"},
      {"an untagged literal block is text",
       kHead + "variables:\n  v:\n    trusted: |-\n      true\n    type: string\n",
       "variables.v.trusted: invalid type: string \"true\", expected a boolean at line 6 column "
       "14"},
      {"trusted 1", kHead + "variables: {v: {trusted: 1, type: string}}\n",
       "variables.v.trusted: invalid type: integer `1`, expected a boolean at line 4 column 26"},
      {"trusted tagged with a bad boolean", kHead + "variables: {v: {trusted: !!bool yes}}\n",
       "variables.v.trusted: invalid value: string \"yes\", expected a boolean at line 4 column "
       "26"},
      {"role quoted", "body: b\nname: n\nrole: \"assistant\"\n",
       R"({"body":"b","name":"n","role":"assistant"})"},
      {"role capitalised", "body: b\nname: n\nrole: System\n",
       "role: unknown variant `System`, expected one of `system`, `user`, `assistant` at line 3 "
       "column 7"},
      {"role empty", "body: b\nname: n\nrole:\n",
       "role: unknown variant ``, expected one of `system`, `user`, `assistant` at line 3 column "
       "6"},
      {"role as a mapping", "body: b\nname: n\nrole: {user: ~}\n",
       "role: invalid type: map, expected a YAML tag starting with '!' at line 3 column 7"},
      {"role as a sequence", "body: b\nname: n\nrole: [user]\n",
       "role: invalid type: sequence, expected a YAML tag starting with '!' at line 3 column 7"},
      {"type list keeps order and repeats",
       kHead + "variables: {v: {trusted: false, type: [string, string, \"null\"]}}\n",
       R"({"body":"b","name":"n","role":"user","variables":{"v":{"trusted":false,"type":["string","string","null"],"validation_required":false}}})"},
      {"type as an empty list", kHead + "variables: {v: {trusted: false, type: []}}\n",
       R"({"body":"b","name":"n","role":"user","variables":{"v":{"trusted":false,"type":[],"validation_required":false}}})"},
      {"type capitalised", kHead + "variables: {v: {trusted: false, type: String}}\n",
       "variables.v: data did not match any variant of untagged enum PromptVariableType at line 4 "
       "column 16"},
      {"type as a one-entry mapping to null",
       kHead + "variables: {v: {trusted: false, type: {string: ~}}}\n",
       R"({"body":"b","name":"n","role":"user","variables":{"v":{"trusted":false,"type":"string","validation_required":false}}})"},
      {"type as a one-entry mapping to an empty mapping",
       kHead + "variables: {v: {trusted: false, type: {string: {}}}}\n",
       "variables.v: data did not match any variant of untagged enum PromptVariableType at line 4 "
       "column 16"},
  });
}

TEST(YamlReader, ReadsMapsAndMetadata) {
  expect_outcomes({
      {"empty variables", kHead + "variables:\n", R"({"body":"b","name":"n","role":"user"})"},
      {"null variables", kHead + "variables: ~\n",
       "variables: invalid type: unit value, expected a map at line 4 column 12"},
      {"sequence metadata", kHead + "metadata: [1]\n",
       "metadata: invalid type: sequence, expected a map at line 4 column 11"},
      {"keys by their text", kHead + "metadata: {1: a, true: b, ~: c, 0x10: d, 'q': e}\n",
       R"({"body":"b","metadata":{"0x10":"d","1":"a","q":"e","true":"b","~":"c"},"name":"n","role":"user"})"},
      {"later key wins", kHead + "metadata: {a: 1, a: 2}\n",
       R"({"body":"b","metadata":{"a":2},"name":"n","role":"user"})"},
      {"later variable wins",
       kHead + "variables: {v: {trusted: true, type: string}, v: {trusted: false, type: number}}\n",
       R"({"body":"b","name":"n","role":"user","variables":{"v":{"trusted":false,"type":"number","validation_required":false}}})"},
      {"scalar kinds",
       kHead + "metadata: {a: 0x10, b: 0123, c: \"5\", d: .inf, e: -.5, f: ~, g: yes, h: "
               "18446744073709551615, i: -9223372036854775808, j: 1e3, k: !!str 5, l: !!float "
               "2, m: .nan}\n",
       R"({"body":"b","metadata":{"a":16,"b":"0123","c":"5","d":null,"e":-0.5,"f":null,"g":"yes","h":18446744073709551615,"i":-9223372036854775808,"j":1000.0,"k":"5","l":2.0,"m":null},"name":"n","role":"user"})"},
      {"integer beyond 64 bits", kHead + "metadata: {a: 18446744073709551616}\n",
       "metadata.a: JSON number out of range at line 4 column 15"},
      {"negative integer beyond 64 bits", kHead + "metadata: {a: -9223372036854775809}\n",
       "metadata.a: JSON number out of range at line 4 column 15"},
      {"decimal beyond 128 bits is a float",
       kHead + "metadata: {a: 999999999999999999999999999999999999999999}\n",
       R"({"body":"b","metadata":{"a":1e+42},"name":"n","role":"user"})"},
      {"local tag", kHead + "metadata: {a: !custom x}\n",
       "metadata.a: invalid type: enum, expected any valid JSON value at line 4 column 15"},
      {"local tag on a collection", kHead + "metadata: {a: !custom [x]}\n",
       "metadata.a: invalid type: enum, expected any valid JSON value at line 4 column 15"},
      {"strict integer tag", kHead + "metadata: {a: !!int x}\n",
       "metadata.a: invalid value: string \"x\", expected an integer at line 4 column 15"},
      {"merge key is an ordinary key", kHead + "metadata:\n  base: &b {x: 1}\n  <<: *b\n",
       R"({"body":"b","metadata":{"<<":{"x":1},"base":{"x":1}},"name":"n","role":"user"})"},
      {"merge key names a variable", kHead + "variables:\n  <<: {trusted: true, type: string}\n",
       R"({"body":"b","name":"n","role":"user","variables":{"<<":{"trusted":true,"type":"string","validation_required":false}}})"},
  });
}

TEST(YamlReader, ReplaysAliases) {
  expect_outcomes({
      {"a merge of an aliased record is an unknown field",
       kHead + "variables:\n  a: &v {trusted: true, type: string}\n  b:\n    <<: *v\n",
       "variables.b: unknown field `<<`, expected one of `description`, `trusted`, `type`, "
       "`validation_required` at line 7 column 5"},
      {"a variable reused under a second name",
       kHead + "variables:\n  a: &v {trusted: true, type: string}\n  b: *v\n",
       R"({"body":"b","name":"n","role":"user","variables":{"a":{"trusted":true,"type":"string","validation_required":false},"b":{"trusted":true,"type":"string","validation_required":false}}})"},
      {"an aliased text", "body: &x b\nname: *x\nrole: user\n",
       R"({"body":"b","name":"b","role":"user"})"},
      {"an aliased role", "body: &r user\nname: n\nrole: *r\n",
       R"({"body":"user","name":"n","role":"user"})"},
      {"an aliased null output model", kHead + "metadata: {a: &z ~}\noutput_model: *z\n",
       R"({"body":"b","metadata":{"a":null},"name":"n","role":"user"})"},
      {"an anchor defined again names its latest node",
       "body: &x one\nname: &x two\nrole: user\noutput_model: *x\n",
       R"({"body":"one","name":"two","output_model":"two","role":"user"})"},
      {"unknown anchor", "body: *x\n", "unknown anchor at line 1 column 7"},
      {"alias to an anchor defined later", "body: *x\nname: &x n\n",
       "unknown anchor at line 1 column 7"},
      {"self-referencing sequence", kHead + "metadata: {a: &x [*x]}\n",
       "recursion limit exceeded at line 4 column 15"},
  });
}

TEST(YamlReader, EnforcesTheNestingLimit) {
  // The definition and the metadata mapping are two of the 128 collections allowed.
  const std::string at_limit = kHead + "metadata: {a: " + nested_sequences(126) + "}\n";
  EXPECT_TRUE(read_definition_from_yaml(at_limit)) << outcome(at_limit);
  expect_outcomes({
      {"one collection more", kHead + "metadata: {a: " + nested_sequences(127) + "}\n",
       "recursion limit exceeded at line 4 column 141"},
      {"nesting far beyond the limit", kHead + "metadata: {a: " + nested_sequences(100000) + "}\n",
       "recursion limit exceeded at line 4 column 141"},
      {"nested mappings in a type",
       kHead + "variables: {v: {trusted: true, type: " + std::string(200, '[') +
           std::string(200, ']') + "}}\n",
       "recursion limit exceeded at line 4 column 163"},
  });
}

TEST(YamlReader, CountsOnlyOpenCollectionsTowardsTheLimit) {
  // Many collections one after another, none deeper than three.
  std::string text = kHead + "metadata:\n";
  for (int i = 0; i < 300; ++i) text += "  k" + std::to_string(i) + ": [{a: 1}]\n";
  auto definition = read_definition_from_yaml(text);
  ASSERT_TRUE(definition) << definition.error().display();
  EXPECT_EQ(definition->metadata.size(), 300u);
}

// Appends metadata entries `b` to `last`, each anchoring a list of nine aliases of the entry
// before it, so that every entry replays the one before nine times.
void append_alias_chain(std::string& text, char last) {
  for (char name = 'b'; name <= last; ++name) {
    const char previous = static_cast<char>(name - 1);
    text += std::string("  ") + name + ": &" + name + " [";
    for (int i = 0; i < 9; ++i) text += std::string(i ? ", *" : "*") + previous;
    text += "]\n";
  }
}

TEST(YamlReader, StopsAliasBombs) {
  std::string bomb = kHead + "metadata:\n  a: &a [lol, lol, lol, lol, lol, lol, lol, lol, lol]\n";
  append_alias_chain(bomb, 'j');
  EXPECT_EQ(outcome(bomb), "repetition limit exceeded");
  // The same bomb reached through the variable type, which buffers the whole value.
  std::string typed = bomb;
  typed += "variables: {v: {trusted: true, type: *j}}\n";
  EXPECT_EQ(outcome(typed), "repetition limit exceeded");
}

TEST(YamlReader, StopsAliasBombsBuiltOnOneLargeNode) {
  // Few replays, each of a large node: the replayed events, not the replays, hit the limit.
  std::string text = kHead + "metadata:\n  a: &a [";
  for (int i = 0; i < 2000; ++i) text += "x, ";
  text += "x]\n";
  append_alias_chain(text, 'h');
  EXPECT_EQ(outcome(text), "repetition limit exceeded");
  // Replaying a large node a few times stays well within the limit.
  const std::string reused = kHead + "metadata:\n  a: &a [x, x, x, x]\n  b: *a\n  c: *a\n";
  EXPECT_EQ(
      outcome(reused),
      R"({"body":"b","metadata":{"a":["x","x","x","x"],"b":["x","x","x","x"],"c":["x","x","x","x"]},"name":"n","role":"user"})");
}

TEST(YamlReader, ReportsSyntaxErrorsAsLibyamlPlacesThem) {
  expect_outcomes({
      {"unterminated quote", "body: 'abc",
       "found unexpected end of stream at line 1 column 11, while scanning a quoted scalar at "
       "line 1 column 7"},
      {"unclosed flow sequence", kHead + "metadata: {a: [1, 2\n",
       "did not find expected ',' or ']' at line 5 column 1, while parsing a flow sequence at "
       "line 4 column 15"},
      {"context at the start of the text is not placed", kHead + ": x\n",
       "did not find expected key at line 4 column 1, while parsing a block mapping"},
      {"tab indentation", "body: b\n\tname: n\n",
       "found a tab character that violates indentation at line 2 column 1, while scanning a plain "
       "scalar at line 1 column 7"},
      {"invalid UTF-8", "body: \"\xff\"\n", "invalid leading UTF-8 octet at position 7"},
      {"truncated UTF-8", "body: \"\xc3", "incomplete UTF-8 octet sequence at position 7"},
  });
}

TEST(YamlReader, CrlfLinesCountLikeLf) {
  EXPECT_EQ(outcome("body: b\r\nname: n\r\nrole: nope\r\n"),
            "role: unknown variant `nope`, expected one of `system`, `user`, `assistant` at line 3 "
            "column 7");
}

TEST(YamlReader, SurvivesTruncatedDocuments) {
  const std::string full = kHead +
                           "variables:\n  city: &c {description: \"x\", trusted: true, type: "
                           "[string, \"null\"]}\n  town: *c\nmetadata: {a: [1, {b: !!int 2}], "
                           "c: 'q'}\nvariants:\n  s:\n    body: |\n      text\n";
  ASSERT_TRUE(read_definition_from_yaml(full)) << outcome(full);
  for (std::size_t length = 0; length < full.size(); ++length) {
    // Every prefix either reads or fails with a message; none crashes or hangs.
    const std::string prefix = full.substr(0, length);
    auto result = read_definition_from_yaml(prefix);
    if (!result) {
      EXPECT_FALSE(result.error().display().empty()) << prefix;
    }
  }
}

}  // namespace
}  // namespace velloquin::core
