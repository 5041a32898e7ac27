import datetime
import json
import os
import re

import numpy as np
import pytest
from conftest import dataset_order

import lmwire

pytest.importorskip("pandas")
pytestmark = pytest.mark.skipif(not lmwire._native.CAPTURE, reason="no capture component")
PART = re.compile(r"date=(\d{4}-\d\d-\d\d)/lumera_id=(\d+)/part-(\d{5})\.bin(\.zst)?")


def files(folder):
    return sorted(str(path.relative_to(folder)) for path in folder.rglob("*") if path.is_file())


@pytest.fixture(scope="module")
def dataset(history, tmp_path_factory):
    folder = tmp_path_factory.mktemp("dataset")
    lmwire.write_dataset(history[1], folder, part_bytes=200 * 86)
    return folder


@pytest.mark.parametrize("writer, tz, compress", [
    ("python", "UTC", True), ("python", "America/Chicago", False), ("tool", "UTC", True)])
def test_a_dataset_reads_back_record_for_record(history, tmp_path, tool, writer, tz, compress):
    rows, inputs = history
    if writer == "tool":
        lmwire.write_prices(rows[4500:], tmp_path / "rest")
        tool("split", *inputs[:3], tmp_path / "rest", "--to", tmp_path / "d", "--part-size",
             300 * 86)
        summary = None
    else:
        summary = lmwire.write_dataset(inputs, tmp_path / "d", tz=tz, compress=compress,
                                       part_bytes=300 * 86)
    expected, dates = dataset_order(rows, tz)
    np.testing.assert_array_equal(lmwire.read_prices(tmp_path / "d"), expected)
    np.testing.assert_array_equal(np.concatenate(list(lmwire.iter_prices(tmp_path / "d", 999))),
                                  expected)
    manifest = json.loads((tmp_path / "d" / "manifest.json").read_text())
    assert (manifest["time_zone"], manifest["time_unit"]) == (tz, "s")
    assert files(tmp_path / "d") == sorted(["manifest.json",
                                            *(part["path"] for part in manifest["parts"])])
    done = 0
    for part in manifest["parts"]:
        date, lumera_id, _, zst = PART.fullmatch(part["path"]).groups()
        count = part["records"]
        assert (bool(zst), part["date"], part["lumera_id"]) == (compress, date, int(lumera_id))
        assert 0 < count <= 300 and part["bytes"] == os.path.getsize(tmp_path / "d" / part["path"])
        mine = expected[done:done + count]
        assert (set(dates[done:done + count]), set(mine["lumera_id"])) == ({date}, {int(lumera_id)})
        assert (part["first_time"], part["last_time"]) == tuple(mine["time_stamp"][[0, -1]])
        done += count
    assert done == len(rows)
    if summary is not None:
        assert summary.records == len(rows) and summary.manifest.parts == summary.parts
        assert summary.bytes == sum(p["bytes"] for p in manifest["parts"])


def test_appending_adds_parts_and_a_failure_leaves_the_dataset_as_it_was(history, tmp_path):
    rows = history[0]
    lmwire.write_dataset(rows[:4000], tmp_path, part_bytes=1000 * 86)
    before = files(tmp_path)
    bad = rows[4000:4010].copy()
    bad["bid_price"][7, 2] = bad["last_price"][7] + 1000
    with pytest.raises(ValueError, match=r"arrays_or_paths\[1\]: row 7: bid level 2 price") as told:
        lmwire.write_dataset([rows[4000:], bad], tmp_path, part_bytes=100 * 86)
    assert told.tb and files(tmp_path) == before  # even while its frame lives on: none left
    np.testing.assert_array_equal(lmwire.read_prices(tmp_path), dataset_order(rows[:4000])[0])
    summary = lmwire.write_dataset(rows[4000:], tmp_path, part_bytes=1000 * 86)
    assert summary.records == 2000 and len(summary.parts) == len(files(tmp_path)) - len(before)
    lmwire.write_dataset(tmp_path, tmp_path.with_name(tmp_path.name + "-copy"))
    for copy in (tmp_path, tmp_path.with_name(tmp_path.name + "-copy")):
        np.testing.assert_array_equal(lmwire.read_prices(copy), dataset_order(rows)[0])


# Each filter, and the records it keeps: (dates, lumera ids) -> mask.
DAY = ["2025-12-01", "2025-12-02", "2025-12-03"]
FILTERS = [
    ([("lumera_id", "in", [2, 3])], lambda d, i: np.isin(i, [2, 3])),
    ([("date", ">=", DAY[1]), ("date", "<", datetime.date(2025, 12, 3))], lambda d, i: d == DAY[1]),
    ([[("lumera_id", "==", 1)], [("date", "=", DAY[0])]], lambda d, i: (i == 1) | (d == DAY[0])),
    ([("lumera_id", "not in", (1,)), ("date", "!=", DAY[1]), ("lumera_id", "<=", 3)],
     lambda d, i: (i != 1) & (d != DAY[1]) & (i <= 3)),
    ([("date", ">", DAY[2])], lambda d, i: np.zeros(len(d), bool)),
    ([], lambda d, i: np.ones(len(d), bool)),
]


