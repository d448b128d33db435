import pytest

import velloquin


def test_core_version():
    assert velloquin.core_version() == "0.5.0"


def test_core_version_takes_no_arguments():
    with pytest.raises(TypeError):
        velloquin.core_version(1)


def test_core_version_takes_no_keyword_arguments():
    with pytest.raises(TypeError):
        velloquin.core_version(x=1)
