"""Which lower layers work in this build: tests that need one skip, with the reason, until then."""

import pydantic
import pytest

import velloquin


class _Nothing(pydantic.BaseModel):
    pass


def _engine_renders():
    probe = velloquin.Prompt({"name": "probe", "role": "user", "body": "{{ 40 + 2 }}"})
    try:
        return probe.render(_Nothing()).text == "42"
    except velloquin.PromptRenderError:
        return False


def _agreement_works():
    try:
        velloquin.Prompt({"name": "probe", "role": "user", "body": "{{ undeclared }}"})
    except velloquin.PromptRenderError:
        return True
    return False


def _globals_known():
    try:
        velloquin.Prompt({"name": "probe", "role": "user", "body": "{{ range(1) }}"})
    except velloquin.PromptRenderError:
        return False
    return True


needs_globals = pytest.mark.skipif(
    not _globals_known(), reason="the engine's global functions (range, ...) are not registered yet"
)
needs_engine = pytest.mark.skipif(not _engine_renders(), reason="the template engine does not render yet")
needs_agreement = pytest.mark.skipif(
    not _agreement_works(), reason="template analysis (undeclared variables) is not in yet"
)
