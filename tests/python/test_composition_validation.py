"""Values added to a Composition are validated in Python by the model's own class."""

import sys

import pydantic
import pytest

import velloquin
from velloquin import Composition


@pytest.fixture
def prompt():
    return velloquin.Prompt(
        {
            "name": "greeting",
            "role": "user",
            "body": "Hello {{ who }}",
            "variables": {"who": {"type": "string", "trusted": True}},
        }
    )


class Who(pydantic.BaseModel):
    who: str


class Item(pydantic.BaseModel):
    name: str


class Basket(pydantic.BaseModel):
    items: list[Item]


def validation_error(*items):
    return pydantic.ValidationError.from_exception_data("Model", list(items))


def raising_model(error, dumped=None):
    """A model instance whose class's model_validate raises `error`."""

    class Model:
        def model_dump(self, *, mode):
            assert mode == "json"
            return {} if dumped is None else dumped

        @classmethod
        def model_validate(cls, payload):
            raise error

    return Model()


def errors_returning(result):
    """A Pydantic validation error whose errors() gives `result` (or raises it)."""

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
    """An iterable location whose second part cannot be retrieved."""

    def __iter__(self):
        yield "a"
        raise RuntimeError("lost part")


def rows_of(caught):
    return [(row.field, row.code, row.message) for row in caught.value.errors]


def test_a_valid_model_adds_an_entry(prompt):
    composition = Composition()
    assert composition.append(prompt, Who(who="Ada")) is None
    composition.append(prompt, Who(who="Bob"), variant=None)
    assert len(composition) == 2 and composition
    assert repr(composition) == 'Composition(entries=2, names=["greeting", "greeting"])'


def test_a_real_pydantic_rejection_gives_one_row_per_error(prompt):
    composition = Composition()
    with pytest.raises(velloquin.PromptValidationError) as caught:
        composition.append(prompt, Basket.model_construct(items=[{}, {"name": 3}]))
    assert rows_of(caught) == [
        ("items.0.name", "validation", "Field required"),
        ("items.1.name", "validation", "Input should be a valid string"),
    ]
    assert len(composition) == 0


@pytest.mark.parametrize(
    "items, rows",
    [
        ([{"loc": ("items", 0, "name"), "msg": "field required"}], [("items.0.name", "field required")]),
        ([{"loc": (), "msg": "m"}], [("", "m")]),
        ([{"msg": "no location"}], [("", "no location")]),
        ([{"loc": "ab", "msg": "m"}], [("a.b", "m")]),
        ([{"loc": 7, "msg": "m"}], [("7", "m")]),
        ([{"loc": ("a",), "msg": 5}], [("a", "validation error")]),
        ([{"loc": ("a",)}], [("a", "validation error")]),
        ([{"loc": ("a",), "msg": "\ud800"}], [("a", "validation error")]),
        ([{"loc": ("\ud800",), "msg": "m"}], [("\ufffd" * 3, "m")]),
        ([{"loc": (1, Unprintable(), 2), "msg": "m"}], [("1..2", "m")]),
        ([{"loc": Location(), "msg": "m"}], [("a", "m")]),
        ([{"loc": ("x",), "msg": "m", "input": "secret"}], [("x", "m")]),
        ([], []),
        (
            [{"loc": ("a",), "msg": "one"}, {"loc": ("b",), "msg": "two"}],
            [("a", "one"), ("b", "two")],
        ),
    ],
)
def test_rows_are_built_from_location_and_message_only(prompt, items, rows):
    with pytest.raises(velloquin.PromptValidationError) as caught:
        Composition().append(prompt, raising_model(errors_returning(items)))
    assert rows_of(caught) == [(field, "validation", message) for field, message in rows]
    assert "secret" not in str(caught.value)


def test_no_error_items_give_an_empty_row_list(prompt):
    with pytest.raises(velloquin.PromptValidationError) as caught:
        Composition().append(prompt, raising_model(errors_returning([])))
    assert str(caught.value) == "validation failed (0 error(s))"
    assert caught.value.errors == []


def broken_iterator():
    yield {"loc": ("a",), "msg": "kept?"}
    raise RuntimeError("mid-way")


@pytest.mark.parametrize(
    "result", [RuntimeError("errors() failed"), 42, broken_iterator()], ids=["raises", "int", "iter"]
)
def test_unreadable_error_items_give_the_withheld_row(prompt, result):
    with pytest.raises(velloquin.PromptValidationError) as caught:
        Composition().append(prompt, raising_model(errors_returning(result)))
    assert rows_of(caught) == [("", "validation", "input validation failed (error detail withheld)")]


@pytest.mark.parametrize("error", [ValueError("plain"), AttributeError("x"), KeyError("k")])
def test_other_exceptions_pass_through_unchanged(prompt, error):
    with pytest.raises(type(error)) as caught:
        Composition().append(prompt, raising_model(error))
    assert caught.value is error


def test_vars_without_model_dump_raise_the_lookup_error(prompt):
    with pytest.raises(AttributeError, match="model_dump"):
        Composition().append(prompt, {"who": "Ada"})


def test_without_pydantic_a_validation_error_passes_unchanged(prompt, monkeypatch):
    error = validation_error({"type": "missing", "loc": ("who",), "input": {}})
    monkeypatch.setitem(sys.modules, "pydantic", None)
    with pytest.raises(pydantic.ValidationError) as caught:
        Composition().append(prompt, raising_model(error))
    assert caught.value is error


def test_data_that_cannot_be_converted_is_a_load_error(prompt):
    class Model:
        def model_dump(self, *, mode):
            return {1: "integer key"}

        @classmethod
        def model_validate(cls, payload):
            return cls()

    with pytest.raises(velloquin.LoadError) as caught:
        Composition().append(prompt, Model())
    assert rows_of(caught) == [
        ("", "load", "could not marshal Python value: dict keys must have type str")
    ]


def test_the_composition_is_borrowed_exclusively_during_validation(prompt):
    composition = Composition()
    seen = []

    class Reentrant:
        def model_dump(self, *, mode):
            return {"who": "x"}

        @classmethod
        def model_validate(cls, payload):
            for attempt in (
                lambda: composition.append(prompt, Who(who="y")),
                lambda: len(composition),
                lambda: repr(composition),
                lambda: composition.resolve(),
            ):
                with pytest.raises(RuntimeError) as caught:
                    attempt()
                seen.append(str(caught.value))
            return Who(who="x")

    composition.append(prompt, Reentrant())
    assert seen == ["Already borrowed"] + ["Already mutably borrowed"] * 3
    assert len(composition) == 1


def test_from_messages_validates_every_item(prompt):
    with pytest.raises(velloquin.PromptValidationError):
        Composition.from_messages([(prompt, Who(who="Ada")), (prompt, Who.model_construct())])
    composition = Composition.from_messages(
        [(prompt, Who(who="Ada")), (prompt, Who(who="Bob"), None), (prompt, Who(who="C"), "v")]
    )
    assert len(composition) == 3


@pytest.mark.parametrize("variant", [3, b"v"])
def test_a_variant_that_is_not_a_str_is_rejected(prompt, variant):
    with pytest.raises(TypeError) as caught:
        Composition().append(prompt, Who(who="Ada"), variant=variant)
    assert caught.value.__notes__ == ["while processing 'variant'"]
    with pytest.raises(TypeError, match="cannot be converted") as caught:
        Composition.from_messages([(prompt, Who(who="Ada"), variant)])
    assert not hasattr(caught.value, "__notes__")
