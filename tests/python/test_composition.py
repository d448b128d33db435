"""Composition and Message: everything that needs no Prompt object."""

import inspect

import pytest

from velloquin import Composition, Message

TUPLE_TEXT = "composition entry must be a tuple of (prompt, vars) or (prompt, vars, variant)"
NOT_A_PROMPT_TEXT = "composition entry first element must be a Prompt object"


def length_text(n):
    return f"composition entry must have 2 or 3 elements (prompt, vars[, variant]), got {n}"


@pytest.mark.parametrize("make", [Composition, lambda: Composition.from_messages([])])
def test_an_empty_composition(make):
    composition = make()
    assert type(composition) is Composition
    assert len(composition) == 0
    assert not composition
    assert repr(composition) == "Composition(entries=0, names=[])"
    first, second = composition.resolve(), composition.resolve()
    assert first == [] and second == [] and first is not second


@pytest.mark.parametrize("args, kwargs", [((1,), {}), ((), {"entries": []})])
def test_the_constructor_takes_no_arguments(args, kwargs):
    with pytest.raises(TypeError):
        Composition(*args, **kwargs)


def test_from_messages_is_a_static_method():
    assert isinstance(inspect.getattr_static(Composition, "from_messages"), staticmethod)
    assert type(Composition().from_messages(entries=iter([]))) is Composition


@pytest.mark.parametrize(
    "entries, text",
    [
        ([["p", "v"]], TUPLE_TEXT),
        ([{"prompt": "p"}], TUPLE_TEXT),
        ([()], length_text(0)),
        ([("p",)], length_text(1)),
        ([("p", "v", None, "x")], length_text(4)),
        ([("p", "v")], NOT_A_PROMPT_TEXT),
        ([("p", "v", None)], NOT_A_PROMPT_TEXT),
        ([(Composition(), "v", "variant")], NOT_A_PROMPT_TEXT),
        # The first bad item is reported, whatever follows it.
        ([("p",), ["later"]], length_text(1)),
        (iter([["p"], ()]), TUPLE_TEXT),
    ],
)
def test_from_messages_rejects_bad_items(entries, text):
    with pytest.raises(TypeError) as caught:
        Composition.from_messages(entries)
    assert str(caught.value) == text


def test_a_tuple_subclass_counts_as_a_tuple():
    from collections import namedtuple

    Pair = namedtuple("Pair", "prompt vars")
    with pytest.raises(TypeError) as caught:
        Composition.from_messages([Pair("p", "v")])
    assert str(caught.value) == NOT_A_PROMPT_TEXT


def test_from_messages_needs_an_iterable():
    with pytest.raises(TypeError, match="not iterable"):
        Composition.from_messages(3)
    with pytest.raises(TypeError):
        Composition.from_messages()


def test_an_exception_of_the_iterator_itself_is_raised():
    def entries():
        raise KeyError("from the iterator")
        yield

    with pytest.raises(KeyError, match="from the iterator"):
        Composition.from_messages(entries())


@pytest.mark.parametrize("prompt", ["p", None, 3, Composition()])
def test_append_requires_a_prompt(prompt):
    composition = Composition()
    with pytest.raises(TypeError) as caught:
        composition.append(prompt, {"x": 1})
    assert str(caught.value) == f"'{type(prompt).__name__}' object is not an instance of 'Prompt'"
    assert caught.value.__notes__ == ["while processing 'prompt'"]
    assert len(composition) == 0


@pytest.mark.parametrize(
    "args, kwargs",
    [
        ((), {}),
        (("p",), {}),
        (("p", {}, "variant"), {}),
        (("p", {}), {"variant": None, "other": 1}),
        (("p",), {"prompt": "p", "vars": {}}),
    ],
)
def test_append_binds_its_arguments_first(args, kwargs):
    with pytest.raises(TypeError) as caught:
        Composition().append(*args, **kwargs)
    assert "Prompt" not in str(caught.value)


def test_append_and_resolve_signatures():
    assert Composition.append.__text_signature__ == "($self, prompt, vars, *, variant=None)"
    assert Composition.resolve.__text_signature__ == "($self)"
    assert Composition.__text_signature__ == "()"
    with pytest.raises(TypeError):
        Composition().resolve(1)


def test_compositions_compare_by_identity_and_take_no_attributes():
    first, second = Composition(), Composition()
    assert first != second and first == first
    with pytest.raises(AttributeError):
        first.entries = []


def test_message_is_not_constructible():
    with pytest.raises(TypeError):
        Message()
    with pytest.raises(TypeError):
        Message(role="user", text="hi")
