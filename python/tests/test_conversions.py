import re

import numpy as np
import pytest

import lmwire

CODES = [row.code for row in lmwire.formats()]
SAMPLE_TICKS = [0, 1, 2, 3, 7, 127, 1234, 12345, 99999, 2**31 - 1, -1, -3, -1234, -99999,
                -2**31]
AMBIGUOUS = {40, 41, 58}  # displays that leave out the last fraction


def test_the_table():
    rows = lmwire.formats()
    assert CODES == list(range(1, 63))
    for row in rows:
        assert lmwire.to_decimal(row.code, row.ticks_per_unit) == 1.0
        one_tick = lmwire.display(row.code, 1)
        assert row.decimal_places == (len(one_tick.split(".", 1)[1]) if "." in one_tick else 0)


def test_display_and_parse_agree_with_the_tool_over_every_code(tool):
    for code in CODES:
        lines = tool("price", code, *SAMPLE_TICKS).stdout.splitlines()[1:]
        # The last quoted text of a line is the one-sign display where the original differs.
        expected = [re.findall(r'"([^"]*)"', line)[-1] for line in lines]
        texts = lmwire.display(code, SAMPLE_TICKS)
        assert texts.tolist() == expected, code
        assert [lmwire.display(code, t) for t in SAMPLE_TICKS] == expected, code

        lines = tool("ticks", code, "--", *expected).stdout.splitlines()[1:]
        parsed = [int(re.match(r'\s*"[^"]*"\s+(-?\d+)', line).group(1)) for line in lines]
        assert lmwire.parse(code, texts).tolist() == parsed, code
        assert [lmwire.parse(code, text) for text in expected] == parsed, code


def test_every_code_reads_back_its_own_displays():
    ticks = np.concatenate([np.random.default_rng(14).integers(-2**31, 2**31, 5_000),
                            np.arange(-300, 300)]).astype(np.int32)
    for code in CODES:
        texts = lmwire.display(code, ticks)
        back = lmwire.parse(code, texts)
        if code in AMBIGUOUS:
            np.testing.assert_array_equal(lmwire.display(code, back), texts)
        else:
            np.testing.assert_array_equal(back, ticks, err_msg=str(code))
        np.testing.assert_array_equal(lmwire.from_decimal(code, lmwire.to_decimal(code, ticks)),
                                      ticks, err_msg=str(code))


def test_known_values():
    assert lmwire.display(9, [1232, 1233, 1234, 1235]).tolist() == [
        "9.200", "9.202", "9.205", "9.207"]
    assert lmwire.display(14, -1234) == "-12.34"
    assert lmwire.display(18, 1234) == "  30.85"
    assert lmwire.parse(41, "9.20") == 1235
    assert lmwire.to_decimal(6, 1234) == 38.5625
    assert lmwire.from_decimal(14, 0.29) == 29


def test_scalars_stay_scalars_and_arrays_broadcast():
    assert type(lmwire.display(9, np.int64(1234))) is str
    assert type(lmwire.parse(9, np.str_("9.205"))) is int
    assert type(lmwire.to_decimal(9, 1234)) is float
    assert type(lmwire.from_decimal(9, np.float32(9.640625))) is int
    assert lmwire.display(9, np.array(1234)) == "9.205"
    grid = lmwire.display(np.array([[9], [14]]), [1234, 1235])
    assert grid.shape == (2, 2) and grid.dtype.kind == "U"
    assert grid.tolist() == [["9.205", "9.207"], ["12.34", "12.35"]]
    np.testing.assert_array_equal(lmwire.parse([9, 14], grid[:, 0]), [1234, 1234])
    np.testing.assert_array_equal(lmwire.to_decimal(6, np.array([[32], [64]])), [[1.0], [2.0]])
    assert lmwire.display(9, []).shape == (0,)
    assert lmwire.parse(9, []).shape == (0,)
    assert type(lmwire.parse(9, b"9.205")) is int and lmwire.parse(9, b"9.205") == 1234
    assert lmwire.parse(9, np.array(["9.205", "9.207"], dtype=object)).tolist() == [1234, 1235]
    # Whole ticks as floats display as integers do; half ticks of a mid price divide as they do.
    assert lmwire.display(9, 1234.0) == "9.205" and lmwire.display(9, [1234.0]).tolist() == ["9.205"]
    assert lmwire.to_decimal(9, 1234.5) == 1234.5 / 128
    np.testing.assert_array_equal(lmwire.to_decimal([6, 9], [1234, 1234.5]),
                                  [38.5625, 1234.5 / 128])


