"""A dataset's manifest, and the parts that a reader's ``filters=`` keep: filters as Dask's and
Arrow's readers take them, on the partition columns ``date`` and ``lumera_id``."""

from __future__ import annotations

import datetime
import operator
import os
from typing import TYPE_CHECKING, Any, Callable, NamedTuple, Optional, Sequence, Union

from . import _native

if TYPE_CHECKING:
    #: One predicate ``(column, op, value)``; a list of them is ANDed, a list of such lists ORed.
    Filter = tuple[str, str, Any]
    Filters = Optional[Sequence[Union[Filter, Sequence[Filter]]]]


class DatasetPart(NamedTuple):
    """One part file of a dataset, as its manifest lists it: its path relative to the dataset's
    directory, its partition, record count, size on disk, and its first and last record's time
    stamp in the dataset's time unit."""

    path: str
    date: str
    lumera_id: int
    records: int
    bytes: int
    first_time: int
    last_time: int


class Manifest(NamedTuple):
    version: int
    time_unit: str
    time_zone: str
    parts: list[DatasetPart]


def read_manifest(directory: str | os.PathLike[str]) -> Manifest:
    """The manifest of a dataset directory; ``ValueError`` naming it when it is missing or
    damaged (the library's words)."""
    version, unit, zone, parts = _native.read_manifest(os.fsencode(directory))
    return Manifest(version, unit, zone, [DatasetPart(*part) for part in parts])


_OPERATORS: dict[str, Callable[[Any, Any], bool]] = {
    "==": operator.eq, "=": operator.eq, "!=": operator.ne, "<": operator.lt, "<=": operator.le,
    ">": operator.gt, ">=": operator.ge,
    "in": lambda a, b: a in b, "not in": lambda a, b: a not in b}


def _date(value: Any) -> str:
    # The partition's date is a text whose order is the dates' order.
    if isinstance(value, datetime.date) and not isinstance(value, datetime.datetime):
        return value.isoformat()
    if isinstance(value, str) and len(value) == 10:
        try:
            return datetime.date.fromisoformat(value).isoformat()
        except ValueError:
            pass
    raise ValueError(f"expected a date, 'YYYY-MM-DD' or a datetime.date, not {value!r}")


def _lumera_id(value: Any) -> int:
    if isinstance(value, bool):
        raise ValueError(f"expected an int, not {value!r}")
    try:
        return operator.index(value)
    except TypeError:
        raise ValueError(f"expected an int, not {value!r}") from None


_COLUMNS: dict[str, Callable[[Any], Any]] = {"date": _date, "lumera_id": _lumera_id}
_Test = tuple[str, Callable[[Any, Any], bool], Any]


def _predicate(given: Any) -> _Test:
    if not isinstance(given, (tuple, list)) or len(given) != 3:
        raise ValueError(f"filters: {given!r} is not a (column, op, value) tuple")
    column, op, value = given
    if column not in _COLUMNS:
        raise ValueError(f"filters: {given!r}: column {column!r} is not one of 'date', "
                         "'lumera_id' (the partition columns)")
    if op not in _OPERATORS:
        raise ValueError(f"filters: {given!r}: operator {op!r} is not one of "
                         f"{', '.join(_OPERATORS)}")
    convert = _COLUMNS[column]
    try:
        if op in ("in", "not in"):
            if isinstance(value, (str, bytes)) or not hasattr(value, "__iter__"):
                raise ValueError(f"expected a list of values, not {value!r}")
            value = frozenset(convert(item) for item in value)
        else:
            value = convert(value)
    except ValueError as error:
        raise ValueError(f"filters: {given!r}: {error}") from None
    return column, _OPERATORS[op], value


def _disjunction(filters: Filters) -> Optional[list[list[_Test]]]:
    """The filters as a list of conjunctions (None: everything is kept)."""
    if filters is None:
        return None
    if not isinstance(filters, (list, tuple)):
        raise ValueError(f"filters {filters!r}: expected a list of (column, op, value) tuples, "
                         "or a list of such lists")
    if not filters:
        return None
    # As Arrow tells the two forms apart: by the first item of the first entry.
    flat = isinstance(filters[0], (tuple, list)) and isinstance(filters[0][0], str)
    groups = [filters] if flat else filters
    disjunction = []
    for group in groups:
        if not isinstance(group, (list, tuple)) or not group:
            raise ValueError(f"filters: {group!r} is not a non-empty list of (column, op, value) "
                             "tuples")
        disjunction.append([_predicate(given) for given in group])
    return disjunction


def select_parts(parts: Sequence[DatasetPart], filters: Filters) -> list[DatasetPart]:
    """The parts whose partition passes ``filters``, in the manifest's order; ``ValueError``
    naming a filter that is malformed, of another column or of an unknown operator."""
    disjunction = _disjunction(filters)
    if disjunction is None:
        return list(parts)
    return [part for part in parts
            if any(all(test(getattr(part, column), value) for column, test, value in group)
                   for group in disjunction)]
