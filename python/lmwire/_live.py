"""Live price feeds: records received from a UDP feed as numpy rows, and a capture sent again."""

from __future__ import annotations

import math
import os
import threading
import warnings
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any, Optional

import numpy as np

from . import _native
from ._prices import _NO_CAPTURE, PRICE_CAPTURE_DTYPE, PartialRecordWarning, _by_reason, _ports

if TYPE_CHECKING:
    import numpy.typing as npt

    from ._prices import Ports


def _need_capture(what: str) -> None:
    if not _native.CAPTURE:
        raise RuntimeError(f"{what}: {_NO_CAPTURE}")


def _positive(value: object, what: str) -> int:
    if not isinstance(value, int) or isinstance(value, bool) or value < 1:
        raise ValueError(f"{what} {value!r}: expected a positive int")
    return value


class Listener:
    """The records of a UDP price feed as they arrive: iterating gives arrays of
    ``PRICE_CAPTURE_DTYPE`` rows, ``capture_time`` being the kernel's receive time.

    Made by ``listen``; ``stop()`` from any thread ends the iteration, after the rows already
    received. The counts (``datagrams``, ``records``, ``skipped``, ``in_part``, ``summary``,
    ``kernel_drops``) are read at any time; ``address`` and ``port`` are where the socket is
    bound (the port the system chose for port 0). Iterating to the end, ``close()`` or leaving a
    ``with`` block closes the socket.
    """

    def __init__(self, native: _native.Listener, chunk_records: int, timeout: float) -> None:
        self._native, self._chunk, self._timeout = native, chunk_records, timeout

    def __iter__(self) -> Listener:
        return self

    def __next__(self) -> npt.NDArray[np.void]:
        while True:
            rows = np.empty(self._chunk, PRICE_CAPTURE_DTYPE)
            count = self._native.fill(rows, self._timeout)
            if count:
                # A short chunk is copied so as not to hold the whole buffer.
                return rows if count == self._chunk else rows[:count].copy()
            if self._native.finished:
                self.close()
                raise StopIteration
            # Woken by a signal: returning to the interpreter between waits runs its handler.

    def __enter__(self) -> Listener:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def stop(self) -> None:
        """Ends the iteration: a waiting ``next`` returns what it has. Safe from any thread."""
        self._native.stop()

    def close(self) -> None:
        """Stops, and closes the socket once no ``next`` is running."""
        self._native.close()

    @property
    def address(self) -> str:
        return self._native.address

    @property
    def port(self) -> int:
        return self._native.port

    @property
    def receive_buffer(self) -> int:
        """The bytes the kernel granted the socket (it doubles the request, and caps it)."""
        return self._native.receive_buffer

    @property
    def datagrams(self) -> int:
        """Datagrams received, taken or not."""
        return self._native.datagrams

    @property
    def records(self) -> int:
        """Records handed out."""
        return self._native.records

    @property
    def kernel_drops(self) -> int:
        """Datagrams the kernel dropped because the socket's buffer was full."""
        return self._native.kernel_drops

    @property
    def skipped(self) -> dict[str, int]:
        """Datagrams left, by reason (``{"length not a positive multiple of 86": 2}``)."""
        return _by_reason(self._native.skipped)

    @property
    def in_part(self) -> dict[str, int]:
        """Datagrams taken whose bytes after the last whole record were left, by reason."""
        return _by_reason(self._native.in_part)

    @property
    def summary(self) -> str:
        """The tool's words for ``skipped`` and ``in_part``; empty when there is nothing."""
        return self._native.summary


def listen(address: str, port: int, *, interface: Optional[str] = None,
           source: Optional[str] = None, any_datagram: bool = False,
           count: Optional[int] = None, timeout: float = 0.1, chunk_records: int = 8192,
           receive_buffer: Optional[int] = None) -> Listener:
    """Listens to a UDP price feed: ``address`` (``"192.0.2.1"``, ``"2001:db8::1"``, ``"0.0.0.0"``)
    is the unicast address to bind or the multicast group to join, on ``interface`` (a name;
    None for the system's choice), from ``source`` only (a source-specific join) when given.

    Iterating the ``Listener`` yields arrays of ``PRICE_CAPTURE_DTYPE`` rows, at most
    ``chunk_records`` each: an array is handed out once it is full or ``timeout`` seconds after
    its first row arrived, never empty. Datagrams are taken as ``read_prices`` takes them without
    ``port``: a positive multiple of 86 bytes whose records all have a price format code with a
    row; ``any_datagram=True`` takes every datagram. The iteration ends after ``count`` records
    (the last datagram's records beyond it are left) or when stopped. ``receive_buffer`` sizes
    the socket's buffer in bytes. The GIL is released while waiting.

    An address that is not one, a port outside 0 to 65535, an interface that does not exist, a
    source without a group or an address this machine does not have raise ``ValueError``; the
    system's other refusals ``OSError``.
    """
    _need_capture("listen")
    if count is not None:
        _positive(count, "count")
    _positive(chunk_records, "chunk_records")
    if not isinstance(timeout, (int, float)) or not 0 <= timeout < math.inf:
        raise ValueError(f"timeout {timeout!r}: expected seconds, 0 or more")
    if receive_buffer is not None:
        _positive(receive_buffer, "receive_buffer")
    native = _native.Listener(address, port, interface or "", source, any_datagram, count or 0,
                              receive_buffer or 0)
    return Listener(native, chunk_records, float(timeout))


