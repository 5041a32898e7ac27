#!/usr/bin/env python3
"""Times the Python package against numpy doing the least work for the same input, in one run:

- read_prices of a capture of 1,000,000 records against numpy.fromfile of the same file with a
  packed 86-byte dtype (the bytes split into fields, no depth arithmetic);
- display of 1,000,000 tick prices against numpy.char.mod('%d', ticks) of the same integers;
- with the capture component: read_prices of the same records as a zstd-compressed pcap against
  `zstd -d -c` of that file to /dev/null, and of the plain pcap against the raw file;
- with --iter-gb G: iter_prices over a pcap of about G GB (written first, then deleted), with the
  process's peak resident memory.

    PYTHONPATH=build/release/python python3 bench/python/speed.py [--records N] [CAPTURE]

Without CAPTURE a random-walk capture is written to a temporary file first (--scratch DIR puts
it, and the large pcap, elsewhere). Each figure is the best of --repeat runs, the two sides of a
pair taking turns.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np

import lmwire

# The record's own fields as numpy sees them without the library: offsets, not prices.
RAW_DTYPE = np.dtype([
    ("price_type", "u1"), ("price_format_code", "u1"), ("last_size", "<u2"),
    ("lumera_id", "<u2"), ("last_price", "<i4"), ("total_volume", "<i4"),
    ("time_stamp", "<i4"), ("high", "<i4"), ("low", "<i4"), ("bid_offset", "i1", (10,)),
    ("bid_size", "<u2", (10,)), ("ask_offset", "i1", (10,)), ("ask_size", "<u2", (10,))])
assert RAW_DTYPE.itemsize == lmwire.RECORD_SIZE


def random_walk(count, seed=18):
    """A market of one contract in thirty-seconds and quarters (code 9): the last price walks a
    tick at a time, ten levels on each side one or two ticks apart."""
    rng = np.random.default_rng(seed)
    rows = np.zeros(count, lmwire.PRICE_DTYPE)
    last = 14080 + np.cumsum(rng.integers(-1, 2, count)).astype(np.int32)
    rows["price_type"] = 1
    rows["price_format_code"] = 9
    rows["lumera_id"] = 2
    rows["last_price"] = last
    rows["last_size"] = rng.integers(1, 26, count)
    rows["total_volume"] = np.cumsum(rows["last_size"], dtype=np.int64).astype(np.int32)
    rows["time_stamp"] = 1_764_000_000 + np.arange(count) // 4
    rows["high"] = np.maximum.accumulate(last)
    rows["low"] = np.minimum.accumulate(last)
    steps = np.cumsum(rng.integers(1, 3, (count, 10)), axis=1).astype(np.int32)
    rows["bid_price"] = last[:, None] - steps
    rows["ask_price"] = last[:, None] + steps
    rows["bid_size"] = rng.integers(5, 400, (count, 10))
    rows["ask_size"] = rng.integers(5, 400, (count, 10))
    return rows


def best_of(repeat, *calls):
    """Best wall time of each call, the calls taking turns."""
    best = [float("inf")] * len(calls)
    for _ in range(repeat):
        for i, call in enumerate(calls):
            start = time.perf_counter()
            call()
            best[i] = min(best[i], time.perf_counter() - start)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("capture", nargs="?", help="capture to read (default: a new one)")
    parser.add_argument("--records", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--iter-gb", type=float, default=0)
    parser.add_argument("--scratch", help="folder for the temporary files")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(dir=args.scratch) as scratch:
        path = args.capture
        if path is None:
            path = os.path.join(scratch, "capture.bin")
            lmwire.write_prices(random_walk(args.records), path)
        count = os.path.getsize(path) // lmwire.RECORD_SIZE
        ours, raw = best_of(args.repeat, lambda: lmwire.read_prices(path),
                            lambda: np.fromfile(path, RAW_DTYPE))
        print(f"read_prices, {count:,} records: {ours * 1e3:.1f} ms; numpy.fromfile with a "
              f"packed 86-byte dtype: {raw * 1e3:.1f} ms; ratio {ours / raw:.2f} (goal: at "
              f"most 2)")

        rows = lmwire.read_prices(path)
        ticks = np.ascontiguousarray(rows["last_price"])
        code = int(rows["price_format_code"][0])
        texts = lmwire.display(code, ticks)
        assert texts[0] == lmwire.display(code, int(ticks[0]))
        ours, numpy_mod = best_of(args.repeat, lambda: lmwire.display(code, ticks),
                                  lambda: np.char.mod("%d", ticks))
        print(f"display, {len(ticks):,} ticks in code {code} (e.g. {texts[0]!r}): "
              f"{ours * 1e3:.1f} ms; numpy.char.mod('%d'): {numpy_mod * 1e3:.1f} ms; "
              f"{numpy_mod / ours:.1f}x faster (goal: faster)")

        if lmwire._native.CAPTURE:
            captures(rows, path, scratch, args)


# Counts the records of the capture sys.argv[1] chunk by chunk: records, seconds, peak RSS in KiB.
# The peak is the process's own (VmHWM): getrusage's ru_maxrss of a child also counts the peak of
# the parent that it was forked from, here one that held a million rows.
ITERATE = """
import sys, time
import lmwire
start, count = time.perf_counter(), 0
for chunk in lmwire.iter_prices(sys.argv[1]):
    count += len(chunk)
