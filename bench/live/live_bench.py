#!/usr/bin/python3
"""Measures `lmwire replay` into `lmwire listen` over the loopback: throughput and pacing.

- throughput: a capture of datagrams of 5 records sent with `replay --max` (or `--rate N`) to
  `listen` printing to /dev/null, the sender pinned to one core and the receiver to the other;
  records received a second, the kernel's drop count and the received count, and each side's CPU
  time (user and system);
- pacing: a pcap of datagrams 100 microseconds apart replayed at its recorded pace to
  `listen --record`; replay's own pacing error (median, p99, max), and from the recording each
  datagram's receive time minus its scheduled time, the first datagram aligned: the median of
  the first and of the last 1,000 datagrams (their difference is the drift), p99 and max.

    cmake --preset release
    cmake --build build/release --target lmwire lmwire_native
    PYTHONPATH=build/release/python /usr/bin/python3 bench/live/live_bench.py

Every datagram goes to 127.0.0.1. The captures are written to a temporary folder (--scratch DIR
puts them elsewhere) and deleted at the end.
"""

import argparse
import ctypes
import os
import re
import resource
import signal
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))

try:
    import lmwire
except ImportError:
    sys.path.insert(0, os.path.join(TOP, "build", "release", "python"))
    import lmwire

ADDRESS = "127.0.0.1"
# An arbitrary start for the capture times: 2025-11-24T16:00:00Z.
EPOCH_NS = 1_764_000_000 * 10**9

STATS = re.compile(r"(\d+) datagrams, (\d+) records, (\d+) bytes, (\d+) dropped by the kernel"
                   r"(?:; (.*))?")
SUMMARY = re.compile(r"(\d+) datagrams, (\d+) records sent in ([\d.]+) s \(([\d.]+) datagrams/s, "
                     r"([\d.]+) records/s\)(?:; pacing error median ([\d.]+) us, p99 ([\d.]+) us, "
                     r"max ([\d.]+) us)?")


def write_capture(path, datagrams, records_per_datagram, period_ns, destination):
    """A pcap of `datagrams` datagrams of synthetic records, `period_ns` apart."""
    rows = lmwire.synth_prices(datagrams * records_per_datagram)
    timed = np.zeros(len(rows), lmwire.PRICE_CAPTURE_DTYPE)
    for name in lmwire.PRICE_DTYPE.names:
        timed[name] = rows[name]
    # write_prices puts consecutive rows of one time in one datagram.
    ticks = np.arange(len(rows), dtype=np.int64) // records_per_datagram
    timed["capture_time"] = (EPOCH_NS + ticks * period_ns).astype("M8[ns]")
    lmwire.write_prices(timed, path, format="pcap", source="127.0.0.1:40000",
                        destination=destination)
    return timed


def pinned(core, command):
    return (["taskset", "-c", str(core)] if core is not None else []) + command


class Listener:
    """`lmwire listen` in the background; its statistics lines kept with the time they came."""

    def __init__(self, tool, port, extra, core, stdout=subprocess.DEVNULL):
        command = pinned(core, [tool, "listen", f"{ADDRESS}:{port}", *extra])
        self.process = subprocess.Popen(command, stdout=stdout, stderr=subprocess.PIPE, text=True)
        self.lines = []  # (monotonic seconds, text)
        self.rusage = None
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        wait_bound(port, self.process)

    def _read(self):
        for line in self.process.stderr:
            self.lines.append((time.monotonic(), line.rstrip("\n")))

    def finish(self, grace):
        """Waits `grace` seconds for listen to stop by itself, then stops it with SIGINT."""
        # Reaped by wait4, not by Popen, to keep its CPU times (taskset execs the tool).
        deadline = time.monotonic() + grace
        pid = self.process.pid
        ended = None
        while ended is None and time.monotonic() < deadline:
            done, status, usage = os.wait4(pid, os.WNOHANG)
            ended = (status, usage) if done else None
            if ended is None:
                time.sleep(0.001)
        self.exited = time.monotonic()
        interrupted = ended is None
        if interrupted:
            os.kill(pid, signal.SIGINT)
            _, status, usage = os.wait4(pid, 0)
            ended = (status, usage)
        self.process.returncode = os.waitstatus_to_exitcode(ended[0])
        self.rusage = ended[1]
        self.reader.join()
        return interrupted

    def stats(self):
        """Every statistics line as (seconds, datagrams, records, drops, skipped)."""
        found = []
        for when, line in self.lines:
            match = STATS.search(line)
            if match:
                found.append((when, int(match[1]), int(match[2]), int(match[4]), match[5] or ""))
        if not found:
            raise RuntimeError("listen printed no statistics:\n" +
                               "\n".join(line for _, line in self.lines))
        return found


