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

    def run(*args, check=True):
        done = subprocess.run([path, *map(str, args)], capture_output=True, text=True)
        if check and done.returncode != 0:
            raise AssertionError(f"lmwire {' '.join(map(str, args))}: {done.stderr}")
        return done

    return run


@pytest.fixture(scope="session")
def random_capture():
    """10,000 records of random bytes: every 86 bytes are a record, so every offset byte, code
    and wrap-around of the depth arithmetic occurs."""
    rng = np.random.default_rng(18)
    return rng.integers(0, 256, size=10_000 * 86, dtype=np.uint8).tobytes()
