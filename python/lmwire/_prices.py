"""Captures of 86-byte price records as numpy structured arrays, and back: raw records, or UDP
datagrams of them in a pcap or pcapng, each plain, zstd or gzip."""

from __future__ import annotations

import ipaddress
import os
import stat
import warnings
from typing import TYPE_CHECKING, Iterable, Iterator, Optional, Union

import numpy as np
from numpy.lib.recfunctions import repack_fields

from . import _native
from ._manifest import read_manifest, select_parts

if TYPE_CHECKING:
    import numpy.typing as npt
    from _typeshed import ReadableBuffer

    from ._manifest import Filters

    #: What ``read_prices`` reads: a path or the bytes themselves.
    Source = Union[str, os.PathLike[str], ReadableBuffer]
    #: The destination ports whose datagrams are read: one or several.
    Ports = Union[int, Iterable[int], None]

#: Bytes of one price record on the wire.
RECORD_SIZE = _native.RECORD_SIZE


def _price_dtype():
    # The row's layout is the extension's: it writes the rows, so it declares them.
    names, formats, offsets = [], [], []
    for name, fmt, count, offset in _native.price_row_fields():
        names.append(name)
        formats.append(np.dtype(fmt) if count == 1 else np.dtype((fmt, (count,))))
        offsets.append(offset)
    return np.dtype(
        {"names": names, "formats": formats, "offsets": offsets,
         "itemsize": _native.PRICE_ROW_SIZE})


#: One decoded record: packed, little-endian, 146 bytes. Depth prices are absolute ticks, as
#: CWirePrice::GetBid and GetAsk give them; the time stamp is the record's raw integer.
PRICE_DTYPE = _price_dtype()

#: A record of a packet capture: ``PRICE_DTYPE``'s fields, then ``capture_time``, the time at
#: which its packet was captured (``datetime64[ns]``, UTC): packed, 154 bytes.
PRICE_CAPTURE_DTYPE = np.dtype({
    "names": [*PRICE_DTYPE.names, "capture_time"],
    "formats": [PRICE_DTYPE.fields[name][0] for name in PRICE_DTYPE.names] + ["<M8[ns]"],
    "offsets": [PRICE_DTYPE.fields[name][1] for name in PRICE_DTYPE.names] + [PRICE_DTYPE.itemsize],
    "itemsize": PRICE_DTYPE.itemsize + 8})


class PartialRecordWarning(UserWarning):
    """Bytes after the last whole record were left out (``read_prices(..., partial=True)``)."""


class SkippedPacketsWarning(UserWarning):
    """Packets of a packet capture that carried no records to read, or records cut short.

    The message is the tool's summary; ``skipped`` and ``in_part`` count the same by reason
    (``{"other port": 3}``), and ``datagrams`` is the number of datagrams read."""

    def __init__(self, message: str, skipped: dict[str, int], in_part: dict[str, int],
                 datagrams: int) -> None:
        super().__init__(message)
        self.skipped, self.in_part, self.datagrams = skipped, in_part, datagrams


def _whole_records(length, partial, what):
    whole, left = divmod(length, RECORD_SIZE)
    if left:
        if not partial:
            raise ValueError(
                f"{what} has {length} bytes, which is not a whole number of "
                f"{RECORD_SIZE}-byte price records (partial=True reads the {whole} whole ones)")
        warnings.warn(
            f"{what}: the {left} bytes after the last of {whole} whole records were left out",
            PartialRecordWarning, stacklevel=3)
    return whole


def _by_reason(counts: list[int]) -> dict[str, int]:
    """A tally's counts by the tool's words for their reasons, none that are 0."""
    return {reason: n for reason, n in zip(_native.SKIP_REASONS, counts) if n}


_NO_CAPTURE = ("this lmwire was built without the capture component (libpcap, libzstd and zlib: "
               "Debian libpcap-dev, libzstd-dev, zlib1g-dev), so it reads and writes plain raw "
               "records only")
# Without the component, the first bytes that it would read as something else than raw records:
# a pcap (either byte order and resolution), a pcapng section, zstd (a skippable frame too), gzip.
_NOT_PLAIN = tuple(bytes.fromhex(m) for m in (
    "d4c3b2a1", "a1b2c3d4", "4d3cb2a1", "a1b23c4d", "0a0d0d0a", "28b52ffd", "1f8b08"))


def _plain_records(head: bytes) -> bool:
    if _native.CAPTURE:
        return _native.plain_records(head)
    return not (head.startswith(_NOT_PLAIN) or head[1:4] == b"\x2a\x4d\x18" and head[0] >> 4 == 5)


def _ports(port: Ports) -> list[int]:
    ports = [] if port is None else [port] if isinstance(port, (int, str)) else list(port)
    for number in ports:
        if not isinstance(number, int) or not 0 <= number <= 65535:
            raise ValueError(f"port {number!r}: expected 0 to 65535")
    return ports


