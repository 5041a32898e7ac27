import struct

import numpy as np
import pytest

import lmwire

CP1252 = "Zürich €"  # a text beyond ASCII travels as Windows-1252 bytes
PACKETS = [c for c in map(vars(lmwire).get, lmwire.__all__) if hasattr(c, "SIZE")]


def sample(cls):  # texts beyond ASCII, negative integers whose four bytes all differ
    return {name: f"{name[:3]}€{i}" if getattr(cls(), name) == "" else -0x1020304 * (i + 1)
            for i, name in enumerate(cls.FIELDS)}


def test_wire_forms_built_by_hand():
    tcp = lmwire.TCPLogonReconnectPacket(api_name="frontend", api_version="2.1", user_id=CP1252,
                                         gate_keeper_session_id="gk", price_protocol=1,
                                         price_level=2, session_type=3, account_number=-2**31)
    assert tcp.to_bytes() == struct.pack("<50s50s50s255s3xiiii", b"frontend", b"2.1",
                                         CP1252.encode("cp1252"), b"gk", 1, 2, 3, -2**31)
    udp = lmwire.UDPLogOnPacket(packet_type=-2, gate_keeper_session_id="g" * 254)
    assert udp.to_bytes() == struct.pack("<i255sx", -2, b"g" * 254)


@pytest.mark.parametrize("cls", PACKETS, ids=lambda cls: cls.__name__)
def test_every_field_round_trips_and_bad_values_are_refused(cls):
    fields = sample(cls)
    packet = cls(**fields)
    wire = packet.to_bytes()
    assert len(wire) == cls.SIZE and {name: getattr(packet, name) for name in cls.FIELDS} == fields
    for data in (wire + b"ignored", bytearray(wire), memoryview(wire)):
        assert cls.from_bytes(data) == packet and packet != cls()
    assert eval(repr(packet), vars(lmwire)) == packet
    assert cls() == cls.from_bytes(bytes(cls.SIZE)) and cls().to_bytes() == bytes(cls.SIZE)
    with pytest.raises(ValueError, match=str(cls.SIZE - 1)):
        cls.from_bytes(wire[:-1])

    with pytest.raises(TypeError, match="unexpected keyword argument 'colour'"):
        cls(colour=1)
    with pytest.raises(TypeError):
        cls(1)
    for name, value in fields.items():
        refused = [(15, TypeError, f"{name} takes str"), ("x" * 255, ValueError, "is 255 char"),
                   ("\u0101", ValueError, "Windows-1252"), ("a\ud800", ValueError, "Windows-1252")]
        if isinstance(value, int):
            refused = [(1.5, TypeError, f"{name} takes an integer"),
                       (2**31, ValueError, f"{name}: 2147483648"),
                       (-2**31 - 1, ValueError, f"{name}: -2147483649")]
        for given, error, message in refused:
            with pytest.raises(error, match=message):
                cls(**{name: given})


def test_attributes_follow_the_setters():
    packet = lmwire.TCPLogonReconnectPacket(user_id="trader7")
    packet.account_number, packet.api_name = 5001, b"raw\xff"
    packet.api_version = b"2\0ignored"  # a text ends at its first zero byte
    assert (packet.api_name, packet.api_version, packet.user_id) == ("raw\u00ff", "2", "trader7")
    assert packet.to_bytes()[50:53] == b"2\0\0" and packet.to_bytes()[420:] == b"\x89\x13\0\0"
    with pytest.raises(ValueError):
        packet.user_id = "u" * 50
    assert packet.user_id == ""  # the library leaves an over-long text's field empty
    # Fields the library type has no setter for are the constructor's.
    for packet, name in ((lmwire.CLMWirePriceSubscriptionPacket(), "first"),
                         (lmwire.UDPLogOnPacket(), "packet_type")):
        with pytest.raises(AttributeError, match="setter|can't set"):
            setattr(packet, name, 2)
    assert lmwire.LogonResponsePacket(port=1) != lmwire.WireHolePunchDelayPacket(delay=1)


def account_data(account, entries):
    return struct.pack("<ii", account, len(entries)) + b"".join(
        struct.pack("<id", kind, value) for kind, value in entries)


def test_account_data_packet_matches_bytes_built_by_hand():
    packet = lmwire.WireAccountDataPacket(account=5001,
                                          entries={5: 1.5, 2: -0.25, -7: float("inf")})
    expected = account_data(5001, [(-7, float("inf")), (2, -0.25), (5, 1.5)])
    assert packet.to_bytes() == expected and packet.num_entries == 3
    assert list(packet.entries.items()) == [(-7, float("inf")), (2, -0.25), (5, 1.5)]
    assert lmwire.WireAccountDataPacket.from_bytes(expected) == packet
    assert eval(repr(packet), dict(vars(lmwire), inf=float("inf"))) == packet
    assert packet.find_account_info(9) is None and packet.get_account_info(9) == 0.0
    assert not packet.add_info(5, 9.0) and packet.get_account_info(5) == 1.5
    assert packet.add_info(9, 0.0) and packet.find_account_info(9) == 0.0
    assert lmwire.WireAccountDataPacket().to_bytes() == account_data(0, [])
    # A kind met twice keeps the value met first.
    received = account_data(42, [(7, 1.0), (7, 2.0), (1, 3.0)])
    assert lmwire.WireAccountDataPacket.from_bytes(received).to_bytes() == account_data(
        42, [(1, 3.0), (7, 1.0)])
    assert lmwire.WireAccountDataPacket(entries=[(np.int64(3), np.float32(0.5))]).entries == {
        3: 0.5}
    for short in (received[:7], received[:-1], struct.pack("<ii", 1, -1)):
        with pytest.raises(ValueError):
            lmwire.WireAccountDataPacket.from_bytes(short)
    for entries, error, message in (([(1, 1.0), (1, 2.0)], ValueError, "kind 1 is given twice"),
                                    ({1: "1.0"}, TypeError, ""),
                                    ({1: 10**400}, ValueError, "10{400} is beyond")):
        with pytest.raises(error, match=message):
            lmwire.WireAccountDataPacket(entries=entries)
