#include "definition/prompt_definition.h"

#include <gtest/gtest.h>

namespace velloquin::core {
namespace {

TEST(PromptDefinitionName, AcceptsAnyNonEmptyText) {
  for (std::string_view text : {" ", "é", "greet"}) {
    auto name = PromptDefinitionName::from_str(text);
    ASSERT_TRUE(name.ok()) << text;
    EXPECT_EQ(name->str(), text);
  }
  auto empty = PromptDefinitionName::from_str("");
  ASSERT_FALSE(empty.ok());
  EXPECT_EQ(empty.error().display(), "shorter than 1 characters");
}

}  // namespace
}  // namespace velloquin::core