class _Reading:
    """A capture read through the capture component, and what is said at its end."""

    def __init__(self, source: object, is_path: bool, name: str, ports: list[int],
                 capture: Optional[_native.Capture] = None) -> None:
        if not _native.CAPTURE:
            raise RuntimeError(f"{name}: {_NO_CAPTURE}")
        self.capture = _native.Capture(source, is_path, name, ports) if capture is None else capture
        self.name = name
        self.packets = self.capture.kind != "raw"
        self.dtype = PRICE_CAPTURE_DTYPE if self.packets else PRICE_DTYPE
        if ports and not self.packets:
            raise ValueError(f"port= chooses the datagrams of a pcap or pcapng capture; {name} "
                             "holds raw records")

    def finish(self, partial: bool) -> None:
        """Says what was skipped, then refuses a capture that ends inside a packet or record
        (unless ``partial``: it warns)."""
        skipped = _by_reason(self.capture.skipped)
        in_part = _by_reason(self.capture.in_part)
        if skipped or in_part:
            summary = f"{self.name}: {self.capture.summary}"
            warnings.warn(SkippedPacketsWarning(summary, skipped, in_part,
                                                self.capture.datagrams), stacklevel=3)
        if self.capture.cut:
            what = "packet" if self.packets else "record"
            end = (f"{self.name}: the capture ends inside the {what} after "
                   f"{self.capture.count} whole {what}s ({self.capture.cut})")
            if not partial:
                raise ValueError(f"{end}; partial=True reads the whole ones")
            warnings.warn(f"{end}; left out", PartialRecordWarning, stacklevel=3)


def _open(source: Source, ports: list[int],
          filters: Filters) -> tuple[Optional[_Reading], Union[str, memoryview], str]:
    """The capture to read through the component (None for plain raw records), its path or
    bytes, and how messages name it."""
    if isinstance(source, (str, os.PathLike)) and os.path.isdir(source):
        return _dataset(os.fspath(source), ports, filters), "", repr(os.fspath(source))
    if filters is not None:
        what = repr(os.fspath(source)) if isinstance(source, (str, os.PathLike)) else "bytes"
        raise ValueError(f"filters= chooses the parts of a dataset directory; {what} is none")
    if isinstance(source, (str, os.PathLike)):
        path = os.fspath(source)
        with open(path, "rb") as stream:
            info = os.fstat(stream.fileno())
            # A pipe, a device or a file whose size the system does not tell (those under /proc
            # show 0) has no size to plan by: it is read whole first.
            if stat.S_ISREG(info.st_mode) and info.st_size > 0:
                if _plain_records(stream.read(12)):
                    return _plain(path, repr(path), ports)
                return _Reading(os.fsencode(path), True, repr(path), ports), path, repr(path)
            data: ReadableBuffer = stream.read()
        name = repr(path)
    else:
        data, name = source, "the source"
    try:
        view = memoryview(data)
    except TypeError:
        raise TypeError("read_prices takes a path or a bytes-like object, not "
                        f"{type(source).__name__}") from None
    if not view.c_contiguous:
        view = memoryview(view.tobytes())
    view = view.cast("B")
    if _plain_records(view[:12].tobytes()):
        return _plain(view, name, ports)
    return _Reading(view, False, name, ports), view, name


def _dataset(directory: str, ports: list[int], filters: Filters) -> _Reading:
    """The parts of a dataset that ``filters`` keep, as one capture of raw records."""
    if not _native.CAPTURE:
        raise RuntimeError(f"{directory!r}: {_NO_CAPTURE}")
    if ports:
        raise ValueError(f"port= chooses the datagrams of a pcap or pcapng capture; the dataset "
                         f"{directory!r} holds raw records")
    parts = select_parts(read_manifest(directory).parts, filters)
    capture = _native.Capture(os.fsencode(directory), list(parts))
    return _Reading(None, False, repr(directory), [], capture)


def _plain(source: Union[str, memoryview], name: str,
           ports: list[int]) -> tuple[None, Union[str, memoryview], str]:
    if ports:
        raise ValueError(f"port= chooses the datagrams of a pcap or pcapng capture; {name} holds "
                         "raw records")
    return None, source, name


