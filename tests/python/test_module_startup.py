import importlib
import importlib.util
import subprocess
import sys
import textwrap

import pytest

import velloquin

# The public items in the order the module adds them; the remaining classes follow these.
ITEMS_IN_ORDER = [
    "core_version",
    "FieldError",
    "VelloquinError",
    "PromptValidationError",
    "PromptRenderError",
    "LoadError",
    "PromptLoadError",
    "make_prompt_load_error",
]
EXCEPTIONS = ITEMS_IN_ORDER[2:7]
CLASSES = ["FieldError", *EXCEPTIONS]


def fresh_module(prepare=lambda module: None):
    """Runs the module's execution step on a new module object, after `prepare`."""
    spec = importlib.util.find_spec("velloquin")
    module = importlib.util.module_from_spec(spec)
    prepare(module)
    spec.loader.exec_module(module)
    return module


def test_all_lists_the_items_in_order_and_each_is_an_attribute():
    assert velloquin.__all__[: len(ITEMS_IN_ORDER)] == ITEMS_IN_ORDER
    assert len(set(velloquin.__all__)) == len(velloquin.__all__)
    for name in velloquin.__all__:
        assert hasattr(velloquin, name), name


def test_functions_are_builtins_with_text_signatures():
    assert type(velloquin.core_version).__name__ == "builtin_function_or_method"
    assert velloquin.core_version.__text_signature__ == "()"
    assert velloquin.make_prompt_load_error.__text_signature__ == "(error_code, message)"
    assert velloquin.core_version.__doc__ == (
        "Returns the version string of the underlying rendering kernel."
    )
    assert velloquin.core_version.__module__ == "velloquin"


def test_exception_hierarchy():
    assert velloquin.VelloquinError.__bases__ == (Exception,)
    for name in EXCEPTIONS[1:]:
        assert getattr(velloquin, name).__bases__ == (velloquin.VelloquinError,), name
    assert not issubclass(velloquin.PromptLoadError, velloquin.LoadError)
    assert not issubclass(velloquin.LoadError, velloquin.PromptLoadError)


@pytest.mark.parametrize("name", CLASSES)
def test_classes_are_named_in_the_module(name):
    cls = getattr(velloquin, name)
    assert cls.__module__ == "velloquin"
    assert cls.__name__ == name
    assert cls.__qualname__ == name


@pytest.mark.parametrize(
    "name, doc",
    [
        (
            "VelloquinError",
            "Base for every Velloquin error. Carries `.errors`: a list of FieldError rows "
            "({field, code, message}). `except VelloquinError` catches all subtypes.",
        ),
        (
            "PromptValidationError",
            'Typed-Vars validation failed (code = "validation"). One row per offending field.',
        ),
        (
            "LoadError",
            'Malformed YAML/JSON or a shape violation in the dual-input loader (code = "load"). '
            "Nothing is partially loaded.",
        ),
    ],
)
def test_exception_docstrings(name, doc):
    assert getattr(velloquin, name).__doc__ == doc


@pytest.mark.parametrize("name", EXCEPTIONS)
def test_exceptions_made_by_python_code_carry_no_rows(name):
    error = getattr(velloquin, name)("boom")
    assert str(error) == "boom"
    assert not hasattr(error, "errors")


def test_reimport_gives_the_very_same_class_objects():
    first = sys.modules["velloquin"]
    classes = {name: getattr(first, name) for name in CLASSES}
    del sys.modules["velloquin"]
    try:
        second = importlib.import_module("velloquin")
        assert second is not first
        for name, cls in classes.items():
            assert getattr(second, name) is cls, name
        assert second.__all__ == first.__all__
    finally:
        sys.modules["velloquin"] = first


def test_execution_step_appends_to_an_existing_all_list():
    module = fresh_module(lambda m: setattr(m, "__all__", ["existing"]))
    assert module.__all__[: len(ITEMS_IN_ORDER) + 1] == ["existing", *ITEMS_IN_ORDER]


def test_execution_step_rejects_an_all_that_is_not_a_list():
    with pytest.raises(TypeError):
        fresh_module(lambda m: setattr(m, "__all__", ("existing",)))


def test_execution_step_stops_at_a_failing_lookup_of_all():
    def broken_getattr(name):
        raise ValueError(f"no {name} here")

    with pytest.raises(ValueError, match="no __all__ here"):
        fresh_module(lambda m: setattr(m, "__getattr__", broken_getattr))


# A C++ failure inside an entry point must surface as the internal-fault exception, which
# derives from BaseException only. Running out of address space while the row's message is
# copied is a real such failure; it runs in a child so the limit stays there.
INTERNAL_FAULT_CHILD = textwrap.dedent(
    """
    import resource
    import velloquin

    velloquin.make_prompt_load_error("warm", "up")  # classes exist before the limit
    big = "x" * (512 * 2**20)
    with open("/proc/self/statm") as f:
        in_use = int(f.read().split()[0]) * resource.getpagesize()
    resource.setrlimit(resource.RLIMIT_AS, (in_use + 128 * 2**20, resource.RLIM_INFINITY))
    try:
        try:
            velloquin.make_prompt_load_error("load_io", big)
        except Exception as error:
            print("caught by except Exception:", type(error).__name__)
    except BaseException as fault:
        print("fault", type(fault).__bases__ == (BaseException,), fault.args)
    """
)


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="needs RLIMIT_AS and /proc")
def test_internal_fault_is_not_caught_by_except_exception():
    child = subprocess.run(
        [sys.executable, "-c", INTERNAL_FAULT_CHILD], capture_output=True, text=True, timeout=60
    )
    assert child.returncode == 0, child.stderr
    assert child.stdout.strip() == "fault True ('std::bad_alloc',)"
