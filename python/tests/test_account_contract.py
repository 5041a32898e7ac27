import struct

import pytest

import lmwire

FIELDS = dict(max_lot_size=10, position_limit=50, position=-3, pnl=1837.5, pnl_in_ticks=-147,
              overnight_position=2, previous_close=601150, previous_settle=601125,
              open_price=-1, month=12, year=2026, exchange_id=7, contract_type=2,
              price_format_code=9, contract_id=1001, tick_value=12.5, currency=840,
              symbol="ESZ6", name="E-mini S&P 500 € Dec")


def flat_form(f):
    """The flat form as toPacket writes it: the 48-byte block and the 60-byte contract block
    (reserved bytes as r), then the symbol and the name as Windows-1252 text ended by a zero."""
    v, r = list(f.values()), b"r" * 8
    return struct.pack("<iii4xdiiiii4x" "hh8sh2xii8s8si4xdi", *v[:11], r, *v[11:14], r, r,
                       *v[14:17]) + b"".join(text.encode("cp1252") + b"\0" for text in v[17:])


def test_reads_consecutive_flat_forms_and_returns_the_next_offset():
    second = dict(FIELDS, symbol="", name="", position=0, pnl=-0.0)
    buffer = b"0123456789" + flat_form(FIELDS) + flat_form(second) + b"tail"
    fields, offset = lmwire.read_account_contract(buffer, 10)
    assert fields == FIELDS and offset == 10 + 108 + len("ESZ6") + 1 + len(FIELDS["name"]) + 1
    fields, end = lmwire.read_account_contract(memoryview(buffer), offset=offset)
    assert fields == second and end == offset + 110 and buffer[end:] == b"tail"


def test_refuses_what_does_not_hold_a_flat_form():
    whole = flat_form(FIELDS)
    for data, offset in ((whole[:-1], 0), (whole[:107], 0), (whole, len(whole)), (whole, -1),
                         (b"", 0)):
        with pytest.raises(ValueError):
            lmwire.read_account_contract(data, offset)
    with pytest.raises(TypeError):
        lmwire.read_account_contract("text", 0)
