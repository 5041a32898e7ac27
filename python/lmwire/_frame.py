"""A capture as a pandas DataFrame, for readers who work in pandas (pandas is optional)."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Collection, Optional

import numpy as np

from . import _native
from ._prices import read_prices

if TYPE_CHECKING:
    import numpy.typing as npt

    from ._prices import Source

_TIME_UNITS = (None, "s", "ms", "us", "ns")


def prices_frame(source: Source, time_unit: str | None = None, *, tz: str | None = None,
                 index: str | None = None, partial: bool = False) -> Any:
    """One row per price record, with display texts of the last price and the best bid and ask.

    The columns are the record's fields (``price_type`` to ``low``), a packet capture's
    ``capture_time`` (UTC, or in the zone ``tz``), the best level of each side
    (``best_bid``, ``best_bid_size``, ``best_ask``, ``best_ask_size``) and their texts in each
    record's own price format (``last_price_text``, ``best_bid_text``, ``best_ask_text``; empty
    for a code without a row). ``time_stamp`` stays the record's raw integer, since the library
    gives it no unit; naming one (``"s"``, ``"ms"``, ``"us"`` or ``"ns"`` since 1970) adds a UTC
    ``time`` column, in the time zone ``tz`` when one is named (``"America/Chicago"``), and
    ``index="time"`` makes that column the frame's index; either without a ``time_unit`` raises
    ``ValueError``, as does a zone that pandas does not know. ``source`` and ``partial`` are as
    for ``read_prices``. The result is a ``pandas.DataFrame``.
    """
    if time_unit not in _TIME_UNITS:
        raise ValueError(f"time_unit is one of {', '.join(map(repr, _TIME_UNITS[1:]))} or None, "
                         f"not {time_unit!r}")
    # Options that do not go together are refused before the capture is read.
    if index not in (None, "time"):
        raise ValueError(f"index is 'time' or None, not {index!r}")
    for option, value in (("tz", tz), ("index", index)):
        if value is not None and time_unit is None:
            raise ValueError(f"{option}={value!r} needs a time column, and so a time_unit")
    _pandas()
    return rows_frame(read_prices(source, partial=partial), time_unit, tz, index)


def _pandas() -> Any:
    try:
        import pandas as pd
    except ImportError:
        raise ImportError("prices_frame needs pandas (Debian python3-pandas)") from None
    return pd


def rows_frame(rows: npt.NDArray[np.void], time_unit: str | None, tz: str | None,
               index: str | None, columns: Optional[Collection[str]] = None) -> Any:
    """The frame of ``prices_frame`` for decoded rows (whose options are checked); of
    ``columns`` only, in their order, when they are named: the others are not computed."""
    pd = _pandas()

    def wanted(name: str) -> bool:
        return columns is None or name in columns or name == index

    frame = {name: rows[name] for name in _native.PRICE_SCALARS if wanted(name)}
    times = {}
    if "capture_time" in (rows.dtype.names or ()):
        times["capture_time"] = pd.to_datetime(rows["capture_time"], utc=True)
    if time_unit is not None:
        times["time"] = pd.to_datetime(rows["time_stamp"], unit=time_unit, utc=True)
    for column, time in times.items():
        if tz is not None:
            try:
                time = time.tz_convert(tz)
            except KeyError:  # pytz's and zoneinfo's unknown names are KeyErrors
                raise ValueError(f"tz {tz!r} is no time zone that pandas knows") from None
        if wanted(column):
            frame[column] = time.rename(column)
    for side in ("bid", "ask"):
        for name, field in ((f"best_{side}", f"{side}_price"), (f"best_{side}_size",
                                                                  f"{side}_size")):
            if wanted(name):
                frame[name] = rows[field][:, 0]
    # Codes straight from the records: one without a row shows as "", as the library shows it.
    texts = {name: ticks for name, ticks in (("last_price_text", lambda: rows["last_price"]),
                                             ("best_bid_text", lambda: rows["bid_price"][:, 0]),
                                             ("best_ask_text", lambda: rows["ask_price"][:, 0]))
             if wanted(name)}
    if texts:
        codes = rows["price_format_code"].astype(np.int64)
        for name, ticks in texts.items():
            frame[name] = _native.display_array(codes, np.ascontiguousarray(ticks()))
    # Built with its index and columns at once: selecting or moving columns afterwards copies.
    labels = None if index is None else frame.pop(index)
    order = list(frame) if columns is None else [name for name in columns if name in frame]
    return pd.DataFrame({name: frame[name] for name in order}, index=labels)
