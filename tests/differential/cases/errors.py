"""Error paths: compile errors (syntax, bad escapes, limits), render errors of every kind, and the
line each is reported on."""

from .model import case

SYNTAX = (
    "{{", "{%", "{{ }}", "{% %}", "{% 42 %}", '{% "x" %}', "{{ x[] }}", "{{ 1 + }}", "{{ x - }}",
    "{{ @ }}", "{{ ! }}", "{{ $x }}", "{# open", "{% raw %}no end", "{% endraw %}",
    "{% raw x %}{% endraw %}", "{% if x %}{% elif %}{% endif %}", "{% if true %}", "a\n{% if true %}\nb\nc",
    "{% for x in [] %}", "{% for x.y in [] %}{% endfor %}", "{% for x in a if c else b %}{% endfor %}",
    "{% endfor x %}", "{% if a if b else c %}{% endif %}", "{% if true %}{% else %}{% elif true %}{% endif %}",
    "{% if true %}{% else %}{% else %}{% endif %}", "{% with a = 1 b = 2 %}{% endwith %}",
    "{% with a %}{% endwith %}", "{% set true = 1 %}", "{% set loop = 1 %}", "{% set self = 1 %}",
    "{% for none in [] %}{% endfor %}", "{% set a, = 1 %}", "{% set (a, b %}", "{% filter %}x{% endfilter %}",
    "{% autoescape %}{% endautoescape %}", "{% do foo %}", "{% do 1 + 1 %}", "{% do x|f %}",
    "{% do [1] %}", "{% do {} %}", "{% do 1 %}", "{% do x is odd %}", "{{ f(a=1, 2) }}",
    "{% endif %}", "{% endblock %}", "{% endmacro %}", "{% else %}", "{% foo %}", "{{ 1 is == 1 }}", "{{ x.0.1 }}", "{{ 42world }}",
    "{{ 'a' }", "{{ (1 }}", "{{ [1 }}", "{{ {1: } }}", "{{ {1 2} }}", "{{ 1 2 }}", "{{ x|  }}",
    "{{ x|1 }}", "{{ 1 if }}", "{{ .5 }}", "{{ +1 }}", "{{ x. }}", "{{ x.'a' }}", "{{ ** }}",
    "{% set x = %}", "{% set %}x{% endset %}", "{% with %}{% endwith %}ok", "{{ 'a' ~ }}",
    "{% if true %}x{% endfor %}", "{{ x }}\n{{ y\n}}\n{{ (\n", "line1\nline2\n{{ 1 +* 2 }}",
    "{{ {'a': {'b': 1}} }}", "{{ '}}' }}", "{{ '%}' }}", "{{ 1 }}}", "a { b } {x",
    "{% for a, (b, c) in [[1, [2, 3]]] %}{{ a }}{{ b }}{{ c }}{% endfor %}",
)

NESTING = (
    ("if", 149), ("if", 150), ("brackets", 74), ("brackets", 75), ("minus", 300),
)

