"""Captures and arrays of records written into a partitioned dataset, by the library's writer."""

from __future__ import annotations

import os
from typing import TYPE_CHECKING, Iterable, NamedTuple, Union

import numpy as np

from . import _native
from ._manifest import DatasetPart, Manifest, read_manifest
from ._prices import (
    PRICE_CAPTURE_DTYPE,
    PRICE_DTYPE,
    RECORD_SIZE,
    _NO_CAPTURE,
    _dataset,
    _ports,
    _Reading,
)

if TYPE_CHECKING:
    import numpy.typing as npt

    from ._prices import Ports

    Input = Union[npt.NDArray[np.void], str, os.PathLike[str]]

# Records handed to the writer per call: a few megabytes.
_CHUNK = 1 << 16


class DatasetSummary(NamedTuple):
    """What ``write_dataset`` wrote: its records, the parts it added (in the manifest's order),
    and the dataset's manifest afterwards."""

    records: int
    parts: list[DatasetPart]
    manifest: Manifest

    @property
    def bytes(self) -> int:
        """The added parts' bytes on disk."""
        return sum(part.bytes for part in self.parts)


def write_dataset(arrays_or_paths: Union[Input, Iterable[Input]],
                  directory: str | os.PathLike[str], *, time_unit: str = "s", tz: str = "UTC",
                  compress: bool = True, level: int = 3, part_bytes: int = 64 << 20,
                  port: Ports = None) -> DatasetSummary:
    """Writes price records into the partitioned dataset ``directory``, as ``lmwire split``
    does: ``date=YYYY-MM-DD/lumera_id=N/part-NNNNN.bin.zst`` files of raw records (``.bin``
    with ``compress=False``; zstd at ``level`` otherwise), each of at most ``part_bytes`` bytes
    of records, and a manifest, ``manifest.json``, that lists them.

    ``arrays_or_paths`` is an array of ``PRICE_DTYPE`` or ``PRICE_CAPTURE_DTYPE`` rows, the path
    of a capture of any kind that ``read_prices`` reads (``port`` chooses a packet capture's
    datagrams as there) or of another dataset, or a list of them, written in their order. A record's date is that of
    its ``time_stamp`` read in ``time_unit`` (``"s"``, ``"ms"``, ``"us"`` or ``"ns"`` since
    1970) in the time zone ``tz`` (``"UTC"`` or an IANA name, as ``"America/Chicago"``); within
    a partition records keep their order. Over an existing dataset the records are appended as
    new parts (its unit and zone must be these).

    Nothing is visible to readers until every record is written: the manifest is written last,
    and a failure (a row out of the builder's reach, a capture cut short, a file that cannot be
    read or written: ``ValueError`` or ``OSError`` naming it) leaves the dataset as it was and
    removes the parts written. Records are written without the GIL.
    """
    if not _native.CAPTURE:
        raise RuntimeError(f"write_dataset: {_NO_CAPTURE}")
    single = (str, bytes, os.PathLike, np.ndarray)
    inputs = (list(arrays_or_paths) if isinstance(arrays_or_paths, Iterable)
              and not isinstance(arrays_or_paths, single) else [arrays_or_paths])
    for given in inputs:
        if isinstance(given, np.ndarray):
            if given.dtype not in (PRICE_DTYPE, PRICE_CAPTURE_DTYPE):
                raise TypeError("write_dataset takes arrays of lmwire.PRICE_DTYPE or "
                                f"lmwire.PRICE_CAPTURE_DTYPE, not {given.dtype}")
        elif not isinstance(given, (str, os.PathLike)):
            raise TypeError("write_dataset takes arrays of price rows and paths of captures, not "
                            f"{type(given).__name__}")
    if not isinstance(part_bytes, int) or part_bytes < RECORD_SIZE:
        raise ValueError(f"part_bytes {part_bytes!r}: expected an int of {RECORD_SIZE} or more")
    ports = _ports(port)
    target = os.fsencode(directory)
    before = ({part.path for part in read_manifest(directory).parts}
              if _native.is_dataset(target) else set())
    writer = _native.DatasetWriter(target, time_unit, tz, compress, level, part_bytes, 0)
    records = 0
    try:
        for index, given in enumerate(inputs):
            if isinstance(given, np.ndarray):
                rows = np.ascontiguousarray(given.reshape(-1))
                try:
                    writer.write_rows(rows)
                except ValueError as error:
                    raise ValueError(f"arrays_or_paths[{index}]: {error}") from None
                records += len(rows)
                continue
            path = os.fspath(given)
            reading = (_dataset(path, ports, None) if os.path.isdir(path) else
                       _Reading(os.fsencode(path), True, repr(path), ports))
            buffer = np.empty(_CHUNK * RECORD_SIZE, np.uint8)
            while count := reading.capture.read_records(buffer):
                writer.write(buffer[:count * RECORD_SIZE])
                records += count
            reading.finish(False)
        version, unit, zone, parts = writer.finish()
    finally:
        writer.close()
    manifest = Manifest(version, unit, zone, [DatasetPart(*part) for part in parts])
    return DatasetSummary(records, [part for part in manifest.parts if part.path not in before],
                          manifest)