@dataclass(frozen=True)
class ReplaySummary:
    """What ``replay`` sent: pacing errors (the monotonic clock just after each send returned,
    minus its scheduled time) in seconds, None when sent as fast as possible."""

    datagrams: int
    records: int
    seconds: float  # from the first send to the end
    pacing_median: Optional[float]
    pacing_p99: Optional[float]
    pacing_max: Optional[float]
    skipped: dict[str, int] = field(default_factory=dict)  # packets not sent, by reason
    in_part: dict[str, int] = field(default_factory=dict)
    summary: str = ""  # the tool's words for skipped and in_part


def replay(path: str | os.PathLike[str], address: str, port: int, speed: float = 1.0, *,
           rate: Optional[float] = None, max: bool = False, records: int = 1, loops: int = 1,
           ports: Ports = None, interface: Optional[str] = None, ttl: int = 1,
           loopback: bool = True) -> ReplaySummary:
    """Sends the capture at ``path`` to ``address`` (unicast or a multicast group) and ``port``,
    and returns what was sent.

    The datagrams sent are those ``read_prices(path, port=ports)`` reads, payloads unchanged; a
    raw capture's records go in datagrams of ``records``. They leave at the recorded pace times
    ``speed``, at ``rate`` datagrams a second, or as fast as possible (``max=True``), each
    against an absolute clock so that errors do not add up; ``loops`` passes. ``interface``,
    ``ttl`` and ``loopback`` (a group's datagrams also reach this machine) are the sender's.

    ``ValueError`` before anything is sent for a raw capture at the recorded pace (it has no
    times), a speed or rate that is not positive, two paces at once, ``records`` beyond what a
    datagram carries, or a bad address, port, interface or TTL; a damaged capture raises
    ``ValueError`` where the damage is, and one that ends inside a packet is sent up to it with a
    ``PartialRecordWarning``. A file that cannot be read is an ``OSError``. The GIL is
    released while sending; ``KeyboardInterrupt`` stops it after the datagram being sent.
    """
    _need_capture("replay")
    if (rate is not None) + bool(max) + (speed != 1.0) > 1:
        raise ValueError(f"speed={speed!r}, rate={rate!r}, max={max!r}: one pace at a time")
    pace = "max" if max else "rate" if rate is not None else "recorded"
    _positive(records, "records")
    _positive(loops, "loops")
    name = os.fspath(path)
    with open(name, "rb"):  # a file that cannot be read is the system's refusal: OSError
        pass
    job = _native.Replay(os.fsencode(name), repr(name), address, port, pace, float(speed),
                         float(rate or 0), records, loops, _ports(ports), interface or "", ttl,
                         loopback)
    sent: list[dict[str, Any]] = []
    failed: list[BaseException] = []

    def run() -> None:
        try:
            sent.append(job.run())
        except BaseException as error:  # handed to the caller's thread
            failed.append(error)

    # The replay runs on a thread of its own so that this one, waiting, still takes signals.
    worker = threading.Thread(target=run, name="lmwire.replay", daemon=True)
    worker.start()
    try:
        worker.join()
    except BaseException:
        job.stop()
        worker.join()
        raise
    if failed:
        raise failed[0]
    done = sent[0]
    if done["cut"]:
        warnings.warn(f"{done['cut']}; the rest was not sent", PartialRecordWarning, stacklevel=2)
    timed = done["timed"] > 0
    median, p99, most = (done[key] / 1e9 if timed else None for key in ("median", "p99", "max"))
    return ReplaySummary(done["datagrams"], done["records"], done["nanoseconds"] / 1e9, median,
                         p99, most, _by_reason(done["skipped"]), _by_reason(done["in_part"]),
                         done["summary"])
