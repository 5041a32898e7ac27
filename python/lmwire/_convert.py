"""Tick prices to display texts and decimal values, and back, in the 62 price formats.

Each function takes a price format code and a scalar, and returns a scalar; or a numpy array or
sequence (the code may be an array too, broadcast against it), and returns a numpy array of the
broadcast shape; or a pandas Series, and returns a Series with its index. A code without a row
raises ``ValueError``. A masked element (``numpy.ma``, or pandas' missing value) is not
converted: it stays masked in the result.
"""

from __future__ import annotations

import math
import numbers
import operator
import sys
from typing import TYPE_CHECKING, Any, Literal, NamedTuple, overload

import numpy as np

from . import _native

if TYPE_CHECKING:
    from typing import Union

    import numpy.typing as npt

    #: A code or ticks as one value: an int or a numpy integer.
    _Integer = Union[int, np.integer[Any]]
    _Errors = Literal["raise", "mask"]


class Format(NamedTuple):
    """A row of the price-format table."""

    code: int
    ticks_per_unit: int
    decimal_places: int


_FORMATS = tuple(Format(*row) for row in _native.formats())
_CODES = np.array([row.code for row in _FORMATS], dtype=np.int64)
_INT32 = np.iinfo(np.int32)
# Ticks per unit by code, for ticks that are not whole (the library's own division takes whole
# ticks only).
_TICKS_PER_UNIT = np.zeros(int(_CODES[-1]) + 1)
_TICKS_PER_UNIT[_CODES] = [row.ticks_per_unit for row in _FORMATS]


def formats() -> list[Format]:
    """The 62 rows of the price-format table, in ascending code."""
    return list(_FORMATS)


def _no_row(code):
    return ValueError(
        f"price format code {code} has no row in the table (codes are "
        f"{_CODES[0]} to {_CODES[-1]})")


def _scalar_code(code):
    try:
        code = operator.index(code)
    except TypeError:
        raise TypeError(
            f"a price format code is an integer, not {type(code).__name__}") from None
    if code not in _CODES:
        raise _no_row(code)
    return code


def _code_array(code):
    codes = np.asarray(code)
    if codes.dtype.kind not in "iu":
        raise TypeError(f"price format codes are integers, not {codes.dtype}")
    known = np.isin(codes, _CODES)
    if not known.all():
        raise _no_row(codes[~known].flat[0])
    return codes.astype(np.int64)


def _is_scalar(value):
    return np.ndim(value) == 0


def _series_of(value):
    # pandas is optional and never imported here: a Series exists only once its caller has.
    pd = sys.modules.get("pandas")
    return pd is not None and isinstance(value, pd.Series)


def _from_series(series):
    """A Series' values as a numpy array; pandas' missing elements (of its own dtypes) masked."""
    if isinstance(series.dtype, np.dtype):
        return series.to_numpy()
    missing = series.isna().to_numpy(dtype=bool)
    numpy_dtype = getattr(series.dtype, "numpy_dtype", None)
    if numpy_dtype is not None and numpy_dtype.kind in "iuf":
        data = series.to_numpy(dtype=numpy_dtype, na_value=0)
    else:
        data = series.to_numpy(dtype=object, na_value=None)
    return np.ma.masked_array(data, mask=missing) if missing.any() else data


def _to_series(result, like):
    """The result as a Series with the index of `like` (a Series given as code or values)."""
    if like is None or np.ndim(result) != 1 or len(result) != len(like):
        return result
    import pandas as pd

    if np.ma.isMaskedArray(result):
        mask = np.ma.getmaskarray(result).copy()
        data = result.data
        if data.dtype.kind in "iu":
            result = pd.arrays.IntegerArray(data, mask)
        elif data.dtype.kind == "f":
            result = pd.arrays.FloatingArray(data, mask)
        else:
            result = pd.array(np.where(mask, None, data.astype(object)), dtype="string")
    return pd.Series(result, index=like.index, name=like.name)


