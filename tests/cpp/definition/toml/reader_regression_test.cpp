// Texts the fuzz targets found mishandled by a reader, each kept with the outcome it must have.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definition/toml/toml_reader.h"

namespace velloquin::core {
namespace {

struct Case {
  const char* what;
  std::string text;
  std::string expected;  // the whole report
};

// A table header or a dotted key whose next part starts with a character that can start no key
// broke an assertion inside toml++ (an abort in debug builds, an optimiser assumption under
// clang). The parser's own error is the outcome in every build.
TEST(TomlRegression, KeyPartStartingWithNoKeyCharacter) {
  const std::string message =
      "Error while parsing key: expected bare key starting character or string delimiter, saw "
      "','\n";
  const std::vector<Case> cases = {
      {"table header", "[,a]\n",
       "TOML parse error at line 1, column 2\n  |\n1 | [,a]\n  |  ^\n" + message},
      {"array-of-tables header", "body = \"b\"\n[[ ,x]]\n",
       "TOML parse error at line 2, column 4\n  |\n2 | [[ ,x]]\n  |    ^\n" + message},
      {"after a dot in a header", "[ \"a\" . , ]\n",
       "TOML parse error at line 1, column 9\n  |\n1 | [ \"a\" . , ]\n  |         ^\n" + message},
      {"found by the fuzzer",
       "\n[,a`]\x1a"
       "b \x1a"
       "b = = X1\n",
       "TOML parse error at line 2, column 2\n  |\n2 | [,a`]\x1a"
       "b \x1a"
       "b = = X1\n  |  ^\n" +
           message},
  };
  for (const Case& c : cases) {
    auto read = read_definition_from_toml(c.text);
    ASSERT_FALSE(read.ok()) << c.what;
    EXPECT_EQ(read.error().display(), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace velloquin::core
