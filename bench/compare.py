"""Side-by-side timings of velloquin against what a Python user would pick instead.

Every contender renders the same template with the same context, and its output is checked
equal to velloquin's before it is timed, so no contender is timed doing less work. The peers
(Jinja2, minijinja, PyYAML, langchain-core) are installed by `make bench`; this script installs
nothing. Run: python bench/compare.py [--quick]
"""

from __future__ import annotations

import argparse
import gc
import hashlib
import json
import os
import statistics
import sys
import time
from dataclasses import dataclass
from typing import Callable

import jinja2
import jinja2.meta
import minijinja
import pydantic
import yaml

import velloquin

try:
    from langchain_core.prompts import PromptTemplate
except ImportError:  # the table says so; the other contenders still run
    PromptTemplate = None


# ---------------------------------------------------------------------------------------------
# Timing


@dataclass
class Timing:
    name: str
    median_ns: float
    p90_ns: float

    @property
    def per_second(self) -> float:
        return 1e9 / self.median_ns if self.median_ns else float("inf")


def measure(name: str, call: Callable[[], object], budget_s: float) -> Timing:
    """Times single calls until the budget is spent (at least 20 of them, after a warm-up)."""
    for _ in range(3):
        call()
    samples: list[int] = []
    gc.collect()
    deadline = time.perf_counter() + budget_s
    while len(samples) < 20 or time.perf_counter() < deadline:
        start = time.perf_counter_ns()
        call()
        samples.append(time.perf_counter_ns() - start)
        if len(samples) >= 200_000:
            break
    samples.sort()
    return Timing(name, statistics.median(samples), samples[int(len(samples) * 0.9)])


def fmt_time(ns: float) -> str:
    if ns < 1e3:
        return f"{ns:.0f} ns"
    if ns < 1e6:
        return f"{ns / 1e3:.2f} us"
    if ns < 1e9:
        return f"{ns / 1e6:.2f} ms"
    return f"{ns / 1e9:.2f} s"


def print_table(title: str, rows: list[Timing], reference: str, extra_ns: float = 0.0) -> None:
    """One table; `extra_ns` is added to every row (the common Pydantic cost, when included)."""
    print(f"\n{title}")
    ref = next(r for r in rows if r.name == reference)
    ref_ns = ref.median_ns + extra_ns
    print(f"  {'contender':<34} {'median':>11} {'p90':>11} {'calls/s':>11} {'vs velloquin':>13}")
    for row in rows:
        median = row.median_ns + extra_ns
        p90 = row.p90_ns + extra_ns
        ratio = median / ref_ns
        print(f"  {row.name:<34} {fmt_time(median):>11} {fmt_time(p90):>11} "
              f"{1e9 / median:>11,.0f} {ratio:>12.2f}x")


def check_equal(name: str, expected: str, actual: str) -> None:
    if expected != actual:
        at = next((i for i, (a, b) in enumerate(zip(expected, actual)) if a != b),
                  min(len(expected), len(actual)))
        raise SystemExit(f"{name}: output differs from velloquin's at byte {at}:\n"
                         f"  velloquin: {expected[max(0, at - 40):at + 40]!r}\n"
                         f"  {name}: {actual[max(0, at - 40):at + 40]!r}")


def rss_kib() -> int:
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


# ---------------------------------------------------------------------------------------------
# W1: a chat system prompt

W1_TEMPLATE = """\
You are {{ assistant_name | upper }}, the assistant of {{ company }}.
{% if user_tier == "premium" %}The user is a premium customer: answer in depth.\
{% else %}Keep answers short.{% endif %}
Tone: {{ tone | default("neutral") }}. Topics: {{ tags | join(", ") }}.
Profile: {{ profile | tojson }}

Examples:
{% for ex in examples %}Q{{ loop.index }}: {{ ex.question | trim }}
A{{ loop.index }}: {{ ex.answer }} [{{ ex.tags | join("/") }}]
{% endfor %}
Documents:
{% for doc in documents[:10] %}[{{ loop.index }}] {{ doc.title | upper }}: {{ doc.text[:150] }}
{% endfor %}
Question: {{ question | trim }}
"""


class Example(pydantic.BaseModel):
    question: str
    answer: str
    tags: list[str]


class Document(pydantic.BaseModel):
    title: str
    text: str


class Profile(pydantic.BaseModel):
    id: int
    name: str
    plan: str


class ChatContext(pydantic.BaseModel):
    assistant_name: str
    company: str
    user_tier: str
    tone: str
    tags: list[str]
    profile: Profile
    examples: list[Example]
    documents: list[Document]
    question: str


