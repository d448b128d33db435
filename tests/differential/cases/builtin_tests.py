"""Every builtin test on every kind of value, negated, with its argument forms (parenthesised,
bare single argument, too many, missing, wrong types), and through select/reject."""

from typing import NamedTuple

from .model import case
from .values import ALL_SUBJECTS, subject


class TestSpec(NamedTuple):
    primary: str = ""  # arguments used on every subject
    variants: tuple = ("(1)",)  # further argument forms
    on: tuple = ("int", "str")  # subjects the variants run on


COMPARISON = TestSpec("(1)", (" 1", '("a")', "(missing)", "()", "(1, 2)", " -1", "(1.0)", "(none)"),
                      ("one", "str", "undefined", "fint", "none"))

TESTS = {
    "defined": TestSpec(), "undefined": TestSpec(), "none": TestSpec(),
    "safe": TestSpec(), "escaped": TestSpec(), "boolean": TestSpec(),
    "odd": TestSpec(), "even": TestSpec(variants=("(42)",)),
    "divisibleby": TestSpec(
        "(3)",
        (" 3", "(1.5)", '("3")', "()", "(2, 3)", "(0.0)", "(true)", "(-3)", " 0.5"),
        ("int", "float", "fint", "str", "neg", "i64min", "undefined", "true"),
    ),
    "number": TestSpec(), "integer": TestSpec(), "int": TestSpec(), "float": TestSpec(),
    "string": TestSpec(), "sequence": TestSpec(), "iterable": TestSpec(), "mapping": TestSpec(),
    "startingwith": TestSpec(
        '("he")',
        (' "he"', "(1)", "()", "(missing)", '("a", "b")', '("")'),
        ("str", "int", "undefined", "list", "none"),
    ),
    "endingwith": TestSpec(
        '("ld")',
        (' "ld"', "(2)", "()", "(missing)", '("")'),
        ("str", "int", "undefined", "none"),
    ),
    "lower": TestSpec(), "upper": TestSpec(),
    "sameas": TestSpec(
        "(v)",
        ("(none)", "(1)", "(1.0)", " none", "()", "(true)", "(false)"),
        ("none", "one", "fint", "true", "list", "undefined"),
    ),
    "eq": COMPARISON, "equalto": COMPARISON, "ne": COMPARISON,
    "lt": COMPARISON, "lessthan": COMPARISON, "le": COMPARISON,
    "gt": COMPARISON, "greaterthan": COMPARISON, "ge": COMPARISON,
    "in": TestSpec(
        '([1, "a", none])',
        ('("hello")', '({"a": 1})', "(5)", "(missing)", " [1]", "()", "(none)", "(range(3))"),
        ("one", "str", "none", "undefined", "empty"),
    ),
    "true": TestSpec(), "false": TestSpec(),
    "filter": TestSpec(variants=("(1)",), on=("str",)),
    "test": TestSpec(variants=("(1)",), on=("str",)),
}

OPERATOR_TESTS = ("==", "!=", "<", "<=", ">", ">=")

# Names that `is filter` / `is test` should know or not.
NAME_PROBES = ("upper", "odd", "tojson", "urlencode", "d", "e", "count", "==", "nope", "truncate",
               "filesizeformat", "divisibleby", "in", "defined", "")


def primary_cases(name, spec):
    for subject_name in ALL_SUBJECTS:
        expr, ctx = subject(subject_name)
        yield case(f"test.{name}", f"{{{{ {expr} is {name}{spec.primary} }}}}", ctx)
    for subject_name in ("int", "undefined", "str"):
        expr, ctx = subject(subject_name)
        yield case(f"test.{name}", f"{{{{ {expr} is not {name}{spec.primary} }}}}", ctx)


def variant_cases(name, spec):
    for args in spec.variants:
        for subject_name in spec.on:
            expr, ctx = subject(subject_name)
            yield case(f"test.{name}", f"{{{{ {expr} is {name}{args} }}}}", ctx)


def operator_test_cases():
    for op in OPERATOR_TESTS:
        yield case("test.operator", f'{{{{ [0, 1, 2, "a"]|select("{op}", 1)|list }}}}')
        yield case("test.operator", f'{{{{ [0, 1, 2]|reject("{op}", 1)|list }}}}')
        yield case("test.operator", f"{{{{ 1 is {op} 1 }}}}")


def name_probe_cases():
    for probe in NAME_PROBES:
        yield case("test.filter", "{{ v is filter }}", {"v": probe})
        yield case("test.test", "{{ v is test }}", {"v": probe})


def syntax_cases():
    """Where test expressions sit in the grammar."""
    for template in (
        "{{ 1 is eq 1 + 1 }}",
        "{{ not 1 is odd }}",
        "{{ 2 is odd or 3 is odd }}",
        "{{ x is defined and x }}",
        "{{ 3 is divisibleby 3 and true }}",
        "{{ 1 is a.b }}",
        "{{ 1 is a . b }}",
        "{{ 1 is nope }}",
        "{{ 1 is not nope }}",
        "{{ 1 is nope(2) }}",
        "{% if false %}{{ 1 is nope }}{% endif %}ok",
        "{{ 1 is }}",
        "{{ 1 is 2 }}",
        "{{ 1 is +1 }}",
        "{{ 'a' is in 'cat' }}",
        "{{ 5 is in {'a': 1} }}",
        "{{ 'x' is startingwith 'x' ~ 'y' }}",
        "{{ [1, 2] is sameas [1, 2] }}",
        "{% set a = [1] %}{% set b = a %}{{ a is sameas b }}",
        "{{ 1 is even is true }}",
        "{{ 5.0 is divisibleby(0) }}",
    ):
        yield case("test.syntax", template)


def cases():
    for name, spec in TESTS.items():
        yield from primary_cases(name, spec)
        yield from variant_cases(name, spec)
    yield from operator_test_cases()
    yield from name_probe_cases()
    yield from syntax_cases()
