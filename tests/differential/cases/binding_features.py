"""Cases where the PyPI binding's build of minijinja differs from the configuration the engine
implements. They are kept apart (families binding.*) and listed in known_differences.tsv, so
that the rest of the report only shows real differences.

* The binding enables `multi_template`, `macros` and `loop_controls`; the engine rejects those
  statements as unknown.
* The binding enables `preserve_order`: maps built by a template keep insertion order, where
  the engine orders them by key.
* The binding enables `unicode`: non-ASCII identifiers lex as names, where the engine only
  takes ASCII ones and reports an unexpected character.
* minijinja panics on a zero divisor in `divisibleby` and on `loop.cycle()` without arguments;
  the engine reports an invalid operation instead.
"""

from .model import case

DISABLED_STATEMENTS = (
    "{% extends 'x' %}", "{% block b %}{% endblock %}", "{% include 'x' %}",
    "{% import 'x' as y %}", "{% from 'x' import y %}", "{% macro m() %}{% endmacro %}",
    "{% call m() %}{% endcall %}", "{% for x in [1] %}{% break %}{% endfor %}",
    "{% for x in [1] %}{% continue %}{% endfor %}",
)

UNSORTED_MAPS = (
    '{{ {"b": 1, "a": 2, 1: "x", none: 3, true: 4} }}',
    "{% for k in {'b': 1, 'a': 2} %}{{ k }}{% endfor %}",
    "{{ {'b': 1, 'a': 2}|list }}", "{{ {'b': 1, 'a': 2}|items|list }}",
    "{{ {'b': 1, 'a': 2}|tojson }}", "{{ {'b': 1, 'a': 2}|first }}",
    "{{ dict(b=1, a=2) }}", "{{ dict({'z': 1}, a=2)|list }}", "{{ {'b': 1, 'a': 2}|urlencode }}",
    "{{ {'b': 1, 'a': 2}|join(',') }}", "{{ {'b': 1, 'a': 2}|pprint }}",
)

UNICODE_IDENTIFIERS = ("{{ é }}", "{% set é = 1 %}{{ é }}", "{{ x.é }}", "{{ ñame|default(1) }}")

PANICS = (
    "{{ 5 is divisibleby(0) }}", "{{ 5 is divisibleby 0 }}",
    "{% for x in [1] %}{{ loop.cycle() }}{% endfor %}",
)


def cases():
    for template in DISABLED_STATEMENTS:
        yield case("binding.disabled_statement", template)
    for template in UNSORTED_MAPS:
        yield case("binding.map_order", template)
    for template in UNICODE_IDENTIFIERS:
        yield case("binding.unicode_identifier", template, {"x": {"a": 1}})
    for template in PANICS:
        yield case("binding.panic", template)
