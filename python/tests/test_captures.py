import gzip
import subprocess
import warnings

import numpy as np
import pytest

import lmwire

dpkt = pytest.importorskip("dpkt")
pytestmark = [pytest.mark.skipif(not lmwire._native.CAPTURE, reason="no capture component"),
              pytest.mark.filterwarnings("ignore::lmwire.SkippedPacketsWarning")]
T0 = 1_764_000_000  # the synthetic market's first second
SQUEEZE = {None: bytes, "gzip": gzip.compress, "zstd": lambda data: subprocess.run(
    ["zstd", "-q", "-c"], input=data, capture_output=True, check=True).stdout}  # the zstd program


def with_times(rows, nanoseconds):
    timed = np.zeros(len(rows), lmwire.PRICE_CAPTURE_DTYPE)
    timed[list(lmwire.PRICE_DTYPE.names)], timed["capture_time"] = rows, nanoseconds
    return timed


@pytest.fixture(scope="module")
def dpkt_files(tmp_path_factory):
    """600 records in datagrams of 1 to 4, 1.5 ms apart, as dpkt writes a pcap and a pcapng; then
    TCP, 20 bytes to port 53, a record to port 9200, one of format code 0 (rows 600 and 601)."""
    folder = tmp_path_factory.mktemp("dpkt")
    lmwire.write_prices(lmwire.synth_prices(602, 3), folder / "raw")
    data = (folder / "raw").read_bytes()
    data, ends = data[:-85] + b"\0" + data[-84:], np.cumsum([0] + [1, 2, 3, 4] * 60) * 86  # code 0
    sent = [(data[a:b], 9100, 17) for a, b in zip(ends, ends[1:])] + [(b"x" * 86, 9100, 6),
            (b"x" * 20, 53, 17), (data[-172:-86], 9200, 17), (data[-86:], 9100, 17)]
    for kind in ("pcap", "pcapng"):
        with open(folder / kind, "wb") as out:
            writer = getattr(dpkt, kind).Writer(out)
            for i, (payload, port, protocol) in enumerate(sent):
                body = (dpkt.udp.UDP if protocol == 17 else dpkt.tcp.TCP)(dport=port, data=payload)
                body.ulen = len(body)
                ip = dpkt.ip.IP(src=bytes(4), dst=bytes([239, 1, 1, 1]), p=protocol, data=body)
                writer.writepkt(bytes(dpkt.ethernet.Ethernet(src=bytes(6), dst=bytes(6), data=ip)),
                                ts=T0 + i * 0.0015)
    counts = np.repeat(np.arange(len(sent)), [1, 2, 3, 4] * 60 + [0, 0, 1, 1])
    return folder, with_times(lmwire.read_prices(data), T0 * 10**9 + counts * 1_500_000)


@pytest.mark.parametrize("kind, compress, chunk, port, last, skipped", [
    ("pcap", None, 7, None, [600], {"not UDP": 1, "length not a positive multiple of 86": 1,
                                    "format code without a row": 1}),
    ("pcapng", "gzip", 600, 9100, [601], {"not UDP": 1, "other port": 2}),
    ("pcapng", "zstd", 1, [9100, 9200], [600, 601], {"not UDP": 1, "other port": 1}),
    ("raw", "zstd", 1000, None, [], None)])
def test_kinds_whole_and_chunked(dpkt_files, tmp_path, kind, compress, chunk, port, last, skipped):
    (path := tmp_path / "c").write_bytes(SQUEEZE[compress]((dpkt_files[0] / kind).read_bytes()))
    with warnings.catch_warnings(record=True) as told:
        warnings.simplefilter("always")
        chunks = list(lmwire.iter_prices(path, chunk, port=port))
        whole = [lmwire.read_prices(source, port=port) for source in (path, path.read_bytes())]
    assert {len(part) for part in chunks[:-1]} <= {chunk} and 0 < len(chunks[-1]) <= chunk
    assert [(w.message.skipped, w.message.datagrams) for w in told] == [
        (skipped, 240 + len(last))] * 3 * bool(skipped)
    expected = (lmwire.read_prices(dpkt_files[0] / "raw") if kind == "raw" else
                dpkt_files[1][list(range(600)) + last])
    for rows in (*whole, np.concatenate(chunks)):
        np.testing.assert_array_equal(rows, expected)


