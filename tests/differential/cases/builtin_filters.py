"""Every builtin filter: once with its usual arguments on every kind of value, then its argument
variants (keywords, defaults, too many, missing, wrong types) on the values they are meant for."""

from typing import NamedTuple

from .model import case
from .values import ALL_SUBJECTS, subject


class FilterSpec(NamedTuple):
    primary: str = ""  # arguments used on every subject; "" means no parentheses
    variants: tuple = ()  # further argument lists
    on: tuple = ()  # subjects the variants run on


TOO_MANY = "(1)"

FILTERS = {
    "abs": FilterSpec("", (TOO_MANY, "()"), ("neg", "negfloat", "fnegzero", "i64min", "true")),
    "attr": FilterSpec(
        '("a")',
        ("(0)", "(1)", '("missing")', "()", '("a", "b")', "(none)", '(name="a")'),
        ("map", "list", "users", "str", "namespace"),
    ),
    "batch": FilterSpec(
        "(2)",
        ('(2, "x")', '(2, fill_with="x")', "(0)", "(-1)", '("2")', "(2.0)", "(2.5)", "()",
         '(2, "x", 3)', "(1)", "(5)", "(true)"),
        ("list", "list_empty", "str", "map", "strings", "range"),
    ),
    "bool": FilterSpec("", (TOO_MANY,), ("one",)),
    "capitalize": FilterSpec("", (TOO_MANY,), ("str",)),
    "chain": FilterSpec(
        "([9])",
        ("", '({"z": 0})', '("xy")', "([1], [2])", "(5)", "(missing)", "(none)", '({"a": 5})'),
        ("list", "map", "str", "list_empty", "none", "range"),
    ),
    "count": FilterSpec("", (TOO_MANY,), ("list",)),
    "d": FilterSpec('("fb")', ("", '("fb", true)'), ("undefined", "empty", "zero")),
    "default": FilterSpec(
        '("fb")',
        ("", '("fb", true)', '("fb", false)', '("fb", missing)', "(missing)", "(a=1)",
         '("a", "b", "c")', "(none, true)", '("fb", 1)', '("fb", "")'),
        ("undefined", "silent_undefined", "none", "empty", "zero", "false", "str", "list_empty"),
    ),
    "dictsort": FilterSpec(
        "",
        ('(by="value")', "(reverse=true)", "(case_sensitive=true)", '(by="other")', "(true)",
         "(nope=1)", '(by="value", reverse=true)', '(case_sensitive=true, reverse=true)'),
        ("map_case", "map", "map_nested", "map_empty", "list", "namespace"),
    ),
    "e": FilterSpec("", (TOO_MANY,), ("markup",)),
    "escape": FilterSpec("", (TOO_MANY,), ("markup", "safe")),
    "first": FilterSpec("", (TOO_MANY,), ("list",)),
    "float": FilterSpec("", (TOO_MANY, "(0.0)"), ("floatstr", "str")),
    "format": FilterSpec('("x")', (), ()),
    "groupby": FilterSpec(
        '("city")',
        ('(attribute="city")', '("city", default="zz")', '("city", case_sensitive=true)', "()",
         '("age")', '("age", default=0)', '("name.0")', "(1)", '("0")', '("city", nope=1)'),
        ("users", "list", "none", "nested", "undefined", "str"),
    ),
    "indent": FilterSpec(
        "",
        ("(2)", "(2, true)", "(2, true, true)", "(width=2, first=true)", "(blank=true)",
         '("2")', "(-1)", "(2.0)", "(2, true, true, 1)", "(nope=1)", "(0)"),
        ("multiline", "str", "empty", "safe", "int"),
    ),
    "int": FilterSpec("", (TOO_MANY, "(base=2)"), ("numstr", "str")),
    "items": FilterSpec("", (TOO_MANY,), ("map",)),
    "join": FilterSpec(
        '(",")',
        ("", "(missing)", "(1)", '(",", 2)', '(joiner="-")', "(none)", '("<br>"|safe)'),
        ("list", "mixed", "map", "str", "list_empty", "nested", "range", "safe"),
    ),
    "last": FilterSpec("", (TOO_MANY,), ("list",)),
    "length": FilterSpec("", (TOO_MANY,), ("list",)),
    "lines": FilterSpec("", (TOO_MANY,), ("multiline",)),
    "list": FilterSpec("", (TOO_MANY,), ("list",)),
    "lower": FilterSpec("", (TOO_MANY,), ("str",)),
    "map": FilterSpec(
        '("upper")',
        ('(attribute="name")', '(attribute="age", default=0)', "(attribute=0)",
         '("replace", "a", "b")', "()", "(1)", '("nope")', '("upper", attribute="x")',
         '(attribute="name.0")', '("default", "x")', '(attribute="a", nope=1)',
         '("upper", nope=1)', '("length")', '(attribute="missing")'),
        ("strings", "users", "nested", "list", "str", "map", "list_empty"),
    ),
    "max": FilterSpec("", (TOO_MANY, '(attribute="age")'), ("list", "strings", "users")),
    "min": FilterSpec("", (TOO_MANY, "(case_sensitive=true)"), ("list", "strings")),
    "pprint": FilterSpec("", (TOO_MANY,), ("map_nested",)),
    "reject": FilterSpec(
        '("odd")',
        ("", '(">", 1)', '("nope")', '("in", [1, 2])', "(1)", '("odd", 1)',
         '("divisibleby", 2)', "(missing)", '("==", 1)', '("none")'),
        ("list", "mixed", "list_empty", "str", "map", "nested", "range"),
    ),
    "rejectattr": FilterSpec(
        '("age")',
        ('("age", ">", 26)', '("name", "lower")', '("city", "==", "Berlin")', "()",
         '("x.y")', '("age", "nope")', '("age", "defined")'),
        ("users", "list", "list_empty"),
    ),
    "replace": FilterSpec(
        '("l", "L")',
        ('("", "-")', '("l")', '("l", "L", 1)', "(1, 2)", "()", '("o", "")', '(missing, "x")'),
        ("str", "empty", "numstr", "int", "markup", "safe"),
    ),
    "reverse": FilterSpec("", (TOO_MANY,), ("list",)),
    "round": FilterSpec(
        "",
        ("(1)", "(-2)", "(2)", '("1")', '(1, "floor")', "(precision=1)", "(0)", "(1.5)"),
        ("float", "fhalf", "negfloat", "int", "fhuge", "str", "none", "fnegzero"),
    ),
    "safe": FilterSpec("", (TOO_MANY,), ("markup",)),
    "select": FilterSpec(
        '("odd")',
        ("", '(">", 1)', '("nope")', '("in", [1, 2])', "(1)", '("odd", 1)',
         '("divisibleby", 2)', "(missing)", '("sameas", none)', '("string")'),
        ("list", "mixed", "list_empty", "str", "map", "nested", "range"),
    ),
    "selectattr": FilterSpec(
        '("age")',
        ('("age", ">", 26)', '("name", "lower")', '("city", "==", "Berlin")', "()",
         '("x.y")', '("age", "nope")', '("age", "defined")', '("name", "startingwith", "A")'),
        ("users", "list", "list_empty"),
    ),
    "slice": FilterSpec(
        "(2)",
        ('(3, "x")', '(2, "x")', "(4)", "(0)", "()", '("2")', '(2, fill_with="x")', "(1)",
         "(-1)"),
        ("list", "list_empty", "str", "map", "users"),
    ),
    "sort": FilterSpec(
        "",
        ("(reverse=true)", "(case_sensitive=true)", '(attribute="age")',
         '(attribute="city, name")', '(attribute="name", reverse=true)', "(true)", "(nope=1)",
         '(attribute="city", case_sensitive=true)', '(attribute="0")'),
        ("strings", "unsorted", "mixed", "users", "map", "str", "nested", "dupes"),
    ),
    "split": FilterSpec(
        "",
        ('(",")', '(" ")', '("")', "(none, 1)", '(",", -1)', '(",", 1)', "(1)", '(",", "x")',
         '(",", 0)', '(",", 1, 2)'),
        ("csv", "str", "padded", "empty", "multiline", "int", "safe"),
    ),
    "string": FilterSpec("", (TOO_MANY,), ("list",)),
    "sum": FilterSpec("", (TOO_MANY, '(attribute="age")', "(start=1)"), ("list", "users")),
    "title": FilterSpec("", (TOO_MANY,), ("str",)),
    "tojson": FilterSpec(
        "",
        ("(2)", "(true)", "(false)", "(indent=2)", "(none)", '("x")', "(2, 3)", "(0)",
         "(nope=1)"),
        ("map_nested", "list", "empty", "markup", "list_empty", "map_empty"),
    ),
    "trim": FilterSpec(
        "",
        ('("12")', '("")', "(1)", '("a", "b")', '(chars="x")', "(missing)", '(" \t\n")'),
        ("padded", "empty", "int", "str"),
    ),
    "unique": FilterSpec(
        "",
        ("(case_sensitive=true)", '(attribute="city")', '(attribute="city", case_sensitive=true)',
         "(1)", "(nope=1)"),
        ("dupes", "strings", "users", "nested", "list_empty", "str", "map"),
    ),
    "upper": FilterSpec("", (TOO_MANY,), ("str",)),
    "urlencode": FilterSpec("", (TOO_MANY,), ("map", "markup", "unicode")),
    "zip": FilterSpec(
        '(["a", "b"])',
        ("", "([1], [2, 3])", "(5)", '("xy")', "(missing)", "(none)", '({"k": 1})'),
        ("list", "str", "list_empty", "map", "none", "range"),
    ),
}

