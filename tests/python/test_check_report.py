"""CheckReport and Finding as classes; reports themselves come from Prompt.check()."""

import pytest

import velloquin
from velloquin import CheckReport, Finding


def test_a_report_has_a_length_but_no_item_access_or_iteration():
    assert "__len__" in vars(CheckReport)
    for name in ["__iter__", "__getitem__", "__contains__", "__bool__", "__hash__"]:
        assert vars(CheckReport).get(name) is None, name


@pytest.mark.parametrize("method", ["passed", "is_empty"])
def test_report_methods_take_only_self(method):
    assert getattr(CheckReport, method).__text_signature__ == "($self)"


def prompt(variables, metadata=None):
    shape = {"name": 'guarded "p"', "role": "user", "body": "", "variables": variables}
    if metadata is not None:
        shape["metadata"] = metadata
    return velloquin.Prompt(shape)


UNTRUSTED = {"type": "string", "trusted": False}
TRUSTED = {"type": "string", "trusted": True}


@pytest.mark.parametrize(
    "variables, metadata",
    [({}, None), ({"a": TRUSTED}, None), ({"a": UNTRUSTED}, {"guard": True})],
)
def test_a_report_that_passed(variables, metadata):
    report = prompt(variables, metadata).check()
    assert type(report) is CheckReport
    assert report.findings == []
    assert report.passed() is True and report.is_empty() is True
    assert len(report) == 0 and not report
    assert repr(report) == "CheckReport(findings=0)"


def test_a_report_with_findings():
    report = prompt({"b": UNTRUSTED, "a": UNTRUSTED, "c": TRUSTED}).check()
    assert report.passed() is False and report.is_empty() is False
    assert len(report) == 2 and report
    assert repr(report) == "CheckReport(findings=2)"
    first, second = report.findings
    assert type(first) is Finding
    assert [f.kind for f in (first, second)] == ["untrusted_without_guard"] * 2
    assert [f.variant for f in (first, second)] == [None, None]
    assert [f.detail for f in (first, second)] == [
        f"field `{name}` is declared untrusted (`trusted: false`) but the prompt configures no "
        "guard (add a `guard` key under the prompt's `metadata`)"
        for name in "ab"
    ]
    assert first.prompt == 'guarded "p"'
    assert repr(first).startswith('Finding(prompt="guarded \\"p\\"", variant=None, kind=')
    with pytest.raises(TypeError):
        iter(report)
    with pytest.raises(TypeError):
        report[0]
    with pytest.raises(TypeError):
        report.passed(1)


def test_findings_are_new_copies_on_every_read():
    p = prompt({"a": UNTRUSTED})
    report = p.check()
    findings = report.findings
    findings.append("extra")
    assert len(report.findings) == 1 and len(report) == 1
    assert report.findings[0] is not report.findings[0]
    other = p.check()
    assert other is not report
    assert [(f.prompt, f.variant, f.kind, f.detail) for f in other.findings] == [
        (f.prompt, f.variant, f.kind, f.detail) for f in report.findings
    ]
