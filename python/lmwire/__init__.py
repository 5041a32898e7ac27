"""LMWireTypes for Python: captures of price records as numpy arrays, prices both ways, packets
as objects.

The numbers stay numbers: a capture of 86-byte price records, raw or in the UDP datagrams of a pcap
or pcapng, reads into a numpy structured array (``read_prices``, or ``iter_prices`` chunk by chunk)
and is written back (``write_prices``; ``synth_prices`` makes records to try), a history larger
than memory is stored as a partitioned dataset (``write_dataset``) that the same readers take with
filters and ``lmwire.dask`` reads as a Dask DataFrame, a live UDP feed is received as such arrays
(``listen``) and a capture sent to one (``replay``), tick prices turn into display texts and
decimal values and back (``display``, ``parse``, ``to_decimal``, ``from_decimal``) one at a time or
a whole array at once, and the session packets are classes with their fields as keyword arguments
and attributes. Everything is computed by the C++ library LMWireTypes through the extension
``lmwire._native``.
"""

try:
    from . import _native
except ImportError:
    import importlib.util

    if importlib.util.find_spec(f"{__name__}._native") is not None:
        raise  # the extension is there but does not load: its own error says why
    raise ImportError(
        "lmwire's compiled extension lmwire._native is missing (a source tree that was never "
        "built?). Install the package with `python -m pip install --no-build-isolation "
        "--no-index .`, run from the project's top directory in a virtual environment made from "
        "/usr/bin/python3 (see the README's Python section), or put a build tree's package on "
        "PYTHONPATH (build/dev/python after `cmake --preset dev` and a build)") from None
from ._convert import Format, display, formats, from_decimal, parse, to_decimal
from ._dataset import DatasetSummary, write_dataset
from ._frame import prices_frame
from ._live import Listener, ReplaySummary, listen, replay
from ._manifest import DatasetPart
from ._native import (
    CLMWirePriceSubscriptionPacket,
    LogonResponsePacket,
    StartLogFileSend,
    TCPLogonReconnectPacket,
    UDPLogOnPacket,
    WireAccountDataPacket,
    WireHolePunchDelayPacket,
    WirePriceProtocolPacket,
    read_account_contract,
)
from ._prices import (
    PRICE_CAPTURE_DTYPE,
    PRICE_DTYPE,
    RECORD_SIZE,
    PartialRecordWarning,
    SkippedPacketsWarning,
    iter_prices,
    read_prices,
    synth_prices,
    write_prices,
)

__version__ = _native.__version__

__all__ = [
    "CLMWirePriceSubscriptionPacket",
    "DatasetPart",
    "DatasetSummary",
    "Format",
    "Listener",
    "LogonResponsePacket",
    "PRICE_CAPTURE_DTYPE",
    "PRICE_DTYPE",
    "PartialRecordWarning",
    "RECORD_SIZE",
    "ReplaySummary",
    "SkippedPacketsWarning",
    "StartLogFileSend",
    "TCPLogonReconnectPacket",
    "UDPLogOnPacket",
    "WireAccountDataPacket",
    "WireHolePunchDelayPacket",
    "WirePriceProtocolPacket",
    "__version__",
    "display",
    "formats",
    "from_decimal",
    "iter_prices",
    "listen",
    "parse",
    "prices_frame",
    "read_account_contract",
    "read_prices",
    "replay",
    "synth_prices",
    "to_decimal",
    "write_dataset",
    "write_prices",
]
