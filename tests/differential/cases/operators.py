"""Operators across value kinds: every binary operator on every pair of a set of operands, unary
operators, subscripts and slices, and literal expressions probing arithmetic edges, precedence,
comparison chains and the constant-folding of `and`."""

from .model import case
from .values import ALL_SUBJECTS, VALUES, subject

# operator -> family name (ids stay free of shell and TSV special characters)
BINARY = {
    "+": "add", "-": "sub", "*": "mul", "/": "div", "//": "floordiv", "%": "mod", "**": "pow",
    "~": "concat", "==": "eq", "!=": "ne", "<": "lt", "<=": "le", ">": "gt", ">=": "ge",
    "in": "in", "not in": "not_in", "and": "and", "or": "or",
}

OPERANDS = ("undefined", "none", "true", "zero", "int", "neg", "i64max", "float", "fnegzero",
            "str", "list", "map")

# Operands only a template can build, paired with a few JSON operands.
EXTRA_OPERANDS = ("silent_undefined", "range", "safe", "tuple")
EXTRA_PARTNERS = ("int", "str", "list", "silent_undefined")

SUBSCRIPTS = ("[0]", "[-1]", "[1.0]", "[true]", "[1.5]", '["a"]', ".a", ".0", "[10]", "[-10]",
              "[none]", "[:]", "[1:]", "[::-1]", "[::2]", "[1:-1]", "[::0]", '["a":]', "[none:2]",
              "[-3:]", "[10:]", "[4:1:-2]", "[1.0:2]")

SUBSCRIPT_SUBJECTS = ("str", "unicode", "list", "map", "nested", "none", "undefined",
                      "silent_undefined", "int", "true", "range", "tuple", "iterator", "namespace",
                      "safe", "map_nested")

EXPRESSIONS = (
    # integer division and remainder
    "7 // 2", "-7 // 2", "7 // -2", "7.5 // 2", "-7.5 // 2", "1.0 // 0", "-7 % 3", "7 % -3",
    "-7.0 % 3", "1.0 % 0", "1 // 0", "1 % 0", "7 % 2.5", "-0.0 // 1",
    # power
    "2 ** 3 ** 2", "-2 ** 2", "2 ** -1", "2 ** 127", "2 ** 126", "0 ** 0", "2 ** -1.0",
    "(-8) ** (1/3)", "2 ** 0.5", "10 ** 20", "(-2) ** 3", "2 ** 4294967296",
    # division
    "4 / 2", "1 / 0", "-1 / 0", "0.0 / 0", "1 / 3", "10 / 4", "-0.0 / 1", "1 / -0.0",
    # integer range
    "170141183460469231731687303715884105727 + 1", "-170141183460469231731687303715884105727 - 2",
    "18446744073709551615 + 1", "340282366920938463463374607431768211455",
    "340282366920938463463374607431768211455 + 0", "340282366920938463463374607431768211456",
    "9223372036854775807 * 2", "9223372036854775807 + 1", "-9223372036854775808 - 1",
    "18446744073709551615", "-18446744073709551615", "-(-170141183460469231731687303715884105727 - 1)",
    "0x1F", "0o17", "0b101", "0X1f", "1_000", "1_0.5", "0b12", "0x", "1_", "1e", "1.e5", "1.", "1E-2",
    "12345678901234567890 * 10", "2 ** 64",
    # repetition
    "'a' * 3", "3 * 'a'", "'a' * 2.0", "'a' * -1", "'a' * 2.5", "'a' * true", "[1] * 3",
    "3 * [1, 2]", "[1] * -1", "[1] * 2.5", "'ab' * 0", "('a' * 100000001)|length",
    "range(2) * 2", "([1]|chain('a')) * 2",
    # concatenation and ~
    "'a' ~ 1 + 2", "'a' ~ 1 ~ none ~ true ~ [1]", "[1] + [2]", "[1] + range(2)", "range(2) + [5]",
    "'a' + 1", "1 + 'a'", "true + true", "true + 1", "2 * true", "1.5 ~ 2", "'x' ~ {'a': 1}",
    "([1] + [2]) is sequence", "([1] + [2])|length", "([1] + [2])[1]",
    # equality and ordering
    "1 == 1.0", "true == 1", "false == 0", "0.1 + 0.2 == 0.3", "9007199254740993 == 9007199254740992.0",
    "(1, 2) == [1, 2]", "[0, 1] == range(2)", "{'a': 1} == {'a': 1.0}", "'1' == 1", "none == false",
    "1 < 'a'", "none < false", "true < 0", "'a' < [1]", "[5] < range(2)", "true >= 1", "'B' < 'a'",
    "[1, 2] < [1, 3]", "{'a': 1} < {'b': 0}", "1 < 2 < 3", "1 < 2 > 0", "3 > 2 > 1 == 1",
    "1 < 3 < 2", "'a' == 'a'|safe", "{} == {}", "[] == ()", "0.0 == -0.0",
    # containment
    "1 in 'a1'", "'a' in {'a': 1}", "1 in [1.0]", "1 in 5", "1 in none", "'x' not in 'abc'",
    "[1] in [[1]]", "'' in ''", "none in [none]", "1 in range(3)",
    # and / or / not, constant folding
    "0 and 1", "'' and 1", "1 and 2", "[] and 1", "0 or 'b'", "false and foo", "true or foo",
    "not 1 == 1", "not not 1", "not 0", "none or none", "1 and 0 or 3", "not 1 is odd",
    # unary minus
    "- -1", "-'a'", "-[1]|length", "-none", "-true", "-0.0", "--2", "-2.5|abs",
    # precedence
    "1 + 2 * 3", "(1 + 2) * 3", "10 - 2 - 3", "2 * 3 // 4", "2 + 3 ~ 4", "2 ** 2 * 3",
    "1 + 2 == 3", "1 if true else 2", "1 if false", "(1 if false) ~ 'x'", "1 if false else 2 if false else 3",
    "'a' if 0", "[1 if false]", "(1 if false) is defined",
    # literals
    "(1, 2)", "(1,)", "()", "(1)", "[1, 2, ]", "{'a': 1, }", "{1: 'a', 1.0: 'b'}",
    "{'a': 1, 'a': 2}", "'a' 'b' \"c\"", "true ~ True ~ false ~ none ~ None",
    "NONE",
)

