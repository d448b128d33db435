import operator

import pytest

from velloquin import MergeStrategy

REPLACE, MERGE = MergeStrategy.REPLACE, MergeStrategy.MERGE


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class BrokenIndex:
    def __index__(self):
        raise RuntimeError("no index")


def test_members_are_single_objects_of_the_class():
    assert type(MERGE) is MergeStrategy and type(REPLACE) is MergeStrategy
    assert MergeStrategy.MERGE is MERGE
    assert MergeStrategy.REPLACE is REPLACE
    assert sorted(n for n in vars(MergeStrategy) if n.isupper()) == ["MERGE", "REPLACE"]


@pytest.mark.parametrize("member, name, value", [(REPLACE, "REPLACE", 0), (MERGE, "MERGE", 1)])
def test_printed_forms_and_integer_value(member, name, value):
    assert repr(member) == f"MergeStrategy.{name}"
    assert str(member) == f"MergeStrategy.{name}"
    assert int(member) == value
    assert type(int(member)) is int
    assert bool(member) is True


@pytest.mark.parametrize(
    "left, right, equal",
    [
        (MERGE, MERGE, True),
        (REPLACE, REPLACE, True),
        (MERGE, REPLACE, False),
        (MERGE, 1, True),
        (1, MERGE, True),
        (REPLACE, 0, True),
        (REPLACE, False, True),
        (MERGE, True, True),
        (MERGE, Index(1), True),
        (MERGE, 2, False),
        (MERGE, -1, False),
        (MERGE, 2**64 + 1, False),
        (2**64 + 1, MERGE, False),
        (MERGE, 1.0, False),
        (MERGE, "MERGE", False),
        (MERGE, None, False),
        (MERGE, BrokenIndex(), False),
    ],
)
def test_equality_with_members_and_integers(left, right, equal):
    assert (left == right) is equal
    assert (left != right) is (not equal)


@pytest.mark.parametrize("op", [operator.lt, operator.le, operator.gt, operator.ge])
@pytest.mark.parametrize("other", [MERGE, 0, 1.5, "x"])
def test_there_is_no_ordering(op, other):
    with pytest.raises(TypeError):
        op(REPLACE, other)


def test_members_are_unhashable():
    with pytest.raises(TypeError):
        hash(MERGE)
    with pytest.raises(TypeError):
        {REPLACE}
    with pytest.raises(TypeError):
        {MERGE: 1}


def test_members_are_not_indexes():
    with pytest.raises(TypeError):
        operator.index(MERGE)
    with pytest.raises(TypeError):
        [10, 20][MERGE]


def test_the_class_has_no_constructor_and_no_member_protocol():
    with pytest.raises(TypeError):
        MergeStrategy()
    with pytest.raises(TypeError):
        MergeStrategy(1)
    with pytest.raises(TypeError):
        iter(MergeStrategy)
    with pytest.raises(TypeError):
        MergeStrategy["MERGE"]


def test_members_are_frozen():
    with pytest.raises(AttributeError):
        MERGE.value = 3
    assert int(MERGE) == 1


def test_docstring_names_both_strategies_and_the_keyword_use():
    doc = MergeStrategy.__doc__
    for part in ["REPLACE", "MERGE", "default", "strategy=MergeStrategy.MERGE"]:
        assert part in doc