def wait_bound(port, process):
    """Until a UDP socket is bound to the port (listen opens it before receiving)."""
    needle = f":{port:04X}"
    for _ in range(500):
        with open("/proc/net/udp") as table:
            if any(line.split()[1].endswith(needle) for line in list(table)[1:]):
                return
        if process.poll() is not None:
            raise RuntimeError(f"listen exited with {process.returncode}")
        time.sleep(0.01)
    raise RuntimeError(f"no socket bound to port {port}")


def run_replay(tool, capture, port, pace, core):
    """Runs replay to the end: its parsed summary, wall seconds and CPU (user, system)."""
    command = pinned(core, [tool, "replay", capture, f"{ADDRESS}:{port}", *pace])
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    out, err = process.communicate()
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if process.returncode != 0:
        raise RuntimeError(f"{' '.join(command)}: exit {process.returncode}\n{err}")
    match = SUMMARY.search(out)
    if not match:
        raise RuntimeError(f"replay's summary not understood: {out!r}")
    summary = {
        "datagrams": int(match[1]), "records": int(match[2]), "seconds": float(match[3]),
        "records_per_second": float(match[5]), "line": out.strip(),
        "cpu": (after.ru_utime - before.ru_utime, after.ru_stime - before.ru_stime),
    }
    if match[6]:
        summary.update(median_us=float(match[6]), p99_us=float(match[7]), max_us=float(match[8]))
    return summary, wall


def throughput(tool, capture, records, port, pace, buffer, cores, stats_every):
    listen_options = ["--count", str(records), "--stats", str(stats_every)]
    if buffer:
        listen_options += ["--receive-buffer", str(buffer)]
    listener = Listener(tool, port, listen_options, cores[1])
    begin = time.monotonic()
    cores_before = cpu_times()
    sent, _ = run_replay(tool, capture, port, pace, cores[0])
    replay_end = time.monotonic()
    cores_after = cpu_times()
    interrupted = listener.finish(grace=2.0)
    stats = listener.stats()
    _, datagrams, received, drops, skipped = stats[-1]
    # The receiver's own rate: from its first report with records to its last report while the
    # sender was still sending.
    running = [s for s in stats[:-1] if s[2] > 0 and s[0] <= replay_end]
    # Listen stops at the count, so launching replay to listen's exit bounds the receiver's
    # time from above (replay's start-up included).
    end_to_end = None if interrupted else received / (listener.exited - begin)
    listen_rate = None
    if len(running) >= 2:
        listen_rate = (running[-1][2] - running[0][2]) / (running[-1][0] - running[0][0])
    return {
        "sent": sent, "received": received, "datagrams": datagrams,
        "drops": drops, "skipped": skipped, "interrupted": interrupted,
        "rate": received / sent["seconds"], "listen_rate": listen_rate,
        "end_to_end": end_to_end, "cores": (cores_before, cores_after, replay_end - begin),
        "listen_cpu": (listener.rusage.ru_utime, listener.rusage.ru_stime),
    }


def show_throughput(title, result):
    sent = result["sent"]
    lost = sent["datagrams"] - result["datagrams"]
    print(f"{title}")
    print(f"  replay: {sent['line']}")
    print(f"  listen: {result['datagrams']} datagrams, {result['received']} records received, "
          f"{result['drops']} dropped by the kernel, {lost} datagrams not received"
          + (f"; skipped {result['skipped']}" if result["skipped"] else "")
          + (" (stopped by SIGINT)" if result["interrupted"] else ""))
    print(f"  records received a second over replay's time: {result['rate']:,.0f}")
    if result["end_to_end"]:
        print(f"  records received a second from replay's launch to listen's exit at its count: "
              f"{result['end_to_end']:,.0f}")
    if result["listen_rate"]:
        print(f"  records received a second by listen's reports while sending: "
              f"{result['listen_rate']:,.0f}")
    user, system = result["listen_cpu"]
    print(f"  CPU: listen {user:.2f} s user, {system:.2f} s system; replay {sent['cpu'][0]:.2f} s "
          f"user, {sent['cpu'][1]:.2f} s system (replay's wall time {sent['seconds']:.3f} s)")
    show_cpu(*result["cores"])


