#!/usr/bin/python3
# Writes the seeds of fuzz/corpus/capture_frames: one byte (bytes on the wire beyond the captured
# ones), then a frame built by scapy or dpkt, or taken out of a text2pcap capture.
#   fuzz/capture_frames_seeds.py fuzz/corpus/capture_frames
import os, shutil, struct, subprocess, sys, tempfile
from scapy.all import (Ether, Dot1Q, Dot1AD, IP, IPv6, UDP, TCP, Raw, CookedLinux,
                       IPv6ExtHdrHopByHop, IPv6ExtHdrRouting, IPv6ExtHdrDestOpt,
                       IPv6ExtHdrFragment, IPOption_NOP, IPOption_Timestamp)
from scapy.layers.l2 import CookedLinuxV2
import dpkt

out = sys.argv[1]
def records(n, extra=0, code=14):
    return b"".join(bytes([1, code]) + bytes(84) for _ in range(n)) + bytes(extra)
u = lambda n=1, **kw: UDP(sport=7000, dport=9100) / Raw(records(n, **kw))
v4 = IP(src="192.0.2.9", dst="198.51.100.4")
v6 = IPv6(src="2001:db8::1", dst="2001:db8::2")
seeds = {
    "eth_ipv4_two": bytes(Ether() / v4 / u(2)),
    "eth_qinq_ipv6": bytes(Ether() / Dot1AD(vlan=5) / Dot1Q(vlan=7) / v6 / u()),
    "sll_ipv4": bytes(CookedLinux(proto=0x800) / v4 / u()),
    "sll2_ipv6": bytes(CookedLinuxV2(proto=0x86DD) / v6 / u()),
    "raw_ipv4_options": bytes(IP(src="192.0.2.9", dst="198.51.100.4",
                                 options=[IPOption_NOP(), IPOption_Timestamp()]) / u()),
    "raw_ipv6_ext": bytes(v6 / IPv6ExtHdrHopByHop() / IPv6ExtHdrRouting() /
                          IPv6ExtHdrDestOpt() / u()),
    "ipv4_fragment": bytes(Ether() / IP(src="192.0.2.9", dst="198.51.100.4", flags="MF") / u()),
    "ipv6_fragment": bytes(v6 / IPv6ExtHdrFragment() / u()),
    "eth_tcp": bytes(Ether() / v4 / TCP() / Raw(records(1))),
    "eth_trailing": bytes(Ether() / v4 / u(1, extra=9)),
    # BSD loopback by dpkt: the family in host (little-endian) order, and in network order.
    "null_le_ipv4": bytes(dpkt.loopback.Loopback(family=2, data=bytes(v4 / u()))),
    "loop_ipv6": struct.pack(">I", 24) + bytes(v6 / u()),
}
for name, frame in seeds.items():
    open(f"{out}/{name}", "wb").write(b"\x00" + frame)
# text2pcap wraps a hex dump of records in Ethernet, IP and UDP headers of its own.
dump = "".join(f"{i:06x} " + " ".join(f"{b:02x}" for b in records(2)[i:i + 16]) + "\n"
               for i in range(0, 172, 16))
work = tempfile.mkdtemp()
dump_file, pcap_file = os.path.join(work, "records.txt"), os.path.join(work, "c.pcap")
open(dump_file, "w").write(dump)
for name, family in (("text2pcap_ipv4", []),
                     ("text2pcap_ipv6", ["-6", "2001:db8::1,2001:db8::2"])):
    subprocess.run(["text2pcap", "-q", "-F", "pcap", *family, "-u", "7000,9100", dump_file,
                    pcap_file], check=True)
    data = open(pcap_file, "rb").read()
    length, = struct.unpack("<I", data[24 + 8:24 + 12])
    open(f"{out}/{name}", "wb").write(b"\x10" + data[40:40 + length])
shutil.rmtree(work)
