#include "python/prompt/validation.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "embedded_python.h"

namespace velloquin::python {
namespace {

using testing::bind;
using testing::eval;
using testing::run;

class ValidateInPython : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(run(R"(
import datetime, sys
import pydantic

class Item(pydantic.BaseModel):
    name: str

class Basket(pydantic.BaseModel):
    items: list[Item]
    when: datetime.date = datetime.date(2024, 5, 1)

def raising_model(error, dumped=None):
    class Model:
        def model_dump(self, *, mode):
            assert mode == "json"
            return {} if dumped is None else dumped
        @classmethod
        def model_validate(cls, payload):
            raise error
    return Model()

def errors_returning(result):
    class Error(pydantic.ValidationError):
        def errors(self):
            if isinstance(result, BaseException):
                raise result
            return result
    return Error.from_exception_data("Model", [])

class Unprintable:
    def __str__(self):
        raise RuntimeError("no text")

class Location:
    def __iter__(self):
        yield "a"
        raise RuntimeError("lost part")

class StuckLocation:
    # An iterator whose every step raises: the location must still end.
    def __iter__(self):
        return self
    def __next__(self):
        raise RuntimeError("stuck")

def broken_items():
    yield {"loc": ("a",), "msg": "m"}
    raise RuntimeError("mid-way")

WITHHELD = [('', 'input validation failed (error detail withheld)')]

def rows(error):
    return [(r.field, r.code, r.message) for r in error.errors]
)"));
  }

