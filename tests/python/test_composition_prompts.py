"""Compositions of real prompts: resolving into messages, failures, and calls that re-enter."""

import gc

import pydantic
import pytest

from velloquin import Composition, Message, Prompt, PromptRenderError


def make_prompt(name, role, body, *names, untrusted=()):
    variables = {n: {"type": "string", "trusted": n not in untrusted} for n in names}
    return Prompt({"name": name, "role": role, "body": body, "variables": variables,
                   "variants": {"loud": {"body": "LOUD " + body}}})


SYSTEM = make_prompt("rules", "system", "You review {{ lang }} code.", "lang")
USER = make_prompt("ask", "user", "Please look at {{ code }}", "code", untrusted=("code",))


class Lang(pydantic.BaseModel):
    lang: str


class Code(pydantic.BaseModel):
    code: str


def rows_of(caught):
    return [(row.field, row.code, row.message) for row in caught.value.errors]


def messages(composition):
    return [(m.role, m.text) for m in composition.resolve()]


def test_messages_follow_the_entries_and_their_roles():
    composition = Composition.from_messages(
        [(SYSTEM, Lang(lang="C++")), (USER, Code(code="<x>"), None), (USER, Code(code="y"), "loud")]
    )
    composition.append(SYSTEM, Lang(lang="Go"), variant="default")
    assert messages(composition) == [
        ("system", "You review C++ code."),
        ("user", "Please look at <x>"),  # never guarded, even for untrusted values
        ("user", "LOUD Please look at y"),
        ("system", "You review Go code."),
    ]
    first, second = composition.resolve(), composition.resolve()
    assert first is not second and first[0] is not second[0]
    assert type(first[0]) is Message
    assert repr(first[1]) == 'Message(role="user", text="Please look at <x>")'


def test_values_are_fixed_when_the_entry_is_added():
    model = Lang(lang="Rust")
    composition = Composition()
    composition.append(SYSTEM, model)
    model.lang = "Changed"
    assert messages(composition) == [("system", "You review Rust code.")]


def test_an_entry_keeps_its_prompt_alive():
    prompt = make_prompt("temporary", "assistant", "{{ lang }}!", "lang")
    composition = Composition()
    composition.append(prompt, Lang(lang="ok"))
    del prompt
    gc.collect()
    assert repr(composition) == 'Composition(entries=1, names=["temporary"])'
    assert messages(composition) == [("assistant", "ok!")]


def test_an_unknown_variant_is_accepted_and_fails_at_resolve():
    composition = Composition()
    composition.append(SYSTEM, Lang(lang="C"), variant="quiet")
    assert len(composition) == 1
    with pytest.raises(PromptRenderError) as caught:
        composition.resolve()
    assert rows_of(caught) == [("variant", "unknown_variant", "unknown variant: `quiet`")]


def test_a_failing_entry_returns_no_messages_and_keeps_its_detail_scrubbed():
    broken = make_prompt("broken", "user", "{{ code + 1 }}", "code")
    composition = Composition.from_messages([(SYSTEM, Lang(lang="C")), (broken, Code(code="secret"))])
    with pytest.raises(PromptRenderError) as caught:
        composition.resolve()
    assert rows_of(caught) == [("template", "render", "render error")]
    assert "secret" not in str(caught.value)


def test_validation_may_use_the_same_prompt_and_other_compositions():
    composition, other = Composition(), Composition()

    class Reentrant(pydantic.BaseModel):
        lang: str

        @pydantic.model_validator(mode="after")
        def touch(self):
            other.append(SYSTEM, Lang(lang="nested"))  # another composition: no conflict
            assert SYSTEM.name == "rules" and SYSTEM.get_source() == "You review {{ lang }} code."
            return self

    composition.append(SYSTEM, Reentrant(lang="C"))
    assert (len(composition), len(other)) == (1, 2)  # built once, validated again by append
    assert repr(other) == 'Composition(entries=2, names=["rules", "rules"])'


def test_validation_may_render_the_prompt_it_is_added_with():
    composition = Composition()
    rendered = []

    class Reentrant(pydantic.BaseModel):
        lang: str

        @pydantic.model_validator(mode="after")
        def touch(self):
            rendered.append(SYSTEM.render(Lang(lang="inner")).text)
            return self

    composition.append(SYSTEM, Reentrant(lang="C"))
    assert rendered[-1] == "You review inner code."
    assert messages(composition) == [("system", "You review C code.")]


def test_a_cycle_through_an_entry_is_collected():
    def count():
        gc.collect()
        return sum(type(o) in (Composition, Prompt) for o in gc.get_objects())

    before = count()
    for _ in range(10):
        composition = Composition()

        class Holder:
            model_fields = {}
            owner = composition

        prompt = Prompt({"name": "p", "role": "user", "body": "b"}, validators=Holder)
        composition.append(prompt, Lang(lang="x"))
        del composition, prompt, Holder
    assert count() == before