# Inputs the conversion filters parse, beyond the shared sample values.
NUMERIC_TEXTS = ("+5", "-5", " 42 ", "1_000", "0x1A", "inf", "-Infinity", "NaN", "-0", "1e400",
                 "99999999999999999999999999999999999999999", "4.", ".5", "1e", "", "--1", "٣")

# String filters whose input may be safe: the result keeps or drops the flag.
SAFETY_FILTERS = ("upper", "lower", "capitalize", "title", "trim", "indent", "reverse", "last",
                  "first", "split", "lines", "replace('i', 'u')", "string", "escape", "format(1)")

# format: (format string, argument list)
FORMATS = (
    ("%s", "1"), ("%s", "none"), ("%s", "true"), ("%s", '[1, "a"]'), ("%s", '{"a": 1}'),
    ("%s", "1.0"), ("%s", "0.1 + 0.2"), ("%s", "1e15"), ("%s", "1e16"), ("%s", "1e-5"),
    ("%s", "0.0"), ("%s", "-0.0"), ("%s", "123456.7"), ("%s", "1234567.0"), ("%s", '"a", "b"'),
    ("%s %s", '"a"'), ("%d", "42"), ("%d", "true"), ("%d", "4.5"), ("%d", '"x"'), ("%i", "-3"),
    ("%5s|%-5d|%05d|%+.1f", '"ab", 3, -42, 2.55'), ("%x", "-255"), ("%X", "255"),
    ("%#x %#o", "255, 8"), ("%o", "8"), ("%c", "65"), ("%c", '"z"'), ("%c", '"zz"'),
    ("%c", "1114112"), ("%+c", "65"), ("%.2s", '"abc"'), ("%.0f", "2.5"), ("%#.0f", "2.0"),
    ("%e", "1234.5"), ("%E", "0.00001"), ("%g", "1234.5"), ("%G", "0.00001234"), ("%#g", "1.0"),
    ("%10.3f", "3.14159"), ("%-10s|", '"x"'), ("% d", "5"), ("%+d", "5"), ("%%", ""),
    ("100%", ""), ("%(a)s-%(b)d", '{"a": "x", "b": 2}'), ("%(a)s", "1"), ("%(a)s", '{"b": 1}'),
    ("%(a", '{"a": 1}'), ("%r", "1"), ("%a", "1"), ("%u", "1"), ("%*d", "1, 2"), ("%", ""),
    ("%5", "1"), ("%ld", "5"), ("%f", "1"), ("%f", '"1"'), ("%s", "range(3)"), ("%s", ""),
    ("%x", "2.5"), ("%e", "1"), ("%s", "9007199254740993"), ("%.3e", "-1e300"),
)


