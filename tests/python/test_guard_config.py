import pytest

from velloquin import GuardConfig


class FakeNumpyBool:
    """Stands in for numpy.bool_, which is recognised by its module and name."""

    def __init__(self, value):
        self.value = value

    def __bool__(self):
        return self.value


FakeNumpyBool.__module__ = "numpy"
FakeNumpyBool.__name__ = FakeNumpyBool.__qualname__ = "bool_"


def test_default_is_disabled_with_the_default_advisory():
    config = GuardConfig()
    assert config.enabled is False
    assert config.advisory is None
    assert repr(config) == "GuardConfig(enabled=False, advisory=None)"
    assert str(config) == repr(config)


@pytest.mark.parametrize(
    "kwargs, shown",
    [
        ({"enabled": True, "advisory": "x"}, 'GuardConfig(enabled=True, advisory=Some("x"))'),
        ({"advisory": 'say "hi"'}, 'GuardConfig(enabled=False, advisory=Some("say \\"hi\\""))'),
        ({"advisory": "a\nb\\c'd"}, "GuardConfig(enabled=False, advisory=Some(\"a\\nb\\\\c'd\"))"),
        ({"advisory": "héllo\t\0"}, 'GuardConfig(enabled=False, advisory=Some("héllo\\t\\0"))'),
        ({"advisory": ""}, 'GuardConfig(enabled=False, advisory=Some(""))'),
        ({"enabled": True, "advisory": None}, "GuardConfig(enabled=True, advisory=None)"),
    ],
)
def test_repr_debug_quotes_the_advisory(kwargs, shown):
    assert repr(GuardConfig(**kwargs)) == shown


def test_getters_return_what_was_given():
    config = GuardConfig(enabled=True, advisory="keep to the task")
    assert config.enabled is True
    assert config.advisory == "keep to the task"
    assert type(config.advisory) is str


@pytest.mark.parametrize("value, expected", [(FakeNumpyBool(True), True), (FakeNumpyBool(False), False)])
def test_a_numpy_boolean_scalar_passes_as_the_flag(value, expected):
    assert GuardConfig(enabled=value).enabled is expected


@pytest.mark.parametrize(
    "kwargs, parameter",
    [
        ({"enabled": None}, "enabled"),
        ({"enabled": 1}, "enabled"),
        ({"enabled": "yes"}, "enabled"),
        ({"enabled": type("bool_", (), {})()}, "enabled"),  # right name, wrong module
        ({"advisory": 3}, "advisory"),
        ({"advisory": b"x"}, "advisory"),
    ],
)
def test_a_value_of_the_wrong_type_names_the_parameter(kwargs, parameter):
    with pytest.raises(TypeError, match=f"'{parameter}'") as caught:
        GuardConfig(**kwargs)
    assert caught.value.__notes__ == [f"while processing '{parameter}'"]


@pytest.mark.parametrize(
    "args, kwargs",
    [((True,), {}), ((True, "x"), {}), ((), {"enable": True}), ((), {"guard": None})],
)
def test_positional_and_unknown_arguments_are_rejected(args, kwargs):
    with pytest.raises(TypeError):
        GuardConfig(*args, **kwargs)


def test_an_advisory_that_has_no_utf8_form_is_rejected():
    with pytest.raises(UnicodeEncodeError) as caught:
        GuardConfig(advisory="\ud800")
    assert caught.value.__notes__ == ["while processing 'advisory'"]


def test_it_is_frozen():
    config = GuardConfig(enabled=True)
    with pytest.raises(AttributeError):
        config.enabled = False
    with pytest.raises(AttributeError):
        del config.advisory
    with pytest.raises(AttributeError):
        config.other = 1
    assert config.enabled is True


def test_configs_compare_by_identity():
    first, second = GuardConfig(), GuardConfig()
    assert first != second
    assert first == first
    assert len({first, second}) == 2


def test_the_constructor_has_a_keyword_only_signature():
    assert GuardConfig.__text_signature__ == "(*, enabled=False, advisory=None)"
