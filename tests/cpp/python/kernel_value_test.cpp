#include "python/convert/kernel_value.h"

#include <gtest/gtest.h>

#include <variant>

#include "embedded_python.h"

namespace velloquin::python {
namespace {

using testing::eval;

std::string load_message(const char* expression) {
  OwnedRef object = eval(expression);
  if (!object) return "<eval failed>";
  auto value = to_kernel_value(object.get());
  EXPECT_EQ(PyErr_Occurred(), nullptr) << expression;
  if (value) return "<converted>";
  const auto* load = std::get_if<ConsumerError::Load>(&value.error().payload());
  return load != nullptr ? load->message : "<not a load error>";
}

TEST(ToKernelValue, ConvertsJsonModeDataWithSortedKeys) {
  OwnedRef object = eval("{'b': 1, 'a': [None, True, 2.5, 'x', {'d': 0, 'c': -3}]}");
  auto value = to_kernel_value(object.get());
  ASSERT_TRUE(value);
  EXPECT_EQ(value->dump(), R"({"a":[null,true,2.5,"x",{"c":-3,"d":0}],"b":1})");
}

TEST(ToKernelValue, AFailedConversionIsALoadErrorWithTheConversionText) {
  EXPECT_EQ(load_message("{1: 'x'}"),
            "could not marshal Python value: dict keys must have type str");
  EXPECT_EQ(load_message("{'a': [object()]}"),
            "could not marshal Python value: unsupported type object");
  EXPECT_EQ(load_message("2 ** 70"), "could not marshal Python value: JSON number out of range");
}

}  // namespace
}  // namespace velloquin::python