def _unmasked(value, filler):
    """(data, mask): the values with every masked element replaced by `filler`, so that none is
    converted as it stands; mask is None where nothing is masked."""
    if _series_of(value):
        value = _from_series(value)
    if not np.ma.isMaskedArray(value):
        return value, None
    mask = np.ma.getmaskarray(value)
    try:
        data = value.filled(filler)
    except (TypeError, ValueError):  # a filler of another kind: the type checks refuse it anyway
        data = value.data
    return data, mask


def _masked_result(result, mask, blank=None):
    if mask is None:
        return result
    mask = np.broadcast_to(mask, np.shape(result))
    if blank is not None:
        result = np.where(mask, blank, result)
    return np.ma.masked_array(result, mask=mask.copy())


def _out_of_range(ticks):
    return ValueError(f"{ticks} ticks do not fit a signed 32-bit price")


def _not_whole(ticks):
    return ValueError(f"{ticks!r} ticks are not a whole number of ticks")


def _scalar_ticks(ticks, whole=True):
    """The ticks as an int; or as a float where `whole` is false and they are one."""
    if isinstance(ticks, (bool, np.bool_)):
        raise TypeError("ticks are integers, not bool")
    try:
        ticks = operator.index(ticks)
    except TypeError:
        if not isinstance(ticks, numbers.Real):
            raise TypeError(f"ticks are integers, not {type(ticks).__name__}") from None
        ticks = float(ticks)
        if not whole:
            if ticks < _INT32.min or ticks > _INT32.max:  # as for an array: NaN divides to NaN
                raise _out_of_range(ticks) from None
            return ticks
        if not ticks.is_integer():
            raise _not_whole(ticks) from None
        ticks = int(ticks)
    if not _INT32.min <= ticks <= _INT32.max:
        raise _out_of_range(ticks)
    return ticks


def _object_ticks(ticks, whole):
    """An array of Python objects (integers of any size, floats) as int64 or float64 ticks."""
    flat = [_scalar_ticks(t, whole) for t in ticks.reshape(-1)]
    kind = np.float64 if any(isinstance(t, float) for t in flat) else np.int64
    return np.array(flat, dtype=kind).reshape(ticks.shape)


def _tick_array(ticks, whole=True):
    """The ticks as int32; or as float64 where `whole` is false and they are floats."""
    ticks = np.asarray(ticks)
    if ticks.size == 0:
        return ticks.astype(np.int32)
    if ticks.dtype.kind == "O":
        ticks = _object_ticks(ticks, whole)
    if ticks.dtype.kind not in "iuf":
        raise TypeError(f"ticks are integers, not {ticks.dtype}")
    if ticks.dtype != np.int32:
        outside = (ticks < _INT32.min) | (ticks > _INT32.max)
        if outside.any():
            raise _out_of_range(ticks[outside].flat[0])
        if ticks.dtype.kind == "f":
            if not whole:
                return ticks.astype(np.float64)
            broken = ticks != np.round(ticks)
            if broken.any():
                raise _not_whole(float(ticks[broken].flat[0]))
        ticks = ticks.astype(np.int32)
    return ticks


def _apply(kernel, code, values, *results):
    """Runs an array kernel over code and values broadcast together; reshapes its results."""
    if _is_scalar(code):
        codes = np.array([_scalar_code(code)], dtype=np.int64)
        shape = values.shape
    else:
        codes = _code_array(code)
        shape = np.broadcast_shapes(codes.shape, values.shape)
        codes = np.ascontiguousarray(np.broadcast_to(codes, shape)).reshape(-1)
    flat = np.ascontiguousarray(np.broadcast_to(values, shape)).reshape(-1)
    out = kernel(codes, flat)
    if isinstance(out, tuple):
        return tuple(part.reshape(shape) for part in out)
    return out.reshape(shape)


def _check_errors(errors):
    if errors not in ("raise", "mask"):
        raise ValueError(f"errors is 'raise' or 'mask', not {errors!r}")


def _refused_scalar(result, given, code, errors, describe):
    """The result, or for a refused one (None) the masked constant or a ValueError."""
    if result is not None:
        return result
    if errors == "mask":
        return np.ma.masked
    raise ValueError(describe(given, code))


