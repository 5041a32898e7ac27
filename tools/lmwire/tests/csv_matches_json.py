"""decode --csv read with Python's csv module gives the values of decode --json, record by record.

Run by CTest with the lmwire program as its argument. The records are a synthetic market and a
few made to reach the edges: negative prices in every format, full sizes, padded display texts,
time stamps before 1970.
"""

import csv
import datetime
import io
import json
import os
import re
import subprocess
import sys
import tempfile

TOOL = sys.argv[1]


def run(*args, stdin=None):
    return subprocess.run([TOOL, *args], input=stdin, capture_output=True, check=True).stdout


def edge_records():
    cases = [
        ["PriceFormatCode=14", "LastPrice=-1234", "TimeStamp=-1", "Bids=-1240:65535", "Asks=-1230:1"],
        ["PriceFormatCode=18", "LastPrice=1234", "TimeStamp=2147483647", "LastSize=65535"],
        ["PriceFormatCode=31", "LastPrice=-1234", "TimeStamp=-2147483648", "LumeraID=65535"],
        ["PriceFormatCode=0", "PriceType=255", "LastPrice=2147483647", "High=-2147483648"],
        ["PriceFormatCode=41", "LastPrice=1235", "TimeStamp=86399999"],
    ]
    return b"".join(run("encode", "price-record", "--binary", *case) for case in cases)


def negative_records():
    """Negative last, bid and ask prices in each of the 62 formats."""
    lines = []
    for code in range(1, 63):
        for last in (-1, -1234, -2147483647):
            lines.append(json.dumps({
                "PriceType": 1, "PriceFormatCode": code, "LastSize": 1, "LumeraID": code,
                "LastPrice": last, "TotalVolume": 0, "TimeStamp": 0, "High": 0, "Low": last,
                "Bids": [{"Price": last - 1, "Size": 1}], "Asks": [{"Price": last + 2, "Size": 1}]}))
    return run("encode", "price-record", "--from-jsonl", "-", "-",
               stdin="\n".join(lines).encode())


def check_texts_are_displays(rows):
    """Every text of a row is the display that `price` shows for its ticks."""
    by_code = {}
    for row in rows:
        by_code.setdefault(row["price_format_code"], []).append(row)
    pairs = (("last_price", "last_price_text"), ("bid_price_0", "best_bid_text"),
             ("ask_price_0", "best_ask_text"))
    for code, group in by_code.items():
        ticks = sorted({row[column] for row in group for column, _ in pairs})
        shown = run("price", code, "--", *ticks).decode().splitlines()[1:]
        display = dict(re.match(r'\s*(-?\d+)\s+"([^"]*)"', line).groups() for line in shown)
        for row in group:
            for column, text in pairs:
                assert row[text] == display[row[column]], (code, column, row[text], display)


def utc(stamp, per_second, digits):
    seconds, fraction = divmod(stamp, per_second)
    moment = datetime.datetime(1970, 1, 1) + datetime.timedelta(seconds=seconds)
    text = moment.strftime("%Y-%m-%dT%H:%M:%S")
    return text + ("." + str(fraction).zfill(digits) if digits else "") + "Z"


def check(capture, unit, per_second, digits):
    rows = list(csv.DictReader(io.StringIO(run("decode", "price-record", "--binary", "--csv",
                                               "--time-unit", unit, capture).decode())))
    objects = [json.loads(line) for line in
               run("decode", "price-record", "--binary", "--json", capture).splitlines()]
    assert len(rows) == len(objects) > 0, (len(rows), len(objects))
    scalars = ["PriceType", "PriceFormatCode", "LastSize", "LumeraID", "LastPrice",
               "TotalVolume", "TimeStamp", "High", "Low"]
    columns = ["price_type", "price_format_code", "last_size", "lumera_id", "last_price",
               "total_volume", "time_stamp", "high", "low"]
    for index, (row, obj) in enumerate(zip(rows, objects)):
        where = f"record {index}"
        for key, column in zip(scalars, columns):
            assert int(row[column]) == obj[key], (where, column, row[column], obj[key])
        for side, name in (("bid", "Bids"), ("ask", "Asks")):
            for level in range(10):
                assert int(row[f"{side}_price_{level}"]) == obj[name][level]["Price"], where
                assert int(row[f"{side}_size_{level}"]) == obj[name][level]["Size"], where
        assert row["last_price_text"] == obj["LastPriceText"], (where, row, obj)
        assert row["time_stamp_utc"] == utc(obj["TimeStamp"], per_second, digits), (where, row)
    return rows


def main():
    with tempfile.TemporaryDirectory() as directory:
        market = os.path.join(directory, "market.bin")
        run("synth", "prices", "2000", market)
        rows = check(market, "s", 1, 0)
        # The best bid and ask texts are those of level 0, as the last price's text is shown.
        check_texts_are_displays(rows[:50])

        edges = os.path.join(directory, "edges.bin")
        with open(edges, "wb") as out:
            out.write(edge_records() + negative_records())
        check(edges, "ms", 1000, 3)
        rows = check(edges, "us", 1000000, 6)
        assert rows[1]["last_price_text"] == "  30.85", rows[1]
        check_texts_are_displays(rows[5:])
    print("1 passed, 0 failed")


main()
