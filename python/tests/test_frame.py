import numpy as np
import pytest

import lmwire

pd = pytest.importorskip("pandas")


def test_a_frame_of_a_capture(random_capture, tmp_path):
    rows = lmwire.read_prices(random_capture[:500 * 86])
    rows["price_format_code"][:4] = [9, 0, 63, 14]
    rows["last_price"][3] = rows["bid_price"][3] = rows["ask_price"][3] = -1234
    lmwire.write_prices(rows, tmp_path / "capture.bin")
    frame = lmwire.prices_frame(tmp_path / "capture.bin")
    best = {"best_bid": "bid_price", "best_bid_size": "bid_size", "best_ask": "ask_price",
            "best_ask_size": "ask_size"}
    assert list(frame) == [*lmwire.PRICE_DTYPE.names[:9], *best, "last_price_text",
                           "best_bid_text", "best_ask_text"]
    for column in list(frame)[:13]:
        given = rows[best[column]][:, 0] if column in best else rows[column]
        np.testing.assert_array_equal(frame[column], given, column)
    assert frame["last_price_text"][3] == "-12.34"  # one sign, as display writes it
    known = (rows["price_format_code"] >= 1) & (rows["price_format_code"] <= 62)
    codes = rows["price_format_code"][known].astype(int)
    for column, ticks in (("last_price_text", rows["last_price"]),
                          ("best_bid_text", rows["bid_price"][:, 0]),
                          ("best_ask_text", rows["ask_price"][:, 0])):
        assert len(np.unique(codes[ticks[known] < 0])) > 20  # negative prices in many codes
        assert frame[column][known].tolist() == lmwire.display(codes, ticks[known]).tolist()
        assert (frame[column][~known] == "").all()  # a code without a row


@pytest.mark.parametrize("options, expected", [
    ({}, None),
    ({"time_unit": "s"}, ["2025-11-24 16:00:00+00:00", "2025-07-01 12:00:00+00:00"]),
    # Standard time in November, daylight saving time in July.
    ({"time_unit": "s", "tz": "America/Chicago"},
     ["2025-11-24 10:00:00-06:00", "2025-07-01 07:00:00-05:00"]),
    ({"time_unit": "s", "tz": "America/Chicago", "index": "time"},
     ["2025-11-24 10:00:00-06:00", "2025-07-01 07:00:00-05:00"]),
    ({"time_unit": "D"}, "not 'D'"),
    ({"tz": "America/Chicago"}, "tz='America/Chicago' needs a time column"),
    ({"index": "time"}, "index='time' needs a time column"),
    ({"time_unit": "s", "index": "lumera_id"}, "not 'lumera_id'"),
    ({"time_unit": "s", "tz": "Mars/Olympus"}, "'Mars/Olympus' is no time zone"),
])
def test_the_time_column_its_zone_and_the_index(options, expected, tmp_path):
    rows = np.zeros(2, lmwire.PRICE_DTYPE)
    rows["time_stamp"] = [1_764_000_000, 1_751_371_200]
    lmwire.write_prices(rows, tmp_path / "two.bin")
    if isinstance(expected, str):
        with pytest.raises(ValueError, match=expected):
            lmwire.prices_frame(tmp_path / "two.bin", **options)
        return
    frame = lmwire.prices_frame(tmp_path / "two.bin", **options)
    assert frame["time_stamp"].tolist() == [1_764_000_000, 1_751_371_200]
    as_index = "index" in options
    assert ("time" in frame) == (expected is not None and not as_index)
    if expected is not None:
        assert (frame.index if as_index else frame["time"]).astype(str).tolist() == expected


@pytest.mark.skipif(not lmwire._native.CAPTURE, reason="no capture component")
def test_a_packet_capture_keeps_its_capture_time_in_the_zone(tmp_path):
    lmwire.write_prices(lmwire.synth_prices(40), tmp_path / "c.pcap", format="pcap")
    frame = lmwire.prices_frame(tmp_path / "c.pcap", "s", tz="America/Chicago")  # same times
    assert frame["capture_time"].equals(frame["time"]) and frame["time"].dt.hour[0] == 10


@pytest.mark.parametrize("convert, given, dtype, expected", [
    (lmwire.display, 1234, "Int64", "9.205"),
    (lmwire.parse, "9.205", "string", 1234),
    (lmwire.to_decimal, 1234, "Int64", 9.640625),
    (lmwire.from_decimal, 9.640625, "Float64", 1234),
])
def test_a_series_gives_a_series_with_its_index(convert, given, dtype, expected):
    assert convert(9, pd.Series([given], index=[7])).to_dict() == {7: expected}
    # pandas' missing value is a masked element: it stays missing. Codes may be a Series too.
    codes = pd.Series([9, 9], index=[3, 5])
    result = convert(codes, pd.Series([given, None], index=[3, 5], dtype=dtype))
    assert result.index.tolist() == [3, 5] and result[3] == expected and result[5] is pd.NA
