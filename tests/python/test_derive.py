"""Prompt.derive: overlays read from dicts, the two strategies, validators carried over."""

import pytest

from velloquin import LoadError, MergeStrategy, Prompt, PromptRenderError, PromptValidationError

BASE = {
    "name": "base",
    "role": "system",
    "body": "Hi {{ a }}",
    "variables": {
        "a": {"type": "string", "trusted": True},
        "b": {"type": "string", "trusted": True},
    },
    "variants": {"v": {"body": "V {{ b }}", "metadata": {"k": 1}}},
    "output_model": "Out",
    "metadata": {"guard": True, "x": 1},
}
NEW_C = {"type": "integer", "trusted": False}
CHANGED_B = {"type": "number", "trusted": False, "description": "now a number"}


class Fields:
    """A validators class by name only."""

    def __init__(self, *names):
        self.model_fields = dict.fromkeys(names)


def read_back(variable):
    """A variable record as the getter returns it."""
    return {"validation_required": False, **variable}


def fields(prompt):
    return (prompt.name, prompt.role, prompt.body, prompt.variables, prompt.variants,
            prompt.output_model, prompt.metadata)


def load_message(caught):
    [row] = caught.value.errors
    assert (row.field, row.code) == ("", "load")
    assert str(caught.value) == "failed to load prompt definition: " + row.message
    return row.message


@pytest.fixture
def base():
    return Prompt(BASE)


@pytest.mark.parametrize("strategy", [None, MergeStrategy.REPLACE, MergeStrategy.MERGE])
@pytest.mark.parametrize("overlay", [{}, {"unknown": 1, "also": [1]}])
def test_an_empty_overlay_gives_a_new_equal_prompt(base, strategy, overlay):
    derived = base.derive(overlay, strategy=strategy)
    assert type(derived) is Prompt and derived is not base
    assert fields(derived) == fields(base)


@pytest.mark.parametrize(
    "overlay, strategy, expected",
    [
        ({"variables": {"b": CHANGED_B, "c": NEW_C}}, MergeStrategy.MERGE,
         {"variables": {"a": read_back(BASE["variables"]["a"]), "b": read_back(CHANGED_B),
                        "c": read_back(NEW_C)}}),
        ({"metadata": {"x": 2}}, MergeStrategy.MERGE, {"metadata": {"guard": True, "x": 2}}),
        ({"metadata": {"x": 2}}, MergeStrategy.REPLACE, {"metadata": {"x": 2}}),
        ({"metadata": {"x": 2}}, None, {"metadata": {"x": 2}}),
        ({"metadata": {}}, MergeStrategy.MERGE, {"metadata": {"guard": True, "x": 1}}),
        ({"metadata": {}}, MergeStrategy.REPLACE, {"metadata": {}}),
        ({"metadata": {"guard": None}}, MergeStrategy.MERGE, {"metadata": {"guard": None, "x": 1}}),
        ({"variants": {"v": {"body": "new {{ a }}"}}}, MergeStrategy.MERGE,
         {"variants": {"v": {"body": "new {{ a }}"}}}),
        ({"variants": {"w": {"body": "w"}}}, MergeStrategy.MERGE,
         {"variants": {"v": {"body": "V {{ b }}", "metadata": {"k": 1}}, "w": {"body": "w"}}}),
        ({"output_model": None}, MergeStrategy.MERGE, {"output_model": None}),
        ({"output_model": "Other"}, None, {"output_model": "Other"}),
        ({"role": {"user": None}}, None, {"role": "user"}),
        ({"name": "new", "body": ""}, MergeStrategy.MERGE, {"name": "new", "body": ""}),
    ],
)
def test_overlays_under_each_strategy(base, overlay, strategy, expected):
    derived = base.derive(overlay, strategy=strategy)
    for key, value in expected.items():
        assert getattr(derived, key) == value, key
    assert fields(base) == fields(Prompt(BASE)), "the base prompt changed"


def test_replace_of_variables_keeps_only_the_overlay(base):
    derived = base.derive({"variables": {"a": NEW_C, "b": NEW_C}})
    assert list(derived.variables) == ["a", "b"]
    assert derived.variables["a"]["type"] == "integer"


def test_replacing_away_a_used_variable_is_a_render_error(base):
    with pytest.raises(PromptRenderError) as caught:
        base.derive({"variables": {"c": NEW_C}})
    [row] = caught.value.errors
    assert (row.code, row.field) == ("undefined_variable", "a")
    assert set(base.derive({"variables": {"c": NEW_C}}, strategy=MergeStrategy.MERGE).variables) == {"a", "b", "c"}


