"""Where the time of one Prompt.render goes, and whether a long loop of calls holds on to memory.

    .venv/bin/python bench/python_render_bench.py            # the cost split
    .venv/bin/python bench/python_render_bench.py --leak N   # N renders and appends, RSS before/after

The split takes stages away one at a time, always through Prompt.render itself:
  full        the Pydantic model instance: dump, model_validate, dump again, then the rest
  prepared    a stand-in model whose validation and dumps return ready data at once
  no template the same data rendered through an empty template
  minimum     an empty dict rendered through an empty template
so that
  validation + dump = full - prepared
  kernel render     = prepared - no template   (compiling and rendering this template, hashing)
  conversion        = no template - minimum    (Python data into the engine's value)
  fixed             = minimum                  (arguments, the kernel's fresh environment and
                                                hashes for an empty text, the RenderResult)
"""

import argparse
import gc
import statistics
import time

import pydantic

from velloquin import Composition, GuardConfig, Prompt

TEMPLATE = """\
You are reviewing a pull request for {{ project }}.
Title: {{ title }}
Author: {{ author.name }} ({{ author.login }})
Labels: {% for label in labels %}{{ label }}{% if not loop.last %}, {% endif %}{% endfor %}

{% for file in files %}- {{ file.path }} (+{{ file.added }} / -{{ file.removed }})
{% endfor %}
Description:
{{ description }}
"""

DEFINITION = {
    "name": "pr_review",
    "role": "user",
    "body": TEMPLATE,
    "variables": {
        "project": {"type": "string", "trusted": True},
        "title": {"type": "string", "trusted": False},
        "author": {"type": "object", "trusted": True},
        "labels": {"type": "array", "trusted": True},
        "files": {"type": "array", "trusted": True},
        "description": {"type": "string", "trusted": False},
    },
}


class Author(pydantic.BaseModel):
    name: str
    login: str


class ChangedFile(pydantic.BaseModel):
    path: str
    added: int
    removed: int


class Review(pydantic.BaseModel):
    project: str
    title: str
    author: Author
    labels: list[str]
    files: list[ChangedFile]
    description: str


DATA = {
    "project": "velloquin",
    "title": "Guard: escape </untrusted> inside values",
    "author": {"name": "Ada Lovelace", "login": "ada"},
    "labels": ["security", "guard", "python"],
    "files": [{"path": f"src/core/file_{i}.cpp", "added": 10 * i, "removed": i} for i in range(8)],
    "description": "Values are escaped before they are fenced. " * 12,
}


def per_call_us(function, rounds):
    """The median over 7 runs of the mean time of one call, in microseconds."""
    runs = []
    for _ in range(7):
        start = time.perf_counter()
        for _ in range(rounds):
            function()
        runs.append((time.perf_counter() - start) / rounds * 1e6)
    return statistics.median(runs)


class Prepared:
    """A model class and instance in one: validation and both dumps hand back ready data."""

    def __init__(self, dumped):
        self.dumped = dumped

    def model_dump(self, *, mode):
        return self.dumped

    def model_validate(self, payload):
        return self


def split(rounds):
    prompt = Prompt(DEFINITION, validators=Review)
    empty = Prompt({**DEFINITION, "body": ""})
    model = Review.model_validate(DATA)
    dumped = model.model_dump(mode="json")
    prepared, nothing = Prepared(dumped), Prepared({})

    totals = {
        "full": per_call_us(lambda: prompt.render(model), rounds),
        "prepared": per_call_us(lambda: prompt.render(prepared, data=dumped), rounds),
        "no template": per_call_us(lambda: empty.render(prepared, data=dumped), rounds),
        "minimum": per_call_us(lambda: empty.render(nothing, data={}), rounds),
        "guard on": per_call_us(lambda: prompt.render(model, guard=GuardConfig(enabled=True)), rounds),
    }
    print(f"template: {len(TEMPLATE)} characters, rendered: {len(prompt.render(model).text)} characters")
    print(f"one Prompt.render (model instance), median of 7 x {rounds} calls:")
    print(f"  total                {totals['full']:8.1f} us")
    print(f"  validation + dump    {totals['full'] - totals['prepared']:8.1f} us")
    print(f"  conversion           {totals['no template'] - totals['minimum']:8.1f} us")
    print(f"  kernel render        {totals['prepared'] - totals['no template']:8.1f} us")
    print(f"  fixed (arguments, environment, hashes, result)  {totals['minimum']:5.1f} us")
    print(f"  (guard on: total     {totals['guard on']:8.1f} us)")


def resident_kib():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096 // 1024


def leak(rounds):
    prompt = Prompt(DEFINITION, validators=Review)
    model = Review.model_validate(DATA)
    guard = GuardConfig(enabled=True)

    def once():
        prompt.render(model, guard=guard).provenance_attributes()
        composition = Composition()
        composition.append(prompt, model)
        composition.resolve()

    for _ in range(1000):  # caches, interned names and allocator pools settle first
        once()
    gc.collect()
    before = resident_kib()
    start = time.perf_counter()
    for _ in range(rounds):
        once()
    gc.collect()
    after = resident_kib()
    print(f"{rounds} renders + appends + resolves in {time.perf_counter() - start:.1f} s: "
          f"RSS {before} KiB before, {after} KiB after ({after - before:+d} KiB)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=2000)
    parser.add_argument("--leak", type=int, metavar="N")
    arguments = parser.parse_args()
    if arguments.leak:
        leak(arguments.leak)
    else:
        split(arguments.rounds)


if __name__ == "__main__":
    main()
