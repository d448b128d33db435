"""Sample values of every kind, and how a template refers to one ("subjects").

A subject is written into the template as an expression; JSON values come through the context as
`v`, everything JSON cannot carry (undefined, safe strings, iterators, namespaces) as an
expression.
"""

SCALARS = {
    "none": None,
    "true": True,
    "false": False,
    "zero": 0,
    "one": 1,
    "neg": -7,
    "int": 42,
    "big": 2**53 + 1,
    "i64max": 2**63 - 1,
    "i64min": -(2**63),
    "u64max": 2**64 - 1,
    "fzero": 0.0,
    "fnegzero": -0.0,
    "fint": 3.0,
    "float": 2.5,
    "negfloat": -2.5,
    "fhalf": 42.55,
    "fpoint1": 0.1,
    "ftiny": 1e-7,
    "f1e16": 1e16,
    "fhuge": 1e300,
    "empty": "",
    "str": "hello World",
    "padded": "  pad me \t\n",
    "sharp": "ßa",
    "sigma": "ΣΑΣ",
    "unicode": "héllo 💩",
    "markup": "<b>&'\"/</b>",
    "multiline": "a\nb\r\n\nc\n",
    "numstr": "42",
    "floatstr": "3.5",
    "expstr": "1e3",
    "csv": "a,b,,c",
    "combining": "x\u0301",
    "zwsp": "a\u200bb\u00a0",
    "control": "tab\there\u0001\u007f",
}

CONTAINERS = {
    "list_empty": [],
    "list": [1, 2, 3],
    "unsorted": [3, 1, 2],
    "strings": ["b", "A", "a", "B"],
    "mixed": [1, "a", None, True, 1.5],
    "nested": [[1, 2], [3]],
    "dupes": [1, 1.0, "1", "A", "a", [1], [1]],
    "map_empty": {},
    "map": {"a": 1, "b": 2},
    "map_case": {"b": 1, "a": 2, "C": 3},
    "map_nested": {"b": [1, {"c": None}], "a": {"x": "y"}},
    "users": [
        {"name": "Ann", "city": "Berlin", "age": 30},
        {"name": "bob", "city": "athens", "age": 25},
        {"name": "Cid", "city": "berlin"},
    ],
}

VALUES = {**SCALARS, **CONTAINERS}

# Values only a template expression can produce.
EXPRESSIONS = {
    "undefined": "missing",
    "silent_undefined": "(1 if false)",
    "safe": '("<i>x</i>"|safe)',
    "range": "range(3)",
    "iterator": "([1, 2]|reverse)",
    "namespace": "namespace(a=1)",
    "tuple": "(1, 2)",
}

ALL_SUBJECTS = list(VALUES) + list(EXPRESSIONS)


def subject(name):
    """(expression, context) for the named sample value."""
    if name in VALUES:
        return "v", {"v": VALUES[name]}
    return EXPRESSIONS[name], {}
