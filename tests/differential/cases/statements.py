"""Statements, scoping, loop variables, whitespace control and the trailing-newline rule, at
the level of detail the filter and operator families assume."""

from .model import case

WHITESPACE = (
    "line\n", "line\r\n", "line\n\n", "line\r", "line\n\r", "a  {{- 1 -}}  b", "x {# c -#}   y",
    "x   {#- c #} y", "{{ 'a' }}\n\t{{- 'b' }}", "{% if true %}\nx\n{%- endif %}", "{{-1}}",
    "a {{ 5 -}}   x", "a\n{% if true %}\nx\n{% endif %}\nb", "{{+ 1 +}}", "{# a {# b #} c #}",
    " {%- raw -%}  {{ x }}  {%- endraw -%} !", "{% raw %}{% if %}{{ {# {% endraw %}",
    "a\u00a0 {{- 1 }}", "{{ 1 -}}\u3000b", "a\r\nb", "{%raw%}x{%endraw%}",
)

LOOPS = (
    "{% for x in [1, 2, 3] %}{{ loop.index }}{{ loop.index0 }}{{ loop.first }}{{ loop.last }}{{ loop.length }}{{ loop.revindex }}{{ loop.revindex0 }};{% endfor %}",
    "{% for x in 'abc' %}{{ loop.length is defined }}{{ loop.last }}{{ loop.revindex is defined }};{% endfor %}",
    "{% for x in [1, 2, 3] %}{{ loop.previtem }}-{{ loop.nextitem }};{% endfor %}",
    "{% for x in [1, 2, 3] %}{{ loop.previtem is defined }}{{ loop.nextitem is defined }};{% endfor %}",
    "{% for x in range(5) if x is odd %}{{ x }}{{ loop.index }}/{{ loop.length }};{% endfor %}",
    "{% for x in [] %}x{% else %}empty{% endfor %}",
    "{% for x in [1] if false %}x{% else %}rejected{% endfor %}",
    "{% for k, v in {'b': 1, 'a': 2}|dictsort %}{{ k }}={{ v }};{% endfor %}",
    "{% for a, in [[1]] %}{{ a }}{% endfor %}",
    "{% for (a, (b, c)) in [[1, [2, 3]]] %}{{ a }}{{ b }}{{ c }}{% endfor %}",
    "{% set y = 0 %}{% for x in [1, 2] %}{% set y = y + x %}{% endfor %}{{ y }}",
    "{% for x in [1, 2] %}{% if loop.first %}{% set z = 1 %}{% endif %}{{ z is defined }}{% endfor %}",
    "{% for x in [1] %}{% endfor %}{{ x is defined }}",
    "{% for x in [1] %}{% for y in [2] %}{{ loop.depth }}{{ loop.depth0 }}{% endfor %}{% endfor %}",
    "{% for x in [[1, [2]]] recursive %}[{{ loop.depth }}{% if x is iterable %}{{ loop(x) }}{% else %}{{ x }}{% endif %}]{% endfor %}",
    "{% for x in [[]] recursive %}[{{ loop(x) }}]{% else %}E{% endfor %}",
    "{% for x in [1, 2] %}{{ loop.cycle('odd', 'even') }}{% endfor %}",
    "{% for x in [1, 1, 2] %}{{ loop.changed(x) }}{% endfor %}",
    "{% for x in [1, 2] %}{{ loop.changed() }}{% endfor %}",
    "{% for x in [1] %}{% for y in [1] if loop.index %}{{ y }}{% endfor %}{% endfor %}",
    "{% for x in [1] if loop %}{% endfor %}",
    "{% for x in [1] %}{{ loop.nope is defined }}{{ loop|list }}{% endfor %}",
    "{% for x in {'a': 1}|items %}{{ loop.length }}{{ x }}{% endfor %}",
    "{% for c in [1]|chain([2]) %}{{ loop.length }}{% endfor %}",
)

ASSIGNMENTS = (
    "{% if true %}{% set a = 1 %}{% endif %}{{ a }}",
    "{% if 0 %}a{% elif '' %}b{% elif [1] %}c{% else %}d{% endif %}",
    "{% with a = 1, b = a %}{{ a }}{{ b }}{% endwith %}{{ a is defined }}",
    "{% with (a, b) = [1, 2] %}{{ a }}{{ b }}{% endwith %}",
    "{% set x = 1, 2 %}{{ x }}", "{% set y = 1, %}{{ y }}", "{% set a, b = 1, 2 %}{{ a }}{{ b }}",
    "{% set (c, d) = [3, 4] %}{{ c }}{{ d }}", "{% set t %}a{{ 1 }}b{% endset %}{{ t }}",
    "{% set t | upper %}abc{% endset %}{{ t }}", "{% set t | replace('a', 'b') | upper %}aa{% endset %}{{ t }}",
    "{% set u = missing %}ok", "{% set x = 1 %}{% with %}{% set x = 2 %}{{ x }}{% endwith %}{{ x }}",
    "{% set a, (b, c) = [1, [2, 3]] %}{{ a }}{{ b }}{{ c }}", "{% set (a, b), (c) = [[1, 2], 3] %}{{ a }}{{ b }}{{ c }}",
    "{% set a, (b, (c,)), () = [1, [2, [3]], []] %}{{ a }}{{ b }}{{ c }}",
    "{% set ns = namespace() %}{% set a, (ns.b, c) = [1, [2, 3]] %}{{ ns.b }}{{ c }}",
    "{% set a,\n(b, c) = [1, [2]] %}", "{% set a, (b, c) = [1, 2] %}", "{% set (a, b), = [[1, 2]] %}",
    "{% set a, (b c) = 1 %}", "{% set a, (loop) = 1 %}", "{% set (a) %}x{% endset %}{{ a }}",
    "{% set (a, b) %}xy{% endset %}", "{% set a, (b, c) | upper %}x{% endset %}",
)

