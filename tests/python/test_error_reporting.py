import pytest

import velloquin
from velloquin import FieldError, make_prompt_load_error


@pytest.fixture
def load_error():
    return make_prompt_load_error("load_io", "disk on fire")


def test_make_prompt_load_error_returns_an_unraised_prompt_load_error(load_error):
    assert type(load_error) is velloquin.PromptLoadError
    assert isinstance(load_error, velloquin.VelloquinError)
    assert not isinstance(load_error, velloquin.LoadError)
    assert load_error.args == ("prompt load failed: disk on fire [load_io]",)
    assert str(load_error) == "prompt load failed: disk on fire [load_io]"
    assert load_error.__traceback__ is None
    [row] = load_error.errors
    assert type(row) is FieldError
    assert (row.field, row.code, row.message) == ("", "load_io", "disk on fire")


def test_make_prompt_load_error_can_be_raised_and_caught_as_velloquin_error():
    with pytest.raises(velloquin.VelloquinError) as caught:
        raise make_prompt_load_error("load_not_found", "no such key")
    assert caught.value.errors[0].code == "load_not_found"


@pytest.mark.parametrize(
    "args, kwargs",
    [
        (("c", "m"), {}),
        ((), {"error_code": "c", "message": "m"}),
        ((), {"message": "m", "error_code": "c"}),
        (("c",), {"message": "m"}),
    ],
)
def test_make_prompt_load_error_takes_positional_or_keyword_arguments(args, kwargs):
    error = make_prompt_load_error(*args, **kwargs)
    assert (error.errors[0].code, error.errors[0].message) == ("c", "m")


@pytest.mark.parametrize(
    "args, kwargs, names",
    [
        ((1, "m"), {}, "error_code"),
        (("c", b"m"), {}, "message"),
        ((None, None), {}, "error_code"),
        ((), {"error_code": "c", "message": 3.5}, "message"),
    ],
)
def test_a_non_str_argument_is_a_type_error_naming_the_parameter(args, kwargs, names):
    with pytest.raises(TypeError, match=f"'{names}'") as caught:
        make_prompt_load_error(*args, **kwargs)
    assert caught.value.__notes__ == [f"while processing '{names}'"]


@pytest.mark.parametrize(
    "args, kwargs, match",
    [
        (("c",), {}, "missing 1 required positional argument: 'message'"),
        ((), {}, "missing 2 required positional arguments: 'error_code' and 'message'"),
        ((), {"message": "m"}, "'error_code'"),
        (("c", "m", "x"), {}, "takes 2 positional arguments but 3 were given"),
        (("c", "m"), {"extra": 1}, "unexpected keyword argument 'extra'"),
        (("c",), {"error_code": "d", "message": "m"}, "multiple values for argument 'error_code'"),
    ],
)
def test_bad_argument_lists_are_type_errors(args, kwargs, match):
    with pytest.raises(TypeError, match=match):
        make_prompt_load_error(*args, **kwargs)


def test_a_str_without_utf8_form_is_rejected_naming_the_parameter():
    with pytest.raises(UnicodeEncodeError) as caught:
        make_prompt_load_error("c", "lone \ud800 surrogate")
    assert caught.value.__notes__ == ["while processing 'message'"]


@pytest.mark.parametrize(
    "message",
    ["", "semi; colon] bracket\nnew line", "caf\u00e9 \u4e2d", "`ticks` and 'quotes'"],
)
def test_texts_are_inserted_unchanged(message):
    error = make_prompt_load_error("load_io", message)
    assert str(error) == f"prompt load failed: {message} [load_io]"
    assert error.errors[0].message == message


def test_errors_is_one_list_per_instance(load_error):
    assert load_error.errors is load_error.errors
    other = make_prompt_load_error("load_io", "disk on fire")
    load_error.errors.append("extra")
    assert len(load_error.errors) == 2
    assert len(other.errors) == 1


@pytest.mark.parametrize(
    "message, shown",
    [
        ('say "hi"\nbye', r'"say \"hi\"\nbye"'),
        ("it's \\ fine", r'''"it's \\ fine"'''),
        ("tab\there\r\x00", r'"tab\there\r\0"'),
        ("bell\x07 nbsp\u00a0 zwsp\u200b", r'"bell\u{7} nbsp\u{a0} zwsp\u{200b}"'),
        ("e\u0301 caf\u00e9 \U0001f600", '"e\\u{301} caf\u00e9 \U0001f600"'),
    ],
)
def test_repr_debug_quotes_each_text(message, shown):
    row = make_prompt_load_error("load_io", message).errors[0]
    assert repr(row) == f'FieldError(field="", code="load_io", message={shown})'
    assert str(row) == repr(row)


@pytest.mark.parametrize("attribute", ["field", "code", "message"])
def test_row_attributes_are_read_only(load_error, attribute):
    row = load_error.errors[0]
    with pytest.raises(AttributeError):
        setattr(row, attribute, "x")
    with pytest.raises(AttributeError):
        delattr(row, attribute)
    with pytest.raises(AttributeError):
        row.extra = "x"


def test_each_read_returns_a_new_str(load_error):
    row = load_error.errors[0]
    assert row.message == row.message
    assert row.message is not row.message


def test_field_error_cannot_be_constructed_or_subclassed():
    with pytest.raises(TypeError):
        FieldError()
    with pytest.raises(TypeError):
        FieldError("", "load", "m")
    with pytest.raises(TypeError):
        type("Sub", (FieldError,), {})
    with pytest.raises(TypeError):
        FieldError.field = property(lambda self: "x")


def test_rows_compare_by_identity():
    first = make_prompt_load_error("load_io", "same").errors[0]
    second = make_prompt_load_error("load_io", "same").errors[0]
    assert first == first
    assert first != second
    assert hash(first) != hash(second)
    assert len({first, second}) == 2


def test_field_error_documents_its_surface():
    assert FieldError.__doc__.startswith(
        "One normalized failure row, readable from Python as "
        "`row.field` / `row.code` / `row.message`."
    )
    assert FieldError.field.__doc__ == (
        'The offending field or path; `""` when no single field applies.'
    )
    assert FieldError.code.__doc__ == (
        "A stable code from the consumer's closed [`code`](velloquin::error::code) vocabulary."
    )
    assert FieldError.message.__doc__ == "A human-readable, **scrubbed** message safe to log."
