"""Tick prices to display texts and decimal values, and back, in the 62 price formats.

Each function takes a price format code and a scalar, and returns a scalar; or a numpy array or
sequence (the code may be an array too, broadcast against it), and returns a numpy array of the
broadcast shape. A code without a row in the table raises ``ValueError``.
"""

import numbers
import operator
from collections import namedtuple

import numpy as np

from . import _native

#: A row of the price-format table.
Format = namedtuple("Format", "code ticks_per_unit decimal_places")

_FORMATS = tuple(Format(*row) for row in _native.formats())
_CODES = np.array([row.code for row in _FORMATS], dtype=np.int64)
_INT32 = np.iinfo(np.int32)


def formats():
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


def _scalar_ticks(ticks):
    if isinstance(ticks, (bool, np.bool_)):
        raise TypeError("ticks are integers, not bool")
    try:
        ticks = operator.index(ticks)
    except TypeError:
        raise TypeError(f"ticks are integers, not {type(ticks).__name__}") from None
    if not _INT32.min <= ticks <= _INT32.max:
        raise ValueError(f"{ticks} ticks do not fit a signed 32-bit price")
    return ticks


def _tick_array(ticks):
    ticks = np.asarray(ticks)
    if ticks.size == 0:
        return ticks.astype(np.int32)
    if ticks.dtype.kind not in "iu":
        raise TypeError(f"ticks are integers, not {ticks.dtype}")
    if ticks.dtype != np.int32:
        outside = (ticks < _INT32.min) | (ticks > _INT32.max)
        if outside.any():
            raise ValueError(
                f"{ticks[outside].flat[0]} ticks do not fit a signed 32-bit price")
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


def _refused(values, ok, given, code, errors, describe):
    """Raises for the first refused element, naming what was given there, or masks every one."""
    if errors == "mask":
        return np.ma.masked_array(values, mask=~ok)
    if not ok.all():
        first = tuple(np.argwhere(~ok)[0])
        element_code = code if _is_scalar(code) else np.broadcast_to(code, ok.shape)[first]
        raise ValueError(describe(np.broadcast_to(given, ok.shape)[first].item(),
                                  int(element_code)))
    return values


def display(code, ticks):
    """The display text of a tick price: ``display(9, 1234)`` is ``"9.205"``.

    A negative price carries one minus sign (``display(14, -1234)`` is ``"-12.34"``). Arrays give
    a numpy unicode array.
    """
    if _is_scalar(code) and _is_scalar(ticks):
        return _native.display(_scalar_code(code), _scalar_ticks(ticks))
    return _apply(_native.display_array, code, _tick_array(ticks))


def _not_display_text(text, code):
    return f"{str(text)!r} is not a display text of price format code {code}"


def parse(code, text, errors="raise"):
    """The tick price whose display text is ``text``: ``parse(9, "9.205")`` is 1234.

    Exactly the texts that ``display`` writes are read (surrounding spaces aside); where several
    prices share a text (codes 40, 41 and 58) the one nearest zero. Any other text raises
    ``ValueError`` naming it and the code; with ``errors="mask"`` a masked array (or
    ``numpy.ma.masked`` for a scalar) is returned instead.
    """
    _check_errors(errors)
    if isinstance(text, (str, np.str_)) and _is_scalar(code):
        ticks = _native.parse(_scalar_code(code), str(text))
        return _refused_scalar(ticks, text, code, errors, _not_display_text)
    texts = np.asarray(text)
    if texts.size == 0:
        texts = texts.astype("U1")
    if texts.dtype.kind not in "US":
        raise TypeError(f"display texts are str, not {texts.dtype}")
    ticks, ok = _apply(_native.parse_array, code, texts)
    return _refused(ticks, ok, texts, code, errors, _not_display_text)


def to_decimal(code, ticks):
    """The decimal value of a tick price: ticks divided by the ticks per unit of the format."""
    if _is_scalar(code) and _is_scalar(ticks):
        return _native.to_decimal(_scalar_code(code), _scalar_ticks(ticks))
    return _apply(_native.to_decimal_array, code, _tick_array(ticks))


def _scalar_value(value):
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"a decimal value is a real number, not {type(value).__name__}")
    return float(value)


def _no_tick_price(value, code):
    return f"{value!r} has no tick price in price format code {code}"


def from_decimal(code, value, errors="raise"):
    """The tick price of a decimal value, rounded to the nearest tick (halves away from zero).

    A value whose price does not fit 32 bits, a NaN or an infinity raises ``ValueError`` naming
    it and the code; with ``errors="mask"`` a masked array (or ``numpy.ma.masked``) is returned
    instead.
    """
    _check_errors(errors)
    if _is_scalar(code) and _is_scalar(value):
        ticks = _native.from_decimal(_scalar_code(code), _scalar_value(value))
        return _refused_scalar(ticks, value, code, errors, _no_tick_price)
    values = np.asarray(value)
    if values.size and (values.dtype.kind not in "iuf"):
        raise TypeError(f"decimal values are real numbers, not {values.dtype}")
    values = values.astype(np.float64)
    ticks, ok = _apply(_native.from_decimal_array, code, values)
    return _refused(ticks, ok, values, code, errors, _no_tick_price)
