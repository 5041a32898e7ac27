import os
import shutil
import subprocess

import numpy as np
import pytest


@pytest.fixture(scope="session")
def tool():
    """Runs the lmwire tool (CTest names it in LMWIRE_TOOL) and returns its standard output."""
    path = os.environ.get("LMWIRE_TOOL") or shutil.which("lmwire")
    if not path:
        pytest.skip("the lmwire tool is not built (LMWIRE_TOOL)")
    return lambda *args: subprocess.run([path, *map(str, args)], capture_output=True, text=True,
                                        check=True).stdout


@pytest.fixture(scope="session")
def random_capture():
    """10,000 records of random bytes: every 86 bytes are a record, so every offset byte, code
    and wrap-around of the depth arithmetic occurs."""
    return np.random.default_rng(18).integers(0, 256, 10_000 * 86, np.uint8).tobytes()
