#!/usr/bin/env python3
"""Joins minijinja's and the engine's results by case id and reports where they differ.

The report opens with counts per family, then lists every unexpected difference with its
template, context and both results, then the accepted differences (known_differences.tsv) with
their reasons. Exit status is 0 unless --strict is given and an unexpected difference exists.
"""

import argparse
import collections
import json
import pathlib
import signal
import sys

HERE = pathlib.Path(__file__).resolve().parent

SAME = "same"
OUTCOMES = (
    SAME,
    "output differs",
    "error kind differs",
    "error detail differs",
    "only minijinja errors",
    "only engine errors",
    "missing result",
)


def read_jsonl(path):
    with open(path, encoding="utf-8") as f:
        return {record["id"]: record for record in map(json.loads, filter(str.strip, f))}


def read_known(path):
    """id -> reason; blank lines and lines starting with # are ignored."""
    known = {}
    if not path.exists():
        return known
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        case_id, sep, reason = line.partition("\t")
        if not sep:
            sys.exit(f"{path}:{number}: expected id<TAB>reason")
        known[case_id.strip()] = reason.strip()
    return known


def family_of(case_id):
    return case_id.rsplit("-", 1)[0]


def classify(reference, engine):
    if reference is None or engine is None:
        return "missing result"
    ref_error, eng_error = reference.get("error"), engine.get("error")
    if ref_error is None and eng_error is None:
        return SAME if reference.get("output") == engine.get("output") else "output differs"
    if ref_error is None:
        return "only engine errors"
    if eng_error is None:
        return "only minijinja errors"
    if ref_error.get("kind") != eng_error.get("kind"):
        return "error kind differs"
    same_detail = ref_error.get("detail") == eng_error.get("detail")
    same_line = ref_error.get("line") == eng_error.get("line")
    return SAME if same_detail and same_line else "error detail differs"


def result_text(record):
    if record is None:
        return "(no result)"
    if "error" in record:
        return "error " + json.dumps(record["error"], ensure_ascii=False)
    return "output " + json.dumps(record.get("output"), ensure_ascii=False)


def print_case(case, reference, engine, outcome, reason=None):
    print(f"--- {case['id']}  [{outcome}]")
    if reason:
        print(f"    known:     {reason}")
    print(f"    template:  {json.dumps(case['template'], ensure_ascii=False)}")
    print(f"    context:   {json.dumps(case.get('context', {}), ensure_ascii=False)}")
    print(f"    minijinja: {result_text(reference)}")
    print(f"    engine:    {result_text(engine)}")


def print_counts(counts):
    headers = ("family", "cases") + OUTCOMES[1:] + ("known",)
    short = ("family", "cases", "same", "out", "kind", "detail", "mj-err", "eng-err", "missing",
             "known")
    print("  ".join(f"{h:>7}" if i else f"{h:<24}" for i, h in enumerate(short)))
    total = collections.Counter()
    for family in sorted(counts):
        row = counts[family]
        total.update(row)
        print(format_row(family, row))
    print(format_row("TOTAL", total))
    print("columns: " + ", ".join(f"{s} = {h}" for s, h in zip(short[3:], headers[2:])))


def format_row(name, row):
    cells = [row["cases"], row[SAME]] + [row[o] for o in OUTCOMES[1:]] + [row["known"]]
    return f"{name:<24}  " + "  ".join(f"{c:>7}" for c in cells)


def reference_summary(cases, reference):
    """Without engine results, at least show what minijinja answers per family."""
    counts = collections.defaultdict(collections.Counter)
    for case_id in cases:
        record = reference.get(case_id)
        kind = "no result" if record is None else record.get("error", {}).get("kind", "output")
        counts[family_of(case_id)][kind] += 1
    print("engine results missing; minijinja's answers per family:")
    for family in sorted(counts):
        parts = ", ".join(f"{k}: {n}" for k, n in counts[family].most_common())
        print(f"  {family:<24} {parts}")


def compare(cases, reference, engine, known):
    counts = collections.defaultdict(collections.Counter)
    unexpected, accepted, stale = [], [], []
    for case_id, case in cases.items():
        ref, eng = reference.get(case_id), engine.get(case_id)
        outcome = classify(ref, eng)
        row = counts[family_of(case_id)]
        row["cases"] += 1
        if case_id in known:
            if outcome == SAME:
                stale.append(case_id)
                row[SAME] += 1
            else:
                row["known"] += 1
                accepted.append((case, ref, eng, outcome, known[case_id]))
            continue
        row[outcome] += 1
        if outcome != SAME:
            unexpected.append((case, ref, eng, outcome))
    return counts, unexpected, accepted, stale


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cases", help="JSONL cases (from generate.py)")
    parser.add_argument("minijinja", help="JSONL results of run_minijinja.py")
    parser.add_argument("engine", help="JSONL results of the engine (run through supervise.py)")
    parser.add_argument("--known", type=pathlib.Path, default=HERE / "known_differences.tsv")
    parser.add_argument("--family", default="", help="only families starting with this prefix")
    parser.add_argument("--strict", action="store_true", help="exit 1 on unexpected differences")
    args = parser.parse_args()
    # The report is often piped into a pager or head.
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)

    cases = {i: c for i, c in read_jsonl(args.cases).items() if family_of(i).startswith(args.family)}
    reference = read_jsonl(args.minijinja)
    if not pathlib.Path(args.engine).exists():
        reference_summary(cases, reference)
        return 1 if args.strict else 0
    engine = read_jsonl(args.engine)
    known = read_known(args.known)

    counts, unexpected, accepted, stale = compare(cases, reference, engine, known)
    print_counts(counts)
    print(f"\n=== {len(unexpected)} unexpected differences")
    for entry in unexpected:
        print_case(*entry)
    print(f"\n=== {len(accepted)} known differences")
    for case, ref, eng, outcome, reason in accepted:
        print_case(case, ref, eng, outcome, reason)
    if stale:
        print(f"\n=== {len(stale)} known differences that now agree (remove them from the list)")
        for case_id in stale:
            print(f"    {case_id}")
    return 1 if args.strict and unexpected else 0


if __name__ == "__main__":
    sys.exit(main())
