import json
import os
import warnings

import numpy as np
import pytest

import lmwire


def test_price_dtype_is_the_documented_packed_row():
    assert lmwire.PRICE_DTYPE == np.dtype([
        ("price_type", "u1"), ("price_format_code", "u1"), ("last_size", "<u2"),
        ("lumera_id", "<u2"), ("last_price", "<i4"), ("total_volume", "<i4"),
        ("time_stamp", "<i4"), ("high", "<i4"), ("low", "<i4"),
        ("bid_price", "<i4", (10,)), ("bid_size", "<u2", (10,)),
        ("ask_price", "<i4", (10,)), ("ask_size", "<u2", (10,))])
    assert lmwire.PRICE_DTYPE.itemsize == 146 and lmwire.RECORD_SIZE == 86


def test_read_prices_agrees_with_the_tool_field_for_field(tool, random_capture, tmp_path):
    (tmp_path / "capture.bin").write_bytes(random_capture)
    rows = lmwire.read_prices(tmp_path / "capture.bin")
    decoded = [json.loads(line) for line in tool(
        "decode", "price-record", "--binary", "--json", tmp_path / "capture.bin").splitlines()]
    # The tool's keys come in the row's order: the scalars, then the levels of each side.
    expected = [(*values[:9], *([level[part] for level in side] for side in values[9:11]
                                for part in ("Price", "Size")))
                for values in (list(record.values()) for record in decoded)]
    assert len(rows) == 10_000
    np.testing.assert_array_equal(rows, np.array(expected, lmwire.PRICE_DTYPE))


def test_every_kind_of_buffer_and_a_large_file_read_as_bytes_do(random_capture, tmp_path):
    expected = lmwire.read_prices(random_capture)
    array = np.frombuffer(random_capture, np.uint8)
    for source in (bytearray(random_capture), array.reshape(-1, 86),
                   memoryview(np.repeat(array, 2))[::2]):  # not contiguous: read through a copy
        np.testing.assert_array_equal(lmwire.read_prices(source), expected)
    np.testing.assert_array_equal(lmwire.read_prices(memoryview(random_capture)[86:]), expected[1:])
    # Enough records for every reader a machine may start, and a count no piece size divides.
    data = np.random.default_rng(19).integers(0, 256, (4 * 65_536 + 7) * 86, np.uint8).tobytes()
    (tmp_path / "large.bin").write_bytes(data)
    np.testing.assert_array_equal(lmwire.read_prices(str(tmp_path / "large.bin")),
                                  lmwire.read_prices(data))


def test_a_length_that_is_not_whole_records(random_capture, tmp_path):
    data = random_capture[:3 * 86 + 5]
    path = tmp_path / "partial.bin"
    path.write_bytes(data)
    for source in (data, path):
        with pytest.raises(ValueError, match=r"\b263 bytes"):
            lmwire.read_prices(source)
        with pytest.warns(lmwire.PartialRecordWarning, match=r"\b5 bytes"):
            rows = lmwire.read_prices(source, partial=True)
        np.testing.assert_array_equal(rows, lmwire.read_prices(data[:3 * 86]))
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert len(lmwire.read_prices(b"")) == 0
    # A file whose size the system gives as 0 is read for what it holds.
    environ = "/proc/self/environ"
    data = open(environ, "rb").read()
    assert os.stat(environ).st_size == 0 and len(data) >= 86
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", lmwire.PartialRecordWarning)
        np.testing.assert_array_equal(lmwire.read_prices(environ, partial=True),
                                      lmwire.read_prices(data[:len(data) // 86 * 86]))


@pytest.mark.parametrize("head", ["d4c3b2a1", "4d3cb2a1", "0a0d0d0a", "28b52ffd", "522a4d18",
                                  "1f8b08"])
def test_without_the_capture_component_only_plain_records(monkeypatch, head, tmp_path):
    monkeypatch.setattr(lmwire._native, "CAPTURE", False)
    data = bytes.fromhex(head).ljust(3 * 86, b"\0")  # whole records by length
    for call in (lmwire.read_prices, lmwire.iter_prices, lambda rows: lmwire.write_prices(
            lmwire.read_prices(rows[86:]), tmp_path / "x", format="pcap")):
        with pytest.raises(RuntimeError, match="built without the capture component"):
            call(data)
    assert not (tmp_path / "x").exists()


def test_write_prices_gives_back_the_bytes_or_refuses_before_writing(random_capture, tmp_path):
    path = tmp_path / "again.bin"
    lmwire.write_prices(lmwire.read_prices(random_capture), path)
    assert path.read_bytes() == random_capture
    rows = lmwire.read_prices(random_capture[:5 * 86])
    rows[3]["ask_price"][7] = rows[3]["last_price"] + 128
    with pytest.raises(ValueError, match=r"row 3: ask level 7 price"):
        lmwire.write_prices(rows, tmp_path / "x.bin")
    rows[3]["ask_price"][7] = rows[3]["last_price"] + 127
    lmwire.write_prices(rows, path)
    assert lmwire.read_prices(path)[3]["ask_price"][7] == rows[3]["last_price"] + 127
    for array in (np.zeros(4, np.int32), np.zeros(2, [("bytes", "V146")]), [0, 1]):
        with pytest.raises(TypeError, match="takes an array of lmwire.PRICE_DTYPE"):
            lmwire.write_prices(array, tmp_path / "x.bin")
    assert not (tmp_path / "x.bin").exists()
    with pytest.raises(TypeError, match="not int"):
        lmwire.read_prices(12)
    with pytest.raises(FileNotFoundError):
        lmwire.read_prices(tmp_path / "x.bin")