def test_masked_elements_stay_masked_through_every_conversion():
    ticks = lmwire.parse(9, ["9.205", "9.209"], errors="mask")
    texts = lmwire.display(9, ticks)
    assert texts.mask.tolist() == [False, True] and texts[0] == "9.205" and texts.data[1] == ""
    values = lmwire.to_decimal(9, ticks)
    assert values.mask.tolist() == [False, True] and values[0] == 9.640625
    back = lmwire.from_decimal(9, values, errors="mask")
    assert back.mask.tolist() == [False, True] and back[0] == 1234
    # What lies under a mask is never converted, so never refused either.
    for convert, given in ((lmwire.from_decimal, [1.0, np.nan]), (lmwire.parse, ["9.205", "x"]),
                           (lmwire.display, [1234, 2**40]), (lmwire.to_decimal, [1, 2**40])):
        assert convert(9, np.ma.masked_array(given, mask=[0, 1])).mask.tolist() == [False, True]
        assert convert(9, np.ma.masked) is np.ma.masked


def test_refusals_raise_naming_value_and_code_or_mask():
    with pytest.raises(ValueError, match=r"'9\.209'.*code 9"):
        lmwire.parse(9, "9.209")
    with pytest.raises(ValueError, match=r"'x'.*code 14"):
        lmwire.parse([9, 14], ["9.205", "x"])
    masked = lmwire.parse(9, ["9.205", "9.209", "9.207", "9,205"], errors="mask")
    assert masked.mask.tolist() == [False, True, False, True]
    assert masked.compressed().tolist() == [1234, 1235]
    assert lmwire.parse(9, np.array([b" 9.205 ", b"9.2"])[:1]).tolist() == [1234]
    assert lmwire.parse(9, "nonsense", errors="mask") is np.ma.masked
    assert lmwire.parse(9, "9.205\u20ac", errors="mask") is np.ma.masked
    assert lmwire.parse(9, "\ud800", errors="mask") is np.ma.masked
    for value in (float("nan"), float("inf"), 1e12):
        with pytest.raises(ValueError, match=r"has no tick price in price format code 14"):
            lmwire.from_decimal(14, value)
    masked = lmwire.from_decimal(14, [1.0, float("nan"), -1e300], errors="mask")
    assert masked.mask.tolist() == [False, True, True] and masked[0] == 100
    with pytest.raises(ValueError, match="errors"):
        lmwire.parse(9, "9.205", errors="ignore")


@pytest.mark.parametrize("code", [0, 63, -1, 255, 2**40])
def test_a_code_without_a_row_is_refused_everywhere(code):
    for call in (lambda c: lmwire.display(c, 1), lambda c: lmwire.to_decimal(c, 1),
                 lambda c: lmwire.parse(c, "1"), lambda c: lmwire.from_decimal(c, 1.0),
                 lambda c: lmwire.display([9, c], 1), lambda c: lmwire.parse([c], ["1"], "mask")):
        with pytest.raises(ValueError, match=f"code {code} has no row"):
            call(code)


def test_wrong_types():
    for call in (lambda: lmwire.display(9.0, 1), lambda: lmwire.display(9, "12"),
                 lambda: lmwire.parse(9, 1234), lambda: lmwire.parse(9, [1, 2]),
                 lambda: lmwire.parse(9, np.array(["9.205", 1], dtype=object)),
                 lambda: lmwire.from_decimal(9, "1.5"), lambda: lmwire.to_decimal(9, True),
                 lambda: lmwire.from_decimal(9, [1.0, "1.5"]), lambda: lmwire.display([9.0], [1])):
        with pytest.raises(TypeError):
            call()


@pytest.mark.parametrize("call, message", [
    (lambda: lmwire.display(9, 2**31), "2147483648 ticks do not fit"),
    (lambda: lmwire.display(9, -2**31 - 1), "-2147483649 ticks do not fit"),
    (lambda: lmwire.display(9, np.array([0, 2**31])), "2147483648 ticks do not fit"),
    (lambda: lmwire.display(9, [2**64]), "18446744073709551616 ticks do not fit"),
    (lambda: lmwire.display(9, 1.5), r"1\.5 ticks are not a whole"),
    (lambda: lmwire.display(9, np.array([2.0, -0.5])), r"-0\.5 ticks are not a whole"),
    (lambda: lmwire.from_decimal(9, 10**400), r"^10{400} has no tick price in price format code 9"),
    (lambda: lmwire.from_decimal(9, [1.0, 2**64]), "^18446744073709551616 has no tick price"),
    (lambda: lmwire.parse(9, "\ud800"), r"'\\ud800' is not a display text of price format code 9"),
    (lambda: lmwire.parse(9, b"9.2\xff"), r"b'9.2\\xff' is not a display text"),
], ids=["int32-above", "int32-below", "array", "beyond-64-bits", "half-tick", "half-tick-array",
        "beyond-double", "sequence-beyond-64-bits", "lone-surrogate", "bytes"])
def test_a_refused_value_is_named(call, message):
    with pytest.raises(ValueError, match=message):
        call()
