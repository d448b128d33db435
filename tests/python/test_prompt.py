"""The Prompt class: construction, the loaders, validator coverage, getters, sources, repr."""

import gc
import inspect

import pydantic
import pytest

import velloquin
from velloquin import LoadError, Prompt, PromptRenderError, PromptValidationError

LOAD_PREFIX = "failed to load prompt definition: "

SHAPE = {
    "variants": {"short": {"body": "Hi {{ who }}", "metadata": {"z": 1, "a": [None, 1.5]}}},
    "role": "user",
    "name": "greeting",
    "body": "Hello {{ who }}\n",
    "variables": {
        "who": {"type": "string", "trusted": True},
        "mood": {"type": ["string", "null"], "trusted": False, "description": "how it feels"},
    },
    "output_model": "Reply",
    "metadata": {"owner": "team", "guard": {"b": 2, "a": 1}},
}

YAML = """\
name: greeting
role: user
body: "Hello {{ who }}\\n"
variables:
  who: {type: string, trusted: true}
  mood: {type: [string, "null"], trusted: false, description: how it feels}
variants:
  short:
    body: "Hi {{ who }}"
    metadata: {z: 1, a: [null, 1.5]}
output_model: Reply
metadata: {owner: team, guard: {b: 2, a: 1}}
"""

TOML = """\
name = "greeting"
role = "user"
body = "Hello {{ who }}\\n"
output_model = "Reply"
[variables.who]
type = "string"
trusted = true
[variables.mood]
type = ["string", "null"]
trusted = false
description = "how it feels"
[variants.short]
body = "Hi {{ who }}"
metadata = { z = 1, a = [1.5] }
[metadata]
owner = "team"
guard = { b = 2, a = 1 }
"""


def shape(**changes):
    result = {"name": "p", "role": "system", "body": "text"}
    result.update(changes)
    return result


def rows_of(caught):
    return [(row.field, row.code, row.message) for row in caught.value.errors]


def load_message(caught):
    """The one load row's message, checked against the exception text."""
    [(field, code, message)] = rows_of(caught)
    assert (field, code) == ("", "load")
    assert str(caught.value) == LOAD_PREFIX + message
    return message


class Who(pydantic.BaseModel):
    who: str


class WhoAndMood(pydantic.BaseModel):
    who: str
    mood: str | None = None


# --- construction ------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "make",
    [
        lambda: Prompt(SHAPE),
        lambda: Prompt(dict(reversed(list(SHAPE.items())))),
        lambda: Prompt(shape=SHAPE, validators=None),
        lambda: Prompt.from_yaml(YAML),
        lambda: Prompt.from_yaml("\ufeff" + YAML),
        lambda: Prompt.from_json(__import__("json").dumps(SHAPE)),
        lambda: Prompt.from_toml(TOML),
    ],
    ids=["dict", "dict-reversed", "keywords", "yaml", "yaml-byte-order-mark", "json", "toml"],
)
def test_every_way_in_reads_the_same_definition(make):
    prompt = make()
    assert type(prompt) is Prompt
    assert (prompt.name, prompt.role, prompt.body, prompt.output_model) == (
        "greeting",
        "user",
        "Hello {{ who }}\n",
        "Reply",
    )
    assert prompt.variables == {
        "mood": {
            "description": "how it feels",
            "trusted": False,
            "type": ["string", "null"],
            "validation_required": False,
        },
        "who": {"trusted": True, "type": "string", "validation_required": False},
    }
    assert prompt.metadata == {"guard": {"a": 1, "b": 2}, "owner": "team"}
    assert prompt.variants["short"]["body"] == "Hi {{ who }}"


def test_dicts_come_back_with_sorted_keys_at_every_level():
    prompt = Prompt(SHAPE)
    assert list(prompt.variables) == ["mood", "who"]
    assert list(prompt.variables["mood"]) == ["description", "trusted", "type", "validation_required"]
    assert list(prompt.metadata) == ["guard", "owner"]
    assert list(prompt.metadata["guard"]) == ["a", "b"]
    assert list(prompt.variants["short"]) == ["body", "metadata"]
    assert list(prompt.variants["short"]["metadata"]) == ["a", "z"]
    assert prompt.variants["short"]["metadata"]["a"] == [None, 1.5]