def w1_data() -> dict:
    return {
        "assistant_name": "Vela",
        "company": "Northwind Traders",
        "user_tier": "premium",
        "tone": "friendly",
        "tags": ["billing", "shipping", "returns", "accounts"],
        "profile": {"id": 4711, "name": "Ada Lovelace", "plan": "enterprise"},
        "examples": [
            {
                "question": f"  How do I change the delivery address of order {1000 + i}?  ",
                "answer": f"Open order {1000 + i}, choose Edit address, and save before dispatch.",
                "tags": ["shipping", "orders"],
            }
            for i in range(20)
        ],
        "documents": [
            {
                "title": f"policy {i}",
                "text": f"Section {i}. " + "Refunds are issued to the original payment method "
                "within five working days of the return being received. " * 2,
            }
            for i in range(12)
        ],
        "question": "  Can I return an opened item?  ",
    }


class _LiteralDumper(yaml.SafeDumper):
    """Writes multi-line texts as literal blocks, as a person would write a prompt file."""


_LiteralDumper.add_representer(
    str, lambda dumper, text: dumper.represent_scalar(
        "tag:yaml.org,2002:str", text, style="|" if "\n" in text else None))


def prompt_yaml(name: str, body: str, names: list[str], variants: dict[str, str]) -> str:
    doc: dict = {
        "name": name,
        "role": "system",
        "body": body,
        "variables": {n: {"description": f"the {n} as the caller gives it", "trusted": True,
                          "type": "string"} for n in names},
        "metadata": {"owner": "support-platform", "revision": 7, "reviewed": True},
    }
    if variants:
        doc["variants"] = {k: {"body": v} for k, v in variants.items()}
    return yaml.dump(doc, Dumper=_LiteralDumper, sort_keys=False, width=1000)


W1_NAMES = list(ChatContext.model_fields)


# ---------------------------------------------------------------------------------------------
# W2: a large render

W2_TEMPLATE = """\
{% for it in items %}{{ it.id }}. {{ it.name }}: {{ it.note }} ({{ it.price }})
{% endfor %}"""


class Item(pydantic.BaseModel):
    id: int
    name: str
    note: str
    price: float


class BigContext(pydantic.BaseModel):
    items: list[Item]


def w2_data(n: int) -> dict:
    note = "in stock, ships within two days from the nearest warehouse"
    return {"items": [{"id": i, "name": f"item-{i:06d}", "note": note, "price": i + 0.25}
                      for i in range(n)]}


# ---------------------------------------------------------------------------------------------
# W3: loading

W3_BODY = """\
You are a support agent for {{ company }}. Answer {{ customer }} about {{ topic }}.
Keep to the facts below and cite them by number.
{% for fact in facts %}{{ loop.index }}. {{ fact }}
{% endfor %}
Reply in {{ language }}.
"""
W3_VARIANTS = {
    "brief": "Support for {{ company }}: one paragraph to {{ customer }} on {{ topic }} in "
             "{{ language }}.\n" + "Be short, be kind, and do not speculate beyond the facts.\n" * 4,
    "formal": "Dear {{ customer }},\n{% for fact in facts %}- {{ fact }}\n{% endfor %}"
              "Regarding {{ topic }} at {{ company }}; reply in {{ language }}.\n"
              + "Use a formal register and full sentences throughout the answer.\n" * 4,
    "escalate": "Escalation for {{ customer }} ({{ company }}), topic {{ topic }}.\n"
                "{{ facts | join('; ') }}\nLanguage: {{ language }}.\n"
                + "Summarise the case for a human agent; list what was already tried.\n" * 4,
}
W3_NAMES = ["company", "customer", "facts", "language", "topic"]


class SupportContext(pydantic.BaseModel):
    company: str
    customer: str
    facts: list[str]
    language: str
    topic: str


def peer_load(text: str, env: jinja2.Environment) -> dict:
    """PyYAML plus Jinja2's analysis: the declared-variables check velloquin does on load."""
    doc = yaml.safe_load(text)
    declared = set(doc.get("variables", {}))
    templates = {"default": doc["body"], **{k: v["body"] for k, v in doc.get("variants", {}).items()}}
    for label, source in templates.items():
        missing = jinja2.meta.find_undeclared_variables(env.parse(source)) - declared
        if missing:
            raise ValueError(f"{label}: undeclared {sorted(missing)}")
    return doc


# ---------------------------------------------------------------------------------------------


def jinja_env() -> jinja2.Environment:
    # keep_trailing_newline off, as in the other engines; the same strict undefined. tojson
    # writes compact JSON with sorted keys, as velloquin and minijinja do (Jinja2's default puts
    # a space after ',' and ':').
    env = jinja2.Environment(undefined=jinja2.StrictUndefined, autoescape=False)
    env.policies["json.dumps_kwargs"] = {"sort_keys": True, "separators": (",", ":")}
    return env