peak = [line.split()[1] for line in open("/proc/self/status") if line.startswith("VmHWM:")]
print(count, time.perf_counter() - start, peak[0])
"""


def captures(rows, raw, scratch, args):
    """The capture rows: compressed and plain pcaps of the same records, and a large one read
    chunk by chunk."""
    pcap, packed = os.path.join(scratch, "capture.pcap"), os.path.join(scratch, "capture.pcap.zst")
    lmwire.write_prices(rows, pcap, format="pcap")
    lmwire.write_prices(rows, packed, format="pcap", compress="zstd")
    if shutil.which("zstd"):
        ours, zstd = best_of(args.repeat, lambda: lmwire.read_prices(packed),
                             lambda: subprocess.run(["zstd", "-d", "-q", "-c", packed],
                                                    stdout=subprocess.DEVNULL, check=True))
        print(f"read_prices of a zstd pcap, {len(rows):,} records: {ours * 1e3:.1f} ms; zstd -d -c "
              f"to /dev/null: {zstd * 1e3:.1f} ms; ratio {ours / zstd:.2f} (goal: at most 1.3)")
    ours, plain = best_of(args.repeat, lambda: lmwire.read_prices(pcap),
                          lambda: lmwire.read_prices(raw))
    print(f"read_prices of a pcap, {len(rows):,} records: {ours * 1e3:.1f} ms; of the raw file: "
          f"{plain * 1e3:.1f} ms; ratio {ours / plain:.2f} (goal: at most 2)")
    if args.iter_gb <= 0:
        return
    # The same packets over and over until the pcap is large enough, read in a process of its
    # own, so that its peak memory is the reading's alone.
    large = os.path.join(scratch, "large.pcap")
    with open(large, "wb") as out:
        for copy in range(int(args.iter_gb * 2**30 / os.path.getsize(pcap)) + 1):
            with open(pcap, "rb") as data:
                data.seek(24 if copy else 0)  # the file header once
                shutil.copyfileobj(data, out, 2**22)
    size = os.path.getsize(large)
    report = subprocess.run([sys.executable, "-c", ITERATE, large], capture_output=True,
                            text=True, check=True).stdout.split()
    count, took, peak = int(report[0]), float(report[1]), int(report[2]) / 1024
    print(f"iter_prices over a {size / 2**30:.2f} GiB pcap, {count:,} records: {took:.1f} s "
          f"({size / 2**20 / took:.0f} MiB/s); peak RSS of its process {peak:.0f} MiB (goal: "
          "under 300)")
    os.unlink(large)


if __name__ == "__main__":
    main()
