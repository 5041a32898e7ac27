import importlib.util
import os
import shutil
import subprocess
import sys
from pathlib import Path

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
    assert "pip install --no-build-isolation --no-index ." in done.stderr


# A typed use of the package, one expression a row, and the type that mypy must infer for it.
TYPED_USES = [
    ("lmwire.display(9, 1234)", "builtins.str"),
    ("lmwire.display([9, 14], np.array([1234, -1234]))",
     "numpy.ndarray[Any, numpy.dtype[numpy.str_]]"),
    ('lmwire.parse(9, "9.205")', "builtins.int"),
    ("lmwire.from_decimal(6, 38.5625)", "builtins.int"),
    ("lmwire.formats()[8].ticks_per_unit", "builtins.int"),
    ('lmwire.read_prices(b"")', "numpy.ndarray[Any, numpy.dtype[numpy.void]]"),
    ('lmwire.iter_prices("c.pcap", port=[9100])',
     "typing.Iterator[numpy.ndarray[Any, numpy.dtype[numpy.void]]]"),
    ('next(lmwire.listen("::", 9300, count=5))', "numpy.ndarray[Any, numpy.dtype[numpy.void]]"),
    ('lmwire.replay("c.pcap", "127.0.0.1", 9300, max=True).pacing_p99',
     "Union[builtins.float, None]"),
    ('lmwire.TCPLogonReconnectPacket(user_id=b"u").user_id', "builtins.str"),
    ('lmwire.read_account_contract(b"")', "Tuple[builtins.dict[builtins.str, Any], builtins.int]"),
    ('lmwire.write_dataset([lmwire.synth_prices(1), "c.pcap"], "d").parts[0].date', "builtins.str"),
    ('lmwire.iter_prices("d", filters=[[("date", ">=", "2026-12-01")], [("lumera_id", "==", 2)]])',
     "typing.Iterator[numpy.ndarray[Any, numpy.dtype[numpy.void]]]"),
]


@pytest.mark.skipif(importlib.util.find_spec("mypy") is None,
                    reason="mypy is not installed (Debian python3-mypy)")
def test_the_package_and_a_typed_use_of_it_pass_mypy(tmp_path):
    use = tmp_path / "use.py"
    use.write_text("import numpy as np\nimport lmwire\n"
                   + "".join(f"reveal_type({expression})\n" for expression, _ in TYPED_USES)
                   + 'lmwire.LogonResponsePacket(port="9100")\n')
    package = os.path.dirname(lmwire.__file__)
    done = subprocess.run(
        [sys.executable, "-m", "mypy", "--config-file",
         str(Path(__file__).resolve().parents[2] / "pyproject.toml"),
         "--cache-dir", str(tmp_path / "cache"), package, str(use)],
        capture_output=True, text=True, cwd=tmp_path,
        env=dict(os.environ, MYPYPATH=os.path.dirname(package)))
    # Nothing on the package: only the notes, and the one misuse refused.
    expected = [f'use.py:{line}: note: Revealed type is "{revealed}"'
                for line, (_, revealed) in enumerate(TYPED_USES, start=3)]
    expected.append(f'use.py:{len(TYPED_USES) + 3}: error: Argument "port" to '
                    '"LogonResponsePacket" has incompatible type "str"; expected "int"  [arg-type]')
    assert done.stdout.splitlines()[:-1] == expected, done.stdout + done.stderr