VARIABLE_EXPRESSIONS = (
    ("x and 1", {"x": 0}), ("items and 1", {"items": []}), ("x or y", {"x": 0, "y": "b"}),
    ("-x.y", {"x": {"y": 1}}), ("x.y.z", {"x": {"y": {}}}), ("x.y.z.w", {"x": {"y": {}}}),
    ("x.0.1", {"x": [[1, 2]]}), ("x.0.bar", {"x": [{"bar": 3}]}), ("x[0][1]", {"x": [[1, 2]]}),
    ("x[y]", {"x": {"a": 1}, "y": "a"}), ("x['a']['b']", {"x": {"a": {"b": 5}}}),
    ("x[1]", {"x": {"1": "str key"}}), ("a < b < c", {"a": 1, "b": 2, "c": 3}),
    ("x is defined and x.y", {"x": {"y": 2}}), ("x ~ y", {"x": 1, "y": None}),
)


def operand_expr(name, side):
    """The operand as an expression; JSON operands come from context key a or b."""
    if name in VALUES:
        return side, {side: VALUES[name]}
    expr, _ = subject(name)
    return expr, {}


def binary_case(left, op, right):
    lexpr, lctx = operand_expr(left, "a")
    rexpr, rctx = operand_expr(right, "b")
    return case(f"op.{BINARY[op]}", f"{{{{ {lexpr} {op} {rexpr} }}}}", {**lctx, **rctx})


SEQUENCES = {"list", "range", "tuple"}


def unbounded(left, op, right):
    """Sequence repetition has no size cap: a huge count would exhaust memory on both sides."""
    return op == "*" and {left, right} & SEQUENCES and "i64max" in (left, right)


def matrix_cases():
    pairs = [(left, right) for left in OPERANDS for right in OPERANDS]
    for extra in EXTRA_OPERANDS:
        for partner in EXTRA_PARTNERS:
            pairs += [(extra, partner), (partner, extra)]
    for op in BINARY:
        for left, right in pairs:
            if not unbounded(left, op, right):
                yield binary_case(left, op, right)


def unary_cases():
    for subject_name in ALL_SUBJECTS:
        expr, ctx = subject(subject_name)
        yield case("op.neg", f"{{{{ -{expr} }}}}", ctx)
        yield case("op.not", f"{{{{ not {expr} }}}}", ctx)


def subscript_cases():
    for subject_name in SUBSCRIPT_SUBJECTS:
        expr, ctx = subject(subject_name)
        for sub in SUBSCRIPTS:
            yield case("op.subscript", f"{{{{ {expr}{sub} }}}}", ctx)
    for sub in SUBSCRIPTS:
        yield case("op.subscript", f"{{{{ 'hello'{sub} }}}}")


def literal_cases():
    for expr in EXPRESSIONS:
        yield case("op.expression", f"{{{{ {expr} }}}}")
    for expr, ctx in VARIABLE_EXPRESSIONS:
        yield case("op.expression", f"{{{{ {expr} }}}}", ctx)


def cases():
    yield from matrix_cases()
    yield from unary_cases()
    yield from subscript_cases()
    yield from literal_cases()
