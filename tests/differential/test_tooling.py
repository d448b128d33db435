"""Checks of the differential tooling itself: run with
`.venv-conformance/bin/python -m unittest discover -s tests/differential`."""

import json
import pathlib
import subprocess
import sys
import tempfile
import unittest

import compare
import generate
import run_minijinja
import supervise
from cases import builtin_filters, builtin_tests

DIALECT_FILTERS = {
    "abs", "attr", "batch", "bool", "capitalize", "chain", "count", "d", "default", "dictsort",
    "e", "escape", "first", "float", "format", "groupby", "indent", "int", "items", "join",
    "last", "length", "lines", "list", "lower", "map", "max", "min", "pprint", "reject",
    "rejectattr", "replace", "reverse", "round", "safe", "select", "selectattr", "slice", "sort",
    "split", "string", "sum", "title", "trim", "unique", "upper", "zip", "tojson", "urlencode",
}
DIALECT_TESTS = {
    "defined", "undefined", "none", "safe", "escaped", "boolean", "odd", "even", "divisibleby",
    "number", "integer", "int", "float", "string", "sequence", "iterable", "mapping",
    "startingwith", "endingwith", "lower", "upper", "sameas", "eq", "equalto", "ne", "lt",
    "lessthan", "le", "gt", "greaterthan", "ge", "in", "true", "false", "filter", "test",
}


def render(template, context=None):
    case = {"id": "x", "template": template, "context": context or {}}
    return run_minijinja.Renderer().render(case)


class GeneratorTest(unittest.TestCase):
    def test_covers_every_builtin_filter_and_test(self):
        self.assertEqual(set(builtin_filters.FILTERS), DIALECT_FILTERS)
        self.assertEqual(set(builtin_tests.TESTS), DIALECT_TESTS)

    def test_is_deterministic_with_unique_ids(self):
        first = [case_id for case_id, _ in generate.all_cases()]
        second = [case_id for case_id, _ in generate.all_cases()]
        self.assertEqual(first, second)
        self.assertEqual(len(first), len(set(first)))

    def test_known_differences_match_the_cases(self):
        ids = {case_id for case_id, _ in generate.all_cases()}
        known = compare.read_known(compare.HERE / "known_differences.tsv")
        self.assertEqual(set(known) - ids, set(), "entries without a case")
        binding = {case_id for case_id in ids if case_id.startswith("binding.")}
        self.assertEqual(binding - set(known), set(), "binding cases not listed as known")

    def test_contexts_are_json(self):
        for _, case in generate.all_cases():
            json.dumps(case.context, allow_nan=False)


class MinijinjaRunnerTest(unittest.TestCase):
    CONTAINERS = [
        ({"v": [1, "a\n\"\\", None, True, -0.0, 1e300]}, '[1, "a\\n\\"\\\\", None, True, -0.0, 1e300]'),
        ({"v": {"b": 1, "a": {"d": [], "c": {}}}}, '{"a": {"c": {}, "d": []}, "b": 1}'),
        ({"v": [2**64 - 1, -(2**63), 2**70]}, "[18446744073709551615, -9223372036854775808, 1.1805916207174113e21]"),
        ({"v": ["\u0001", "💩", "\u2028"]}, '["\\u{1}", "💩", "\\u{2028}"]'),
    ]

    def test_binding_wraps_the_pinned_crate(self):
        from importlib.metadata import distribution

        dist = distribution("minijinja")
        self.assertEqual(dist.version, run_minijinja.EXPECTED_VERSION)
        sbom = next(f for f in dist.files if "sboms" in str(f.parent))
        crates = {c["name"]: c["version"] for c in json.loads(sbom.read_text())["components"]}
        self.assertEqual(crates["minijinja"], run_minijinja.EXPECTED_VERSION)

    def test_containers_become_native_values(self):
        for context, printed in self.CONTAINERS:
            with self.subTest(context=context):
                self.assertEqual(render("{{ v }}", context), {"output": printed})

    def test_scalars_pass_as_context(self):
        prelude, native = run_minijinja.split_context({"a": 1, "b": "x", "c": [1], "d": 2**63})
        self.assertEqual(native, {"a": 1, "b": "x"})
        self.assertEqual(prelude, "{% set c = [1] %}{% set d = 9223372036854775808 %}")

    def test_reserved_key_with_container_is_reported(self):
        self.assertEqual(render("{{ loop }}", {"loop": [1]})["error"]["kind"], "harness")

    def test_prelude_keeps_line_numbers(self):
        self.assertEqual(render("{{ v }}\n{{ x }}", {"v": [1]}),
                         {"error": {"kind": "undefined value", "line": 2}})

    def test_errors_are_normalised(self):
        self.assertEqual(render("\n{{ 1 // 0 }}"), {"error": {
            "kind": "invalid operation", "detail": "unable to calculate 1 // 0", "line": 2}})
        self.assertEqual(render("{% if %}")["error"]["kind"], "syntax error")
        self.assertEqual(render("{{ '\\u12' }}"), {"error": {"kind": "bad string escape", "line": 1}})

    def test_binding_extras_are_off(self):
        self.assertEqual(render("{{ 'ab'.upper() }}")["error"]["kind"], "unknown method")
        self.assertEqual(render("{{ 1|truncate }}")["error"]["kind"], "unknown filter")
        self.assertEqual(render("{{ cycler() }}")["error"]["kind"], "unknown function")

    def test_survives_a_panic(self):
        renderer = run_minijinja.Renderer()
        panic = renderer.render({"id": "p", "template": "{{ 1 is divisibleby 0 }}"})
        self.assertEqual(panic["error"]["kind"], "panic")
        self.assertEqual(renderer.render({"id": "q", "template": "{{ 1 }}"}), {"output": "1"})


