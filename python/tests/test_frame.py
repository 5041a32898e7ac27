import numpy as np
import pytest

import lmwire

pd = pytest.importorskip("pandas")


def test_a_frame_of_a_capture(random_capture, tmp_path):
    rows = lmwire.read_prices(random_capture[:500 * 86])
    rows["price_format_code"][:3] = [9, 0, 63]  # codes without a row show as ""
    path = tmp_path / "capture.bin"
    lmwire.write_prices(rows, path)
    frame = lmwire.prices_frame(path)
    assert len(frame) == 500 and "time" not in frame
    np.testing.assert_array_equal(frame["time_stamp"], rows["time_stamp"])
    np.testing.assert_array_equal(frame["best_ask"], rows["ask_price"][:, 0])
    np.testing.assert_array_equal(frame["best_bid_size"], rows["bid_size"][:, 0])
    assert frame["last_price_text"][0] == lmwire.display(9, int(rows["last_price"][0]))
    assert frame["best_bid_text"][1] == "" and frame["best_ask_text"][2] == ""
    known = (rows["price_format_code"] >= 1) & (rows["price_format_code"] <= 62)
    codes = rows["price_format_code"][known].astype(int)
    for column, ticks in (("last_price_text", rows["last_price"]),
                          ("best_bid_text", rows["bid_price"][:, 0]),
                          ("best_ask_text", rows["ask_price"][:, 0])):
        assert frame[column][known].tolist() == lmwire.display(codes, ticks[known]).tolist()


def test_time_column_only_when_the_unit_is_named(tmp_path):
    rows = np.zeros(2, lmwire.PRICE_DTYPE)
    rows["time_stamp"] = [1_764_000_000, 1_764_000_001]
    path = tmp_path / "two.bin"
    lmwire.write_prices(rows, path)
    frame = lmwire.prices_frame(path, time_unit="s")
    assert frame["time"].tolist() == [pd.Timestamp("2025-11-24 16:00:00", tz="UTC"),
                                      pd.Timestamp("2025-11-24 16:00:01", tz="UTC")]
    assert frame["time_stamp"].tolist() == [1_764_000_000, 1_764_000_001]
