// The classes whose objects only C++ makes: CheckReport, Finding, RenderResult, and the
// MergeStrategy members.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "embedded_python.h"
#include "python/types/check_report.h"
#include "python/types/merge_strategy.h"
#include "python/types/render_result.h"

namespace velloquin::python {
namespace {

using testing::bind;
using testing::eval;
using testing::run;

// Whether running `statement` raises `exception`.
bool raises(const std::string& statement, const std::string& exception) {
  return run("try:\n    " + statement + "\nexcept " + exception +
             ":\n    pass\nelse:\n    raise AssertionError('no " + exception + "')");
}

TEST(CheckReport, WithFindings) {
  std::vector<FindingRecord> findings = {
      {"say \"hi\"", "untrusted_without_guard", "variable `a` is untrusted", std::nullopt},
      {"p", "untrusted_without_guard", "line\none", std::string("v\t1")},
  };
  OwnedRef report = OwnedRef::steal(new_check_report(findings));
  ASSERT_TRUE(report);
  bind("report", report.get());
  EXPECT_PYTHON(R"py(
assert type(report).__name__ == "CheckReport"
assert len(report) == 2 and bool(report) is True
assert report.passed() is False and report.is_empty() is False
assert repr(report) == "CheckReport(findings=2)" and str(report) == repr(report)
first, second = report.findings
assert (first.prompt, first.variant, first.kind, first.detail) == (
    'say "hi"', None, "untrusted_without_guard", "variable `a` is untrusted")
assert second.variant == "v\t1"
assert repr(first) == (
    'Finding(prompt="say \\"hi\\"", variant=None, '
    'kind="untrusted_without_guard", detail="variable `a` is untrusted")'), repr(first)
assert repr(second) == (
    'Finding(prompt="p", variant=Some("v\\t1"), '
    'kind="untrusted_without_guard", detail="line\\none")'), repr(second)
)py");
  EXPECT_TRUE(raises("iter(report)", "TypeError"));
  EXPECT_TRUE(raises("report[0]", "TypeError"));
  EXPECT_TRUE(raises("report.passed(1)", "TypeError"));
  EXPECT_TRUE(raises("report.findings = []", "AttributeError"));
  EXPECT_TRUE(raises("report.findings[0].kind = 'x'", "AttributeError"));
}

TEST(CheckReport, FindingsAreNewCopiesOnEveryRead) {
  OwnedRef report =
      OwnedRef::steal(new_check_report({{"p", "untrusted_without_guard", "d", std::nullopt}}));
  ASSERT_TRUE(report);
  bind("report", report.get());
  EXPECT_PYTHON(R"(
findings = report.findings
findings.append("extra")
assert len(report.findings) == 1 and len(report) == 1
assert report.findings is not report.findings
assert report.findings[0] is not report.findings[0]
assert report.findings[0] != report.findings[0]  # compared by identity
)");
}

TEST(CheckReport, WithoutFindingsItPassed) {
  OwnedRef report = OwnedRef::steal(new_check_report({}));
  ASSERT_TRUE(report);
  bind("report", report.get());
  EXPECT_PYTHON(R"py(
assert report.findings == [] and len(report) == 0 and not report
assert report.passed() is True and report.is_empty() is True
assert repr(report) == "CheckReport(findings=0)"
)py");
}

TEST(RenderResult, GettersReprAndProvenance) {
  core::RenderResult result{
      "Hello \"Ada\"",          "greet\n", "default", std::string(64, 'a'), std::string(64, 'b'),
      std::string("be careful")};
  OwnedRef object = OwnedRef::steal(new_render_result(result));
  ASSERT_TRUE(object);
  bind("result", object.get());
  EXPECT_PYTHON(R"(
assert (result.text, result.name, result.variant) == ('Hello "Ada"', "greet\n", "default")
assert (result.template_hash, result.render_hash) == ("a" * 64, "b" * 64)
assert result.guard == "be careful"
assert repr(result) == ('RenderResult(name="greet\\n", variant="default", template_hash="'
                        + "a" * 64 + '", render_hash="' + "b" * 64 + '")')
attributes = result.provenance_attributes()
assert list(attributes.items()) == [
    ("velloquin.prompt.name", "greet\n"),
    ("velloquin.prompt.variant", "default"),
    ("velloquin.prompt.template_hash", "a" * 64),
    ("velloquin.prompt.render_hash", "b" * 64),
]
attributes["extra"] = 1
assert len(result.provenance_attributes()) == 4
assert result.provenance_attributes() is not result.provenance_attributes()
)");
  EXPECT_TRUE(raises("result.text = 'x'", "AttributeError"));
  EXPECT_TRUE(raises("result.provenance_attributes(1)", "TypeError"));
}

TEST(RenderResult, WithoutGuardTheAdvisoryIsNone) {
  OwnedRef object = OwnedRef::steal(new_render_result({"t", "n", "v", "h", "r", std::nullopt}));
  ASSERT_TRUE(object);
  bind("result", object.get());
  EXPECT_PYTHON("assert result.guard is None");
}

TEST(MergeStrategy, MembersAreKnownByIdentity) {
  PyObject* merge = merge_strategy_member(MergeStrategyValue::Merge);
  PyObject* replace = merge_strategy_member(MergeStrategyValue::Replace);
  ASSERT_NE(merge, nullptr);
  ASSERT_NE(replace, nullptr);
  EXPECT_EQ(merge_strategy_of(merge), MergeStrategyValue::Merge);
  EXPECT_EQ(merge_strategy_of(replace), MergeStrategyValue::Replace);
  OwnedRef type = OwnedRef::borrow(reinterpret_cast<PyObject*>(merge_strategy_type()));
  OwnedRef attribute = OwnedRef::steal(PyObject_GetAttrString(type.get(), "MERGE"));
  EXPECT_EQ(attribute.get(), merge);
  for (const char* other : {"1", "0", "None", "'MERGE'"}) {
    OwnedRef object = eval(other);
    EXPECT_EQ(merge_strategy_of(object.get()), std::nullopt) << other;
  }
}

}  // namespace
}  // namespace velloquin::python
