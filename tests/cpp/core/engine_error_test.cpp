#include "core/engine_error.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace velloquin::core {
namespace {

using Kind = KernelError::Kind;
using jinja::ErrorKind;

jinja::Error engine_error(ErrorKind kind, std::optional<std::string> detail, std::uint32_t line) {
  jinja::Error error(kind, std::move(detail));
  error.set_location("kernel", line);
  return error;
}

TEST(MapEngineError, SortsSyntaxErrorsIntoExcludedFeatureAndParse) {
  struct Case {
    std::string detail;
    Kind kind;
  };
  const Case cases[] = {
      {"unknown statement include", Kind::ExcludedFeature},
      {"unknown statement extends", Kind::ExcludedFeature},
      {"unknown statement import", Kind::ExcludedFeature},
      {"unknown statement from", Kind::ExcludedFeature},
      {"unknown statement macro", Kind::ExcludedFeature},
      {"unknown statement block", Kind::ExcludedFeature},
      // The engine spells the statement as written; the test ignores ASCII case.
      {"unknown statement INCLUDE", Kind::ExcludedFeature},
      {"unknown statement MaCrO", Kind::ExcludedFeature},
      // A substring test: statements that merely begin with an excluded name count too.
      {"unknown statement blocks", Kind::ExcludedFeature},
      {"unknown statement imported", Kind::ExcludedFeature},
      {"unknown statement fromage", Kind::ExcludedFeature},
      {"unknown statement macros", Kind::ExcludedFeature},
      // Unknown statements that are not excluded features.
      {"unknown statement call", Kind::Parse},
      {"unknown statement continue", Kind::Parse},
      {"unknown statement break", Kind::Parse},
      {"unknown statement endblock", Kind::Parse},
      {"unknown statement endmacro", Kind::Parse},
      {"unknown statement raw", Kind::Parse},
      // Only A-Z fold: non-ASCII letters neither fold nor get corrupted.
      {"unknown statement \xC3\x89include", Kind::Parse},
      {"unknown statement \xC4\xB0NCLUDE", Kind::Parse},
      {"unknown statement  include", Kind::Parse},
      {"unknown statementinclude", Kind::Parse},
      // Ordinary syntax errors: an unclosed "{{", an unclosed if.
      {"unexpected end of input, expected end of variable block", Kind::Parse},
      {"unexpected end of input, expected endif or else or elif", Kind::Parse},
      {"unexpected character", Kind::Parse},
  };
  for (const Case& c : cases) {
    const std::string display = "syntax error: " + c.detail + " (in kernel:1)";
    EXPECT_EQ(map_engine_error(engine_error(ErrorKind::SyntaxError, c.detail, 1)),
              (KernelError{c.kind, display}))
        << c.detail;
  }
}

TEST(MapEngineError, UndefinedCarriesTheDetailElseTheWholeText) {
  // Strict undefined behaviour raises the error without a detail: the text is not a name.
  EXPECT_EQ(map_engine_error(engine_error(ErrorKind::UndefinedError, std::nullopt, 3)),
            (KernelError{Kind::UndefinedVariable, "undefined value (in kernel:3)"}));
  EXPECT_EQ(map_engine_error(engine_error(ErrorKind::UndefinedError, "'who' is undefined", 2)),
            (KernelError{Kind::UndefinedVariable, "'who' is undefined"}));
  EXPECT_EQ(map_engine_error(jinja::Error(ErrorKind::UndefinedError)),
            (KernelError{Kind::UndefinedVariable, "undefined value"}));
}

TEST(MapEngineError, EveryOtherKindIsRenderWithTheWholeText) {
  EXPECT_EQ(
      map_engine_error(
          engine_error(ErrorKind::UnknownFilter, "filter vq_guard_wrap is unknown", 1)),
      (KernelError{Kind::Render, "unknown filter: filter vq_guard_wrap is unknown (in kernel:1)"}));
  EXPECT_EQ(map_engine_error(engine_error(ErrorKind::TooManyArguments, std::nullopt, 4)),
            (KernelError{Kind::Render, "too many arguments (in kernel:4)"}));
  // A detail naming an excluded statement changes nothing outside syntax errors.
  EXPECT_EQ(
      map_engine_error(engine_error(ErrorKind::InvalidOperation, "unknown statement include", 0)),
      (KernelError{Kind::Render, "invalid operation: unknown statement include (in kernel:0)"}));

  for (int raw = 0; raw <= static_cast<int>(ErrorKind::OutOfFuel); ++raw) {
    const auto kind = static_cast<ErrorKind>(raw);
    if (kind == ErrorKind::SyntaxError || kind == ErrorKind::UndefinedError) continue;
    const jinja::Error error = engine_error(kind, "detail", 7);
    EXPECT_EQ(map_engine_error(error), (KernelError{Kind::Render, error.display()}))
        << error.display();
  }
}

}  // namespace
}  // namespace velloquin::core