def compact_tojson(text: str, value: object) -> str:
    """Jinja2's default tojson text of `value` in `text`, rewritten in velloquin's compact form.

    langchain-core builds its own Jinja2 environment, whose tojson cannot be configured."""
    return text.replace(json.dumps(value, sort_keys=True), json.dumps(value, sort_keys=True,
                                                                       separators=(",", ":")))


def mini_env(templates: dict[str, str]) -> minijinja.Environment:
    env = minijinja.Environment(templates=templates)
    env.undefined_behavior = "strict"
    return env


def workload_w1(budget: float) -> float:
    data = w1_data()
    text = prompt_yaml("chat", W1_TEMPLATE, W1_NAMES, {})
    prompt = velloquin.Prompt.from_yaml(text, validators=ChatContext)
    dumped = ChatContext.model_validate(data).model_dump(mode="json")
    expected = prompt.render(ChatContext, data=data).text

    jenv = jinja_env()
    jtmpl = jenv.from_string(W1_TEMPLATE)
    menv = mini_env({"w1": W1_TEMPLATE})
    cold_menv = mini_env({})
    contenders: dict[str, Callable[[], str]] = {
        "velloquin Prompt.render": lambda: prompt.render(ChatContext, data=data).text,
        # A prompt compiles its templates once, when it is loaded; loading it anew for every
        # call is velloquin's own cold path, shown beside the peers' cold paths.
        "velloquin cold (from_yaml+render)": lambda: velloquin.Prompt.from_yaml(
            text, validators=ChatContext).render(ChatContext, data=data).text,
        "Jinja2 cold (from_string+render)": lambda: jenv.from_string(W1_TEMPLATE).render(dumped),
        "Jinja2 warm (compiled once)": lambda: jtmpl.render(dumped),
        "minijinja cold (render_str)": lambda: cold_menv.render_str(W1_TEMPLATE, **dumped),
        "minijinja warm (added once)": lambda: menv.render_template("w1", **dumped),
    }
    if PromptTemplate is not None:
        lc = PromptTemplate.from_template(W1_TEMPLATE, template_format="jinja2")
        contenders["langchain-core PromptTemplate"] = lambda: lc.format(**dumped)
    for name, call in contenders.items():
        out = call()
        if name.startswith("langchain"):
            out = compact_tojson(out, dumped["profile"])
        # tojson's HTML-escaping of < > & ' differs between the engines; the data holds none.
        check_equal(name, expected, out)

    # The validation step every velloquin render pays: measured alone, it is the common cost.
    common = measure("Pydantic validate+dump", lambda: ChatContext.model_validate(data).model_dump(
        mode="json"), budget)
    # velloquin's own call validates the data and dumps it, exactly the common cost; its kernel
    # side is its total less that cost.
    rows = [measure(name, call, budget) for name, call in contenders.items()]
    velo, cold = rows[0], rows[1]

    def without_common(row: Timing, name: str) -> Timing:
        return Timing(name, max(row.median_ns - common.median_ns, 1),
                      max(row.p90_ns - common.median_ns, 1))

    kernel = without_common(velo, "velloquin kernel side (total - common)")
    cold_kernel = without_common(cold, "velloquin cold, kernel side")
    print(f"\nW1: chat system prompt: {len(W1_TEMPLATE)}-byte template, {len(expected)}-byte output")
    print(f"  common cost, Pydantic validate+dump: median {fmt_time(common.median_ns)}, "
          f"p90 {fmt_time(common.p90_ns)}")
    print_table("  W1 without the common cost (peers render a ready dict; velloquin kernel side):",
                [kernel, cold_kernel] + rows[2:], kernel.name)
    print_table("  W1 with the common cost (peers pay validate+dump too; velloquin as called):",
                [velo] + rows[1:], velo.name, 0.0)
    return kernel.median_ns


