"""Captures of 86-byte price records as numpy structured arrays, and back."""

from __future__ import annotations

import os
import stat
import warnings
from typing import TYPE_CHECKING, Union

import numpy as np

from . import _native

if TYPE_CHECKING:
    import numpy.typing as npt
    from _typeshed import ReadableBuffer

    #: What ``read_prices`` reads: a path or the bytes themselves.
    Source = Union[str, os.PathLike[str], ReadableBuffer]

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


class PartialRecordWarning(UserWarning):
    """Bytes after the last whole record were left out (``read_prices(..., partial=True)``)."""


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


# The first bytes of a pcap capture (either byte order, micro- or nanosecond stamps), and the
# byte-order magic that a pcapng section header block carries at offset 8.
_PCAP_MAGICS = {bytes.fromhex(m) for m in ("d4c3b2a1", "a1b2c3d4", "4d3cb2a1", "a1b23c4d")}
_PCAPNG_BLOCK = bytes.fromhex("0a0d0d0a")
_PCAPNG_ORDERS = {bytes.fromhex("4d3c2b1a"), bytes.fromhex("1a2b3c4d")}


def _refuse_pcap(head, path):
    """Refuses a pcap or pcapng capture by its first 12 bytes: its packets are no price records
    back to back, and read as if they were they give rows of garbage."""
    if head[:4] in _PCAP_MAGICS or (head[:4] == _PCAPNG_BLOCK and head[8:12] in _PCAPNG_ORDERS):
        if path is None:
            raise ValueError("the bytes are a pcap capture; lmwire decode price-record --pcap "
                             "reads such a capture from a file")
        raise ValueError(f"{path!r} is a pcap capture; lmwire decode price-record --pcap reads it")


def read_prices(source: Source, *, partial: bool = False) -> npt.NDArray[np.void]:
    """Decodes a capture of price records, back to back, into an array of ``PRICE_DTYPE``.

    ``source`` is a path (``str`` or ``os.PathLike``) or the bytes themselves (``bytes``,
    ``bytearray``, ``memoryview`` or any object with the buffer protocol). A length that is not a
    multiple of 86 raises ``ValueError`` naming it; with ``partial=True`` the whole records are
    decoded and the leftover bytes reported by a ``PartialRecordWarning``. A pcap or pcapng
    capture raises ``ValueError`` (``lmwire decode price-record --pcap`` reads one). A regular
    file is read and decoded in one pass, without the GIL.
    """
    path = None
    if isinstance(source, (str, os.PathLike)):
        path = os.fspath(source)
        with open(path, "rb") as stream:
            info = os.fstat(stream.fileno())
            # A pipe, a device or a file whose size the system does not tell (those under /proc
            # show 0) has no size to plan by: it is read whole first.
            planned = stat.S_ISREG(info.st_mode) and info.st_size > 0
            if planned:
                _refuse_pcap(stream.read(12), path)
            else:
                source = stream.read()
        if planned:
            rows = np.empty(_whole_records(info.st_size, partial, repr(path)), PRICE_DTYPE)
            _native.read_price_file(path, rows)
            return rows
    try:
        view = memoryview(source)  # type: ignore[arg-type]  # a path was read into bytes above
    except TypeError:
        raise TypeError(
            "read_prices takes a path or a bytes-like object, not "
            f"{type(source).__name__}") from None
    if not view.c_contiguous:
        view = memoryview(view.tobytes())
    _refuse_pcap(view.cast("B")[:12].tobytes(), path)
    what = "the source" if path is None else repr(path)
    rows = np.empty(_whole_records(view.nbytes, partial, what), PRICE_DTYPE)
    _native.decode_prices(view, rows)
    return rows


def write_prices(array: npt.NDArray[np.void], path: str | os.PathLike[str]) -> None:
    """Writes an array of ``PRICE_DTYPE`` rows to ``path`` as 86-byte records.

    Each record is built by the library's record builder, so a depth price more than a signed
    byte away from its row's last price raises ``ValueError`` naming the row and level, before
    the file is opened. An array of another dtype raises ``TypeError``.
    """
    if not isinstance(array, np.ndarray) or array.dtype != PRICE_DTYPE:
        what = array.dtype if isinstance(array, np.ndarray) else type(array).__name__
        raise TypeError(f"write_prices takes an array of lmwire.PRICE_DTYPE, not {what}")
    _native.write_price_file(np.ascontiguousarray(array.reshape(-1)), os.fspath(path))
