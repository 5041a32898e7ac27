#!/usr/bin/env python3
"""Prints a canonical dump of what the Python package returns, so that two builds can be compared
by diffing their dumps:

    PYTHONPATH=build/dev/python /usr/bin/python3 scripts/compare_python.py > dump.txt

Covered: every packet class (fields, size, defaults, keyword round trips, decoding of seeded
random bytes, the kinds of error refused values raise), the account data packet, account
contracts read from flat forms, PRICE_DTYPE, and read_prices and prices_frame of seeded
captures. Error messages are left out (they may be reworded); the exception's type is kept.
Without pandas, prices_frame runs against a stand-in whose DataFrame is the dict of columns.
"""

import hashlib
import struct
import sys
import tempfile
import types

import numpy as np

try:
    import pandas  # noqa: F401
    STAND_IN = False
except ImportError:
    STAND_IN = True
    stand_in = types.ModuleType("pandas")
    stand_in.DataFrame = dict
    stand_in.to_datetime = lambda values, unit, utc: np.asarray(values).astype(f"datetime64[{unit}]")
    sys.modules["pandas"] = stand_in

import lmwire  # noqa: E402

PACKETS = [lmwire.LogonResponsePacket, lmwire.UDPLogOnPacket, lmwire.TCPLogonReconnectPacket,
           lmwire.WirePriceProtocolPacket, lmwire.WireHolePunchDelayPacket,
           lmwire.StartLogFileSend, lmwire.CLMWirePriceSubscriptionPacket]

# Values each field is given in turn: integers at and beyond the 32-bit edges, texts of every
# kind (Windows-1252 beyond ASCII, bytes with a zero, too long, not expressible), wrong types.
INTEGERS = [0, 1, -1, 2**31 - 1, -2**31, 2**31, -2**31 - 1, np.int64(7), True, 1.5, "3", None]
TEXTS = ["", "abc", "Zürich €", b"raw\xff", b"ab\0cd", "x" * 24, "x" * 25, "x" * 49, "x" * 50,
         "x" * 99, "x" * 100, "x" * 254, "x" * 255, "\u0101", "a\ud800", 5, None]


def digest(data):
    return hashlib.sha256(bytes(data)).hexdigest()[:16]


def attempt(call):
    try:
        return "ok", call()
    except Exception as error:  # noqa: BLE001 (the kind of error is what is dumped)
        return type(error).__name__, None


def show(packet):
    return f"{packet!r} bytes={digest(packet.to_bytes())}"


def dump_packet(cls, rng):
    print(f"== {cls.__name__} SIZE={cls.SIZE} FIELDS={cls.FIELDS}")
    print("default", show(cls()))
    print("colour", attempt(lambda: cls(colour=1))[0], attempt(lambda: cls(1))[0])
    for name in cls.FIELDS:
        is_text = isinstance(getattr(cls(), name), str)
        for value in TEXTS if is_text else INTEGERS:
            status, packet = attempt(lambda: cls(**{name: value}))
            print(f"  {name}={value!r:.40}: {status}", show(packet) if packet else "")
            if packet is None:
                continue
            back = cls.from_bytes(packet.to_bytes())
            print(f"    back equal={back == packet} repr={eval(repr(packet), vars(lmwire)) == packet}")
            # Assignment, where the class allows it, onto a packet with other values.
            target = cls.from_bytes(rng.integers(0, 256, cls.SIZE, dtype=np.uint8).tobytes())
            status, _ = attempt(lambda: setattr(target, name, value))
            print(f"    set: {status}", show(target))
    for _ in range(5):
        data = rng.integers(0, 256, cls.SIZE + 3, dtype=np.uint8).tobytes()
        packet = cls.from_bytes(data)
        print("random", show(packet), {name: getattr(packet, name) for name in cls.FIELDS})
    print("short", attempt(lambda: cls.from_bytes(bytes(cls.SIZE - 1)))[0])


