import os
import shutil
import subprocess
import sys

import pytest

import lmwire


def test_version_is_the_library_version():
    expected = os.environ.get("LMWIRE_VERSION")
    if not expected:
        pytest.skip("LMWIRE_VERSION (the project's version) is set by CTest")
    assert lmwire.__version__ == expected


def test_everything_exported_exists():
    assert all(hasattr(lmwire, name) for name in lmwire.__all__)


def test_a_package_without_its_extension_says_how_to_install_it(tmp_path):
    package = tmp_path / "lmwire"
    package.mkdir()
    for module in os.listdir(os.path.dirname(lmwire.__file__)):
        if module.endswith(".py"):
            shutil.copy(os.path.join(os.path.dirname(lmwire.__file__), module), package)
    done = subprocess.run([sys.executable, "-c", "import lmwire"], capture_output=True, text=True,
                          cwd=tmp_path, env=dict(os.environ, PYTHONPATH=str(tmp_path)))
    assert done.returncode != 0
    assert "ImportError: lmwire's compiled extension lmwire._native is missing" in done.stderr
    assert "python -m pip install ./python" in done.stderr
