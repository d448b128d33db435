#!/usr/bin/env python3
"""Renders every case of a JSONL file with minijinja (PyPI binding) and writes one result per line.

Each result is {"id", "output"} or {"id", "error": {"kind", "detail", "line"}}, where kind is the
error kind's description ("syntax error", "invalid operation", ...); detail and line are left out
when minijinja gives none.

The binding differs from the engine configuration under test in ways that would hide every real
difference behind noise, so this runner undoes them:

* Python containers and integers beyond i64 reach templates as Python objects (printed with
  Python's repr, with Python methods, floats for big integers). Such context values are therefore
  written into the template as a `{% set %}` prelude of literals on its first line, so they become
  native values; scalars are passed as ordinary context values.
* The binding turns on Python method compatibility (`pycompat`); it is switched off.
* The binding registers the extra filters and globals of minijinja-contrib; they are removed.

What cannot be undone (see README.md): the binding's crate is built with `preserve_order`, so maps
built by a template keep insertion order, and with the `macros`, `multi_template` and
`loop_controls` features, so those statements parse.
"""

import argparse
import json
import math
import re
import sys

import minijinja

import supervise

EXPECTED_VERSION = "2.24.0"
TEMPLATE_NAME = "t"

CONTRIB_FILTERS = ("filesizeformat", "pluralize", "striptags", "truncate", "wordwrap")
CONTRIB_GLOBALS = ("cycler", "joiner")

# The binding reports the Rust ErrorKind variant name; the report uses the kind's description.
KIND_DESCRIPTIONS = {
    "NonPrimitive": "not a primitive",
    "NonKey": "not a key type",
    "InvalidOperation": "invalid operation",
    "SyntaxError": "syntax error",
    "TemplateNotFound": "template not found",
    "TooManyArguments": "too many arguments",
    "MissingArgument": "missing argument",
    "UnknownFilter": "unknown filter",
    "UnknownTest": "unknown test",
    "UnknownFunction": "unknown function",
    "UnknownMethod": "unknown method",
    "BadEscape": "bad string escape",
    "UndefinedError": "undefined value",
    "BadSerialization": "could not serialize to value",
    "CannotDeserialize": "cannot deserialize",
    "BadInclude": "could not render include",
    "EvalBlock": "could not render block",
    "CannotUnpack": "cannot unpack",
    "WriteFailure": "failed to write output",
    "UnknownBlock": "unknown block",
    "InvalidDelimiter": "invalid custom delimiters",
    "OutOfFuel": "engine ran out of fuel",
}

# Names that `{% set %}` refuses; such context keys can only be passed as context values.
RESERVED_NAMES = {"true", "True", "false", "False", "none", "None", "loop", "self"}
IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_]*\Z")
I64_MIN, I64_MAX, U64_MAX = -(2**63), 2**63 - 1, 2**64 - 1


class UnsupportedContext(Exception):
    pass


def new_environment():
    env = minijinja.Environment(undefined_behavior="strict", pycompat=False)
    for name in CONTRIB_FILTERS:
        env.remove_filter(name)
    for name in CONTRIB_GLOBALS:
        env.remove_global(name)
    return env


def json_number(value):
    """An integer as a JSON reader of the engine sees it: beyond 64 bits it becomes a float."""
    if I64_MIN <= value <= U64_MAX:
        return value
    return float(value)


def literal(value):
    """The template literal that evaluates to the JSON value."""
    if value is None:
        return "none"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        value = json_number(value)
    if isinstance(value, float):
        if not math.isfinite(value):
            raise UnsupportedContext("non-finite float")
        return repr(value)
    if isinstance(value, int):
        return str(value)
    if isinstance(value, str):
        return json.dumps(value, ensure_ascii=False)
    if isinstance(value, list):
        return "[" + ", ".join(literal(item) for item in value) + "]"
    if isinstance(value, dict):
        # JSON objects reach the engine ordered by key; the binding keeps literal order.
        pairs = sorted(value.items())
        return "{" + ", ".join(f"{literal(k)}: {literal(v)}" for k, v in pairs) + "}"
    raise UnsupportedContext(f"unsupported JSON value {value!r}")


def passes_natively(value):
    if isinstance(value, int) and not isinstance(value, bool):
        return I64_MIN <= value <= I64_MAX
    return value is None or isinstance(value, (bool, float, str))


def split_context(context):
    """Returns (prelude, native context): the values the binding would wrap become literals."""
    prelude, native = [], {}
    for key, value in context.items():
        if passes_natively(value):
            native[key] = value
        elif IDENTIFIER.match(key) and key not in RESERVED_NAMES:
            prelude.append(f"{{% set {key} = {literal(value)} %}}")
        else:
            raise UnsupportedContext(f"context key {key!r} cannot carry a container")
    return "".join(prelude), native


def kind_description(err):
    description = KIND_DESCRIPTIONS.get(err.kind)
    if description is None:
        # Unknown variant: the message starts with the description.
        description = re.split(r": | \(in ", err.message, maxsplit=1)[0]
    return description


def error_result(err):
    if err.kind == "Unknown" and err.message.startswith("panic during rendering"):
        return {"kind": "panic", "detail": err.message}
    result = {"kind": kind_description(err)}
    if err.detail is not None:
        result["detail"] = err.detail
    if err.line:
        result["line"] = err.line
    return result


class Renderer:
    def __init__(self):
        self.env = new_environment()

    def render(self, case):
        try:
            prelude, native = split_context(case.get("context", {}))
        except UnsupportedContext as exc:
            return {"error": {"kind": "harness", "detail": str(exc)}}
        try:
            return {"output": self.env.render_str(prelude + case["template"], TEMPLATE_NAME, **native)}
        except minijinja.TemplateError as err:
            result = error_result(err)
            if result["kind"] == "panic":
                # A panic poisons the environment's lock; later renders would all fail.
                self.env = new_environment()
            return {"error": result}


def check_version():
    from importlib.metadata import version

    found = version("minijinja")
    if found != EXPECTED_VERSION:
        sys.exit(f"error: minijinja {EXPECTED_VERSION} expected, found {found}")


def serve(cases, out):
    """Worker loop: one result line per case line, flushed so a supervisor can wait on it."""
    check_version()
    renderer = Renderer()
    for line in cases:
        if not line.strip():
            continue
        case = json.loads(line)
        result = {"id": case["id"], **renderer.render(case)}
        out.write(json.dumps(result, ensure_ascii=False) + "\n")
        out.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cases", nargs="?", help="JSONL file of cases")
    parser.add_argument("-o", "--output", help="result file (default: stdout)")
    parser.add_argument("--timeout", type=float, default=10.0, help="seconds per case")
    parser.add_argument("--worker", action="store_true",
                        help="read cases on stdin, answer on stdout (used by the supervisor)")
    args = parser.parse_args()
    if args.worker:
        serve(sys.stdin, sys.stdout)
        return
    if not args.cases:
        parser.error("a cases file is required")
    check_version()
    out = open(args.output, "w", encoding="utf-8") if args.output else sys.stdout
    with out:
        # A case that hangs or exhausts memory in minijinja must not take the run with it.
        supervise.run([sys.executable, __file__, "--worker"], args.cases, out, args.timeout)


if __name__ == "__main__":
    main()
