#!/usr/bin/env python3
"""Plots one contract of a price capture: the last price and the best bid and ask over time,
with prices on the axis in the contract's own display format ("110.205" for thirty-seconds and
quarters), and the traded volume underneath.

    plot_capture.py CAPTURE OUT.png [--lumera-id N] [--time-unit s]

CAPTURE holds 86-byte price records back to back (``lmwire synth prices N FILE`` writes one).
Without --lumera-id the contract with the most records is shown. The records' time stamps are
plotted as they are unless --time-unit names their unit (the library gives them none).
"""

import argparse
import sys

import matplotlib

matplotlib.use("Agg")  # files only: no display needed

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.ticker import FuncFormatter, MultipleLocator  # noqa: E402

import lmwire  # noqa: E402


def tick_step(ticks_per_unit, span, most=8):
    """A step between axis labels that the format shows naturally: a divisor of one unit (a
    thirty-second, a quarter) or a multiple of it, giving at most `most` labels."""
    steps = [d for d in range(1, ticks_per_unit + 1) if ticks_per_unit % d == 0]
    steps += [ticks_per_unit * m for m in (2, 5, 10, 20, 50, 100, 200, 500, 1000, 10_000)]
    return next((step for step in steps if span / step <= most), steps[-1])


def traded_volume(times, total_volume, last_size):
    """Volume traded at each distinct time: the rise of the cumulative total volume."""
    traded = np.diff(total_volume.astype(np.int64), prepend=int(total_volume[0]) - last_size[0])
    distinct, first = np.unique(times, return_index=True)
    return distinct, np.add.reduceat(np.maximum(traded, 0), first)


def plot(rows, out, lumera_id=None, time_unit=None):
    if len(rows) == 0:
        raise SystemExit("the capture holds no records")
    if lumera_id is None:
        ids, counts = np.unique(rows["lumera_id"], return_counts=True)
        lumera_id = int(ids[np.argmax(counts)])
    rows = rows[rows["lumera_id"] == lumera_id]
    if len(rows) == 0:
        raise SystemExit(f"the capture holds no record of Lumera id {lumera_id}")
    codes, counts = np.unique(rows["price_format_code"], return_counts=True)
    code = int(codes[np.argmax(counts)])
    ticks_per_unit = next(row.ticks_per_unit for row in lmwire.formats() if row.code == code)

    # Stable: records of one time stamp keep their order in the capture.
    rows = rows[np.argsort(rows["time_stamp"], kind="stable")]
    times = rows["time_stamp"]
    if time_unit:
        times = times.astype(np.int64).astype(f"datetime64[{time_unit}]")

    figure, (prices, volume) = plt.subplots(
        2, 1, sharex=True, figsize=(10, 6), gridspec_kw={"height_ratios": [3, 1]})
    prices.plot(times, rows["ask_price"][:, 0], drawstyle="steps-post", color="tab:red",
                linewidth=0.8, label="best ask")
    prices.plot(times, rows["bid_price"][:, 0], drawstyle="steps-post", color="tab:green",
                linewidth=0.8, label="best bid")
    prices.plot(times, rows["last_price"], drawstyle="steps-post", color="black",
                linewidth=1.2, label="last")
    low = int(rows["bid_price"][:, 0].min())
    high = int(rows["ask_price"][:, 0].max())
    prices.yaxis.set_major_locator(MultipleLocator(tick_step(ticks_per_unit, high - low)))
    prices.yaxis.set_major_formatter(
        FuncFormatter(lambda y, _: lmwire.display(code, int(round(y)))))
    prices.set_ylabel(f"price (format {code})")
    prices.legend(loc="upper left")
    prices.grid(alpha=0.3)
    prices.set_title(f"Lumera id {lumera_id}: {len(rows)} records, last "
                     f"{lmwire.display(code, int(rows['last_price'][-1]))}")

    at, traded = traded_volume(times, rows["total_volume"], rows["last_size"])
    width = np.min(np.diff(at)) if len(at) > 1 else 1
    volume.bar(at, traded, width=width, color="tab:blue")
    volume.set_ylabel("traded")
    volume.set_xlabel(f"time ({time_unit}, UTC)" if time_unit else "time stamp (as recorded)")
    volume.grid(alpha=0.3)
    figure.tight_layout()
    figure.savefig(out, dpi=100)
    plt.close(figure)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("capture", help="file of 86-byte price records")
    parser.add_argument("out", help="PNG file to write")
    parser.add_argument("--lumera-id", type=int, help="contract to show (default: the busiest)")
    parser.add_argument("--time-unit", choices=["s", "ms", "us", "ns"],
                        help="unit of the records' time stamps, counted from 1970 (UTC)")
    args = parser.parse_args(argv)
    plot(lmwire.read_prices(args.capture), args.out, args.lumera_id, args.time_unit)


if __name__ == "__main__":
    sys.exit(main())
