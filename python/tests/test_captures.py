import gzip
import os
import shutil
import subprocess
import warnings

import numpy as np
import pytest
from numpy.lib.recfunctions import repack_fields

import lmwire

dpkt = pytest.importorskip("dpkt")
pytestmark = pytest.mark.skipif(not lmwire._native.CAPTURE, reason="no capture component")
T0 = 1_764_000_000  # the synthetic market's first second
SIZES = [1, 2, 3, 4] * 60  # records per datagram: 600 in all


def frame(payload, dport=9100, udp=True):
    body = (dpkt.udp.UDP if udp else dpkt.tcp.TCP)(sport=40000, dport=dport, data=payload)
    if udp:
        body.ulen = len(body)
    ip = dpkt.ip.IP(src=bytes([192, 0, 2, 1]), dst=bytes([239, 192, 0, 1]), p=17 if udp else 6,
                    data=body)
    return bytes(dpkt.ethernet.Ethernet(src=bytes(6), dst=bytes(6), data=ip))


def with_times(rows, nanoseconds):
    timed = np.zeros(len(rows), lmwire.PRICE_CAPTURE_DTYPE)
    for name in lmwire.PRICE_DTYPE.names:
        timed[name] = rows[name]
    timed["capture_time"] = np.asarray(nanoseconds).astype("M8[ns]")
    return timed


def squeezed(data, how):
    if how == "zstd" and not shutil.which("zstd"):
        pytest.skip("no zstd program")
    return {None: lambda: data, "gzip": lambda: gzip.compress(data), "zstd": lambda: subprocess.run(
        ["zstd", "-q", "-c"], input=data, capture_output=True, check=True).stdout}[how]()


@pytest.fixture(scope="module")
def dpkt_files(tmp_path_factory):
    """600 synthetic records in datagrams 1.5 ms apart, as dpkt writes a pcap and a pcapng; then
    TCP, a 20-byte datagram to port 53, a record to port 9200 and one with format code 0. The
    expected rows: the 600, the one to 9200, the one with code 0."""
    folder = tmp_path_factory.mktemp("dpkt")
    lmwire.write_prices(lmwire.synth_prices(602, 3), folder / "raw")
    data = bytearray((folder / "raw").read_bytes())
    data[601 * 86 + 1] = 0  # the price format code
    records = [bytes(data[i * 86:i * 86 + 86]) for i in range(602)]
    ends = np.cumsum([0] + SIZES)
    frames = [frame(b"".join(records[a:b])) for a, b in zip(ends, ends[1:])]
    frames += [frame(b"x" * 86, udp=False), frame(b"x" * 20, 53), frame(records[600], 9200),
               frame(records[601])]
    for kind, module in (("pcap", dpkt.pcap), ("pcapng", dpkt.pcapng)):
        with open(folder / kind, "wb") as out:
            writer = module.Writer(out)
            for i, packet in enumerate(frames):
                writer.writepkt(packet, ts=T0 + i * 0.0015)
    times = T0 * 10**9 + np.repeat(np.arange(len(frames)), SIZES + [0, 0, 1, 1]) * 1_500_000
    return folder, with_times(lmwire.read_prices(bytes(data)), times)


@pytest.mark.parametrize("port, last, skipped", [
    (None, [600], {"not UDP": 1, "length not a positive multiple of 86": 1,
                   "format code without a row": 1}),
    (9100, [601], {"not UDP": 1, "other port": 2}),
    ([9100, 9200], [600, 601], {"not UDP": 1, "other port": 1}),
])
@pytest.mark.parametrize("kind", ["pcap", "pcapng"])
def test_datagrams_are_taken_by_length_and_code_or_by_port(dpkt_files, kind, port, last, skipped):
    folder, expected = dpkt_files
    with pytest.warns(lmwire.SkippedPacketsWarning, match=f"{kind}': {1 + 240 + len(last) - 1}"
                      " datagrams decoded, ") as warned:
        rows = lmwire.read_prices(folder / kind, port=port)
    np.testing.assert_array_equal(rows, expected[list(range(600)) + last])
    assert warned[0].message.skipped == skipped


@pytest.mark.parametrize("compress", [None, "gzip", "zstd"])
@pytest.mark.parametrize("kind", ["pcap", "pcapng", "raw", "tool"])
def test_every_kind_plain_or_compressed_from_a_file_or_bytes(dpkt_files, kind, compress, request,
                                                             tmp_path):
    folder, expected = dpkt_files
    if kind == "tool":
        request.getfixturevalue("tool")("synth", "prices", 1000, "--pcap", tmp_path / "t", "--seed",
                                        7)
    expected = {"tool": lmwire.synth_prices(1000, 7), "raw": lmwire.read_prices(folder / "raw")
                }.get(kind, expected[:601])
    path = tmp_path / "capture"
    path.write_bytes(squeezed((tmp_path / "t" if kind == "tool" else folder / kind).read_bytes(),
                              compress))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", lmwire.SkippedPacketsWarning)
        rows, again = lmwire.read_prices(path), lmwire.read_prices(path.read_bytes())
    np.testing.assert_array_equal(rows, again)
    if kind == "tool":
        assert rows["capture_time"][0] == np.datetime64(T0, "s")
        rows = repack_fields(rows[list(lmwire.PRICE_DTYPE.names)])
    np.testing.assert_array_equal(rows, expected)


