"""Captures and datasets as Dask DataFrames, for histories larger than one machine's memory.

``read_prices`` plans one partition per part of a dataset (or per chunk of a raw file, or per
capture file) from the manifest alone; each task carries a path and a part's name, never an open
file or an array, and reads it where it runs: a thread, a process, or a worker of a
``distributed`` cluster on another machine that sees the same path. Dask is imported when a
frame is made, so that ``import lmwire`` works without it (Debian python3-dask).
"""

from __future__ import annotations

import os
import stat
from typing import TYPE_CHECKING, Any, NamedTuple, Optional, Sequence, Union

import numpy as np

from . import _native
from ._frame import _TIME_UNITS, rows_frame
from ._manifest import DatasetPart, read_manifest, select_parts
from ._prices import (
    PRICE_CAPTURE_DTYPE,
    PRICE_DTYPE,
    RECORD_SIZE,
    _plain_records,
    _ports,
    read_prices as _read_prices,
)

if TYPE_CHECKING:
    import numpy.typing as npt

    from ._manifest import Filters
    from ._prices import Ports

__all__ = ["read_prices"]


class _Piece(NamedTuple):
    """What one task reads: a dataset's part (``part`` set), ``records`` records of a raw file
    from record ``first``, or a whole capture file (``records`` None)."""

    path: str
    part: Optional[DatasetPart] = None
    first: int = 0
    records: Optional[int] = None
    ports: tuple[int, ...] = ()


class _Reader:
    """A piece to a pandas frame, of the chosen columns only: a Dask IO function, so that a
    selection of columns is computed by the tasks alone rather than dropped after them."""

    def __init__(self, columns: list[str], unit: Optional[str], tz: Optional[str],
                 checked: bool) -> None:
        self.columns, self.unit, self.tz, self.checked = columns, unit, tz, checked

    def project_columns(self, columns: Sequence[str]) -> _Reader:
        return _Reader(list(columns), self.unit, self.tz, self.checked)

    def __call__(self, piece: _Piece) -> Any:
        rows = _rows(piece)
        part = piece.part
        if self.checked and part is not None and len(rows):
            times = rows["time_stamp"]
            if times.min() < part.first_time or times.max() > part.last_time:
                raise ValueError(
                    f"{piece.path}/{part.path}: time stamps outside its first and last "
                    f"({part.first_time}, {part.last_time}), which the frame's divisions took "
                    "from the manifest")
        index = "time" if self.unit is not None else None
        return rows_frame(rows, self.unit, self.tz, index, self.columns)


def _rows(piece: _Piece) -> npt.NDArray[np.void]:
    if piece.part is not None:
        return _native.Capture(os.fsencode(piece.path), [piece.part]).read_all(PRICE_DTYPE)
    if piece.records is None:
        return _read_prices(piece.path, port=list(piece.ports))
    with open(piece.path, "rb") as stream:
        stream.seek(piece.first * RECORD_SIZE)
        data = stream.read(piece.records * RECORD_SIZE)
    if len(data) != piece.records * RECORD_SIZE:
        raise ValueError(f"{piece.path!r} holds fewer than the {piece.first + piece.records} "
                         "records it held when the frame was planned")
    rows = np.empty(piece.records, PRICE_DTYPE)
    _native.decode_prices(data, rows)
    return rows


def _file_pieces(path: str, chunk_records: int,
                 ports: list[int]) -> tuple[list[_Piece], np.dtype[np.void]]:
    """A raw file's chunks, or the whole capture file, and its rows' dtype."""
    with open(path, "rb") as stream:
        info = os.fstat(stream.fileno())
        head = stream.read(12)
    if stat.S_ISREG(info.st_mode) and _plain_records(head):
        if ports:
            raise ValueError(f"port= chooses the datagrams of a pcap or pcapng capture; {path!r} "
                             "holds raw records")
        records, left = divmod(info.st_size, RECORD_SIZE)
        if left:
            raise ValueError(f"{path!r} has {info.st_size} bytes, which is not a whole number of "
                             f"{RECORD_SIZE}-byte price records")
        return [_Piece(path, first=first, records=min(chunk_records, records - first))
                for first in range(0, records, chunk_records)], PRICE_DTYPE
    kind = _native.Capture(os.fsencode(path), True, repr(path), ports).kind
    return ([_Piece(path, ports=tuple(ports))],
            PRICE_DTYPE if kind == "raw" else PRICE_CAPTURE_DTYPE)


