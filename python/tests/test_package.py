import os
import shutil
import subprocess
import sys

import pytest

import lmwire


@pytest.mark.skipif("LMWIRE_VERSION" not in os.environ, reason="CTest sets LMWIRE_VERSION")
def test_version_is_the_library_version_and_every_export_exists():
    assert lmwire.__version__ == os.environ["LMWIRE_VERSION"]
    assert all(hasattr(lmwire, name) for name in lmwire.__all__)


def test_a_package_without_its_extension_says_how_to_install_it(tmp_path):
    shutil.copytree(os.path.dirname(lmwire.__file__), tmp_path / "lmwire",
                    ignore=shutil.ignore_patterns("*.so", "*.pyd"))
    done = subprocess.run([sys.executable, "-c", "import lmwire"], capture_output=True, text=True,
                          cwd=tmp_path, env=dict(os.environ, PYTHONPATH=str(tmp_path)))
    assert done.returncode != 0
    assert "ImportError: lmwire's compiled extension lmwire._native is missing" in done.stderr
    assert "python -m pip install ./python" in done.stderr
