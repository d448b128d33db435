"""Many constructions and failed calls must not leak objects or memory.

A leaked instance of a heap type keeps a reference to its class, so class reference counts
return to their starting value only if every instance was freed. Memory held outside Python
(the C++ copies of texts) shows in the resident set size instead.
"""

import gc
import sys

import pydantic
import pytest

import velloquin
from velloquin import Composition, GuardConfig, MergeStrategy

ROUNDS = 50_000
ADVISORY = "keep to the task " * 64  # about 1 KiB, so a leaked copy per call adds up fast


def resident_kib():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096 // 1024


def exercise(rejected, entries):
    config = GuardConfig(enabled=True, advisory=ADVISORY)
    repr(config), config.advisory, config.enabled
    for bad in ({"enabled": None}, {"advisory": 3}, {"enabled": True, "advisory": rejected}):
        try:
            GuardConfig(**bad)
        except TypeError:
            pass
    MergeStrategy.MERGE == 1, MergeStrategy.REPLACE != MergeStrategy.MERGE, int(MergeStrategy.MERGE)
    repr(MergeStrategy.REPLACE)
    composition = Composition()
    len(composition), repr(composition), composition.resolve()
    try:
        composition.append(rejected, entries)
    except TypeError:
        pass
    try:
        Composition.from_messages(entries)
    except TypeError:
        pass
    Composition.from_messages([])


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/statm")
def test_repeated_calls_release_everything():
    rejected = object()
    entries = [("not a prompt", {"x": 1})]
    watched = [GuardConfig, Composition, MergeStrategy, MergeStrategy.MERGE, rejected, entries]
    exercise(rejected, entries)  # classes, interned names and caches exist from here on
    gc.collect()
    counts = [sys.getrefcount(obj) for obj in watched]
    start = resident_kib()
    for _ in range(ROUNDS):
        exercise(rejected, entries)
    gc.collect()
    assert [sys.getrefcount(obj) for obj in watched] == counts
    # A leak of one advisory copy per round alone would be about 50 MiB.
    assert resident_kib() - start < 16 * 1024


PROMPT_ROUNDS = 5_000
LONG = "x" * 4096  # a leaked copy per call shows in the resident set size


class Vars(pydantic.BaseModel):
    who: str


def exercise_prompts(definition, yaml_text):
    prompt = velloquin.Prompt(definition, validators=Vars)
    velloquin.Prompt.from_yaml(yaml_text)
    prompt.variables, prompt.variants, prompt.metadata, prompt.get_source(), repr(prompt)
    prompt.check().findings
    prompt.derive({"metadata": {"k": LONG}}, strategy=MergeStrategy.MERGE)
    failing = [
        lambda: velloquin.Prompt({**definition, "extra": LONG}),
        lambda: velloquin.Prompt.from_json(LONG),
        lambda: prompt.get_source(variant=LONG),
        lambda: prompt.derive({"name": ""}),
        lambda: prompt.render(data={"who": 1}),
        lambda: prompt.render(Vars(who=LONG), variant=LONG),
        lambda: prompt.render(Vars(who=LONG), guard={}),
    ]
    for call in failing:
        try:
            call()
        except (velloquin.VelloquinError, TypeError):
            pass
    try:
        prompt.render(data={"who": LONG}, guard=GuardConfig(enabled=True))
    except velloquin.PromptRenderError:
        pass  # until the engine renders
    composition = Composition.from_messages([(prompt, Vars(who=LONG))])
    composition.append(prompt, Vars(who=LONG), variant=LONG)
    try:
        composition.resolve()
    except velloquin.PromptRenderError:
        pass


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/statm")
def test_prompt_calls_release_everything():
    definition = {
        "name": "leak",
        "role": "user",
        "body": "Hi {{ who }}",
        "variables": {"who": {"type": "string", "trusted": False}},
        "metadata": {"big": LONG},
    }
    yaml_text = f"name: leak\nrole: user\nbody: '{LONG}'\n"
    watched = [velloquin.Prompt, Composition, Vars, definition]
    exercise_prompts(definition, yaml_text)
    gc.collect()
    counts = [sys.getrefcount(obj) for obj in watched]
    start = resident_kib()
    for _ in range(PROMPT_ROUNDS):
        exercise_prompts(definition, yaml_text)
    gc.collect()
    assert [sys.getrefcount(obj) for obj in watched] == counts
    # One leaked 4 KiB text per round alone would be about 20 MiB.
    assert resident_kib() - start < 8 * 1024
