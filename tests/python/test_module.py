import importlib.metadata

import pytest

import velloquin


def test_core_version():
    # One version for the kernel and the package.
    assert velloquin.core_version() == importlib.metadata.version("velloquin")


def test_core_version_takes_no_arguments():
    with pytest.raises(TypeError):
        velloquin.core_version(1)


def test_core_version_takes_no_keyword_arguments():
    with pytest.raises(TypeError):
        velloquin.core_version(x=1)