def primary_cases(name, spec):
    for subject_name in ALL_SUBJECTS:
        expr, ctx = subject(subject_name)
        yield case(f"filter.{name}", f"{{{{ {expr}|{name}{spec.primary} }}}}", ctx)


def variant_cases(name, spec):
    for args in spec.variants:
        for subject_name in spec.on:
            expr, ctx = subject(subject_name)
            yield case(f"filter.{name}", f"{{{{ {expr}|{name}{args} }}}}", ctx)


def numeric_text_cases():
    for name in ("int", "float"):
        for text in NUMERIC_TEXTS:
            yield case(f"filter.{name}", f"{{{{ v|{name} }}}}", {"v": text})


def safety_cases():
    for name in SAFETY_FILTERS:
        expr = f'("<i>x</i>\\nb"|safe)|{name}'
        yield case("filter.safety", f"{{{{ {expr} is safe }}}}|{{{{ {expr} }}}}")
        yield case("filter.safety", f"{{% autoescape true %}}{{{{ {expr} }}}}{{% endautoescape %}}")


def format_cases():
    for fmt, args in FORMATS:
        yield case("filter.format", f"{{{{ v|format({args}) }}}}", {"v": fmt})
    yield case("filter.format", '{{ ("<%s>"|safe)|format("<b>") }}')
    yield case("filter.format", '{{ ("%c"|safe)|format(65) }}')