def read_prices(source: Source, *, port: Ports = None, partial: bool = False,
                filters: Filters = None) -> npt.NDArray[np.void]:
    """Decodes a capture into an array: ``PRICE_DTYPE`` for raw records back to back,
    ``PRICE_CAPTURE_DTYPE`` (with each packet's ``capture_time``) for a pcap or pcapng.

    ``source`` is a path (``str`` or ``os.PathLike``) or the bytes themselves (``bytes``,
    ``bytearray``, ``memoryview`` or any object with the buffer protocol). What it holds is told
    by its first bytes: zstd and gzip are decompressed as they are read; a pcap or pcapng gives
    the records of its UDP datagrams, chosen as the tool chooses them: those to the destination
    ``port`` (an int or several) when one is named, otherwise those whose length is a multiple of
    86 and whose records all have a known price format code. Packets left, and datagrams whose
    last record was cut short, are counted in one ``SkippedPacketsWarning``. A capture that ends
    inside a record or packet raises ``ValueError`` naming it; with ``partial=True`` the whole
    ones are decoded and the rest reported by a ``PartialRecordWarning``. A plain file of raw
    records is read and decoded in one pass, without the GIL; ``port`` with raw records raises
    ``ValueError``.

    A dataset directory (``write_dataset``, ``lmwire split``) reads as one capture of raw
    records, in date, ``lumera_id`` and part order. ``filters`` keep whole parts by their
    partition before anything is read, as Dask's and Arrow's readers take them: a list of
    ``(column, op, value)`` tuples, all of which a part passes, or a list of such lists, one of
    which it passes; the columns are ``"date"`` (``"YYYY-MM-DD"`` or a ``datetime.date``) and
    ``"lumera_id"``, the operators ``==``, ``=``, ``!=``, ``<``, ``<=``, ``>``, ``>=``, ``in``
    and ``not in`` (with a list), as in ``[("lumera_id", "in", [2, 5]), ("date", ">=",
    "2026-12-01")]``. A manifest that is missing or damaged, or a part that is not as it says
    (gone, of another size or record count), raises ``ValueError`` naming it, before any record
    of that part is handed out. ``filters`` on anything but a dataset raise ``ValueError``.
    """
    ports = _ports(port)
    reading, plain, name = _open(source, ports, filters)
    if reading is not None:
        rows = reading.capture.read_all(reading.dtype)
        reading.finish(partial)
        return rows
    if isinstance(plain, str):
        rows = np.empty(_whole_records(os.path.getsize(plain), partial, name), PRICE_DTYPE)
        _native.read_price_file(plain, rows)
        return rows
    rows = np.empty(_whole_records(plain.nbytes, partial, name), PRICE_DTYPE)
    _native.decode_prices(plain, rows)
    return rows


def iter_prices(source: Source, chunk_records: int = 65536, *, port: Ports = None,
                partial: bool = False, filters: Filters = None) -> Iterator[npt.NDArray[np.void]]:
    """The records of a capture of any kind and size, or of a dataset, as ``read_prices`` reads
    them, in arrays of ``chunk_records`` rows (the last one shorter): only one chunk is in memory
    at a time.

    The capture is opened, its kind told and ``port`` and ``filters`` checked by the call; the
    warnings and the ``ValueError`` of a capture cut short come after its last chunk, that of a
    dataset's damaged part before the first chunk with any of its records.
    """
    if not isinstance(chunk_records, int) or chunk_records < 1:
        raise ValueError(f"chunk_records {chunk_records!r}: expected a positive int")
    ports = _ports(port)
    reading, plain, name = _open(source, ports, filters)
    if reading is None:
        reading = _Reading(os.fsencode(plain) if isinstance(plain, str) else plain,
                           isinstance(plain, str), name, ports)

    def chunks(reading: _Reading) -> Iterator[npt.NDArray[np.void]]:
        while True:
            rows = np.empty(chunk_records, reading.dtype)
            count = reading.capture.read(rows)
            if count:
                yield rows if count == chunk_records else rows[:count]
            if count < chunk_records:
                break
        reading.finish(partial)

    return chunks(reading)


def synth_prices(n: int, seed: int = 1) -> npt.NDArray[np.void]:
    """The first ``n`` records of the library's seeded random-walk market (four contracts, ten
    levels a side, time stamps in seconds from 2025-11-24T16:00:00Z), as ``PRICE_DTYPE`` rows:
    the records of ``lmwire synth prices N FILE --seed SEED``."""
    if not isinstance(n, int) or n < 0 or not isinstance(seed, int) or not 0 <= seed < 2**64:
        raise ValueError(f"synth_prices({n!r}, {seed!r}): expected a count of 0 or more and a "
                         "seed of 0 to 2**64 - 1")
    rows = np.empty(n, PRICE_DTYPE)
    _native.synth_prices(rows, seed)
    return rows


def _endpoint(text: str, what: str) -> tuple[bytes, int]:
    host, colon, port = text.rpartition(":")
    bracketed = host.startswith("[") and host.endswith("]")
    try:
        address = ipaddress.ip_address(host[1:-1] if bracketed else host)
        if not colon or (address.version == 6) != bracketed or not 0 <= int(port) <= 65535:
            raise ValueError
    except ValueError:
        raise ValueError(f"{what} {text!r}: expected ADDRESS:PORT, as 192.0.2.1:40000 or "
                         "[2001:db8::1]:9100") from None
    return address.packed, int(port)