@pytest.mark.parametrize("kind, compress, cut, rows, message", [
    ("pcap", None, -10, 601, r"inside the packet after 243 whole packets \(.*\)"),
    ("raw", "gzip", b"12345", 602,
     r"inside the record after 602 whole records \(5 bytes after the last whole record\)"),
    ("pcapng", "gzip", -100, None,
     r"inside the packet after 242 whole packets \(.*gzip data end inside a member\)\)"),
])
def test_a_capture_cut_short(dpkt_files, tmp_path, kind, compress, cut, rows, message):
    folder, expected = dpkt_files
    data = (folder / kind).read_bytes()
    data = squeezed(data + cut, compress) if isinstance(cut, bytes) else squeezed(data,
                                                                                  compress)[:cut]
    (tmp_path / "cut").write_bytes(data)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", lmwire.SkippedPacketsWarning)
        with pytest.raises(ValueError, match=f"cut': the capture ends {message}; partial=True"):
            lmwire.read_prices(tmp_path / "cut")
        with pytest.warns(lmwire.PartialRecordWarning, match=message):
            got = lmwire.read_prices(tmp_path / "cut", partial=True)
    assert 0 < len(got) == (rows or len(got))
    np.testing.assert_array_equal(got, expected[:len(got)] if kind != "raw" else
                                  lmwire.read_prices(folder / "raw"))


@pytest.mark.parametrize("chunk", [1, 7, 600, 1000])
@pytest.mark.parametrize("kind", ["pcapng", "raw"])
def test_iter_prices_gives_whole_chunks_then_the_rest(dpkt_files, kind, chunk):
    folder, expected = dpkt_files
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", lmwire.SkippedPacketsWarning)
        chunks = list(lmwire.iter_prices(folder / kind, chunk))
    assert {len(rows) for rows in chunks[:-1]} <= {chunk} and 0 < len(chunks[-1]) <= chunk
    np.testing.assert_array_equal(np.concatenate(chunks), lmwire.read_prices(folder / kind)
                                  if kind == "raw" else expected[:601])


def test_synth_prices_and_a_pcap_written_back_are_the_tools_bytes(tool, tmp_path):
    for seed in ([], [7]):
        tool("synth", "prices", 1500, tmp_path / "tool.bin", *(["--seed"] + seed) * bool(seed))
        lmwire.write_prices(lmwire.synth_prices(1500, *seed), tmp_path / "ours.bin")
        assert (tmp_path / "ours.bin").read_bytes() == (tmp_path / "tool.bin").read_bytes()
    tool("synth", "prices", 1500, "--pcap", tmp_path / "tool.pcap")
    rows = lmwire.read_prices(tmp_path / "tool.pcap")
    lmwire.write_prices(rows, tmp_path / "ours", format="pcap")
    assert (tmp_path / "ours").read_bytes() == (tmp_path / "tool.pcap").read_bytes()


@pytest.mark.parametrize("timed, format, compress, options", [
    (False, "pcap", None, {}),
    (False, "pcapng", "zstd", {"source": "[2001:db8::1]:5000", "destination": "[ff02::1]:9100"}),
    (True, "pcap", "zstd", {}),
    (True, "pcapng", None, {"destination": "127.0.0.1:9100"}),
    (True, "raw", None, {}),
    (True, "raw", "zstd", {}),
])
def test_written_captures_read_back_field_for_field(random_capture, tmp_path, timed, format,
                                                    compress, options):
    rows = lmwire.read_prices(random_capture[:2000 * 86])  # codes 0 and 63 too: port= reads them
    rows["time_stamp"] = T0 + np.arange(2000) // 40  # datagrams of 16, 16 and 8 records
    times = rows["time_stamp"].astype(np.int64) * 10**9 + timed * 123_456_789
    lmwire.write_prices(with_times(rows, times) if timed else rows, tmp_path / "out",
                        format=format, compress=compress, **options)
    back = lmwire.read_prices(tmp_path / "out", port=None if format == "raw" else 9100)
    np.testing.assert_array_equal(back, rows if format == "raw" else with_times(rows, times))
    if format != "raw" and compress is None:
        packets = getattr(dpkt, format).Reader(open(tmp_path / "out", "rb"))
        sizes = [len(dpkt.ethernet.Ethernet(packet).data.data.data) for _, packet in packets]
        assert sizes == [16 * 86, 16 * 86, 8 * 86] * 50
    assert os.listdir(tmp_path) == ["out"]


@pytest.mark.parametrize("call, message", [
    (lambda rows, path: lmwire.read_prices(path, port=65536), "port 65536: expected 0 to 65535"),
    (lambda rows, path: lmwire.iter_prices(path, port=9100), "port= chooses the datagrams of a"),
    (lambda rows, path: lmwire.iter_prices(path, 0), "chunk_records 0: expected a positive"),
    (lambda rows, path: lmwire.write_prices(rows, path, format="csv"), "format='csv', compress"),
    (lambda rows, path: lmwire.write_prices(rows, path, format="pcap", destination="[ff02::1]:1"),
     "one is IPv4, the other IPv6"),
    (lambda rows, path: lmwire.write_prices(rows, path, format="pcapng", source="192.0.2.1"),
     "source '192.0.2.1': expected ADDRESS:PORT"),
    (lambda rows, path: lmwire.write_prices(rows[::-1], path, format="pcap"),
     "row 0: capture time -1000000000 ns since 1970 is outside what a pcap carries"),
    (lambda rows, path: lmwire.write_prices(rows[:2], path, format="pcapng"),
     "row 1: bid level 4 price -1000 is out of reach"),  # found once the file is open
])
def test_refusals_leave_no_file(tmp_path, call, message):
    rows = lmwire.synth_prices(3)
    rows["time_stamp"][2] = -1
    lmwire.write_prices(rows, tmp_path / "raw")
    before = (tmp_path / "raw").read_bytes()
    rows["bid_price"][1, 4] = -1000
    with pytest.raises(ValueError, match=message):
        call(rows, tmp_path / "raw")
    assert os.listdir(tmp_path) == ["raw"] and (tmp_path / "raw").read_bytes() == before
