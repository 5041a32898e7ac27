import os

import pytest

import lmwire


def test_version_is_the_library_version():
    expected = os.environ.get("LMWIRE_VERSION")
    if not expected:
        pytest.skip("LMWIRE_VERSION (the project's version) is set by CTest")
    assert lmwire.__version__ == expected


def test_everything_exported_exists():
    assert all(hasattr(lmwire, name) for name in lmwire.__all__)
