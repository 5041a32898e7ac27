import json
import os
import re
import warnings

import numpy as np
import pytest

import lmwire


def test_price_dtype_is_the_documented_packed_row():
    expected = np.dtype([
        ("price_type", "u1"), ("price_format_code", "u1"), ("last_size", "<u2"),
        ("lumera_id", "<u2"), ("last_price", "<i4"), ("total_volume", "<i4"),
        ("time_stamp", "<i4"), ("high", "<i4"), ("low", "<i4"),
        ("bid_price", "<i4", (10,)), ("bid_size", "<u2", (10,)),
        ("ask_price", "<i4", (10,)), ("ask_size", "<u2", (10,))])
    assert lmwire.PRICE_DTYPE == expected
    assert lmwire.PRICE_DTYPE.itemsize == 146 and lmwire.RECORD_SIZE == 86


def test_read_prices_agrees_with_the_tool_field_for_field(tool, random_capture, tmp_path):
    path = tmp_path / "capture.bin"
    path.write_bytes(random_capture)
    rows = lmwire.read_prices(path)
    decoded = [json.loads(line) for line in
               tool("decode", "price-record", "--binary", "--json", path).stdout.splitlines()]
    assert len(rows) == len(decoded) == 10_000
    scalar = {"price_type": "PriceType", "price_format_code": "PriceFormatCode",
              "last_size": "LastSize", "lumera_id": "LumeraID", "last_price": "LastPrice",
              "total_volume": "TotalVolume", "time_stamp": "TimeStamp", "high": "High",
              "low": "Low"}
    for field, key in scalar.items():
        np.testing.assert_array_equal(rows[field], [record[key] for record in decoded], field)
    for side, key in (("bid", "Bids"), ("ask", "Asks")):
        for part in ("Price", "Size"):
            expected = [[level[part] for level in record[key]] for record in decoded]
            np.testing.assert_array_equal(rows[f"{side}_{part.lower()}"], expected, side + part)


@pytest.mark.parametrize("kind", ["bytes", "bytearray", "memoryview", "numpy", "strided"])
def test_every_kind_of_buffer_reads_as_the_file_does(kind, random_capture, tmp_path):
    path = tmp_path / "capture.bin"
    path.write_bytes(random_capture)
    source = {
        "bytes": lambda: random_capture,
        "bytearray": lambda: bytearray(random_capture),
        "memoryview": lambda: memoryview(random_capture)[86:],
        "numpy": lambda: np.frombuffer(random_capture, np.uint8).reshape(-1, 86),
        # Every other byte of a doubled buffer: not contiguous, read through a copy.
        "strided": lambda: memoryview(np.repeat(np.frombuffer(random_capture, np.uint8), 2))[::2],
    }[kind]()
    expected = lmwire.read_prices(str(path))
    got = lmwire.read_prices(source)
    np.testing.assert_array_equal(got, expected[1:] if kind == "memoryview" else expected)


def test_a_large_file_read_in_pieces_reads_as_its_bytes(tmp_path):
    # Enough records for every reader a machine may start, and a count no piece size divides.
    data = np.random.default_rng(19).integers(0, 256, (4 * 65_536 + 7) * 86, np.uint8).tobytes()
    path = tmp_path / "large.bin"
    path.write_bytes(data)
    np.testing.assert_array_equal(lmwire.read_prices(path), lmwire.read_prices(data))


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


@pytest.mark.parametrize("head", ["d4c3b2a1", "a1b2c3d4", "4d3cb2a1", "a1b23c4d",
                                  "0a0d0d0a1c0000004d3c2b1a", "0a0d0d0a0000001c1a2b3c4d"])
def test_a_pcap_capture_is_refused_by_its_magic(head, tmp_path):
    data = bytes.fromhex(head).ljust(3 * 86, b"\0")  # whole records by length
    path = tmp_path / "capture.pcap"
    path.write_bytes(data)
    for source, what in ((path, repr(str(path))), (data, "the bytes are")):
        with pytest.raises(ValueError, match=re.escape(what) + ".* a pcap capture; lmwire decode "
                           "price-record --pcap"):
            lmwire.read_prices(source, partial=True)


def test_bad_sources():
    with pytest.raises(TypeError, match="int"):
        lmwire.read_prices(12)
    with pytest.raises(FileNotFoundError):
        lmwire.read_prices("/nonexistent/capture.bin")


def test_write_prices_gives_back_the_bytes(random_capture, tmp_path):
    path = tmp_path / "again.bin"
    lmwire.write_prices(lmwire.read_prices(random_capture), path)
    assert path.read_bytes() == random_capture


def test_write_prices_refuses_a_depth_price_out_of_reach(random_capture, tmp_path):
    rows = lmwire.read_prices(random_capture[:5 * 86])
    rows[3]["ask_price"][7] = rows[3]["last_price"] + 128
    path = tmp_path / "refused.bin"
    with pytest.raises(ValueError, match=r"row 3: ask level 7 price"):
        lmwire.write_prices(rows, path)
    assert not path.exists()
    rows[3]["ask_price"][7] = rows[3]["last_price"] + 127
    lmwire.write_prices(rows, path)
    assert lmwire.read_prices(path)[3]["ask_price"][7] == rows[3]["last_price"] + 127


def test_write_prices_refuses_another_dtype(tmp_path):
    lookalike = np.zeros(2, [("bytes", "V146")])
    for array in (np.zeros(4, np.int32), lookalike, [0, 1]):
        with pytest.raises(TypeError):
            lmwire.write_prices(array, tmp_path / "x.bin")
    assert not (tmp_path / "x.bin").exists()
