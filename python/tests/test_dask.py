import numpy as np
import pytest

import lmwire

pd = pytest.importorskip("pandas")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")
pytestmark = [pytest.mark.skipif(not lmwire._native.CAPTURE, reason="no capture component"),
              pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")]
import lmwire.dask  # noqa: E402  (after the skips: it needs dask)
from dask.dataframe.utils import assert_eq  # noqa: E402


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster, set_as_default=False) as client:
            yield client


@pytest.fixture(scope="module")
def dataset(history, tmp_path_factory):
    folder = tmp_path_factory.mktemp("dataset")
    lmwire.write_dataset(history[1], folder, part_bytes=200 * 86)
    return folder


def ohlcv(frame):
    """Per instrument and minute: open, high, low and close of the last price, and the volume."""
    def minutes(part):
        return part.assign(minute=part.index.floor("min")).reset_index(drop=True)
    frame = frame[["lumera_id", "last_price", "last_size"]]
    frame = frame.map_partitions(minutes) if isinstance(frame, dd.DataFrame) else minutes(frame)
    return frame.groupby(["lumera_id", "minute"]).agg(
        {"last_price": ["first", "max", "min", "last"], "last_size": "sum"})


@pytest.mark.parametrize("scheduler", ["threads", "processes", "distributed"])
def test_ohlcv_per_instrument_and_minute_equals_pandas_on_the_whole(dataset, client, scheduler):
    frame = lmwire.dask.read_prices(dataset)
    whole = lmwire.prices_frame(dataset, "s", index="time")
    got = ohlcv(frame).compute(scheduler=client if scheduler == "distributed" else scheduler)
    expected = ohlcv(whole)
    assert len(expected) > 3 * 4 * 50  # minutes of each instrument on each of three days
    pd.testing.assert_frame_equal(got.sort_index(), expected.sort_index())


@pytest.mark.parametrize("filters, keeps, ordered", [
    ([("lumera_id", "==", 2)], lambda date, lumera_id: lumera_id == 2, True),
    ([("date", ">=", "2025-12-02"), ("lumera_id", "in", [1, 4])],
     lambda date, lumera_id: date >= "2025-12-02" and lumera_id in (1, 4), False),
    ([("date", "==", "2025-12-03"), ("lumera_id", "==", 3)],
     lambda date, lumera_id: (date, lumera_id) == ("2025-12-03", 3), True),
    (None, lambda date, lumera_id: True, False),
])
def test_filters_prune_partitions_before_any_task_runs(dataset, client, filters, keeps,
                                                       ordered):
    frame = lmwire.dask.read_prices(dataset, filters)
    parts = [p for p in lmwire._manifest.read_manifest(dataset).parts if keeps(p.date, p.lumera_id)]
    assert frame.npartitions == len(parts) == len(frame.__dask_graph__()) > 0
    assert frame.known_divisions == ordered
    whole = lmwire.prices_frame(dataset, "s", index="time")
    expected = whole[[keeps(str(t.date()), i) for t, i in zip(whole.index, whole["lumera_id"])]]
    assert_eq(frame, expected, scheduler=client)
    if ordered:  # what known divisions allow: the README's bars
        assert_eq(frame.last_price.resample("1min").ohlc(),
                  expected.last_price.resample("1min").ohlc(), scheduler=client)


@pytest.mark.parametrize("name, chunk, partitions, options", [
    ("raw", 400, 4, {"time_unit": "s", "tz": "Asia/Tokyo"}),
    ("raw", 2000, 1, {}),
    ("pcap", 400, 1, {"time_unit": "s"}),
    ("zst", 400, 1, {}),
])
def test_a_capture_file_is_a_partition_per_chunk_of_raw_records_else_one(history, client, name,
                                                                        chunk, partitions,
                                                                        options):
    path = history[1][["raw", "pcap", "zst"].index(name)]
    frame = lmwire.dask.read_prices(path, chunk_records=chunk, **options)
    assert frame.npartitions == partitions
    unit, tz = options.get("time_unit"), options.get("tz")
    expected = lmwire.prices_frame(path, unit, tz=tz, index="time" if unit else None)
    computed = frame.compute(scheduler=client)
    assert computed.dtypes.equals(frame.dtypes)
    pd.testing.assert_frame_equal(computed.reset_index(drop=unit is None),
                                  expected.reset_index(drop=unit is None))


@pytest.mark.parametrize("damage, message", [
    ("part gone", "{part}"),
    ("time out of order", "{part}: time stamps outside its first and last")])
def test_a_task_whose_part_is_not_as_planned_fails_naming_it(history, client, tmp_path, damage,
                                                             message):
    rows = history[0][history[0]["lumera_id"] == 1][:300]
    rows["time_stamp"][160] = rows["time_stamp"][150] - 1  # before its part's first time
    lmwire.write_dataset(rows[:100 if damage == "part gone" else 300], tmp_path,
                         part_bytes=50 * 86)
    frame = lmwire.dask.read_prices(tmp_path)
    part = lmwire._manifest.read_manifest(tmp_path).parts[1 if damage == "part gone" else 3].path
    assert frame.known_divisions
    if damage == "part gone":
        (tmp_path / part).unlink()
    with pytest.raises(ValueError, match=message.format(part=part)):
        frame.compute(scheduler=client)
