// The engine limits a template meets through the kernel's render, at their edges: a template is
// the prompt author's code, and these are what stop it from running away on its own.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/kernel_definitions.h"
#include "core/render.h"

namespace velloquin::core {
namespace {

using Kind = KernelError::Kind;

std::string repeat(std::string_view piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

// "ok: TEXT" or "KIND: TEXT" (the kind's enumerator number).
std::string outcome(std::string_view body, const std::string& context = "{}") {
  auto rendered = render(testing::definition(body), std::nullopt, nlohmann::json::parse(context),
                         GuardConfig{});
  if (rendered) return "ok: " + rendered->text;
  return std::to_string(static_cast<int>(rendered.error().kind)) + ": " + rendered.error().text;
}

std::string failed(Kind kind, std::string_view text) {
  return std::to_string(static_cast<int>(kind)) + ": " + std::string(text);
}

// Recurses until loop.depth reaches `limit`, then prints it.
constexpr std::string_view kRecursion =
    "{% for x in [1] recursive %}{% if loop.depth < limit %}{{ loop([1]) }}"
    "{% else %}{{ loop.depth }}{% endif %}{% endfor %}";

TEST(RenderLimits, EachLimitHoldsAtItsEdge) {
  const std::string too_deep =
      "syntax error: template exceeds maximum recursion limits (in kernel:1)";
  struct Case {
    const char* what;
    std::string body;
    std::string context;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"recursion: root frame plus 499 levels", std::string(kRecursion), R"({"limit": 499})",
       "ok: 499"},
      {"recursion: one level more", std::string(kRecursion), R"({"limit": 500})",
       failed(Kind::Render, "invalid operation: recursion limit exceeded (in kernel:1)")},
      {"range: 100000 items", "{{ range(100000) | length }}", "{}", "ok: 100000"},
      {"range: 100001 items", "{{ range(100001) | length }}", "{}",
       failed(Kind::Render, "invalid operation: range has too many elements (in kernel:1)")},
      {"range: 100001 items by a step", "{{ range(0, 200001, 2) | length }}", "{}",
       failed(Kind::Render, "invalid operation: range has too many elements (in kernel:1)")},
      {"range: 100000 items by a step", "{{ range(0, 200000, 2) | length }}", "{}", "ok: 100000"},
      {"repetition: exactly the bound", "{{ ('ab' * 50000000) | length }}", "{}", "ok: 100000000"},
      {"repetition: one byte past the bound", "{{ 'a' * 100000001 }}", "{}",
       failed(Kind::Render, "invalid operation: repeated string is too large (in kernel:1)")},
      {"repetition: a sequence past its bound", "{{ ([1, 2] * 5000001) | length }}", "{}",
       failed(Kind::Render, "invalid operation: repeated sequence is too large (in kernel:1)")},
      {"parser: 149 nested blocks", repeat("{% if true %}", 149) + "x" + repeat("{% endif %}", 149),
       "{}", "ok: x"},
      {"parser: 150 nested blocks", repeat("{% if true %}", 150) + "x" + repeat("{% endif %}", 150),
       "{}", failed(Kind::Parse, too_deep)},
      {"parser: 74 nested brackets",
       "{{ " + repeat("[", 74) + "1" + repeat("]", 74) + " | length }}", "{}", "ok: 1"},
      {"parser: 75 nested brackets", "{{ " + repeat("[", 75) + "1" + repeat("]", 75) + " }}", "{}",
       failed(Kind::Parse, too_deep)},
  };
  for (const Case& c : cases) EXPECT_EQ(outcome(c.body, c.context), c.expected) << c.what;
}

}  // namespace
}  // namespace velloquin::core
