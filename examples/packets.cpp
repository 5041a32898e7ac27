// Packets from bytes that nobody vouches for: FromBytes checks the length before it builds a
// packet, and every field has a getter, so a receiver never reads a packet by offset.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "wire_types/LMWireTypes.h"

using namespace Lumera;

int main() {
    // A client announces a log file; the server gets the bytes and their count from its socket.
    long length = 0;
    const std::unique_ptr<unsigned char[]> datagram(
        StartLogFileSend("trader7", 1207, 48213, "session.log").Encode(&length));
    const auto received =
        StartLogFileSend::FromBytes(datagram.get(), static_cast<std::size_t>(length));
    std::printf("%s sends %s (%ld bytes) for account %ld\n", received.GetUserID().c_str(),
                received.GetLogFile().c_str(), received.GetFileSize(), received.GetAccountNumber());

    // A datagram cut short is refused before anything is built.
    try {
        const auto cut = StartLogFileSend::FromBytes(datagram.get(), 100);
        std::printf("not refused: %s\n", cut.GetLogFile().c_str());
        return 1;
    } catch (const std::length_error& refusal) {
        std::printf("refused: %s\n", refusal.what());
    }

    // An account's figures: a figure that was not sent is told apart from a zero.
    WireAccountDataPacket figures(1207);
    figures.AddInfo(adtBalance, 250000.0);
    figures.AddInfo(adtOpenPnl, 0.0);
    const std::unique_ptr<unsigned char[]> wire(figures.Encode());
    const std::size_t size =
        WireAccountDataPacketLayout::kHeaderSize +
        WireAccountDataPacketLayout::kEntrySize * static_cast<std::size_t>(figures.NumEntries());
    const auto account = WireAccountDataPacket::FromBytes(wire.get(), size);
    for (const auto& [kind, value] : account.GetEntries()) {
        std::printf("account %ld, figure %d: %.2f\n", account.GetAccount(), static_cast<int>(kind),
                    value);
    }
    if (account.FindAccountInfo(adtMargin).has_value()) {
        return 1;
    }
    std::printf("no margin figure was sent\n");
    return account.FindAccountInfo(adtOpenPnl) == 0.0 ? 0 : 1;
}
