import numpy as np
import pytest

import lmwire

CODES = [row.code for row in lmwire.formats()]


def test_the_table():
    assert CODES == list(range(1, 63))
    for code, ticks_per_unit, places in lmwire.formats():
        assert lmwire.to_decimal(code, ticks_per_unit) == 1.0
        assert places == len(lmwire.display(code, 1).partition(".")[2]), code


def test_every_code_reads_back_its_own_displays():
    ticks = np.concatenate([np.random.default_rng(14).integers(-2**31, 2**31, 5_000),
                            np.arange(-300, 300), [-2**31, 2**31 - 1]]).astype(np.int32)
    for code in CODES:
        texts = lmwire.display(code, ticks)
        back = lmwire.parse(code, texts)
        # A display that leaves out the last fraction reads back to a tick showing the same.
        got, want = (lmwire.display(code, back), texts) if code in (40, 41, 58) else (back, ticks)
        np.testing.assert_array_equal(got, want, err_msg=str(code))
        np.testing.assert_array_equal(lmwire.from_decimal(code, lmwire.to_decimal(code, ticks)),
                                      ticks, err_msg=str(code))


# Each value converts alone (to a scalar of the type shown), in a list and beside a masked one.
@pytest.mark.parametrize("convert, code, given, expected", [
    (lmwire.display, 9, 1232, "9.200"), (lmwire.display, 14, -1234, "-12.34"),
    (lmwire.display, 9, np.int64(1234), "9.205"), (lmwire.display, 9, np.array(1234), "9.205"),
    (lmwire.display, 9, 1234.0, "9.205"),  # whole ticks as floats display as integers do
    (lmwire.parse, 41, "9.20", 1235), (lmwire.parse, 9, np.str_("9.205"), 1234),
    (lmwire.parse, 9, b"9.205", 1234), (lmwire.to_decimal, 6, 1234, 38.5625),
    (lmwire.to_decimal, 9, 1234.5, 1234.5 / 128),  # half ticks of a mid price divide
    (lmwire.from_decimal, 14, -0.29, -29),
    (lmwire.from_decimal, 9, np.float32(9.640625), 1234),
])
def test_a_value_converts(convert, code, given, expected):
    assert type(convert(code, given)) is type(expected) and convert(code, given) == expected
    assert convert(code, [given]).tolist() == [expected]
    masked = convert(code, np.ma.masked_array([given, given], mask=[0, 1]))
    assert masked.mask.tolist() == [False, True] and masked[0] == expected


@pytest.mark.parametrize("convert, code, given, expected", [
    (lmwire.display, [[9], [14]], [1234, 1235], [["9.205", "9.207"], ["12.34", "12.35"]]),
    (lmwire.parse, [9, 14], ["9.205", "12.34"], [1234, 1234]),
    (lmwire.to_decimal, 6, np.array([[32], [64]]), [[1.0], [2.0]]),
    (lmwire.display, 9, [], []), (lmwire.parse, 9, [], []),
    (lmwire.parse, 9, np.array(["9.205", "9.207"], dtype=object), [1234, 1235]),
    (lmwire.parse, 9, np.array([b" 9.205 ", b"9.2"])[:1], [1234]),
])
def test_arrays_broadcast(convert, code, given, expected):
    result = convert(code, given)
    assert result.dtype != object and result.tolist() == expected


def test_what_lies_under_a_mask_is_never_converted_so_never_refused():
    assert lmwire.display(9, np.ma.masked_array([1, 2], mask=[0, 1])).data[1] == ""
    for convert, given in ((lmwire.from_decimal, [1.0, np.nan]), (lmwire.parse, ["9.205", "x"]),
                           (lmwire.display, [1234, 2**40]), (lmwire.to_decimal, [1, 2**40])):
        assert convert(9, np.ma.masked_array(given, mask=[0, 1])).mask.tolist() == [False, True]
        assert convert(9, np.ma.masked) is np.ma.masked
    with pytest.raises(ValueError, match="errors"):
        lmwire.parse(9, "9.205", errors="ignore")


@pytest.mark.parametrize("code", [0, 63, -1, 255, 2**40])
def test_a_code_without_a_row_is_refused_everywhere(code):
    for call in (lambda c: lmwire.display(c, 1), lambda c: lmwire.to_decimal(c, 1),
                 lambda c: lmwire.parse(c, "1"), lambda c: lmwire.from_decimal(c, 1.0),
                 lambda c: lmwire.display([9, c], 1), lambda c: lmwire.parse([c], ["1"], "mask")):
        with pytest.raises(ValueError, match=f"code {code} has no row"):
            call(code)


# A refused value is named, alone or after an accepted one; parse and from_decimal can mask it.
@pytest.mark.parametrize("convert, code, given, message", [
    (lmwire.display, 9, 2**31, "2147483648 ticks do not fit"),
    (lmwire.display, 9, -2**31 - 1, "-2147483649 ticks do not fit"),
    (lmwire.display, 9, 2**64, "18446744073709551616 ticks do not fit"),
    (lmwire.display, 9, -0.5, r"-0\.5 ticks are not a whole"),
    (lmwire.from_decimal, 9, 10**400, r"^10{400} has no tick price in price format code 9"),
    (lmwire.from_decimal, 14, float("nan"), "^nan has no tick price in price format code 14"),
    (lmwire.from_decimal, 14, 1e12, "has no tick price in price format code 14"),
    (lmwire.parse, 9, "9.209", r"'9\.209' is not a display text of price format code 9"),
    (lmwire.parse, 9, "9.205\u20ac", "is not a display text"),
    (lmwire.parse, 9, "\ud800", r"'\\ud800' is not a display text of price format code 9"),
    (lmwire.parse, 9, b"9.2\xff", r"b'9.2\\xff' is not a display text"),
])
def test_a_refused_value_is_named(convert, code, given, message):
    first = {lmwire.display: 0, lmwire.from_decimal: 0.0}.get(convert, lmwire.display(code, 0))
    first = first.encode() if isinstance(given, bytes) else first
    for values in (given, [first, given]):
        with pytest.raises(ValueError, match=message):
            convert(code, values)
    if convert is not lmwire.display:
        assert convert(code, given, errors="mask") is np.ma.masked
        assert convert(code, [first, given], errors="mask").mask.tolist() == [False, True]


@pytest.mark.parametrize("convert, code, given", [
    (lmwire.display, 9.0, 1), (lmwire.display, [9.0], [1]), (lmwire.display, 9, "12"),
    (lmwire.parse, 9, 1234), (lmwire.parse, 9, [1, 2]), (lmwire.to_decimal, 9, True),
    (lmwire.parse, 9, np.array(["9.205", 1], dtype=object)), (lmwire.from_decimal, 9, "1.5"),
    (lmwire.from_decimal, 9, [1.0, "1.5"])])
def test_wrong_types(convert, code, given):
    with pytest.raises(TypeError):
        convert(code, given)