def pipeline_cases():
    """Filters chained and used inside other expressions."""
    for template in (
        "{{ [3, 1, 2]|sort|reverse|join(',') }}",
        "{{ users|map(attribute='name')|map('lower')|join('|') }}",
        "{{ users|selectattr('age')|map(attribute='age')|sum }}",
        "{{ (users|groupby('city'))[0].grouper }}|{{ (users|groupby('city'))[0].list|length }}",
        "{% for g in users|groupby('city') %}{{ g.grouper }}:{{ g.list|map(attribute='name')|join }};{% endfor %}",
        "{% for city, people in users|groupby('city') %}{{ city }}={{ people|length }};{% endfor %}",
        "{{ [1, 2, 3]|length + 1 }}",
        "{{ -3|abs }}",
        "{{ ('1.2.3'|split('.'))[-1] }}",
        "{{ 'a b c'|split(none, 1) }}",
        "{{ 'ab'|list|reverse|join }}",
        "{{ {'b': 1}|chain({'a': 2, 'b': 3})|list }}",
        "{{ ({'b': 1}|chain({'a': 2, 'b': 3})).b }}",
        "{{ [1, 2]|chain([3])|length }}",
        "{{ ([1]|chain('ab'))|list }}",
        "{{ [1]|chain('ab') }}",
        "{% for x in 3|chain %}{% endfor %}",
        "{{ (3|chain)[0] }}",
        "{% for x in [1]|chain('ab', 5) %}{{ x }}{% endfor %}",
        "{% for x in {'a': 1}|chain(5) %}{{ x }}{% endfor %}",
        "{% for x in none|chain(5) %}{% endfor %}",
        "{{ {'a': 1, 'b': 2, 'c': 3}|reverse }}",
        "{{ {'a': 1}|items|list }}",
        "{{ range(5)|batch(2)|list }}",
        "{{ users|sort(attribute='age')|map(attribute='name')|join }}",
        "{{ [none, true, 'x', [1]]|join(',') }}",
        "{{ x|default(y)|upper }}",
        "{{ 'abc'|upper(a=1) }}",
        "{{ [1, 2]|map('int', 3) }}",
        "{{ [[1, 'a'], [2, 'b']]|map(attribute=1)|join }}",
        "{{ 'x'|a.b }}",
        "{{ 'x'|upper . lower }}",
    ):
        yield case("filter.pipeline", template, {"users": [
            {"name": "Ann", "city": "Berlin", "age": 30},
            {"name": "bob", "city": "athens", "age": 25},
            {"name": "Cid", "city": "berlin"},
        ]})


def cases():
    for name, spec in FILTERS.items():
        yield from primary_cases(name, spec)
        yield from variant_cases(name, spec)
    yield from numeric_text_cases()
    yield from safety_cases()
    yield from format_cases()
    yield from pipeline_cases()