def pacing(tool, capture, source_rows, records_per_datagram, port, cores, scratch):
    recording = os.path.join(scratch, "recording.pcapng")
    listener = Listener(tool, port, ["--record", recording,
                                     "--count", str(len(source_rows))], cores[1])
    sent, _ = run_replay(tool, capture, port, [], cores[0])
    listener.finish(grace=3.0)
    _, datagrams, received, drops, _ = listener.stats()[-1]
    rows = lmwire.read_prices(recording)
    os.unlink(recording)
    result = {"sent": sent, "datagrams": datagrams, "received": received, "drops": drops}
    if len(rows) != len(source_rows):
        result["error"] = f"{len(rows)} records recorded of {len(source_rows)}"
        return result
    same = all(np.array_equal(rows[name], source_rows[name]) for name in lmwire.PRICE_DTYPE.names)
    if not same:
        result["error"] = "the recorded records differ from those sent"
        return result
    received_ns = rows["capture_time"].astype(np.int64)[::records_per_datagram]
    scheduled_ns = source_rows["capture_time"].astype(np.int64)[::records_per_datagram]
    error_us = ((received_ns - received_ns[0]) - (scheduled_ns - scheduled_ns[0])) / 1000
    head, tail = np.median(error_us[:1000]), np.median(error_us[-1000:])
    result.update(first_median_us=head, last_median_us=tail, drift_us=tail - head,
                  p99_us=np.percentile(error_us, 99), max_us=error_us.max(),
                  min_us=error_us.min(), median_us=np.median(error_us))
    return result


def show_pacing(result):
    sent = result["sent"]
    print("pacing at the recorded pace")
    print(f"  replay: {sent['line']}")
    print(f"  listen: {result['datagrams']} datagrams, {result['received']} records recorded, "
          f"{result['drops']} dropped by the kernel")
    if "error" in result:
        print(f"  recording not compared: {result['error']}")
        return
    print(f"  receive time minus scheduled time, first datagram aligned: median "
          f"{result['median_us']:.1f} us, p99 {result['p99_us']:.1f} us, max "
          f"{result['max_us']:.1f} us, min {result['min_us']:.1f} us")
    print(f"  median of the first 1,000 datagrams {result['first_median_us']:.1f} us, of the "
          f"last 1,000 {result['last_median_us']:.1f} us: drift {result['drift_us']:+.1f} us")


def search_rate(tool, capture, records, port, buffer, cores, low, high, steps):
    """The highest --rate (datagrams a second) between `low` and `high` with nothing lost, by
    bisection, each trial sending the whole capture."""
    best = None
    for _ in range(steps):
        rate = (low + high) / 2
        result = throughput(tool, capture, records, port, ["--rate", f"{rate:.0f}"], buffer,
                            cores, 0.5)
        lost = result["sent"]["datagrams"] - result["datagrams"]
        print(f"  --rate {rate:,.0f}: {result['received']:,} records received, "
              f"{result['drops']} dropped by the kernel, {lost} not received, "
              f"{result['rate']:,.0f} records/s")
        if lost == 0 and result["drops"] == 0:
            best, low = (rate, result), rate
        else:
            high = rate
    return best


def set_timer_slack(nanoseconds):
    """A diagnostic: the slack the kernel may add to this process's timers and its children's
    (kept across exec), which shifts replay's sleeps before it spins."""
    PR_SET_TIMERSLACK = 29
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_TIMERSLACK, ctypes.c_ulong(nanoseconds), 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_TIMERSLACK)")


def cpu_times():
    """Per core: (busy, steal) in seconds from /proc/stat; steal is the time the hypervisor ran
    something else on a virtual machine's core."""
    ticks = os.sysconf("SC_CLK_TCK")
    times = {}
    with open("/proc/stat") as stat:
        for line in stat:
            name, *fields = line.split()
            if name.startswith("cpu") and name != "cpu":
                user, nice, system, idle, iowait, irq, softirq, steal = map(int, fields[:8])
                busy = user + nice + system + irq + softirq
                times[name] = (busy / ticks, steal / ticks)
    return times


def show_cpu(before, after, seconds):
    parts = []
    for name in sorted(after):
        busy = after[name][0] - before[name][0]
        steal = after[name][1] - before[name][1]
        parts.append(f"{name} busy {busy / seconds:.0%}, stolen {steal / seconds:.0%}")
    print(f"  cores over the run: {'; '.join(parts)}")