def _refused(values, ok, given, code, errors, describe, mask):
    """Raises for the first refused element that was not masked on input, naming what was given
    there, or masks every refused one."""
    if mask is not None:
        mask = np.broadcast_to(mask, ok.shape)
        ok = ok | mask
    if errors == "mask":
        return np.ma.masked_array(values, mask=~ok if mask is None else ~ok | mask)
    if not ok.all():
        first = tuple(np.argwhere(~ok)[0])
        element_code = code if _is_scalar(code) else np.broadcast_to(code, ok.shape)[first]
        element = np.broadcast_to(given, ok.shape)[first]
        # An element of an object array is the Python object itself; of others, a numpy scalar.
        element = element.item() if isinstance(element, np.generic) else element
        raise ValueError(describe(element, int(element_code)))
    return _masked_result(values, mask)


def _series_given(code, values):
    return values if _series_of(values) else code if _series_of(code) else None


def _codes(code):
    return code.to_numpy() if _series_of(code) else code


# Each function has a scalar and an array overload; a scalar is array-like too, hence the
# ignores. pandas has no types, so a Series is Any to a type checker, and so is the result.
@overload
def display(code: _Integer, ticks: _Integer | float) -> str: ...  # type: ignore[misc]
@overload
def display(code: npt.ArrayLike, ticks: npt.ArrayLike) -> npt.NDArray[np.str_]: ...


def display(code: Any, ticks: Any) -> Any:
    """The display text of a tick price: ``display(9, 1234)`` is ``"9.205"``.

    A negative price carries one minus sign (``display(14, -1234)`` is ``"-12.34"``). Arrays give
    a numpy unicode array. Ticks may be floats with whole values; others raise ``ValueError``.
    """
    if _is_scalar(code) and _is_scalar(ticks) and not np.ma.isMaskedArray(ticks):
        return _native.display(_scalar_code(code), _scalar_ticks(ticks))
    if ticks is np.ma.masked and _is_scalar(code):
        _scalar_code(code)
        return np.ma.masked
    like = _series_given(code, ticks)
    ticks, mask = _unmasked(ticks, 0)
    texts = _apply(_native.display_array, _codes(code), _tick_array(ticks))
    return _to_series(_masked_result(texts, mask, blank=""), like)


def _not_display_text(text, code):
    text = bytes(text) if isinstance(text, bytes) else str(text)
    return f"{text!r} is not a display text of price format code {code}"


def _object_texts(texts):
    """An array of Python str (or of bytes) as a numpy unicode (or bytes) array."""
    flat = texts.reshape(-1)
    kind = bytes if isinstance(flat[0], bytes) else str
    for text in flat:
        if not isinstance(text, kind):
            raise TypeError(f"display texts are str, not {type(text).__name__}")
    return np.array(flat.tolist(), dtype=kind).reshape(texts.shape)


@overload
def parse(code: _Integer, text: str | bytes,  # type: ignore[misc]
          errors: Literal["raise"] = ...) -> int: ...
@overload
def parse(code: _Integer, text: str | bytes, errors: _Errors) -> Any: ...
@overload
def parse(code: npt.ArrayLike, text: npt.ArrayLike, errors: _Errors = ...
          ) -> npt.NDArray[np.int32]: ...


def parse(code: Any, text: Any, errors: _Errors = "raise") -> Any:
    """The tick price whose display text is ``text``: ``parse(9, "9.205")`` is 1234.

    Exactly the texts that ``display`` writes are read (surrounding spaces aside), as ``str`` or
    ``bytes``; where several prices share a text (codes 40, 41 and 58) the one nearest zero. Any
    other text raises ``ValueError`` naming it and the code; with ``errors="mask"`` a masked
    array (or ``numpy.ma.masked`` for a scalar) is returned instead.
    """
    _check_errors(errors)
    if isinstance(text, (str, bytes)) and _is_scalar(code):
        code = _scalar_code(code)
        # No display text has a character beyond ASCII, and a lone surrogate cannot even be
        # handed to the library.
        ticks = (_native.parse(code, bytes(text) if isinstance(text, bytes) else str(text))
                 if isinstance(text, bytes) or text.isascii() else None)
        return _refused_scalar(ticks, text, code, errors, _not_display_text)
    if text is np.ma.masked and _is_scalar(code):
        _scalar_code(code)
        return np.ma.masked
    like = _series_given(code, text)
    texts, mask = _unmasked(text, "")
    texts = np.asarray(texts)
    if texts.size == 0:
        texts = texts.astype("U1")
    elif texts.dtype.kind == "O":
        texts = _object_texts(texts)
    if texts.dtype.kind not in "US":
        raise TypeError(f"display texts are str, not {texts.dtype}")
    ticks, ok = _apply(_native.parse_array, _codes(code), texts)
    return _to_series(_refused(ticks, ok, texts, code, errors, _not_display_text, mask), like)


