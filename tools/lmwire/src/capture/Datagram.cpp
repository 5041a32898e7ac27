#include "capture/Datagram.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "common/Errors.h"
#include "common/Text.h"
#include "records/RecordLines.h"
#include "wire_types/price/Price.h"

namespace lmwire {
namespace {

constexpr int kLinkRaw = 12;         // DLT_RAW on Linux
constexpr int kLinkRawOpenBsd = 14;  // DLT_RAW elsewhere
constexpr int kLinkRawType = 101;    // LINKTYPE_RAW, as some writers leave it
constexpr int kLinkSll = 113;
constexpr int kLinkSll2 = 276;
constexpr int kLinkIpv4 = 228;
constexpr int kLinkIpv6 = 229;

constexpr std::uint16_t kEtherIpv4 = 0x0800;
constexpr std::uint16_t kEtherIpv6 = 0x86DD;
constexpr unsigned char kProtocolUdp = 17;

std::uint16_t Load16(const unsigned char* at) {
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

void Store16(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value);
}

// The bytes of a frame with what is known of it: `captured` of them are there, `original` were
// on the wire; a header beyond the captured bytes is a cut by the snap length.
struct Cursor {
    const unsigned char* at;
    std::size_t captured;
    std::size_t original;

    bool Has(std::size_t n) const { return n <= captured; }
    Cursor Skip(std::size_t n) const {
        return {at + n, captured - n, original >= n ? original - n : 0};
    }
    lmwire::Skip Short(std::size_t needed) const {
        return needed <= original ? lmwire::Skip::Truncated : lmwire::Skip::Malformed;
    }
};

Datagram Failed(Skip skip) {
    Datagram datagram;
    datagram.skip = skip;
    return datagram;
}

bool TakenLength(std::size_t length) {
    return length > 0 && length % kPriceRecordSize == 0;
}

// Where the rule is the length alone, every captured record must name a price format.
bool KnownCodes(const unsigned char* payload, std::size_t captured) {
    for (std::size_t at = 1; at < captured; at += kPriceRecordSize) {
        if (Lumera::price::Find(payload[at]) == nullptr) {
            return false;
        }
    }
    return true;
}

// The UDP header at `udp`, `ipPayload` bytes long by the IP header. The length that chooses a
// datagram is the one on the wire; the snap length may have cut what was captured of it.
Datagram ReadUdp(Cursor udp, std::size_t ipPayload, Datagram datagram,
                 const std::vector<std::uint16_t>& ports) {
    if (!udp.Has(8)) {
        return Failed(udp.Short(8));
    }
    datagram.source.port = Load16(udp.at);
    datagram.destination.port = Load16(udp.at + 2);
    const std::size_t length = Load16(udp.at + 4);
    if (length < 8 || length > ipPayload || length > udp.original) {
        return Failed(Skip::Malformed);
    }
    if (!ports.empty() &&
        std::find(ports.begin(), ports.end(), datagram.destination.port) == ports.end()) {
        return Failed(Skip::OtherPort);
    }
    const std::size_t payload = length - 8;
    const std::size_t captured = std::min(payload, udp.captured - 8);
    if (ports.empty()) {
        if (!TakenLength(payload)) {
            return Failed(Skip::Length);
        }
        if (!KnownCodes(udp.at + 8, captured)) {
            return Failed(Skip::FormatCode);
        }
    }
    datagram.payload = udp.at + 8;
    datagram.length = captured - captured % kPriceRecordSize;
    if (datagram.length == 0) {
        return Failed(captured < payload ? Skip::Truncated : Skip::Length);
    }
    if (captured < payload) {
        datagram.cut = Skip::Truncated;
    } else if (payload % kPriceRecordSize != 0) {
        datagram.cut = Skip::Trailing;
    }
    return datagram;
}

Datagram ReadIpv4(Cursor ip, const std::vector<std::uint16_t>& ports) {
    if (!ip.Has(20)) {
        return Failed(ip.Short(20));
    }
    const std::size_t headerLength = std::size_t{ip.at[0] & 0x0Fu} * 4;
    const std::size_t total = Load16(ip.at + 2);
    if (ip.at[0] >> 4 != 4 || headerLength < 20 || total < headerLength) {
        return Failed(Skip::Malformed);
    }
    if (ip.at[9] != kProtocolUdp) {
        return Failed(Skip::NotUdp);
    }
    // More fragments, or an offset: a piece of a datagram.
    if ((Load16(ip.at + 6) & 0x3FFFu) != 0) {
        return Failed(Skip::Fragment);
    }
    if (!ip.Has(headerLength)) {
        return Failed(ip.Short(headerLength));
    }
    Datagram datagram;
    std::memcpy(datagram.source.address.data(), ip.at + 12, 4);
    std::memcpy(datagram.destination.address.data(), ip.at + 16, 4);
    return ReadUdp(ip.Skip(headerLength), total - headerLength, datagram, ports);
}

Datagram ReadIpv6(Cursor ip, const std::vector<std::uint16_t>& ports) {
    if (!ip.Has(40)) {
        return Failed(ip.Short(40));
    }
    if (ip.at[0] >> 4 != 6) {
        return Failed(Skip::Malformed);
    }
    Datagram datagram;
    datagram.source.v6 = datagram.destination.v6 = true;
    std::memcpy(datagram.source.address.data(), ip.at + 8, 16);
    std::memcpy(datagram.destination.address.data(), ip.at + 24, 16);
    std::size_t payload = Load16(ip.at + 4);
    unsigned next = ip.at[6];
    Cursor at = ip.Skip(40);
    // Hop-by-hop, routing and destination options may stand before the UDP header.
    while (next == 0 || next == 43 || next == 60) {
        if (!at.Has(2)) {
            return Failed(at.Short(2));
        }
        const std::size_t length = (std::size_t{at.at[1]} + 1) * 8;
        if (length > payload || !at.Has(length)) {
            return Failed(length > payload ? Skip::Malformed : at.Short(length));
        }
        next = at.at[0];
        payload -= length;
        at = at.Skip(length);
    }
    if (next == 44) {
        return Failed(Skip::Fragment);
    }
    if (next != kProtocolUdp) {
        return Failed(Skip::NotUdp);
    }
    return ReadUdp(at, payload, datagram, ports);
}

Datagram ReadIp(std::uint16_t etherType, Cursor ip, const std::vector<std::uint16_t>& ports) {
    switch (etherType) {
        case kEtherIpv4:
            return ReadIpv4(ip, ports);
        case kEtherIpv6:
            return ReadIpv6(ip, ports);
        default:
            return Failed(Skip::NotUdp);
    }
}

// Ethernet II, with any number of 802.1Q / 802.1ad tags before the type.
Datagram ReadEthernetType(Cursor frame, std::size_t typeAt,
                          const std::vector<std::uint16_t>& ports) {
    for (;;) {
        if (!frame.Has(typeAt + 2)) {
            return Failed(frame.Short(typeAt + 2));
        }
        const std::uint16_t type = Load16(frame.at + typeAt);
        if (type == 0x8100 || type == 0x88A8 || type == 0x9100) {
            typeAt += 4;
            continue;
        }
        return ReadIp(type, frame.Skip(typeAt + 2), ports);
    }
}

}  // namespace

const char* SkipReason(Skip skip) {
    switch (skip) {
        case Skip::NotUdp:
            return "not UDP";
        case Skip::OtherPort:
            return "other port";
        case Skip::Length:
            return "length not a positive multiple of 86";
        case Skip::FormatCode:
            return "format code without a row";
        case Skip::Truncated:
            return "truncated by the snap length";
        case Skip::Trailing:
            return "with bytes after the last whole record";
        case Skip::Fragment:
            return "IP fragment";
        case Skip::Malformed:
            return "malformed header";
        case Skip::None:
        case Skip::Count:
            break;
    }
    return "";
}

std::string AddressText(const Endpoint& endpoint) {
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(endpoint.v6 ? AF_INET6 : AF_INET, endpoint.address.data(), text, sizeof text);
    return text;
}

Endpoint ParseEndpoint(const std::string& text, const std::string& what) {
    Endpoint endpoint;
    std::string address;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find("]:");
        if (close != std::string::npos) {
            address = text.substr(1, close - 1);
            port = text.substr(close + 2);
            endpoint.v6 = true;
        }
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (address.empty() || inet_pton(endpoint.v6 ? AF_INET6 : AF_INET, address.c_str(),
                                     endpoint.address.data()) != 1) {
        throw BadInput(what +
                       ": expected ADDRESS:PORT (192.0.2.1:40000, [2001:db8::1]:9100), got " +
                       Quoted(text));
    }
    endpoint.port = static_cast<std::uint16_t>(ParseInteger(port, 0, 65535, what + " port"));
    return endpoint;
}

bool KnownLinkType(int linkType) {
    switch (linkType) {
        case kLinkEthernet:
        case kLinkRaw:
        case kLinkRawOpenBsd:
        case kLinkRawType:
        case kLinkSll:
        case kLinkSll2:
        case kLinkIpv4:
        case kLinkIpv6:
            return true;
        default:
            return false;
    }
}

Datagram ReadDatagram(int linkType, const unsigned char* data, std::size_t captured,
                      std::size_t original, const std::vector<std::uint16_t>& ports) {
    const Cursor frame{data, captured, std::max(original, captured)};
    switch (linkType) {
        case kLinkEthernet:
            return ReadEthernetType(frame, 12, ports);
        case kLinkSll:
            return ReadEthernetType(frame, 14, ports);
        case kLinkSll2:
            if (!frame.Has(20)) {
                return Failed(frame.Short(20));
            }
            return ReadIp(Load16(frame.at), frame.Skip(20), ports);
        case kLinkIpv4:
            return ReadIpv4(frame, ports);
        case kLinkIpv6:
            return ReadIpv6(frame, ports);
        default:
            if (!frame.Has(1)) {
                return Failed(frame.Short(1));
            }
            return frame.at[0] >> 4 == 6 ? ReadIpv6(frame, ports) : ReadIpv4(frame, ports);
    }
}

namespace {

std::uint32_t SumWords(std::uint32_t sum, const unsigned char* bytes, std::size_t length) {
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        sum += Load16(bytes + i);
    }
    if (length % 2 != 0) {
        sum += std::uint32_t{bytes[length - 1]} << 8;
    }
    return sum;
}

std::uint16_t Folded(std::uint32_t sum) {
    while (sum >> 16 != 0) {
        sum = (sum & 0xFFFFu) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

}  // namespace

Bytes UdpFrame(const Endpoint& source, const Endpoint& destination, std::uint16_t id,
               const unsigned char* payload, std::size_t length) {
    const bool v6 = source.v6;
    const std::size_t ipHeader = v6 ? 40 : 20;
    const std::size_t udpLength = 8 + length;
    Bytes frame(14 + ipHeader + udpLength, 0);
    // Locally administered addresses: the frame's link layer means nothing here.
    const unsigned char macs[12] = {2, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 1};
    std::memcpy(frame.data(), macs, sizeof macs);
    Store16(frame.data() + 12, v6 ? kEtherIpv6 : kEtherIpv4);
    unsigned char* ip = frame.data() + 14;
    const std::size_t addressSize = v6 ? 16 : 4;
    if (v6) {
        ip[0] = 0x60;
        Store16(ip + 4, static_cast<std::uint32_t>(udpLength));
        ip[6] = kProtocolUdp;
        ip[7] = 64;
        std::memcpy(ip + 8, source.address.data(), 16);
        std::memcpy(ip + 24, destination.address.data(), 16);
    } else {
        ip[0] = 0x45;
        Store16(ip + 2, static_cast<std::uint32_t>(ipHeader + udpLength));
        Store16(ip + 4, id);
        ip[8] = 64;
        ip[9] = kProtocolUdp;
        std::memcpy(ip + 12, source.address.data(), 4);
        std::memcpy(ip + 16, destination.address.data(), 4);
        Store16(ip + 10, Folded(SumWords(0, ip, ipHeader)));
    }
    unsigned char* udp = ip + ipHeader;
    Store16(udp, source.port);
    Store16(udp + 2, destination.port);
    Store16(udp + 4, static_cast<std::uint32_t>(udpLength));
    std::memcpy(udp + 8, payload, length);
    // The pseudo-header: both addresses, the protocol and the UDP length.
    std::uint32_t sum = SumWords(0, source.address.data(), addressSize);
    sum = SumWords(sum, destination.address.data(), addressSize);
    sum += kProtocolUdp + static_cast<std::uint32_t>(udpLength);
    std::uint16_t checksum = Folded(SumWords(sum, udp, udpLength));
    Store16(udp + 6, checksum == 0 ? 0xFFFFu : checksum);
    return frame;
}

}  // namespace lmwire
