#!/usr/bin/python3
"""Measures a partitioned dataset at scale: writing it with `lmwire split`, and the
per-instrument-per-minute OHLCV of its records with Dask and in one process.

- split: `lmwire synth prices --contracts 20 --days 5` writes a raw capture of --gb GiB (10 by
  default, about 125 million records); `zstd -q -3 -T0 -c RAW >/dev/null` and `lmwire split RAW
  --to DIR` then run on it, one after the other, the file in the page cache for both: their
  times, records a second, and the dataset's size against the raw file's;
- Dask: `lmwire.dask.read_prices(DIR)` on a `distributed.LocalCluster` of 2 worker processes of
  one thread each, limited to 1 GB of memory each, computes per lumera_id and minute the open,
  high, low and close of the last price and the volume (the sum of last_size): its time, records
  a second, and each worker's peak resident memory (sampled every 50 ms);
- one process: `lmwire.iter_prices(DIR)` chunk by chunk, the same aggregation on each chunk and
  the chunks' partial results combined: its time and records a second. Both results must agree.

    cmake --preset release && cmake --build build/release -j2
    PYTHONPATH=build/release/python /usr/bin/python3 bench/dataset/dataset_bench.py

The files go to --scratch (/work/tmp-bench by default, made and deleted at the end); they need
about 1.5 times --gb of free space. Every connection of the cluster is to 127.0.0.1.
"""

import argparse
import os
import shutil
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))

try:
    import lmwire
except ImportError:
    sys.path.insert(0, os.path.join(TOP, "build", "release", "python"))
    import lmwire
import lmwire.dask  # noqa: E402
import pandas as pd  # noqa: E402
import psutil  # noqa: E402  (distributed's own dependency)
from distributed import Client, LocalCluster  # noqa: E402

AGGREGATES = {"last_price": ["first", "max", "min", "last"], "last_size": "sum"}
# How the partial results of chunks combine into the whole's.
COMBINE = {("last_price", "first"): "first", ("last_price", "max"): "max",
           ("last_price", "min"): "min", ("last_price", "last"): "last",
           ("last_size", "sum"): "sum"}


def minutes(frame):
    """The frame's three columns with the minute of each record, a plain index."""
    return frame.assign(minute=frame.index.floor("min")).reset_index(drop=True)


def ohlcv(frame):
    return frame.groupby(["lumera_id", "minute"]).agg(AGGREGATES)


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, shell=isinstance(command, str), check=True,
                   stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


class PeakMemory:
    """The largest resident set of each process, sampled on a thread of its own."""

    def __init__(self, pids):
        self.processes = {pid: psutil.Process(pid) for pid in pids}
        self.peaks = dict.fromkeys(pids, 0)
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self.sample, daemon=True)
        self.thread.start()

    def sample(self):
        while not self.stopped.wait(0.05):
            for pid, process in self.processes.items():
                try:
                    self.peaks[pid] = max(self.peaks[pid], process.memory_info().rss)
                except psutil.NoSuchProcess:  # a worker restarted by its nanny
                    self.peaks[pid] = float("inf")

    def stop(self):
        self.stopped.set()
        self.thread.join()
        return self.peaks


def dask_ohlcv(directory, records):
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, memory_limit="1GB",
                      host="127.0.0.1", dashboard_address=None) as cluster, \
            Client(cluster) as client:
        pids = client.run(os.getpid)
        frame = lmwire.dask.read_prices(directory)[["lumera_id", "last_price", "last_size"]]
        memory = PeakMemory(pids.values())
        start = time.perf_counter()
        result = ohlcv(frame.map_partitions(minutes)).compute()
        seconds = time.perf_counter() - start
        peaks = memory.stop()
        restarted = sum(1 for pid in client.run(os.getpid).values() if pid not in peaks)
    shown = ", ".join(f"{peak / 2**20:.0f}" for peak in peaks.values())
    print(f"dask: {frame.npartitions} partitions, {seconds:.1f} s, {records / seconds / 1e6:.2f} "
          f"M records/s; peak memory of each worker {shown} MiB (limit 1 GB each); {restarted} "
          "workers restarted")
    return result, seconds, peaks


def single_ohlcv(directory, records):
    start = time.perf_counter()
    partials = []
    for rows in lmwire.iter_prices(directory, 1 << 20):
        frame = pd.DataFrame({"lumera_id": rows["lumera_id"], "last_price": rows["last_price"],
                              "last_size": rows["last_size"]},
                             index=pd.to_datetime(rows["time_stamp"], unit="s", utc=True))
        partials.append(ohlcv(minutes(frame)))
    whole = pd.concat(partials)
    result = whole.groupby(level=[0, 1]).agg(COMBINE)
    result.columns = pd.MultiIndex.from_tuples(result.columns)
    seconds = time.perf_counter() - start
    print(f"iter_prices, one process: {seconds:.1f} s, {records / seconds / 1e6:.2f} M records/s")
    return result, seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--gb", type=float, default=10, help="GiB of raw records (default 10)")
    parser.add_argument("--scratch", default="/work/tmp-bench", help="a folder of its own")
    parser.add_argument("--tool", default=os.path.join(TOP, "build", "release", "tools", "lmwire",
                                                       "lmwire"))
    args = parser.parse_args()
    records = int(args.gb * 2**30) // lmwire.RECORD_SIZE
    if os.path.exists(args.scratch):
        sys.exit(f"{args.scratch} exists: name a folder of its own with --scratch")
    free = shutil.disk_usage(os.path.dirname(os.path.abspath(args.scratch))).free
    if free < 1.6 * records * lmwire.RECORD_SIZE:
        sys.exit(f"{free / 2**30:.1f} GiB free: not enough for {args.gb} GiB and its dataset")
    os.makedirs(args.scratch)
    raw, directory = os.path.join(args.scratch, "raw"), os.path.join(args.scratch, "dataset")
    try:
        seconds = timed([args.tool, "synth", "prices", str(records), raw, "--contracts", "20",
                         "--days", "5"])
        print(f"synth: {records} records, {records * lmwire.RECORD_SIZE / 2**30:.2f} GiB "
              f"in {seconds:.1f} s")
        timed(f"cat {raw} >/dev/null")  # into the page cache for both
        zstd = timed(f"zstd -q -3 -T0 -c {raw} >/dev/null")
        split = timed([args.tool, "split", raw, "--to", directory])
        size = sum(part.bytes for part in lmwire._manifest.read_manifest(directory).parts)
        print(f"zstd -3 -T0: {zstd:.1f} s, {records / zstd / 1e6:.2f} M records/s; split: "
              f"{split:.1f} s, {records / split / 1e6:.2f} M records/s ({split / zstd:.2f}x "
              f"zstd's time); dataset {size / 2**30:.2f} GiB, {size / os.path.getsize(raw):.3f} "
              "of the raw file")
        os.unlink(raw)
        dask_result, _, _ = dask_ohlcv(directory, records)
        single_result, _ = single_ohlcv(directory, records)
        pd.testing.assert_frame_equal(dask_result.sort_index(), single_result.sort_index(),
                                      check_dtype=False)
        print(f"both: {len(single_result)} (lumera_id, minute) rows, equal")
    finally:
        shutil.rmtree(args.scratch)


if __name__ == "__main__":
    main()