BLOCKS = (
    "{% filter upper %}abc{% endfilter %}", "{% filter replace('a', 'b')|upper %}aa{% endfilter %}",
    "{% filter upper %}{% set z = 1 %}{% endfilter %}{{ z }}",
    "{% autoescape true %}{{ '<a>' }}{{ '<a>'|safe }}{{ none }}{{ 5 }}{{ [1, '<'] }}{% endautoescape %}",
    "{% autoescape 'html' %}{{ \"'/\" }}{% endautoescape %}{{ '<' }}",
    "{% autoescape false %}{{ '<' }}{% endautoescape %}", "{% autoescape 'none' %}{{ '<' }}{% endautoescape %}",
    "{% autoescape 1 %}{{ '<' }}{% endautoescape %}", "{% autoescape [] %}{{ '<' }}{% endautoescape %}",
    "{% autoescape true %}{% set c %}<b>{% endset %}{{ c is safe }}{{ c }}{% endautoescape %}",
    "{% autoescape true %}{{ ['<', '>']|join('&'|safe) }}{{ '<'|replace('<', '&lt;'|safe) }}{% endautoescape %}",
    "{% autoescape true %}{{ '<'|e }}{{ 'x' ~ '<' }}{{ '<'|tojson }}{% endautoescape %}",
    "{% autoescape true %}{% for x in [['<']] recursive %}{{ loop(x) if x is sequence else x }}{% endfor %}{% endautoescape %}",
    "{% do range(3) %}ok", "{% do dict(a=1).items() %}",
    # JSON escaping prints plain JSON; the filters that follow the mode follow it there too.
    "{% autoescape 'json' %}{{ \"it's <b>\" }}|{{ [1, '<'] }}|{{ {'a': '<'|safe, 'b': none} }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ none }}{{ true }}{{ 1.5 }}{{ 1e100 }}{{ 'a' if false }}{{ '<'|safe }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ 'x'|e }}{{ '<'|e|e }}{{ ['<']|e }}{{ none|e }}{{ (1 if false)|e }}{{ ('<'|e ~ 'x') }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ ['<'|e] }}{{ '<'|e is safe }}{{ '<'|e|length }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ 'a\u2028\x7f\x01\t' }}{{ '\u00e9' }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ {none: 1} }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ ['<'|safe, '>']|join }}|{{ ['<', '>']|join('&'|safe) }}|{{ ['<', '>']|join('&') }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ ['a'|safe, 'b']|join(',') }}|{{ ['<'|safe, 1, none, ['x']]|join }}|{{ 'ab'|join('<'|safe) }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ ['a'|safe, (1 if false)]|join(',') }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ ['a'|safe, x]|join(',') }}{% endautoescape %}",
    "{% autoescape true %}{{ ['a'|safe, x]|join(',') }}{% endautoescape %}",
    "{% autoescape true %}{{ ['a'|safe, (1 if false), none, [1, '<']]|join(',') }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ '<'|replace('<', '&lt;'|safe) }}|{{ '<'|safe|replace('<', '>') }}|{{ 'a<'|safe|replace('<', '>'|safe) }}|{{ 1|replace('1', '>'|safe) }}{% endautoescape %}",
    "{% autoescape true %}{{ '<'|safe|replace('<', '>') }}|{{ '&lt;'|safe|replace('<', '>') }}|{{ '<'|replace('<'|safe, '>') }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ '[%s]'|safe|format('<') }}|{{ '[%s]'|format('<'|safe) }}|{{ '[%s]'|safe|format(none) }}|{{ '[%s]'|safe|format([1, 'a']) }}{% endautoescape %}",
    "{% autoescape 'json' %}{{ '[%5s]'|safe|format('<') }}|{{ '[%.1s]'|safe|format('<<') }}|{{ '[%s]'|safe|format(x) }}|{{ '[%s]'|safe|format(1.5) }}{% endautoescape %}",
    "{% autoescape true %}{{ '[%s]'|safe|format([1, '<']) }}|{{ '[%s]'|safe|format(none) }}|{{ '[%s]'|safe|format(x) }}{% endautoescape %}",
    "{% autoescape 'json' %}{% set c %}a<{% endset %}{{ c }}{% filter upper %}b<{% endfilter %}{{ 'x'|tojson }}{% endautoescape %}",
    "{% autoescape 'json' %}{% for x in [['<']] recursive %}{{ loop(x) if x is sequence else x }}{% endfor %}{% endautoescape %}",
    "{% autoescape 'json' %}{% for x in [1] %}{{ loop }}{% endfor %}{{ namespace(a=1) }}{{ 'ab'|list }}{% endautoescape %}",
)


FAMILIES = {
    "statement.whitespace": WHITESPACE,
    "statement.loop": LOOPS,
    "statement.assign": ASSIGNMENTS,
    "statement.block": BLOCKS,
}


def cases():
    for family, templates in FAMILIES.items():
        for template in templates:
            yield case(family, template)