def load():
    with open("/proc/loadavg") as average:
        return " ".join(average.read().split()[:3])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tool", default=os.path.join("build", "release", "tools", "lmwire",
                                                       "lmwire"))
    parser.add_argument("--port", type=int, default=39300)
    parser.add_argument("--records", type=int, default=5_000_000,
                        help="records sent in a throughput run (default 5,000,000)")
    parser.add_argument("--per-datagram", type=int, default=5,
                        help="records per datagram in both measures (default 5)")
    parser.add_argument("--raw", action="store_true",
                        help="throughput from a raw capture sent with --records instead of a "
                             "pcap (the tool's reader may make a datagram short)")
    parser.add_argument("--rate", type=float,
                        help="throughput at this --rate (datagrams a second) instead of --max")
    parser.add_argument("--receive-buffer", type=int, default=0,
                        help="listen --receive-buffer, bytes (default: the system's)")
    parser.add_argument("--search", action="store_true",
                        help="if --max loses datagrams, find the highest --rate that does not")
    parser.add_argument("--pacing-datagrams", type=int, default=100_000)
    parser.add_argument("--pacing-period-us", type=float, default=100.0)
    parser.add_argument("--only", choices=("throughput", "pacing"))
    parser.add_argument("--cores", default="0,1",
                        help="cores of the sender and the receiver (default 0,1; 'none' to not "
                             "pin)")
    parser.add_argument("--scratch", help="folder for the captures")
    parser.add_argument("--timer-slack", type=int,
                        help="the tools' timer slack in nanoseconds (prctl PR_SET_TIMERSLACK, "
                             "inherited by them; default: the system's, 50,000)")
    options = parser.parse_args()

    tool = os.path.abspath(options.tool)
    if options.timer_slack is not None:
        set_timer_slack(options.timer_slack)
    cores = (None, None) if options.cores == "none" else tuple(options.cores.split(","))
    per = options.per_datagram
    print(f"lmwire: {tool}; {os.cpu_count()} cores; load average before: {load()}")
    with tempfile.TemporaryDirectory(dir=options.scratch) as scratch:
        if options.only != "pacing":
            datagrams = options.records // per
            records = datagrams * per
            if options.raw:
                capture = os.path.join(scratch, "throughput.raw")
                subprocess.run([tool, "synth", "prices", str(records), capture], check=True)
                send = ["--records", str(per)]
            else:
                capture = os.path.join(scratch, "throughput.pcap")
                write_capture(capture, datagrams, per, 1000, f"{ADDRESS}:{options.port}")
                send = []
            pace = ["--rate", f"{options.rate:.0f}"] if options.rate else ["--max"]
            buffer = options.receive_buffer
            title = (f"throughput: {records:,} records, {per} a datagram "
                     f"({'raw, --records' if options.raw else 'pcap'}), {' '.join(pace)}, "
                     f"receive buffer {buffer or 'the default'}, cores {options.cores}; "
                     f"load before {load()}")
            result = throughput(tool, capture, records, options.port, send + pace, buffer, cores,
                                0.5)
            show_throughput(title, result)
            lost = result["sent"]["datagrams"] - result["datagrams"]
            if options.search and (lost or result["drops"]):
                sent = result["sent"]
                print("highest --rate with nothing lost:")
                best = search_rate(tool, capture, records, options.port, buffer, cores,
                                   0.5 * sent["datagrams"] / sent["seconds"],
                                   sent["datagrams"] / sent["seconds"], 6)
                if best:
                    show_throughput(f"best --rate {best[0]:,.0f}", best[1])
                else:
                    print("  none found in the range")
            print(f"load average after: {load()}")
        if options.only != "throughput":
            capture = os.path.join(scratch, "pacing.pcap")
            period = round(options.pacing_period_us * 1000)
            rows = write_capture(capture, options.pacing_datagrams, per, period,
                                 f"{ADDRESS}:{options.port}")
            print(f"pacing capture: {options.pacing_datagrams:,} datagrams of {per} records, "
                  f"{options.pacing_period_us:g} us apart; load before {load()}")
            show_pacing(pacing(tool, capture, rows, per, options.port, cores, scratch))
            print(f"load average after: {load()}")


if __name__ == "__main__":
    main()