  // Validates and binds the outcome as `result` or `error`.
  bool validate(const char* model, const char* data) {
    OwnedRef model_object = eval(model);
    OwnedRef data_object = data != nullptr ? eval(data) : OwnedRef();
    if (!model_object || (data != nullptr && !data_object)) return false;
    auto validated = validate_in_python(model_object.get(), data_object.get());
    EXPECT_EQ(PyErr_Occurred(), nullptr);
    if (validated) {
      bind("result", validated->get());
      return true;
    }
    bind("error", std::move(validated).error().exception());
    return false;
  }
};

TEST_F(ValidateInPython, AClassWithDataGivesTheJsonModeDump) {
  ASSERT_TRUE(validate("Basket", "{'items': [{'name': 'pear'}]}"));
  EXPECT_PYTHON("assert result == {'items': [{'name': 'pear'}], 'when': '2024-05-01'}, result");
}

TEST_F(ValidateInPython, AnInstanceIsValidatedByItsOwnClassFromItsDump) {
  ASSERT_TRUE(run(R"(
import typing
class Counting(pydantic.BaseModel):
    n: int
    calls: typing.ClassVar[list] = []
    @classmethod
    def model_validate(cls, payload):
        Counting.calls.append(payload)
        return super().model_validate(payload)
)"));
  ASSERT_TRUE(validate("Counting(n=3)", nullptr));
  EXPECT_PYTHON("assert result == {'n': 3} and Counting.calls == [{'n': 3}]");
}

TEST_F(ValidateInPython, APydanticRejectionGivesOneRowPerErrorItem) {
  ASSERT_FALSE(validate("Basket", "{'items': [{}, {'name': 3}]}"));
  EXPECT_PYTHON(R"(
assert type(error).__name__ == "PromptValidationError", type(error)
assert rows(error) == [
    ("items.0.name", "validation", "Field required"),
    ("items.1.name", "validation", "Input should be a valid string"),
], rows(error)
assert str(error).startswith("validation failed (2 error(s)); items.0.name: Field required")
)");
}

struct RowCase {
  const char* items;
  const char* rows;
};

class ErrorItems : public ValidateInPython, public ::testing::WithParamInterface<RowCase> {};

TEST_P(ErrorItems, BecomeRowsFromLocationAndMessageOnly) {
  ASSERT_TRUE(
      run(std::string("model = raising_model(errors_returning(") + GetParam().items + "))"));
  ASSERT_FALSE(validate("model", nullptr));
  EXPECT_PYTHON(std::string("expected = ") + GetParam().rows + R"(
assert type(error).__name__ == "PromptValidationError", repr(error)
assert rows(error) == [(f, "validation", m) for f, m in expected], rows(error)
)");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErrorItems,
    ::testing::Values(
        RowCase{R"([{"loc": ("items", 0, "name"), "msg": "field required"}])",
                R"([("items.0.name", "field required")])"},
        RowCase{R"([{"loc": (), "msg": "m"}])", R"([("", "m")])"},
        RowCase{R"([{"msg": "no location"}])", R"([("", "no location")])"},
        RowCase{R"([{"loc": "ab", "msg": "m"}])", R"([("a.b", "m")])"},
        RowCase{R"([{"loc": 7, "msg": "m"}])", R"([("7", "m")])"},
        RowCase{R"([{"loc": ("a",), "msg": 5}])", R"([("a", "validation error")])"},
        RowCase{R"([{"loc": ("a",)}])", R"([("a", "validation error")])"},
        RowCase{R"([{"loc": ("a",), "msg": "\ud800"}])", R"([("a", "validation error")])"},
        RowCase{R"([{"loc": ("\ud800",), "msg": "m"}])", R"([("\ufffd" * 3, "m")])"},
        RowCase{R"([{"loc": (1, Unprintable(), 2), "msg": "m"}])", R"([("1..2", "m")])"},
        RowCase{R"([{"loc": Location(), "msg": "m"}])", R"([("a", "m")])"},
        RowCase{R"([{"loc": StuckLocation(), "msg": "m"}])", R"([("", "m")])"},
        RowCase{R"([{"loc": ("x",), "msg": "m", "input": "secret", "ctx": {}}])",
                R"([("x", "m")])"},
        RowCase{R"([{"loc": ("a",), "msg": "one"}, {"loc": ("b",), "msg": "two"}])",
                R"([("a", "one"), ("b", "two")])"},
        RowCase{"[]", "[]"}, RowCase{R"(RuntimeError("errors() failed"))", "WITHHELD"},
        RowCase{"42", "WITHHELD"}, RowCase{"broken_items()", "WITHHELD"}));

TEST_F(ValidateInPython, NoErrorItemsGiveAnEmptyRowList) {
  ASSERT_TRUE(run("model = raising_model(errors_returning([]))"));
  ASSERT_FALSE(validate("model", nullptr));
  EXPECT_PYTHON(R"(
assert str(error) == 'validation failed (0 error(s))' and error.errors == []
)");
}

TEST_F(ValidateInPython, OtherExceptionsPassThroughUnchanged) {
  for (const char* raised : {"ValueError('plain')", "AttributeError('x')", "KeyError('k')"}) {
    ASSERT_TRUE(run(std::string("raised = ") + raised + "; model = raising_model(raised)"));
    ASSERT_FALSE(validate("model", nullptr));
    EXPECT_PYTHON("assert error is raised");
  }
}

TEST_F(ValidateInPython, AClassWithoutModelValidateRaisesItsAttributeError) {
  ASSERT_FALSE(validate("dict", "{}"));
  EXPECT_PYTHON("assert type(error) is AttributeError and 'model_validate' in str(error)");
}

TEST_F(ValidateInPython, AFailingDumpIsReturnedUnchanged) {
  ASSERT_FALSE(validate("{'who': 'x'}", nullptr));
  EXPECT_PYTHON("assert type(error) is AttributeError and 'model_dump' in str(error)");
  ASSERT_TRUE(run(R"(
class BadDump(pydantic.BaseModel):
    def model_dump(self, **kwargs):
        raise LookupError("no dump")
)"));
  ASSERT_FALSE(validate("BadDump", "{}"));  // the validated model's dump
  EXPECT_PYTHON("assert type(error) is LookupError");
}

TEST_F(ValidateInPython, WithoutPydanticAValidationErrorPassesUnchanged) {
  ASSERT_TRUE(run(R"(
raised = pydantic.ValidationError.from_exception_data(
    "M", [{"type": "missing", "loc": ("who",), "input": {}}])
model = raising_model(raised)
saved = sys.modules["pydantic"]
sys.modules["pydantic"] = None
)"));
  const bool validated = validate("model", nullptr);
  ASSERT_TRUE(run("sys.modules['pydantic'] = saved"));
  ASSERT_FALSE(validated);
  EXPECT_PYTHON("assert error is raised");
}

TEST_F(ValidateInPython, PydanticIsLookedUpAnewOnEveryFailure) {
  ASSERT_TRUE(run(R"(
class Other(Exception):
    pass
raised = Other("not pydantic's")
model = raising_model(raised)
saved = sys.modules["pydantic"]
sys.modules["pydantic"] = type(sys)("pydantic")
sys.modules["pydantic"].ValidationError = Other
)"));
  const bool validated = validate("model", nullptr);
  ASSERT_TRUE(run("sys.modules['pydantic'] = saved"));
  ASSERT_FALSE(validated);
  EXPECT_PYTHON("assert type(error).__name__ == 'PromptValidationError', repr(error)");
}

TEST(DumpJson, AsksForJsonModeOnly) {
  ASSERT_TRUE(run(R"(
class Recorder:
    def model_dump(self, *args, **kwargs):
        return {"args": list(args), "kwargs": kwargs}
)"));
  OwnedRef recorder = eval("Recorder()");
  auto dumped = dump_json(recorder.get());
  ASSERT_TRUE(dumped);
  bind("result", dumped->get());
  EXPECT_PYTHON("assert result == {'args': [], 'kwargs': {'mode': 'json'}}, result");
}

TEST(PartToString, TurnsAnyPartIntoText) {
  struct Case {
    const char* part;
    std::string text;
  };
  for (const Case& c : {Case{"'name'", "name"}, Case{"0", "0"}, Case{"-12", "-12"},
                        Case{"'\\ud800x'", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx"},
                        Case{"Unprintable()", ""}, Case{"None", "None"}}) {
    ASSERT_TRUE(run("class Unprintable:\n  def __str__(self): raise RuntimeError()"));
    OwnedRef part = eval(c.part);
    ASSERT_TRUE(part);
    EXPECT_EQ(part_to_string(part.get()), c.text) << c.part;
    EXPECT_EQ(PyErr_Occurred(), nullptr) << c.part;
  }
}

}  // namespace
}  // namespace velloquin::python
