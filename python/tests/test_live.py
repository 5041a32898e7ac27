import signal
import socket
import threading
import time

import numpy as np
import pytest

import lmwire

pytestmark = pytest.mark.skipif(not lmwire._native.CAPTURE, reason="no capture component")
T0 = 1_764_000_000 * 10**9
PRICES = list(lmwire.PRICE_DTYPE.names)


def has_ipv6_loopback():
    try:
        with socket.socket(socket.AF_INET6, socket.SOCK_DGRAM) as probe:
            probe.bind(("::1", 0))
        return True
    except OSError:
        return False


def capture(tmp_path, n, group, gap_ns):
    """A pcap of n records, `group` records a time (datagrams of at most 16), `gap_ns` apart."""
    rows = np.zeros(n, lmwire.PRICE_CAPTURE_DTYPE)
    rows[PRICES] = lmwire.synth_prices(n, 5)
    rows["capture_time"] = T0 + np.arange(n) // group * gap_ns
    lmwire.write_prices(rows, tmp_path / "c.pcap", format="pcap")
    return tmp_path / "c.pcap"


def in_background(call, *args, **options):
    outcome = []
    thread = threading.Thread(target=lambda: outcome.append(call(*args, **options)))
    thread.start()
    return thread, outcome


@pytest.mark.parametrize("address, n, group, gap_ms, chunk, timeout, count, sizes", [
    ("127.0.0.1", 2000, 40, 4, 100, 5, 2000, [100] * 20),  # records straddle chunks
    pytest.param("::1", 120, 40, 300, 1000, 0.1, 115, [40, 40, 35], marks=pytest.mark.skipif(
        not has_ipv6_loopback(), reason="this machine has no IPv6 loopback"))])
def test_a_replayed_capture_is_received_record_for_record(tmp_path, address, n, group, gap_ms,
                                                          chunk, timeout, count, sizes):
    path = capture(tmp_path, n, group, gap_ms * 10**6)
    listener = lmwire.listen(address, 0, count=count, chunk_records=chunk, timeout=timeout)
    watchdog = threading.Timer(10, listener.stop)  # a lost datagram fails rather than hangs
    watchdog.start()
    began = time.time_ns()
    sender, sent = in_background(lmwire.replay, path, address, listener.port)
    chunks = list(listener)
    sender.join()
    watchdog.cancel()
    assert [len(rows) for rows in chunks] == sizes
    rows = np.concatenate(chunks)
    np.testing.assert_array_equal(rows[PRICES], lmwire.read_prices(path)[:count][PRICES])
    times = rows["capture_time"].astype(np.int64)
    assert began <= times[0] and (np.diff(times) >= 0).all() and times[-1] <= time.time_ns()
    datagrams = -(-group // 16) * (n // group)
    assert (sent[0].datagrams, sent[0].records, sent[0].pacing_max is not None) == (
        datagrams, n, True)
    assert (listener.records, listener.kernel_drops, listener.skipped) == (count, 0, {})


@pytest.mark.parametrize("any_datagram, taken, skipped, in_part", [
    (False, 1, {"length not a positive multiple of 86": 1}, {}),
    (True, 0, {}, {"with bytes after the last whole record": 1})])
def test_the_datagram_rule_and_its_counts(tmp_path, any_datagram, taken, skipped, in_part):
    lmwire.write_prices(lmwire.synth_prices(1), tmp_path / "record")
    sent = [bytes(90), (tmp_path / "record").read_bytes()]
    with lmwire.listen("127.0.0.1", 0, any_datagram=any_datagram, count=1) as listener, \
            socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
        for payload in sent:
            sender.sendto(payload, ("127.0.0.1", listener.port))
        rows = next(listener)
        np.testing.assert_array_equal(rows[PRICES].astype(lmwire.PRICE_DTYPE),
                                      lmwire.read_prices(sent[taken][:86]))
        assert (listener.skipped, listener.in_part) == (skipped, in_part)


@pytest.mark.parametrize("how", ["stop", "sigint"])
def test_stop_from_another_thread_and_ctrl_c_end_a_wait_at_once(how):
    main = threading.get_ident()
    with lmwire.listen("127.0.0.1", 0) as listener:
        stop = {"stop": listener.stop,
                "sigint": lambda: signal.pthread_kill(main, signal.SIGINT)}[how]
        threading.Timer(0.2, stop).start()
        watchdog = threading.Timer(5, listener.stop)  # an unanswered signal fails, not hangs
        watchdog.start()
        began = time.monotonic()
        try:
            assert list(listener) == [] and how == "stop"
        except KeyboardInterrupt:
            assert how == "sigint"
        watchdog.cancel()
        assert time.monotonic() - began < 1


def test_ctrl_c_stops_a_replay(tmp_path):
    path = capture(tmp_path, 1000, 1, 10**7)  # ten seconds at the recorded pace
    main = threading.get_ident()
    threading.Timer(0.2, lambda: signal.pthread_kill(main, signal.SIGINT)).start()
    began = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        lmwire.replay(path, "127.0.0.1", 9)
    assert time.monotonic() - began < 1


@pytest.mark.parametrize("call, args, options, message", [
    ("listen", ("nowhere", 9300), {}, "expected an IPv4 or IPv6 address .* got 'nowhere'"),
    ("listen", ("127.0.0.1", 65536), {}, "port 65536: expected 0 to 65535"),
    ("listen", ("127.0.0.1", 0), {"interface": "nosuch9"}, "interface 'nosuch9': no such"),
    ("listen", ("127.0.0.1", 0), {"source": "127.0.0.2"}, "not a multicast group"),
    ("replay", ("raw", "127.0.0.1", 9), {}, "raw': a raw capture has no times to pace by"),
    ("replay", ("pcap", "::1", 70000), {}, "port 70000: expected 0 to 65535"),
    ("replay", ("pcap", "127.0.0.1", 9), {"ttl": 256}, "TTL 256: expected 0 to 255"),
    ("replay", ("pcap", "127.0.0.1", 9), {"speed": 0.0}, "speed or rate must be a positive"),
    ("replay", ("raw", "127.0.0.1", 9), {"max": True, "records": 762}, "expected 1 to 761"),
])
def test_bad_input_is_a_value_error(tmp_path, call, args, options, message):
    lmwire.write_prices(lmwire.synth_prices(2), tmp_path / "raw")
    lmwire.write_prices(lmwire.synth_prices(2), tmp_path / "pcap", format="pcap")
    if call == "replay":
        args = (tmp_path / args[0], *args[1:])
    with pytest.raises(ValueError, match=message):
        getattr(lmwire, call)(*args, **options)
