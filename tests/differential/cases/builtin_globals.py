"""The global functions range, dict, namespace and debug, and calls in general."""

from .model import case
from .values import ALL_SUBJECTS, subject

RANGE_CALLS = (
    "()", "(3)", "(0)", "(-3)", "(1, 10, 3)", "(5, 0, -2)", "(3, 1)", "(-5, -1)", "(1, 2, 0)",
    "(100000)|length", "(100001)", "(3.0)", "(2.5)", '("3")', "(true)", "(none)", "(missing)",
    "(a=1)", "(1, 2, 3, 4)", "(*[1, 4])", "(**{'a': 1})", "(3)|list", "(3)[1]", "(3)[-1]",
    "(3) is sequence", "(3) is iterable", "(0)|length", "(9223372036854775807, 9223372036854775807)",
    "(-9223372036854775808)", "(2, 20, 5)|list",
)

DICT_CALLS = (
    "()", "(a=1, b=2)", '({"a": 1}, z=2)', '({"z": 1})', "(none)", "(missing)", "(1)", '("ab")',
    "([[1, 2]])", '({"a": 1}, {"b": 2})', "(**{'a': 1})", "(a=1)|length", "(a=1).a", "(a=1)['a']",
)

NAMESPACE_CALLS = (
    "()", "(a=1, b=2)", '({"a": 1})', '({"a": 1}, b=2)', "(1)", "(none)", '("x")', "([])",
    "(a=1)|length", "(a=1).a", "(a=1).b is defined", "() is mapping", "(b=2, a=1)|list",
)

DEBUG_CALLS = (
    "(1)", '([1, "a"])', '("a\\nb")', '({"a": [1, 2], "b": {}})', "(none)", "(1, 2)", "([])",
    "({})", "(1.5)", "(missing)",
)


def call_cases(family, name, calls):
    for call in calls:
        yield case(family, f"{{{{ {name}{call} }}}}")


def namespace_statement_cases():
    for template in (
        "{% set ns = namespace(t=0) %}{% for x in [1, 2] %}{% set ns.t = ns.t + x %}{% endfor %}{{ ns.t }}",
        "{% set ns = namespace() %}{% set ns.a, ns.b = 1, 2 %}{{ ns }}",
        "{% set ns = namespace() %}{% set ns.x %}captured{% endset %}{{ ns.x }}",
        "{% set ns = namespace() %}{{ ns }}|{{ ns|length }}|{{ 'y' if ns else 'n' }}",
        "{% set ns = namespace(b=1, a=2) %}{% for k in ns %}{{ k }}{% endfor %}",
        "{% set ns = namespace(a=1) %}{{ ns|reverse|list }}",
        "{% set m = {} %}{% set m.a = 1 %}",
        "{% set ns.a = 1 %}",
        "{% set ns = namespace() %}{% set ns.x.y = 5 %}",
        "{% set ns = namespace(a=1) %}{{ ns.a }}{{ ns['a'] }}{{ ns.b is defined }}",
        "{% set ns = namespace(a=1) %}{% with %}{% set ns.a = 2 %}{% endwith %}{{ ns.a }}",
    ):
        yield case("global.namespace", template)


def shadowing_cases():
    yield case("global.shadow", "{{ range }}", {"range": 5})
    yield case("global.shadow", "{{ range(2) }}", {"range": 5})
    yield case("global.shadow", "{{ dict is defined }}|{{ namespace is defined }}")
    yield case("global.shadow", "{% set range = 1 %}{{ range }}")


def call_target_cases():
    """Calling things that are not functions, methods on builtin values, splats."""
    for subject_name in ALL_SUBJECTS:
        expr, ctx = subject(subject_name)
        yield case("call.value", f"{{{{ {expr}() }}}}", ctx)
        yield case("call.method", f"{{{{ {expr}.items() }}}}", ctx)
    for template in (
        "{{ nofunc() }}", "{{ 'ab'.upper() }}", "{{ [1].append(2) }}", "{{ 1 .y() }}",
        "{{ {'f': range}.f(2) }}", "{{ range(*[1, 3]) }}", "{{ range(*5) }}", "{{ dict(**[1]) }}",
        "{{ dict(**{'a': 1}, b=2) }}", "{{ range(1, a=2) }}", "{{ range(a=1, 2) }}",
        "{{ dict(a=1 if true else 2) }}", "{{ range(3,) }}", "{{ super() }}", "{{ loop(1) }}",
        "{{ self }}", "{{ self is defined }}", "{{ f() }}",
    ):
        yield case("call.misc", template, {"f": 1})


def cases():
    yield from call_cases("global.range", "range", RANGE_CALLS)
    yield from call_cases("global.dict", "dict", DICT_CALLS)
    yield from call_cases("global.namespace", "namespace", NAMESPACE_CALLS)
    yield from call_cases("global.debug", "debug", DEBUG_CALLS)
    yield from namespace_statement_cases()
    yield from shadowing_cases()
    yield from call_target_cases()