def test_getters_return_new_objects_that_do_not_write_back():
    prompt = Prompt(SHAPE)
    for name in ["variables", "variants", "metadata"]:
        first = getattr(prompt, name)
        assert first is not getattr(prompt, name)
        first.clear()
        assert getattr(prompt, name) != {}, name


def test_empty_maps_read_as_empty_dicts_not_none():
    prompt = Prompt(shape())
    assert (prompt.variables, prompt.variants, prompt.metadata, prompt.output_model) == ({}, {}, {}, None)


def test_getters_cannot_be_assigned():
    prompt = Prompt(shape())
    for name in ["name", "body", "variables", "metadata"]:
        with pytest.raises(AttributeError):
            setattr(prompt, name, "x")


class Definition(pydantic.BaseModel):
    name: str
    role: str
    body: str
    output_model: str | None = None


class DictWithAttribute(dict):
    model_dump_json = "not callable"


class Raising:
    def __init__(self, error):
        self.error = error

    def __getattr__(self, name):
        raise self.error


class NonStrDump:
    def model_dump_json(self, **kwargs):
        return b"{}"


class RecordingDump:
    seen = None

    def model_dump_json(self, *args, **kwargs):
        RecordingDump.seen = (args, kwargs)
        return '{"name": "m", "role": "assistant", "body": "b"}'


def test_a_model_instance_is_read_through_model_dump_json_without_nones():
    prompt = Prompt(Definition(name="m", role="user", body="b"))
    assert (prompt.name, prompt.role, prompt.output_model) == ("m", "user", None)
    Prompt(RecordingDump())
    assert RecordingDump.seen == ((), {"exclude_none": True})


def test_a_non_callable_model_dump_json_means_plain_data():
    assert Prompt(DictWithAttribute(shape(name="plain"))).name == "plain"


def self_containing():
    record = {}
    record["again"] = record
    return record


@pytest.mark.parametrize(
    "bad, message",
    [
        (Definition, "could not serialize the prompt definition"),
        (NonStrDump(), "TypeError: 'bytes' object cannot be converted to 'PyString'"),
        (Raising(ValueError("boom")), "ValueError: boom"),
        ({1: "x"}, "dict keys must have type str"),
        (shape(name=object()), "unsupported type object"),
        (shape(name=2**70), "JSON number out of range"),
        (shape(metadata=self_containing()),
         "RecursionError: maximum recursion depth exceeded while converting a Python value"),
    ],
    ids=["model-class", "non-str-dump", "lookup-raises", "int-key", "object", "big-int",
         "self-containing"],
)
def test_shapes_that_cannot_become_json_text(bad, message):
    with pytest.raises(LoadError) as caught:
        Prompt(bad)
    assert load_message(caught) == message


def test_an_attribute_error_from_the_lookup_means_plain_data():
    with pytest.raises(LoadError) as caught:
        Prompt(Raising(AttributeError("no")))
    assert load_message(caught).startswith("unsupported type ")


@pytest.mark.parametrize(
    "bad, fragment",
    [
        (shape(extra=1), "unknown field `extra`"),
        ("a document?", "invalid type: string"),
        (shape(name=""), "shorter than 1 characters"),
        (shape(role="robot"), "unknown variant `robot`"),
        ({"name": "p", "role": "user"}, "missing field `body`"),
    ],
)
def test_shape_errors_of_plain_data_are_load_errors_on_line_one(bad, fragment):
    with pytest.raises(LoadError) as caught:
        Prompt(bad)
    message = load_message(caught)
    assert fragment in message and " at line 1 column " in message


@pytest.mark.parametrize(
    "call, fragment",
    [
        (lambda: Prompt.from_json("{}"), "missing field"),
        (lambda: Prompt.from_json('{"name": "p", "role": "user", "body": ""} x'), "trailing"),
        (lambda: Prompt.from_yaml("name: p\nrole: user\nbody: b\n---\nname: q\n"),
         "deserializing from YAML containing more than one document is not supported"),
        (lambda: Prompt.from_yaml("name: [unclosed"), ""),
        (lambda: Prompt.from_yaml("name: p\nrole: user\nbody: b\noutput_model: !!null x\n"),
         'output_model: invalid value: string "x", expected null at line 4 column 15'),
        (lambda: Prompt.from_toml("name = "), ""),
    ],
    ids=["json-empty", "json-trailing", "yaml-two-docs", "yaml-syntax", "yaml-tagged-null", "toml-syntax"],
)
def test_loader_text_errors_are_load_errors(call, fragment):
    with pytest.raises(LoadError) as caught:
        call()
    assert fragment in load_message(caught)


