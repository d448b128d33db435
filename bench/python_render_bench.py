"""Where the time of one Prompt.render goes, and whether a long loop of calls holds on to memory.

    .venv/bin/python bench/python_render_bench.py            # the cost split
    .venv/bin/python bench/python_render_bench.py --leak N   # N renders and appends, RSS before/after

The split is measured from Python with the module's public calls, each adding one stage:
  validation + dump   M.model_validate(data) then .model_dump(mode="json"), in Python alone
  conversion          Composition.append (validation + dump + conversion into the template value)
                      minus the line above
  kernel render       Composition.resolve of a one-entry composition (the kernel render plus one
                      small Message)
  result building     Prompt.render minus the three lines above: argument handling and the
                      RenderResult object
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


def split(rounds):
    prompt = Prompt(DEFINITION, validators=Review)
    model = Review.model_validate(DATA)
    single = Composition()
    single.append(prompt, model)

    def validate_and_dump():
        Review.model_validate(model.model_dump(mode="json")).model_dump(mode="json")

    def append():
        Composition().append(prompt, model)

    def render():
        prompt.render(model)

    figures = {
        "validation + dump": per_call_us(validate_and_dump, rounds),
        "append": per_call_us(append, rounds),
        "resolve": per_call_us(single.resolve, rounds),
        "render": per_call_us(render, rounds),
        "render, guard on": per_call_us(
            lambda: prompt.render(model, guard=GuardConfig(enabled=True)), rounds
        ),
    }
    conversion = figures["append"] - figures["validation + dump"]
    building = figures["render"] - figures["append"] - figures["resolve"]
    print(f"template: {len(TEMPLATE)} characters, rendered: {len(prompt.render(model).text)} characters")
    print(f"one Prompt.render (model instance), median of 7 x {rounds} calls:")
    print(f"  total                {figures['render']:8.1f} us")
    print(f"  validation + dump    {figures['validation + dump']:8.1f} us")
    print(f"  conversion           {conversion:8.1f} us")
    print(f"  kernel render        {figures['resolve']:8.1f} us")
    print(f"  result building      {building:8.1f} us")
    print(f"  (guard on: total     {figures['render, guard on']:8.1f} us)")


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