class CompareTest(unittest.TestCase):
    OUT_A, OUT_B = {"output": "a"}, {"output": "b"}
    ERR = {"error": {"kind": "undefined value", "line": 1}}
    ERR_LINE = {"error": {"kind": "undefined value", "line": 2}}
    ERR_KIND = {"error": {"kind": "invalid operation", "line": 1}}
    TABLE = (
        (OUT_A, OUT_A, "same"), (OUT_A, OUT_B, "output differs"), (ERR, ERR, "same"),
        (ERR, ERR_LINE, "error detail differs"), (ERR, ERR_KIND, "error kind differs"),
        (ERR, OUT_A, "only minijinja errors"), (OUT_A, ERR, "only engine errors"),
        (OUT_A, None, "missing result"),
    )

    def test_classify(self):
        for reference, engine, outcome in self.TABLE:
            with self.subTest(reference=reference, engine=engine):
                self.assertEqual(compare.classify(reference, engine), outcome)

    def test_known_differences_are_counted_apart_and_stale_ones_flagged(self):
        cases = {"f-1": {"id": "f-1"}, "f-2": {"id": "f-2"}}
        reference = {"f-1": self.OUT_A, "f-2": self.OUT_A}
        engine = {"f-1": self.OUT_B, "f-2": self.OUT_A}
        counts, unexpected, accepted, stale = compare.compare(
            cases, reference, engine, {"f-1": "why", "f-2": "old"})
        self.assertEqual((unexpected, stale), ([], ["f-2"]))
        self.assertEqual(len(accepted), 1)
        self.assertEqual(counts["f"]["known"], 1)


class SuperviseTest(unittest.TestCase):
    # Answers like a renderer; dies on "die", hangs on "hang".
    CHILD = (
        "import json, sys, time\n"
        "for line in sys.stdin:\n"
        "    case = json.loads(line)\n"
        "    if case['template'] == 'die': sys.exit(3)\n"
        "    if case['template'] == 'hang': time.sleep(30)\n"
        "    print(json.dumps({'id': case['id'], 'output': case['template']}), flush=True)\n"
    )

    def test_crash_and_hang_are_recorded_and_the_run_goes_on(self):
        templates = ["a", "die", "b", "hang", "c"]
        with tempfile.NamedTemporaryFile("w", suffix=".jsonl", delete=False) as cases:
            for i, template in enumerate(templates):
                cases.write(json.dumps({"id": f"t-{i}", "template": template}) + "\n")
        with tempfile.TemporaryFile("w+") as out:
            supervise.run([sys.executable, "-c", self.CHILD], cases.name, out, timeout=1.0)
            out.seek(0)
            results = [json.loads(line) for line in out]
        outcomes = [r.get("output", r.get("error", {}).get("kind")) for r in results]
        self.assertEqual(outcomes, ["a", "crash", "b", "timeout", "c"])


# The conformance corpus with recorded minijinja results.
CORPUS = pathlib.Path(__file__).resolve().parents[1] / "jinja_conformance" / "cases.jsonl"


class CorpusTest(unittest.TestCase):
    def test_runner_reproduces_the_recorded_results(self):
        renderer = run_minijinja.Renderer()
        with open(CORPUS, encoding="utf-8") as f:
            for case in map(json.loads, f):
                expected = {k: case[k] for k in ("output", "error") if k in case}
                with self.subTest(case=case["id"]):
                    self.assertEqual(renderer.render(case), expected)


class EndToEndTest(unittest.TestCase):
    def test_runner_writes_one_result_per_case(self):
        with tempfile.NamedTemporaryFile("w", suffix=".jsonl", delete=False) as cases:
            cases.write(json.dumps({"id": "e-1", "template": "{{ v|length }}", "context": {"v": [1]}}) + "\n")
            cases.write(json.dumps({"id": "e-2", "template": "{{ x }}", "context": {}}) + "\n")
        out = subprocess.run([sys.executable, run_minijinja.__file__, cases.name], check=True,
                             capture_output=True, text=True).stdout
        self.assertEqual([json.loads(line) for line in out.splitlines()], [
            {"id": "e-1", "output": "1"},
            {"id": "e-2", "error": {"kind": "undefined value", "line": 1}},
        ])


if __name__ == "__main__":
    unittest.main()