def read_prices(path: Union[str, os.PathLike[str]], filters: Filters = None,
                chunk_records: int = 1 << 19, *, time_unit: Optional[str] = None,
                tz: Optional[str] = None, port: Ports = None) -> Any:
    """A capture or a dataset as a ``dask.dataframe.DataFrame`` with the columns of
    ``lmwire.prices_frame``, read when it is computed, by any Dask scheduler.

    A dataset directory gives one partition per part, in date, ``lumera_id`` and part order;
    ``filters`` (as ``lmwire.read_prices`` takes them) leave whole parts out of the graph before
    any task runs. Its frame is indexed by ``time``, the records' time stamps read in the
    dataset's time unit and shown in its zone (or ``tz``), and its divisions are known when each
    part's first and last times, from the manifest, come after those of the part before; a task
    then checks that its part's records lie between them (a ``ValueError`` naming the part, if
    not). A raw file gives a partition per ``chunk_records`` records, another capture one
    partition; with a ``time_unit`` their frames are indexed by ``time`` too (without known
    divisions), and ``port`` chooses a packet capture's datagrams. Selecting columns
    (``frame[["lumera_id", "last_price"]]``) computes those only.

    The graph holds the path (made absolute) and the part's name, so that a worker on another
    machine reads the same file where it sees it under the same path.
    """
    try:
        import dask.dataframe as dd
    except ImportError:
        raise ImportError("lmwire.dask needs dask (Debian python3-dask)") from None
    if not isinstance(chunk_records, int) or chunk_records < 1:
        raise ValueError(f"chunk_records {chunk_records!r}: expected a positive int")
    if time_unit not in _TIME_UNITS:
        raise ValueError(f"time_unit is one of {', '.join(map(repr, _TIME_UNITS[1:]))} or None, "
                         f"not {time_unit!r}")
    ports = _ports(port)
    source = os.path.abspath(os.fspath(path))
    bounds: list[tuple[int, int]] = []
    unit: Optional[str]
    zone: Optional[str]
    if os.path.isdir(source):
        if ports:
            raise ValueError(f"port= chooses the datagrams of a pcap or pcapng capture; the "
                             f"dataset {source!r} holds raw records")
        manifest = read_manifest(source)
        if time_unit not in (None, manifest.time_unit):
            raise ValueError(f"time_unit {time_unit!r}: the dataset {source!r} is in "
                             f"{manifest.time_unit!r}")
        unit, zone = manifest.time_unit, tz or manifest.time_zone
        parts = select_parts(manifest.parts, filters)
        pieces, dtype = [_Piece(source, part) for part in parts], PRICE_DTYPE
        bounds = [(part.first_time, part.last_time) for part in parts]
    else:
        if filters is not None:
            raise ValueError(f"filters= chooses the parts of a dataset directory; {source!r} is "
                             "none")
        if tz is not None and time_unit is None:
            raise ValueError(f"tz={tz!r} needs a time column, and so a time_unit")
        unit, zone = time_unit, tz
        pieces, dtype = _file_pieces(source, chunk_records, ports)
    index = "time" if unit is not None else None
    meta = rows_frame(np.empty(0, dtype), unit, zone, index)
    ordered = bool(bounds) and all(
        first <= last for first, last in bounds) and all(
        before[1] < after[0] for before, after in zip(bounds, bounds[1:]))
    divisions = None
    if ordered:
        import pandas as pd

        times = pd.to_datetime([first for first, _ in bounds] + [bounds[-1][1]], unit=unit,
                               utc=True).tz_convert(zone)
        divisions = tuple(times)
    reader = _Reader(list(meta.columns), unit, zone, ordered)
    if not pieces:
        return dd.from_pandas(meta, npartitions=1)
    return dd.from_map(reader, pieces, meta=meta, divisions=divisions, label="lmwire-read-prices",
                       enforce_metadata=False)
