"""How values print: at top level, inside containers (repr form), through ~, |string and
|join, and the float forms at their switch points."""

from .model import case
from .values import ALL_SUBJECTS, subject

FORMS = ("{{ X }}", "{{ [X] }}", '{{ {"k": X} }}', "{{ X|string }}", '{{ X ~ "" }}',
         "{{ [X]|join }}", "{{ X|pprint }}")

FLOATS = ("1.0", "1.5", "0.1 + 0.2", "1e16", "1e15", "1e-4", "1e-5", "123456789012345678.0",
          "1e100", "5e-324", "1.7976931348623157e308", "-1e-10", "2.5e-5", "1e21", "1e22",
          "-0.0", "0.0", "1/0", "-1/0", "0.0/0", "1234567.125", "100.0", "1e-7", "9.999999999999999e15",
          "0.000123", "12345678901234567890.0", "1.2345678901234568e17", "3.0 * 1.1")

STRINGS = ("'plain'", "'quote\"s'", '"apos\'"', "'back\\\\slash'", "'nl\\nline'", "'tab\\tx'",
           "'cr\\r'", "'nul\\0'", "'\\x01\\x7f'", "'\\u200b'", "'\\ufeff'", "'\\u00a0'",
           "'x\\u0301'", "'é'", "'💩'", "'\\ud83d\\udca9'", "'\\xab'", "'\\101'", "'\\12'",
           "'\\s'", "'\\8'", "'\\/'", "'\\b\\f'", "'\\u2028'", "'\\u0085'", "'\\u00ad'",
           "'\\u0300'", "'\\u{41}'", "'\\777'", "'\\u12'", "'\\ud83d'", "'\\udca9'", "'\\xZZ'",
           "'unterminated")


def subject_forms():
    for subject_name in ALL_SUBJECTS:
        expr, ctx = subject(subject_name)
        for form in FORMS:
            yield case("display.value", form.replace("X", expr), ctx)


def float_forms():
    for literal in FLOATS:
        yield case("display.float", f"{{{{ {literal} }}}}|{{{{ [{literal}] }}}}")


def string_forms():
    for literal in STRINGS:
        yield case("display.string", f"{{{{ {literal} }}}}|{{{{ [{literal}] }}}}")


def misc_forms():
    for template in (
        "{{ none }}{{ None }}{{ true }}{{ True }}{{ false }}{{ False }}",
        "{{ [none, true, false] }}", "{{ {none: 1, true: 2} }}",
        "{{ [[], {}, [[]], {'a': {}}] }}", "{{ range(3) }}", "{{ range(0) }}",
        "{{ [1]|chain('ab') }}", "{% for x in [1, 2, 3] %}{{ loop }}{% endfor %}",
        "{% for x in 'ab' %}{{ loop }}{% endfor %}", "{{ namespace(t=3) }}",
        "{{ [1, 2]|reverse }}", "{{ {'a': 1}|items }}", "{{ [1, 2][:1] }}",
        "{{ [('a'|safe)] }}", "{{ {1.5: 2.5} }}", "{{ [1e16, 1e-5, -0.0, 1/0] }}",
        "{{ [1, 2]|zip([3]) }}", "{{ v }}|{{ v|length }}",
    ):
        yield case("display.misc", template, {"v": {"z": 1, "a": 2, "m": [1]}})


def cases():
    yield from subject_forms()
    yield from float_forms()
    yield from string_forms()
    yield from misc_forms()