def test_an_overlay_body_with_an_undeclared_variable(base):
    with pytest.raises(PromptRenderError) as caught:
        base.derive({"body": "{{ y }}"}, strategy=MergeStrategy.MERGE)
    assert [(r.field, r.code) for r in caught.value.errors] == [("y", "undefined_variable")]


@pytest.mark.parametrize("strategy", [MergeStrategy.REPLACE, MergeStrategy.MERGE])
def test_a_variant_named_default_fails_the_construction_check(base, strategy):
    with pytest.raises(PromptRenderError) as caught:
        base.derive({"variants": {"default": {"body": "x"}}}, strategy=strategy)
    assert [(r.field, r.code) for r in caught.value.errors] == [("variant", "undefined_variable")]


@pytest.mark.parametrize(
    "overlay, message",
    [
        ([], "overlay must be a dict"),
        ("name", "overlay must be a dict"),
        (None, "overlay must be a dict"),
        ({"name": ""}, "overlay field `name`: shorter than 1 characters"),
        ({"role": None}, "overlay field `role`: invalid type: null, expected string or map"),
        ({"name": "", "role": 5}, "overlay field `name`: shorter than 1 characters"),
        ({"body": 1, "metadata": []}, "overlay field `body`: invalid type: integer `1`, expected a string"),
        ({"metadata": [1]}, "overlay field `metadata`: invalid type: sequence, expected a map"),
        ({"output_model": 3}, "overlay field `output_model`: invalid type: integer `3`, expected a string"),
        ({"role": "robot"}, "overlay field `role`: unknown variant `robot`, expected one of `system`, "
                            "`user`, `assistant`"),
        ({1: "x"}, "dict keys must have type str"),
        ({"metadata": {"k": object()}}, "unsupported type object"),
    ],
)
def test_overlays_that_do_not_read(base, overlay, message):
    with pytest.raises(LoadError) as caught:
        base.derive(overlay, strategy=MergeStrategy.MERGE)
    assert load_message(caught) == message


@pytest.mark.parametrize("overlay", [{"variables": {"a": {"type": "string"}}}, {"variants": {"v": {}}}])
def test_record_errors_of_map_fields_name_the_field(base, overlay):
    with pytest.raises(LoadError) as caught:
        base.derive(overlay)
    key = next(iter(overlay))
    assert load_message(caught).startswith(f"overlay field `{key}`: missing field")


@pytest.mark.parametrize("strategy", [1, 0, "MERGE", True, MergeStrategy])
def test_strategy_must_be_a_member(base, strategy):
    with pytest.raises(TypeError) as caught:
        base.derive([], strategy=strategy)  # the strategy is checked before the overlay
    assert caught.value.__notes__ == ["while processing 'strategy'"]


@pytest.mark.parametrize(
    "call",
    [
        lambda p: p.derive(),
        lambda p: p.derive({}, MergeStrategy.MERGE),
        lambda p: p.derive({}, strategy=None, extra=1),
    ],
)
def test_binding_errors(base, call):
    with pytest.raises(TypeError):
        call(base)


REQUIRED = {"type": "string", "trusted": True, "validation_required": True}


def test_validators_are_kept_replaced_and_rechecked():
    bound = Prompt({"name": "p", "role": "user", "body": "b", "variables": {"a": REQUIRED}},
                   validators=Fields("a"))
    bound.derive({}, validators=None)
    bound.derive({"variables": {"b": REQUIRED}}, strategy=MergeStrategy.MERGE, validators=Fields("a", "b"))
    with pytest.raises(PromptValidationError) as caught:
        bound.derive({"variables": {"b": REQUIRED}}, strategy=MergeStrategy.MERGE)
    assert [(r.field, r.code) for r in caught.value.errors] == [("b", "validation")]
    with pytest.raises(PromptValidationError):
        Prompt(BASE).derive({"variables": {"a": REQUIRED}}, strategy=MergeStrategy.MERGE)


@pytest.mark.parametrize("overlay", [{"variants": {"v": {"body": "{{ c }}"}}}])
def test_the_base_is_unchanged_after_a_failure(base, overlay):
    before = fields(base)
    for attempt in (
        lambda: base.derive({"name": ""}),
        lambda: base.derive({"variants": {"default": {"body": ""}}}),
        lambda: base.derive(overlay, strategy=MergeStrategy.MERGE),
    ):
        try:
            attempt()
        except (LoadError, PromptRenderError):
            pass
    assert fields(base) == before
