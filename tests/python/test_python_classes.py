"""What every class of the module shares: naming, no subclassing, construction rules."""

import importlib
import sys

import pytest

import velloquin

# The module's items in the order the execution step adds them.
ALL_IN_ORDER = [
    "core_version",
    "FieldError",
    "VelloquinError",
    "PromptValidationError",
    "PromptRenderError",
    "LoadError",
    "PromptLoadError",
    "make_prompt_load_error",
    "RenderResult",
    "GuardConfig",
    "CheckReport",
    "Finding",
    "Composition",
    "Message",
    "Prompt",
    "MergeStrategy",
]
CLASSES = [
    "RenderResult",
    "GuardConfig",
    "CheckReport",
    "Finding",
    "Composition",
    "Message",
    "Prompt",
    "MergeStrategy",
]
NOT_CONSTRUCTIBLE = ["RenderResult", "CheckReport", "Finding", "Message", "MergeStrategy"]
# Classes whose own attributes cannot be changed; MergeStrategy carries its members as class
# attributes, which are set once the class exists.
IMMUTABLE_CLASSES = [name for name in CLASSES if name != "MergeStrategy"]


def test_all_follows_the_order_of_the_items():
    assert velloquin.__all__ == ALL_IN_ORDER
    for name in ALL_IN_ORDER:
        assert hasattr(velloquin, name), name


@pytest.mark.parametrize("name", CLASSES)
def test_classes_are_named_in_the_module(name):
    cls = getattr(velloquin, name)
    assert (cls.__module__, cls.__name__, cls.__qualname__) == ("velloquin", name, name)
    assert cls.__doc__


@pytest.mark.parametrize("name", CLASSES)
def test_classes_cannot_be_subclassed(name):
    with pytest.raises(TypeError):
        type("Sub", (getattr(velloquin, name),), {})


@pytest.mark.parametrize("name", NOT_CONSTRUCTIBLE)
@pytest.mark.parametrize("args, kwargs", [((), {}), ((1,), {}), ((), {"x": 1})])
def test_classes_without_a_constructor_raise_type_error_when_called(name, args, kwargs):
    with pytest.raises(TypeError, match="cannot create"):
        getattr(velloquin, name)(*args, **kwargs)


@pytest.mark.parametrize("name", IMMUTABLE_CLASSES)
def test_class_attributes_cannot_be_set(name):
    with pytest.raises(TypeError):
        setattr(getattr(velloquin, name), "extra", 1)


@pytest.mark.parametrize(
    "cls, getters",
    [
        ("RenderResult", ["text", "name", "variant", "template_hash", "render_hash", "guard"]),
        ("GuardConfig", ["enabled", "advisory"]),
        ("CheckReport", ["findings"]),
        ("Finding", ["prompt", "variant", "kind", "detail"]),
        ("Message", ["role", "text"]),
        ("Prompt", ["name", "role", "body", "variables", "variants", "output_model", "metadata"]),
    ],
)
def test_getters_are_documented_properties_in_order(cls, getters):
    cls = getattr(velloquin, cls)
    descriptors = [n for n, v in vars(cls).items() if type(v).__name__ == "getset_descriptor"]
    assert descriptors == getters
    assert all(vars(cls)[name].__doc__ for name in getters)


def test_only_merge_strategy_defines_its_own_comparison():
    for name in CLASSES:
        cls = getattr(velloquin, name)
        defines_eq = "__eq__" in vars(cls)
        assert defines_eq == (name == "MergeStrategy"), name


def test_reimport_gives_the_very_same_class_objects_and_members():
    first = sys.modules["velloquin"]
    objects = {name: getattr(first, name) for name in CLASSES}
    members = (first.MergeStrategy.REPLACE, first.MergeStrategy.MERGE)
    del sys.modules["velloquin"]
    try:
        second = importlib.import_module("velloquin")
        assert second is not first
        for name, obj in objects.items():
            assert getattr(second, name) is obj, name
        assert (second.MergeStrategy.REPLACE, second.MergeStrategy.MERGE) == members
        assert second.MergeStrategy.MERGE is members[1]
    finally:
        sys.modules["velloquin"] = first