def test_the_reserved_variant_name_is_a_render_error_from_every_entry_point():
    definition = shape(variants={"default": {"body": "x"}})
    expected = [
        (
            "variant",
            "undefined_variable",
            "variant `default` uses the reserved name for the root body; rename it or move its "
            "body to the root",
        )
    ]
    for call in (lambda: Prompt(definition), lambda: Prompt.from_json(__import__("json").dumps(definition))):
        with pytest.raises(PromptRenderError) as caught:
            call()
        assert rows_of(caught) == expected
    Prompt(shape(variants={"Default": {"body": "x"}}))  # only the exact name is reserved


@pytest.mark.parametrize(
    "definition, row",
    [
        (shape(body="Hello {{ who }}"), ("who", "undefined_variable",
         "template references undeclared variable `who` (variant `default`); add it to the "
         "prompt's `variables`")),
        (shape(variants={"greet": {"body": "{{ b }}{{ a }}"}}), ("a", "undefined_variable",
         "template references undeclared variable `a` (variant `greet`); add it to the prompt's "
         "`variables`")),
        (shape(body="{% include 'x' %}"), ("template", "excluded_feature", "template uses an excluded feature")),
        (shape(body="{{ unclosed"), ("template", "parse", "template parse error")),
    ],
    ids=["undeclared", "undeclared-in-variant", "include", "parse"],
)
def test_templates_are_checked_at_construction(definition, row):
    with pytest.raises(PromptRenderError) as caught:
        Prompt(definition)
    assert rows_of(caught) == [row]


def test_engine_globals_need_no_declaration():
    assert Prompt(shape(body="{% for i in range(2) %}{{ i }}{% endfor %}")).body.startswith("{%")


# --- validator coverage ------------------------------------------------------------------------

REQUIRED = {"type": "string", "trusted": True, "validation_required": True}


def required_shape(*names):
    return shape(variables={name: REQUIRED for name in names})


class FieldsRaise:
    class model_fields:
        def __contains__(self, name):
            raise RuntimeError("no membership")

    model_fields = model_fields()


def test_without_required_variables_any_validators_are_accepted():
    for validators in (None, 5, object(), Who):
        Prompt(shape(variables={"who": {"type": "string", "trusted": True}}), validators=validators)


@pytest.mark.parametrize(
    "names, validators, row",
    [
        (["who"], None, ("who", "variable `who` has `validation_required = true` but no validators "
                        "were supplied at construction")),
        (["who"], 5, ("", "validators must be a Pydantic model class (must have `model_fields`)")),
        (["mood"], Who, ("mood", "variable `mood` has `validation_required = true` but the supplied "
                         "validators model does not declare this field (introspected via "
                         "`model_fields`)")),
        (["who"], FieldsRaise, ("who", "variable `who` has `validation_required = true` but the "
                                "supplied validators model does not declare this field "
                                "(introspected via `model_fields`)")),
    ],
    ids=["none", "no-model-fields", "missing", "membership-raises"],
)
def test_uncovered_required_variables_fail_with_one_row(names, validators, row):
    for call in (
        lambda: Prompt(required_shape(*names), validators=validators),
        lambda: Prompt.from_json(__import__("json").dumps(required_shape(*names)), validators=validators),
    ):
        with pytest.raises(PromptValidationError) as caught:
            call()
        assert rows_of(caught) == [(row[0], "validation", row[1])]
        assert str(caught.value) == f"validation failed (1 error(s)); {row[0]}: {row[1]} [validation]"


def test_one_missing_name_among_several_gives_exactly_one_row():
    with pytest.raises(PromptValidationError) as caught:
        Prompt(required_shape("who", "mood", "extra"), validators=WhoAndMood)
    assert rows_of(caught)[0][0] == "extra" and len(caught.value.errors) == 1
    assert Prompt(required_shape("who", "mood"), validators=WhoAndMood).name == "p"