def dump_account_data(rng):
    cls = lmwire.WireAccountDataPacket
    print(f"== {cls.__name__} FIELDS={cls.FIELDS}")
    packet = cls(account=5001, entries={5: 1.5, 2: -0.25, -7: float("inf")})
    print(show(packet), packet.account, packet.num_entries, packet.entries)
    print(packet.add_info(5, 9.0), packet.add_info(9, 0.0), packet.get_account_info(9),
          packet.find_account_info(3))
    for kwargs in (dict(account=2**31), dict(entries=[(1, 1.0), (1, 2.0)]), dict(entries={1: "x"}),
                   dict(entries={1: 10**400}), dict(colour=1), dict(entries=[(1,)])):
        print(kwargs if len(repr(kwargs)) < 60 else "big", attempt(lambda: cls(**kwargs))[0])
    for count in (0, 1, 3):
        data = struct.pack("<ii", -5, count) + rng.integers(
            0, 256, 12 * count, dtype=np.uint8).tobytes()
        print("decoded", show(cls.from_bytes(data)))
    print("short", attempt(lambda: cls.from_bytes(struct.pack("<ii", 1, 1)))[0])


def dump_account_contracts(rng):
    print("== read_account_contract")
    for symbol, name in ((b"ESZ6", "E-mini € Dec".encode("cp1252")), (b"", b""), (b"\xff", b"x")):
        data = rng.integers(0, 256, 108, dtype=np.uint8).tobytes() + symbol + b"\0" + name + b"\0"
        print(lmwire.read_account_contract(b"pre" + data + b"tail", 3))
        print(attempt(lambda: lmwire.read_account_contract(data[:-1]))[0])
    print(attempt(lambda: lmwire.read_account_contract(b"", -1))[0])


def dump_rows(label, rows):
    print(f"-- {label}: {len(rows)} rows, dtype {rows.dtype.descr}, sha {digest(rows.tobytes())}")
    for row in rows[:3]:
        print("  ", row)


def dump_prices(rng):
    print("== PRICE_DTYPE", lmwire.PRICE_DTYPE, lmwire.PRICE_DTYPE.itemsize, lmwire.RECORD_SIZE)
    print(lmwire.PRICE_DTYPE.descr)
    print(lmwire.PRICE_DTYPE.fields)
    random = rng.integers(0, 256, 20_000 * 86, dtype=np.uint8).tobytes()
    # Records with small depth offsets, as a market has them.
    walk = bytearray(random)
    view = np.frombuffer(walk, np.uint8).reshape(-1, 86)
    view[:, 26:36] = rng.integers(0, 5, (len(view), 10))
    view[:, 56:66] = rng.integers(0, 5, (len(view), 10))
    view[:, 1] = rng.integers(0, 64, len(view))
    for label, capture in (("random", random), ("market", bytes(walk)), ("empty", b"")):
        rows = lmwire.read_prices(capture)
        dump_rows(label, rows)
        with tempfile.NamedTemporaryFile(suffix=".bin") as file:
            file.write(capture)
            file.flush()
            dump_rows(label + " file", lmwire.read_prices(file.name))
            if label == "market":
                lmwire.write_prices(rows, file.name)
                dump_rows("market written", lmwire.read_prices(file.name))
            for unit in (None, "s"):
                frame = lmwire.prices_frame(file.name, unit)
                print(f"   frame {unit}: {list(frame)}")
                for column, values in frame.items():
                    values = np.asarray(values)
                    text = "\n".join(map(str, values.tolist())).encode()
                    print(f"     {column} {values.dtype} {digest(text)}")
    print("partial", attempt(lambda: lmwire.read_prices(random[:-1]))[0])
    far = np.zeros(1, lmwire.PRICE_DTYPE)
    far["ask_price"][0, 4] = 200
    with tempfile.NamedTemporaryFile(suffix=".bin") as file:
        print("out of reach", attempt(lambda: lmwire.write_prices(far, file.name))[0])


def main():
    print("pandas stand-in" if STAND_IN else "pandas", lmwire.__version__)
    rng = np.random.default_rng(24)
    for cls in PACKETS:
        dump_packet(cls, rng)
    dump_account_data(rng)
    dump_account_contracts(rng)
    dump_prices(rng)


if __name__ == "__main__":
    main()