RUNTIME = (
    ("{{ x }}", {}), ("{{ x.y }}", {}), ("{{ x[0] }}", {}), ("{{ x.y.z }}", {"x": {}}),
    ("{% if x %}{% endif %}", {}), ("{% for i in x %}{% endfor %}", {}), ("{{ x == 1 }}", {}),
    ("{{ x ~ 'a' }}", {}), ("{{ 1 in x }}", {}), ("{{ x in [1] }}", {}), ("{{ not x }}", {}),
    ("{{ x or 1 }}", {}), ("{{ x and 1 }}", {}), ("{{ 1 if x else 2 }}", {}), ("{{ x[1:] }}", {}),
    ("{{ x + 1 }}", {}), ("{{ -x }}", {}), ("{{ (1 if false).foo }}", {}),
    ("{{ 1|nope }}", {}), ("{% if false %}{{ x|nope }}{{ nofunc() }}{% endif %}ok", {}),
    ("{{ nofunc() }}", {}), ("{{ [1]|map('nope')|list }}", {}), ("{{ [1]|select('nope')|list }}", {}),
    ("{% for a, b in [1] %}{% endfor %}", {}), ("{% for a, b in [[1, 2, 3]] %}{% endfor %}", {}),
    ("{% for a, b in ['ab'] %}{{ a }}{% endfor %}", {}), ("{% set a, b = 1 %}", {}),
    ("{% set a, b = [1, 2, 3] %}", {}), ("{% set %}x{% endset %}", {}),
    ("{% for x in 5 %}{% endfor %}", {}), ("{% for x in true %}{% endfor %}", {}),
    ("{% for x in range %}{% endfor %}", {}), ("{% for x in none %}x{% else %}empty{% endfor %}", {}),
    ("{% autoescape 'bad' %}{% endautoescape %}", {}), ("{% autoescape 'json' %}{{ 1 }}{% endautoescape %}", {}),
    ("{% filter nope %}x{% endfilter %}", {}), ("{% for x in [1] %}{{ loop(1) }}{% endfor %}", {}),
    ("{% for x in [1] recursive %}{{ loop() }}{% endfor %}", {}),
    ("{% for x in [1] recursive %}{{ loop(1) }}{% endfor %}", {}),
    ("{% for x in [1] %}{{ loop.nope() }}{% endfor %}", {}),
    ("{% for x in [1] %}{{ loop|length }}{{ [loop]|map('string')|list }}{% endfor %}", {}),
    ("{% for x in [[]] recursive %}{{ loop(x) }}{% endfor %}", {}),
    ("{% for x in [d] recursive %}{{ loop([x]) }}{% endfor %}", {"d": 1}),
    ("{{ x|length }}", {"x": 5}), ("{{ (range(3)|chain(range(2)))|length }}", {}),
    ("a\nb\n{{ x }}", {}), ("{% for i in [1] %}\n\n{{ i.y.z }}{% endfor %}", {}),
    ("{{ 'a' }}\n{% if true %}\n  {{ 1 // 0 }}\n{% endif %}", {}),
    ("x\n{% for i in\n  y %}{% endfor %}", {}),
    ("{% set x = y %}ok", {}), ("{% set x = y %}{{ x }}", {}), ("{{ [y] }}", {}),
    ("{{ {'a': y} }}", {}), ("{% with a = y %}ok{% endwith %}", {}),
    ("{{ y|default(1) }}{{ y is defined }}{{ y is undefined }}", {}),
    ('{{ "abc"|replace(old="a", new="b") }}', {}), ('{{ "abc"|replace("a", new="b") }}', {}),
    ('{{ "abc"|replace("a") }}', {}), ('{{ "abc"|replace(x, "b", "c") }}', {}),
    ("{{ m|dictsort(by=1) }}", {"m": {"a": 1}}), ("{{ m|dictsort(by=true, case_sensitive=1) }}", {"m": {"a": 1}}),
    ("{{ m|dictsort(by=none) }}{{ m|dictsort(by='x') }}", {"m": {"a": 1}}),
    ("{{ m|dictsort(by='value', reverse=true) }}", {"m": {"b": 1, "a": 1, "c": 0}}),
    ("{{ m|dictsort(reverse=true) }}", {"m": {"A": 1, "a": 2, "b": 0}}),
    ("{{ m.a() }}", {"m": {"a": 1}}), ("{{ m.n(1, k=2) }}", {"m": {"n": None}}), ("{{ m.l() }}", {"m": {"l": [1]}}),
    ("{{ m.b() }}", {"m": {"a": 1}}), ("{% set ns = namespace(a=1) %}{{ ns.a() }}", {}),
    ("{% set ns = namespace(a=1) %}{{ ns.b() }}", {}),
    ("{% for x in [1] %}{{ loop.index() }}{% endfor %}", {}),
    ("{% for x in [1] %}{{ loop.previtem() }}{% endfor %}", {}),
    ("{% for x in [1] %}{{ loop() }}{% endfor %}", {}), ("{% for x in [1] %}{{ loop(1, a=1) }}{% endfor %}", {}),
    ("{% for x in [1] %}{{ loop(a=1) }}{% endfor %}", {}),
    ("{% for x in [1] recursive %}{% if x == 1 %}{{ loop(a=1) }}{% else %}{{ x }}{% endif %}{% endfor %}", {}),
    ('{{ "ab" * 18446744073709551615 }}', {}), ('{{ 18446744073709551615 * "ab" }}', {}),
    ('{{ "ab" * 18446744073709551616 }}', {}), ('{{ "" * 18446744073709551615 }}', {}),
    ("{{ 'a'\n ~ x\n }}", {}), ("{{ x\n ~ 'a' }}", {}), ("{{ 'a' ~\n\n x.y }}", {}),
    ("{{ x\n|upper }}", {}), ("{{ [1,\n x]|join }}", {}), ("{{ 'a' ~ [1,\n 2] ~ x }}", {}),
    ("{{ f(1,\n x) }}", {}), ("{{ -\nx }}", {}), ("{{ 1 +\n x }}", {}), ("{% if 1 ==\n x %}{% endif %}", {}),
    ("{% for i in y\n|list %}{% endfor %}", {}), ("{{ (1 if x\n else 2) }}", {}), ("{{ x.y\n.z }}", {"x": {}}),
    ("{{ 'a' if\n x }}", {}), ("{{ x[\n1] }}", {}), ("{{ 'a'\n|nope }}", {}),
)


def nesting_template(shape, depth):
    if shape == "if":
        return "{% if true %}" * depth + "x" + "{% endif %}" * depth
    if shape == "brackets":
        return "{{ " + "[" * depth + "1" + "]" * depth + " }}"
    return "{{ " + "-" * depth + "1 }}"


def cases():
    for template in SYNTAX:
        yield case("error.syntax", template)
    for shape, depth in NESTING:
        yield case("error.nesting", nesting_template(shape, depth))
    yield case("error.nesting", "{{ f(" + ", ".join(["1"] * 2001) + ") }}")
    yield case("error.nesting", "{{ range(" + ", ".join(["1"] * 2000) + ") }}")
    for template, ctx in RUNTIME:
        yield case("error.runtime", template, ctx)
    yield case("error.recursion", "{% for x in [1] recursive %}{{ loop([x]) }}{% endfor %}")
    yield case("error.recursion",
               "{% for x in [1] recursive %}{% if loop.depth < 499 %}{{ loop([x]) }}"
               "{% else %}{{ loop.depth }}{% endif %}{% endfor %}")