def workload_w2(budget: float) -> None:
    data = w2_data(10_000)
    prompt = velloquin.Prompt.from_yaml(prompt_yaml("big", W2_TEMPLATE, ["items"], {}),
                                        validators=BigContext)
    dumped = BigContext.model_validate(data).model_dump(mode="json")
    expected = prompt.render(BigContext, data=data).text
    jtmpl = jinja_env().from_string(W2_TEMPLATE)
    menv = mini_env({"w2": W2_TEMPLATE})

    def jinja_hashed() -> str:
        out = jtmpl.render(dumped)
        hashlib.sha256(out.encode()).hexdigest()
        return out

    def mini_hashed() -> str:
        out = menv.render_template("w2", **dumped)
        hashlib.sha256(out.encode()).hexdigest()
        return out

    contenders = {
        "velloquin Prompt.render": lambda: prompt.render(BigContext, data=data).text,
        "Jinja2 warm + sha256": jinja_hashed,
        "minijinja warm + sha256": mini_hashed,
    }
    for name, call in contenders.items():
        check_equal(name, expected, call())
    common = measure("Pydantic validate+dump", lambda: BigContext.model_validate(data).model_dump(
        mode="json"), budget)
    rows = [measure(name, call, budget) for name, call in contenders.items()]
    mb = len(expected.encode()) / 1e6
    print(f"\nW2: large render, 10,000 items, {mb:.2f} MB output (SHA-256 of the output included)")
    print(f"  common cost, Pydantic validate+dump: median {fmt_time(common.median_ns)}")
    kernel = Timing("velloquin kernel side (total - common)",
                    max(rows[0].median_ns - common.median_ns, 1),
                    max(rows[0].p90_ns - common.median_ns, 1))
    print_table("  W2 without the common cost:", [kernel] + rows[1:], kernel.name)
    for row in [kernel] + rows[1:]:
        print(f"  {row.name:<34} {mb / (row.median_ns / 1e9):>8.1f} MB/s of output")


def workload_w3(budget: float) -> None:
    text = prompt_yaml("support", W3_BODY, W3_NAMES, W3_VARIANTS)
    env = jinja_env()
    velloquin.Prompt.from_yaml(text, validators=SupportContext)
    peer_load(text, env)
    rows = [
        measure("velloquin Prompt.from_yaml",
                lambda: velloquin.Prompt.from_yaml(text, validators=SupportContext), budget),
        measure("PyYAML + Jinja2 meta check", lambda: peer_load(text, env), budget),
    ]
    print(f"\nW3: loading a {len(text)}-byte YAML prompt, 5 variables, 3 variants")
    print_table("  W3:", rows, rows[0].name)


def memory_check(renders: int) -> None:
    data = w1_data()
    prompt = velloquin.Prompt.from_yaml(prompt_yaml("chat", W1_TEMPLATE, W1_NAMES, {}),
                                        validators=ChatContext)
    for _ in range(1000):
        prompt.render(ChatContext, data=data)
    gc.collect()
    before = rss_kib()
    start = time.perf_counter()
    for _ in range(renders):
        prompt.render(ChatContext, data=data)
    gc.collect()
    grew = rss_kib() - before
    print(f"\nMemory: RSS grew by {grew} KiB over {renders:,} W1 renders "
          f"({time.perf_counter() - start:.1f} s)")


def scaling(budget: float) -> None:
    """Per size: the call as made, the Pydantic cost alone, and the kernel side (the difference),
    each per KB of output, so that the kernel's own linearity is visible beside the total's."""
    print("\nScaling: time per KB of output, W2's template, 1 KB to 10 MB")
    print(f"  {'output':>9}  {'render':>10} {'per KB':>9}  {'pydantic':>10}  {'kernel side':>11} "
          f"{'per KB':>9}")
    line = len("0. item-000000: in stock, ships within two days from the nearest warehouse (0.25)\n")
    prompt = velloquin.Prompt.from_yaml(prompt_yaml("big", W2_TEMPLATE, ["items"], {}),
                                        validators=BigContext)
    for kb in (1, 10, 100, 1_000, 10_000):
        data = w2_data(max(1, kb * 1000 // line))
        size = len(prompt.render(BigContext, data=data).text.encode()) / 1000
        share = budget if kb < 1000 else budget / 4
        row = measure(f"{kb} KB", lambda: prompt.render(BigContext, data=data), share)
        common = measure("Pydantic validate+dump",
                         lambda: BigContext.model_validate(data).model_dump(mode="json"), share)
        kernel_ns = max(row.median_ns - common.median_ns, 1)
        print(f"  {size:>6.0f} KB  {fmt_time(row.median_ns):>10} {row.median_ns / size:>6.0f} ns"
              f"  {fmt_time(common.median_ns):>10}  {fmt_time(kernel_ns):>11} "
              f"{kernel_ns / size:>6.0f} ns")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="short budgets, 10,000 memory renders")
    args = parser.parse_args()
    budget = 0.3 if args.quick else 1.5
    print(f"Python {sys.version.split()[0]}; Jinja2 {jinja2.__version__}; "
          f"PyYAML {yaml.__version__}; Pydantic {pydantic.VERSION}; velloquin "
          f"{velloquin.core_version()}")
    workload_w1(budget)
    workload_w2(budget)
    workload_w3(budget)
    memory_check(10_000 if args.quick else 1_000_000)
    scaling(budget)


if __name__ == "__main__":
    main()
