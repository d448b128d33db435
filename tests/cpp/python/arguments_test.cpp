#include "python/support/arguments.h"

#include <gtest/gtest.h>

#include "embedded_python.h"
#include "python/types/guard_config.h"

namespace velloquin::python {
namespace {

using testing::bind;
using testing::eval;
using testing::take_error;

TEST(ExtractInstance, SubclassInstancesPass) {
  OwnedRef value = eval("True");
  EXPECT_TRUE(extract_instance("flag", value.get(), &PyLong_Type));
  EXPECT_EQ(PyErr_Occurred(), nullptr);
}

TEST(ExtractInstance, OtherObjectsRaiseNamingBothTypesAndTheParameter) {
  OwnedRef value = eval("{'enabled': True}");
  ASSERT_FALSE(extract_instance("guard", value.get(), guard_config_type()));
  OwnedRef error = OwnedRef::steal(PyErr_GetRaisedException());
  ASSERT_TRUE(error);
  bind("error", error.get());
  EXPECT_PYTHON(R"py(
assert type(error) is TypeError
assert str(error) == "'dict' object is not an instance of 'GuardConfig'", str(error)
assert error.__notes__ == ["while processing 'guard'"]
)py");
}

TEST(ExtractInstance, AMissingClassFailsWithoutLookingAtTheValue) {
  OwnedRef value = eval("1");
  EXPECT_FALSE(extract_instance("guard", value.get(), nullptr));
  EXPECT_EQ(PyErr_Occurred(), nullptr);
}

TEST(ExtractOptionalStr, NoneAndOmissionAreAbsent) {
  std::optional<std::string_view> out = "stale";
  EXPECT_TRUE(extract_optional_str("f", "variant", nullptr, out));
  EXPECT_EQ(out, std::nullopt);
  out = "stale";
  EXPECT_TRUE(extract_optional_str("f", "variant", Py_None, out));
  EXPECT_EQ(out, std::nullopt);
  OwnedRef text = eval("'v\\u00e9'");
  EXPECT_TRUE(extract_optional_str("f", "variant", text.get(), out));
  EXPECT_EQ(out, "v\u00e9");
  OwnedRef number = eval("3");
  EXPECT_FALSE(extract_optional_str("f", "variant", number.get(), out));
  EXPECT_NE(take_error().find("'variant' must be str, not int"), std::string::npos);
}

}  // namespace
}  // namespace velloquin::python