def _divided(codes, ticks):
    return ticks / _TICKS_PER_UNIT[codes]


@overload
def to_decimal(code: _Integer, ticks: _Integer | float) -> float: ...  # type: ignore[misc]
@overload
def to_decimal(code: npt.ArrayLike, ticks: npt.ArrayLike) -> npt.NDArray[np.float64]: ...


def to_decimal(code: Any, ticks: Any) -> Any:
    """The decimal value of a tick price: ticks divided by the ticks per unit of the format.

    Ticks may be floats (the half ticks of a mid price): they are divided as whole ones are.
    """
    if _is_scalar(code) and _is_scalar(ticks) and not np.ma.isMaskedArray(ticks):
        code = _scalar_code(code)
        ticks = _scalar_ticks(ticks, whole=False)
        if isinstance(ticks, float):
            return ticks / _TICKS_PER_UNIT[code].item()
        return _native.to_decimal(code, ticks)
    if ticks is np.ma.masked and _is_scalar(code):
        _scalar_code(code)
        return np.ma.masked
    like = _series_given(code, ticks)
    ticks, mask = _unmasked(ticks, 0)
    ticks = _tick_array(ticks, whole=False)
    kernel = _divided if ticks.dtype.kind == "f" else _native.to_decimal_array
    return _to_series(_masked_result(_apply(kernel, _codes(code), ticks), mask), like)


def _scalar_value(value):
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"a decimal value is a real number, not {type(value).__name__}")
    try:
        return float(value)
    except OverflowError:  # an integer past a double's range: no tick price either
        return math.inf if value > 0 else -math.inf


def _no_tick_price(value, code):
    return f"{value!r} has no tick price in price format code {code}"


@overload
def from_decimal(code: _Integer, value: float,  # type: ignore[misc]
                 errors: Literal["raise"] = ...) -> int: ...
@overload
def from_decimal(code: _Integer, value: float, errors: _Errors) -> Any: ...
@overload
def from_decimal(code: npt.ArrayLike, value: npt.ArrayLike, errors: _Errors = ...
                 ) -> npt.NDArray[np.int32]: ...


def from_decimal(code: Any, value: Any, errors: _Errors = "raise") -> Any:
    """The tick price of a decimal value, rounded to the nearest tick (halves away from zero).

    A value whose price does not fit 32 bits, a NaN or an infinity raises ``ValueError`` naming
    it and the code; with ``errors="mask"`` a masked array (or ``numpy.ma.masked``) is returned
    instead.
    """
    _check_errors(errors)
    if _is_scalar(code) and _is_scalar(value) and not np.ma.isMaskedArray(value):
        ticks = _native.from_decimal(_scalar_code(code), _scalar_value(value))
        return _refused_scalar(ticks, value, code, errors, _no_tick_price)
    if value is np.ma.masked and _is_scalar(code):
        _scalar_code(code)
        return np.ma.masked
    like = _series_given(code, value)
    given, mask = _unmasked(value, 0)
    given = np.asarray(given)
    if given.dtype.kind == "O" and given.size:
        values = np.array([_scalar_value(v) for v in given.reshape(-1)]).reshape(given.shape)
    elif given.size and given.dtype.kind not in "iuf":
        raise TypeError(f"decimal values are real numbers, not {given.dtype}")
    else:
        values = given.astype(np.float64)
    ticks, ok = _apply(_native.from_decimal_array, _codes(code), values)
    return _to_series(_refused(ticks, ok, given, code, errors, _no_tick_price, mask), like)