@pytest.mark.parametrize("kind, compress, cut, message", [
    ("pcap", None, -10, r"packet after 243 whole packets \(118 of packet 244's 128 bytes\)"),
    ("pcapng", "gzip", -100, r"packet after 242 whole packets \(.* inside a member\)\)")])
def test_a_capture_cut_short(dpkt_files, tmp_path, kind, compress, cut, message):
    (tmp_path / "cut").write_bytes(SQUEEZE[compress]((dpkt_files[0] / kind).read_bytes())[:cut])
    with pytest.raises(ValueError, match=f"cut': the capture ends inside the {message}; partial"):
        lmwire.read_prices(tmp_path / "cut")
    with pytest.warns(lmwire.PartialRecordWarning, match=message):
        rows = lmwire.read_prices(tmp_path / "cut", partial=True)
    np.testing.assert_array_equal(rows, dpkt_files[1][:len(rows)])


def test_synth_prices_and_a_pcap_written_back_are_the_tools_bytes(tool, tmp_path):
    for name, options, ours in (("b", ["--seed", 7], lambda: lmwire.synth_prices(1500, 7)),
                                ("p", ["--pcap"], lambda: lmwire.read_prices(tmp_path / "p"))):
        tool("synth", "prices", 1500, *options, tmp_path / name)
        lmwire.write_prices(ours(), tmp_path / "ours", format="pcap" if name == "p" else "raw")
        assert (tmp_path / "ours").read_bytes() == (tmp_path / name).read_bytes()


@pytest.mark.parametrize("timed, format, compress, options", [
    (False, "pcap", None, {}), (True, "pcap", "zstd", {}), (True, "raw", "zstd", {}),
    (False, "pcapng", None, {"source": "[2001:db8::1]:5000", "destination": "[ff02::1]:9100"})])
def test_written_captures_read_back_field_for_field(random_capture, tmp_path, timed, format,
                                                    compress, options):
    rows = lmwire.read_prices(random_capture[:2000 * 86])  # codes 0 and 63 too: port= reads them
    rows["time_stamp"] = T0 + np.arange(2000) // 40  # datagrams of 16, 16 and 8 records
    times = rows["time_stamp"].astype(np.int64) * 10**9 + timed * 123_456_789  # nanoseconds
    lmwire.write_prices(with_times(rows, times) if timed else rows, tmp_path / "out",
                        format=format, compress=compress, **options)
    back = lmwire.read_prices(tmp_path / "out", port=None if format == "raw" else 9100)
    np.testing.assert_array_equal(back, rows if format == "raw" else with_times(rows, times))
    if compress is None:  # datagrams of one time, at most 16 records: frames of 16, 16 and 8
        sizes = [len(f) for _, f in getattr(dpkt, format).Reader(open(tmp_path / "out", "rb"))]
        assert sizes == [sizes[0] + n * 86 for n in (0, 0, -8)] * 50


def test_a_refusal_once_the_file_is_open_leaves_the_file_as_it_was(tmp_path):
    lmwire.write_prices(lmwire.synth_prices(3), tmp_path / "raw")
    rows = lmwire.synth_prices(3)
    rows["bid_price"][1, 4] = -1000
    with pytest.raises(ValueError, match="row 1: bid level 4 price -1000 is out of reach"):
        lmwire.write_prices(rows, tmp_path / "raw", format="pcapng")
    assert [file.name for file in tmp_path.iterdir()] == ["raw"]
    np.testing.assert_array_equal(lmwire.read_prices(tmp_path / "raw"), lmwire.synth_prices(3))
