#include "library/error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velloquin::error {
namespace {

using Kind = core::KernelError::Kind;

struct Case {
  const char* what;
  Kind kind;
  std::string text;
  bool reveal;
  FieldError expected;
};

const std::string kEngineRender = "invalid operation: tried to add secret-value-42 (in kernel:1)";
const std::string kEngineParse = "syntax error: unexpected end of input (in kernel:3)";
const std::string kEngineUndefined = "undefined value (in kernel:2)";
const std::string kEngineExcluded = "syntax error: unknown statement include (in kernel:1)";
const std::string kGuardSentence =
    "a guard advisory override must reference the delimiter contract; missing: <untrusted>";
const std::string kOddText = "a `tick`\nline two \u00e9\u4e2d";

std::vector<Case> Cases() {
  std::vector<Case> cases = {
      {"unknown variant carries the name verbatim",
       Kind::UnknownVariant,
       "Default",
       false,
       {"variant", "unknown_variant", "unknown variant: `Default`"}},
      {"unknown variant with the empty name",
       Kind::UnknownVariant,
       "",
       false,
       {"variant", "unknown_variant", "unknown variant: ``"}},
      {"excluded feature drops the engine text",
       Kind::ExcludedFeature,
       kEngineExcluded,
       false,
       {"template", "excluded_feature", "template uses an excluded feature"}},
      {"parse keeps the whole engine text",
       Kind::Parse,
       kEngineParse,
       false,
       {"template", "parse", "template parse error: " + kEngineParse}},
      {"undefined variable uses the text as field and in the message",
       Kind::UndefinedVariable,
       kEngineUndefined,
       false,
       {kEngineUndefined, "undefined_variable",
        "undefined variable at render: `" + kEngineUndefined + "`"}},
      {"render drops the engine text",
       Kind::Render,
       kEngineRender,
       false,
       {"template", "render", "render error"}},
      {"invalid guard advisory keeps the sentence",
       Kind::InvalidGuardAdvisory,
       kGuardSentence,
       false,
       {"guard", "render", "guard advisory override is invalid: " + kGuardSentence}},
      {"odd characters are inserted unchanged",
       Kind::Parse,
       kOddText,
       false,
       {"template", "parse", "template parse error: " + kOddText}},
      {"odd characters in an unknown variant",
       Kind::UnknownVariant,
       kOddText,
       false,
       {"variant", "unknown_variant", "unknown variant: `" + kOddText + "`"}},
  };
  // Revealing changes the render row only; every other kind reads the same.
  const std::size_t unrevealed = cases.size();
  for (std::size_t i = 0; i < unrevealed; ++i) {
    Case revealed = cases[i];
    revealed.reveal = true;
    if (revealed.kind == Kind::Render) revealed.expected.message = revealed.text;
    cases.push_back(revealed);
  }
  return cases;
}

TEST(ConsumerErrorFromKernel, TranslatesEachKindToOneRenderRow) {
  for (const Case& c : Cases()) {
    const ConsumerError got =
        ConsumerError::from_kernel_revealing(core::KernelError{c.kind, c.text}, c.reveal);
    const ConsumerError expected = ConsumerError::Render{{c.expected}};
    EXPECT_EQ(got, expected) << c.what << (c.reveal ? " (revealing)" : "");
  }
}

TEST(ConsumerErrorFromKernel, ScrubbingIsTheUnrevealedConversion) {
  for (const Case& c : Cases()) {
    if (c.reveal) continue;
    EXPECT_EQ(ConsumerError::from_kernel(core::KernelError{c.kind, c.text}),
              ConsumerError::from_kernel_revealing(core::KernelError{c.kind, c.text}, false))
        << c.what;
  }
}

TEST(ConsumerErrorFromKernel, RevealedRenderRowIsTheEngineTextVerbatim) {
  const ConsumerError got =
      ConsumerError::from_kernel_revealing(core::KernelError{Kind::Render, kEngineRender}, true);
  const auto& render = std::get<ConsumerError::Render>(got.payload());
  ASSERT_EQ(render.rows.size(), 1u);
  EXPECT_EQ(render.rows[0], (FieldError{"template", "render", kEngineRender}));
}

TEST(ConsumerErrorFromKernel, ScrubbedRenderRowHoldsNoTraceOfTheEngineText) {
  const ConsumerError got =
      ConsumerError::from_kernel(core::KernelError{Kind::Render, kEngineRender});
  const auto& row = std::get<ConsumerError::Render>(got.payload()).rows.at(0);
  for (const std::string& text : {row.field, row.code, row.message}) {
    EXPECT_EQ(text.find("secret-value-42"), std::string::npos) << text;
  }
}

TEST(ConsumerError, KindsKeepTheirTagOrder) {
  EXPECT_EQ(ConsumerError(ConsumerError::Validation{}).payload().index(), 0u);
  EXPECT_EQ(ConsumerError(ConsumerError::Render{}).payload().index(), 1u);
  EXPECT_EQ(ConsumerError(ConsumerError::Load{"x"}).payload().index(), 2u);
}

}  // namespace
}  // namespace velloquin::error
