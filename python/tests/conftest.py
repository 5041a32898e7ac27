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


@pytest.fixture(scope="session")
def history(tmp_path_factory):
    """6,000 records of the synthetic market over three days, 3 s apart within a day, and the
    same records split into captures of three kinds: raw, pcap, and raw compressed by zstd, with
    the last quarter left as an array."""
    import lmwire

    folder = tmp_path_factory.mktemp("history")
    rows = lmwire.synth_prices(6000, 5)
    i = np.arange(len(rows))
    rows["time_stamp"] = 1_764_547_200 + 3600 + i // 2000 * 86_400 + i % 2000 * 3
    thirds = [slice(0, 1500), slice(1500, 3000), slice(3000, 4500)]
    for (name, options), part in zip({"raw": {}, "pcap": {"format": "pcap"},
                                      "zst": {"compress": "zstd"}}.items(), thirds):
        lmwire.write_prices(rows[part], folder / name, **options)
    inputs = [folder / "raw", folder / "pcap", folder / "zst", rows[4500:]]
    return rows, inputs


def dataset_order(rows, tz="UTC"):
    """The rows as a dataset reads them: by local date, then lumera_id, arrival order kept."""
    import pandas as pd

    dates = np.asarray(pd.to_datetime(rows["time_stamp"], unit="s", utc=True).tz_convert(tz)
                       .strftime("%Y-%m-%d"))
    order = np.lexsort((rows["lumera_id"], dates))
    return rows[order], dates[order]