@pytest.mark.parametrize("filters, keeps", FILTERS)
def test_filters_keep_whole_partitions(history, dataset, filters, keeps):
    expected, dates = dataset_order(history[0])
    expected = expected[keeps(dates, expected["lumera_id"])]
    np.testing.assert_array_equal(lmwire.read_prices(dataset, filters=filters), expected)
    chunks = list(lmwire.iter_prices(dataset, 700, filters=filters))
    np.testing.assert_array_equal(np.concatenate(chunks or [expected[:0]]), expected)


@pytest.mark.parametrize("source, filters, message", [
    ("dataset", [("price", "==", 1)], "column 'price' is not one of 'date', 'lumera_id'"),
    ("dataset", [("date", "~", DAY[0])], "operator '~' is not one of ==, =, !=, <, <=,"),
    ("dataset", [("date", "<", "2025-13-01")], "expected a date, 'YYYY-MM-DD' or a datetime"),
    ("dataset", [("lumera_id", "in", 2)], "expected a list of values, not 2"),
    ("dataset", [("lumera_id", "==")], r"\('lumera_id', '=='\) is not a \(column, op, value\)"),
    ("dataset", "date", "expected a list of"),
    ("raw", [("lumera_id", "==", 1)], "filters= chooses the parts of a dataset directory; '.*raw'"),
    ("bytes", [], "filters= chooses the parts of a dataset directory; bytes is none"),
])
def test_filters_that_cannot_apply_raise_naming_them(history, dataset, source, filters, message):
    given = {"dataset": dataset, "raw": history[1][0], "bytes": b""}[source]
    for read in (lmwire.read_prices, lmwire.iter_prices):
        with pytest.raises(ValueError, match=message):
            read(given, filters=filters)


@pytest.mark.parametrize("damage, message", [
    ("no manifest", "manifest.json"),
    ("manifest cut", "manifest.json"),
    ("part gone", "{part}"),
    ("part cut", "{part}"),
])
def test_a_damaged_dataset_names_what_is_wrong_and_hands_out_nothing_of_a_bad_part(
        history, dataset, tmp_path, damage, message):
    copy = tmp_path / "d"
    for name in files(dataset):
        (copy / name).parent.mkdir(parents=True, exist_ok=True)
        (copy / name).write_bytes((dataset / name).read_bytes())
    manifest = json.loads((copy / "manifest.json").read_text())
    part = manifest["parts"][len(manifest["parts"]) // 2]
    before = sum(p["records"] for p in manifest["parts"][:manifest["parts"].index(part)])
    target = copy / ("manifest.json" if damage.startswith("no") or "manifest" in damage
                     else part["path"])
    if damage.endswith("gone") or damage.startswith("no"):
        target.unlink()
    else:
        target.write_bytes(target.read_bytes()[:target.stat().st_size // 2])
    handed = []
    with pytest.raises(ValueError, match=re.escape(message.format(part=part["path"]))):
        handed.extend(lmwire.iter_prices(copy, 100))
    assert len(handed) * 100 <= before
    if handed:
        np.testing.assert_array_equal(np.concatenate(handed), dataset_order(history[0])[0][
            :len(handed) * 100])
    with pytest.raises(ValueError, match=re.escape(message.format(part=part["path"]))):
        lmwire.read_prices(copy)


@pytest.mark.parametrize("given, options, error, message", [
    ("bytes", {}, TypeError, "arrays of price rows and paths of captures, not bytes"),
    ("ints", {}, TypeError, "arrays of lmwire.PRICE_DTYPE or lmwire.PRICE_CAPTURE_DTYPE, not int"),
    ("rows", {"time_unit": "m"}, ValueError, "time_unit m: expected s, ms, us or ns"),
    ("rows", {"tz": "Mars/Olympus_Mons"}, ValueError, "Mars/Olympus_Mons"),
    ("rows", {"part_bytes": 85}, ValueError, "part_bytes 85: expected an int of 86 or more"),
    ("dataset", {"tz": "Europe/Paris"}, ValueError, "UTC"),
])
def test_write_dataset_refuses_what_it_cannot_write(history, dataset, tmp_path, given, options,
                                                    error, message):
    rows = history[0][:10]
    source = {"bytes": b"", "ints": np.arange(3), "rows": rows, "dataset": rows}[given]
    target = dataset if given == "dataset" else tmp_path / "d"
    before = files(target) if target.exists() else None
    with pytest.raises(error, match=message):
        lmwire.write_dataset(source, target, **options)
    assert (files(target) if target.exists() else None) in (before, [])