# --- get_source, repr, arguments ---------------------------------------------------------------


@pytest.mark.parametrize("kwargs, source", [({}, "Hello {{ who }}\n"), ({"variant": None}, "Hello {{ who }}\n"),
                                            ({"variant": "default"}, "Hello {{ who }}\n"),
                                            ({"variant": "short"}, "Hi {{ who }}")])
def test_get_source_returns_the_unrendered_text(kwargs, source):
    assert Prompt(SHAPE).get_source(**kwargs) == source


def test_get_source_of_an_unknown_variant():
    with pytest.raises(PromptRenderError) as caught:
        Prompt(SHAPE).get_source(variant="Short")
    assert rows_of(caught) == [("variant", "unknown_variant", "unknown variant: `Short`")]


@pytest.mark.parametrize(
    "name, shown",
    [('say "hi"', '"say \\"hi\\""'), ("a\nb\tc", '"a\\nb\\tc"'), ("it's", '"it\'s"'),
     ("back\\slash", '"back\\\\slash"'), ("é\x00", '"é\\0"')],
)
def test_repr_debug_quotes_the_name(name, shown):
    assert repr(Prompt(shape(name=name, role="assistant"))) == f'Prompt(name={shown}, role="assistant")'


@pytest.mark.parametrize(
    "call, parameter",
    [
        (lambda: Prompt.from_json(b"{}"), "text"),
        (lambda: Prompt.from_yaml(None), "text"),
        (lambda: Prompt(SHAPE).get_source(variant=1), "variant"),
    ],
)
def test_arguments_of_the_wrong_type_name_the_parameter(call, parameter):
    with pytest.raises(TypeError) as caught:
        call()
    assert caught.value.__notes__ == [f"while processing '{parameter}'"]


@pytest.mark.parametrize(
    "call",
    [
        lambda: Prompt(),
        lambda: Prompt(SHAPE, None),
        lambda: Prompt(SHAPE, extra=1),
        lambda: Prompt.from_json("{}", None),
        lambda: Prompt.from_toml(),
        lambda: Prompt(SHAPE).get_source("short"),
        lambda: Prompt(SHAPE).check(1),
    ],
)
def test_binding_errors_are_type_errors(call):
    with pytest.raises(TypeError):
        call()


def test_loaders_are_static_methods_and_return_new_prompts():
    for name in ["from_json", "from_toml", "from_yaml"]:
        assert isinstance(inspect.getattr_static(Prompt, name), staticmethod), name
    existing = Prompt(SHAPE)
    loaded = existing.from_yaml("name: other\nrole: user\nbody: b\n")
    assert type(loaded) is Prompt and loaded is not existing and existing.name == "greeting"


@pytest.mark.parametrize(
    "obj, signature",
    [
        (Prompt, "(shape, *, validators=None)"),
        (Prompt.from_json, "(text, *, validators=None)"),
        (Prompt.from_toml, "(text, *, validators=None)"),
        (Prompt.from_yaml, "(text, *, validators=None)"),
        (Prompt.get_source, "($self, *, variant=None)"),
        (Prompt.derive, "($self, overlay, *, validators=None, strategy=None)"),
        (Prompt.check, "($self)"),
        (Prompt.render, "($self, model=None, *, data=None, variant=None, guard=None, "
                        "unsafe_reveal_render_detail=False)"),
    ],
)
def test_docstrings_carry_the_signature_lines(obj, signature):
    assert obj.__text_signature__ == signature


def test_prompts_compare_by_identity():
    assert Prompt(SHAPE) != Prompt(SHAPE)
    assert "__eq__" not in vars(Prompt) and "__hash__" not in vars(Prompt)


def test_a_cycle_through_the_validators_class_is_collected():
    def count():
        gc.collect()
        return sum(type(o) is Prompt for o in gc.get_objects())

    before = count()
    for _ in range(10):
        class Holder:
            model_fields = {"who": None}

        Holder.prompt = Prompt(required_shape("who"), validators=Holder)
        del Holder
    assert count() == before
