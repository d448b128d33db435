#!/usr/bin/env python3
"""Writes the differential cases as JSONL: one {"id", "template", "context"} object per line.

The ids start with the case's family ("filter.upper", "op.//", ...), which is how the report
groups them. The output is deterministic: the same tables always give the same file.
"""

import argparse
import collections
import json
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

from cases import (  # noqa: E402
    binding_features,
    builtin_filters,
    builtin_globals,
    builtin_tests,
    deliberate,
    display,
    errors,
    operators,
    statements,
)

GROUPS = (builtin_filters, builtin_tests, builtin_globals, operators, display, errors, statements,
          binding_features, deliberate)


def all_cases():
    """Every case once, in table order; a case listed twice (same family and content) is kept once."""
    seen = set()
    for group in GROUPS:
        for case in group.cases():
            case_id = case.case_id()
            if case_id not in seen:
                seen.add(case_id)
                yield case_id, case


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-o", "--output", help="JSONL file to write (default: stdout)")
    parser.add_argument("--summary", action="store_true", help="print case counts per family to stderr")
    args = parser.parse_args()
    counts = collections.Counter()
    out = open(args.output, "w", encoding="utf-8") if args.output else sys.stdout
    with out:
        for case_id, case in all_cases():
            counts[case.family] += 1
            record = {"id": case_id, "template": case.template, "context": case.context}
            out.write(json.dumps(record, ensure_ascii=False) + "\n")
    if args.summary:
        for family, count in sorted(counts.items()):
            print(f"{count:6d}  {family}", file=sys.stderr)
    print(f"{sum(counts.values())} cases in {len(counts)} families", file=sys.stderr)


if __name__ == "__main__":
    main()
