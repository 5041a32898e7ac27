#pragma once

// Datagrams sent to a unicast address or a multicast group, from an unbound socket of the
// destination's family: a feed replayed into a client under test.

#include <cstddef>
#include <memory>
#include <string>

#include "wire_types/capture/Export.h"
#include "wire_types/capture/Frame.h"

namespace Lumera::capture {

// One datagram of a batch: its bytes stay the caller's.
struct OutgoingDatagram {
    const unsigned char* payload = nullptr;
    std::size_t length = 0;
};

struct SenderOptions {
    Endpoint destination;
    std::string interface;  // by name; empty for the route's choice
    int ttl = 1;            // hops (a group's TTL; a unicast one's too); 1 stays on the link
    bool loopback = true;   // a group's datagrams also reach listeners on this machine
    int sendBuffer = 0;     // bytes; 0 keeps the system's default
};

class LMWIRE_CAPTURE_API Sender {
  public:
    // std::invalid_argument (one line) for an interface that does not exist or a TTL outside
    // 0..255; std::system_error for the system's refusals.
    explicit Sender(const SenderOptions& options);
    ~Sender();
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    // One datagram, whole. When the system's buffer is full it waits rather than drop it.
    // std::system_error when the system refuses it (too long, no route).
    void Send(const unsigned char* payload, std::size_t length);
    // `count` datagrams in order, each whole, in as few calls into the system as it allows: at
    // full speed the sender's time goes to the calls, not to the copies. Waits and throws as Send.
    void Send(const OutgoingDatagram* datagrams, std::size_t count);
    // The port the first datagram was sent from (the address is the unbound one).
    [[nodiscard]] Endpoint Local() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Lumera::capture