_FORMATS = ("raw", "pcap", "pcapng")
# Time stamps a classic pcap can carry: 1970 up to 2**32 seconds.
_PCAP_END = 2**32 * 10**9


def write_prices(array: npt.NDArray[np.void], path: str | os.PathLike[str], *,
                 format: str = "raw", compress: Optional[str] = None, level: int = 3,
                 source: Optional[str] = None, destination: Optional[str] = None) -> None:
    """Writes an array of ``PRICE_DTYPE`` or ``PRICE_CAPTURE_DTYPE`` rows to ``path`` as 86-byte
    records: raw, back to back (``format="raw"``), or UDP datagrams in Ethernet frames of a
    ``"pcap"`` or ``"pcapng"``; ``compress="zstd"`` compresses at zstd's ``level``.

    A packet's time is its rows' ``capture_time``, or for ``PRICE_DTYPE`` rows their
    ``time_stamp`` read as seconds since 1970; consecutive rows of one time share a datagram, up
    to 16 records (1,376 bytes, which a 1500-byte MTU carries). Time stamps are microseconds,
    or nanoseconds when a time needs them. Datagrams go from ``source`` to ``destination``
    (``"ADDRESS:PORT"``, both IPv4 or both IPv6; by default the tool's, 192.0.2.1:40000 to
    239.192.0.1:9100), and ``read_prices`` gives the rows back (records without a known price
    format code only with ``port=``).

    Each record is built by the library's record builder, so a depth price more than a signed
    byte away from its row's last price raises ``ValueError`` naming the row and level, before
    anything is written, as does a time that the format cannot carry. The file is written beside
    ``path`` and renamed into place: a failure leaves no partial file. An array of another dtype
    raises ``TypeError``; the packet formats and compression need the capture component.
    """
    if not isinstance(array, np.ndarray) or array.dtype not in (PRICE_DTYPE, PRICE_CAPTURE_DTYPE):
        what = array.dtype if isinstance(array, np.ndarray) else type(array).__name__
        raise TypeError("write_prices takes an array of lmwire.PRICE_DTYPE or "
                        f"lmwire.PRICE_CAPTURE_DTYPE, not {what}")
    if format not in _FORMATS or compress not in (None, "zstd"):
        raise ValueError(f"format={format!r}, compress={compress!r}: expected format 'raw', "
                         "'pcap' or 'pcapng' and compress None or 'zstd'")
    rows = np.ascontiguousarray(array.reshape(-1))
    packets = format != "raw"
    if (packets or compress) and not _native.CAPTURE:
        raise RuntimeError(f"write_prices(format={format!r}, compress={compress!r}): {_NO_CAPTURE}")
    times = np.zeros(0, "<i8")
    ends = _native.default_endpoints() if packets or compress else None
    if packets and ends is not None:
        ends = (ends[0] if source is None else _endpoint(source, "source"),
                ends[1] if destination is None else _endpoint(destination, "destination"))
        if len(ends[0][0]) != len(ends[1][0]):
            raise ValueError(f"source {source!r} and destination {destination!r}: one is IPv4, "
                             "the other IPv6")
        if rows.dtype == PRICE_CAPTURE_DTYPE:
            times = rows["capture_time"].astype("<i8")
        else:
            times = rows["time_stamp"].astype("<i8") * 10**9
        end = _PCAP_END if format == "pcap" else 2**63 - 1
        beyond = np.flatnonzero((times < 0) | (times >= end))
        if len(beyond):
            raise ValueError(f"row {beyond[0]}: capture time {times[beyond[0]]} ns since 1970 is "
                             f"outside what a {format} carries")
    elif compress is None and rows.dtype == PRICE_CAPTURE_DTYPE:
        rows = repack_fields(rows[list(PRICE_DTYPE.names)])

    def write(target: str) -> None:
        if ends is None:
            _native.write_price_file(rows, target)
            return
        descriptor = os.open(target, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o666)
        try:
            _native.write_capture(rows, times, descriptor, format, compress == "zstd", level,
                                  bool((times % 1000).any()), *ends)
        finally:
            os.close(descriptor)

    target = os.fspath(path)
    if os.path.exists(target) and not os.path.isfile(target):  # a device or a pipe, as it is
        write(target)
        return
    folder, name = os.path.split(target)
    temporary = os.path.join(folder, f".{name}.{os.getpid()}.tmp")
    try:
        write(temporary)
        os.replace(temporary, target)
    except BaseException:
        if os.path.lexists(temporary):
            os.unlink(temporary)
        raise
