#include "python/composition/composition.h"

#include <gtest/gtest.h>

#include "python/composition/message.h"
#include "python/embedded_python.h"

namespace velloquin::python {
namespace {

using testing::bind;
using testing::run;

class CompositionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    bind("Composition", reinterpret_cast<PyObject*>(composition_type()));
    bind("Message", reinterpret_cast<PyObject*>(message_type()));
    ASSERT_TRUE(run(R"py(
import gc, sys, weakref
import pydantic

class FakePrompt:
    def __init__(self, name, role="user"):
        self.name, self.role = name, role

class Who(pydantic.BaseModel):
    who: str
    n: int = 0

class Tuple2(tuple):
    pass

def expect(exception, call, text=None):
    try:
        call()
    except exception as caught:
        if text is not None:
            assert str(caught) == text, str(caught)
        return caught
    raise AssertionError(f"no {exception.__name__}")

a, b = FakePrompt("a"), FakePrompt('q"b', role="system")
)py"));
  }
};

TEST_F(CompositionTest, EntriesResolveInOrderWithTheirRoles) {
  EXPECT_PYTHON(R"py(
c = Composition()
assert c.append(a, Who(who="Ada", n=1)) is None
c.append(b, Who(who="Bob"), variant="v")
c.append(a, Who(who="Cy"), variant=None)
assert len(c) == 3 and c
assert repr(c) == 'Composition(entries=3, names=["a", "q\\"b", "a"])', repr(c)
messages = c.resolve()
assert [type(m) for m in messages] == [Message] * 3
assert [(m.role, m.text) for m in messages] == [
    ("user", 'a@default:{"n":1,"who":"Ada"}'),
    ("system", 'q"b@v:{"n":0,"who":"Bob"}'),
    ("user", 'a@default:{"n":0,"who":"Cy"}'),
]
assert repr(messages[1]) == 'Message(role="system", text="q\\"b@v:{\\"n\\":0,\\"who\\":\\"Bob\\"}")'
again = c.resolve()
assert again is not messages and again[0] is not messages[0]
assert [(m.role, m.text) for m in again] == [(m.role, m.text) for m in messages]
expect(AttributeError, lambda: setattr(messages[0], "text", "x"))
)py");
}

TEST_F(CompositionTest, FromMessagesTakesTwoAndThreeTuples) {
  EXPECT_PYTHON(R"py(
c = Composition.from_messages(
    [(a, Who(who="x")), (a, Who(who="y"), None), Tuple2((b, Who(who="z"), "v"))])
assert type(c) is Composition and len(c) == 3
assert [m.text for m in c.resolve()] == [
    'a@default:{"n":0,"who":"x"}', 'a@default:{"n":0,"who":"y"}', 'q"b@v:{"n":0,"who":"z"}']
expect(TypeError, lambda: Composition.from_messages([(a, Who(who="x"), 3)]),
       "'int' object cannot be converted to 'PyString'")
)py");
}

TEST_F(CompositionTest, AFailingItemOfFromMessagesGivesNoComposition) {
  EXPECT_PYTHON(R"py(
caught = expect(Exception, lambda: Composition.from_messages(
    [(a, Who(who="ok")), (a, Who.model_construct(n="bad"))]))
assert type(caught).__name__ == "PromptValidationError", repr(caught)
assert [(r.field, r.code) for r in caught.errors] == [("who", "validation"), ("n", "validation")]
)py");
}

TEST_F(CompositionTest, AFailedAppendLeavesTheCompositionAsItWas) {
  EXPECT_PYTHON(R"py(
c = Composition()
c.append(a, Who(who="first"))
expect(Exception, lambda: c.append(a, Who.model_construct()))
expect(AttributeError, lambda: c.append(a, {"who": "plain dict"}))
expect(TypeError, lambda: c.append(a, Who(who="x"), variant=1))
expect(TypeError, lambda: c.append("a", Who(who="x")),
       "'str' object is not an instance of 'Prompt'")
assert len(c) == 1 and [m.text for m in c.resolve()] == ['a@default:{"n":0,"who":"first"}']
)py");
}

TEST_F(CompositionTest, ValuesAreFixedWhenTheEntryIsAdded) {
  EXPECT_PYTHON(R"py(
model = Who(who="before")
c = Composition()
c.append(a, model)
model.who = "after"
assert c.resolve()[0].text == 'a@default:{"n":0,"who":"before"}'
)py");
}

TEST_F(CompositionTest, AnUnknownVariantFailsAtResolveOnly) {
  EXPECT_PYTHON(R"py(
c = Composition()
c.append(a, Who(who="x"))
c.append(a, Who(who="y"), variant="missing")
caught = expect(Exception, c.resolve)
assert type(caught).__name__ == "PromptRenderError", repr(caught)
assert [(r.field, r.code) for r in caught.errors] == [("variant", "unknown_variant")]
assert len(c) == 2
)py");
}

TEST_F(CompositionTest, TheCompositionIsBorrowedExclusivelyAcrossValidation) {
  EXPECT_PYTHON(R"py(
c = Composition()
seen = []

class Reentrant(pydantic.BaseModel):
    who: str
    @classmethod
    def model_validate(cls, payload):
        for attempt in (lambda: c.append(a, Who(who="inner")), lambda: len(c),
                        lambda: repr(c), c.resolve, lambda: bool(c)):
            seen.append(str(expect(RuntimeError, attempt)))
        return super().model_validate(payload)

c.append(a, Reentrant(who="outer"))
assert seen == ["Already borrowed"] + ["Already mutably borrowed"] * 4, seen
assert len(c) == 1 and repr(c) == 'Composition(entries=1, names=["a"])'
# A failed validation releases the borrow as well.
expect(Exception, lambda: c.append(a, Who.model_construct()))
c.append(a, Who(who="again"))
assert len(c) == 2
)py");
}

TEST_F(CompositionTest, ACycleThroughAPromptIsCollected) {
  EXPECT_PYTHON(R"py(
p = FakePrompt("cyclic")
c = Composition()
c.append(p, Who(who="x"))
p.composition = c
watch = weakref.ref(p)
del p, c
gc.collect()
assert watch() is None
)py");
}

TEST_F(CompositionTest, EntriesKeepTheirPromptsAlive) {
  EXPECT_PYTHON(R"py(
p = FakePrompt("held")
before = sys.getrefcount(p)
c = Composition.from_messages([(p, Who(who="x")), (p, Who(who="y"))])
assert sys.getrefcount(p) == before + 2
for _ in range(1000):
    Composition.from_messages([(p, Who(who="x"))]).resolve()
    try:
        Composition.from_messages([(p, Who(who="x")), (p, Who.model_construct())])
    except Exception:
        pass
gc.collect()
assert sys.getrefcount(p) == before + 2
del c
assert sys.getrefcount(p) == before
)py");
}

}  // namespace
}  // namespace velloquin::python
