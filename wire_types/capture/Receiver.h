#pragma once

// A live UDP feed received: a socket bound to a unicast address, or joined to a multicast group
// (any source, or one source where the system offers source-specific joins), on an interface the
// caller may name. Datagrams come in batches, each with the kernel's receive time, its sender
// and the address it was sent to, as the Datagram of a capture, so that TakeDatagram and a
// capture writer take them as they are. Memory is one fixed batch of buffers, however fast the
// feed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "wire_types/capture/Export.h"
#include "wire_types/capture/Frame.h"

namespace Lumera::capture {

struct ReceiverOptions {
    Endpoint endpoint;      // the unicast address to bind (any: 0.0.0.0, ::) or the group
    std::string interface;  // by name; empty for the system's choice
    // A multicast group's one sender (a source-specific join); none for any source.
    std::optional<Endpoint> source;
    int receiveBuffer = 0;   // bytes the kernel may hold for the socket; 0 keeps its default
    std::size_t batch = 64;  // datagrams per Receive at most
};

class LMWIRE_CAPTURE_API Receiver {
  public:
    // Binds and joins. std::invalid_argument (one line) for what the caller gave wrong: an
    // interface that does not exist, a source without a multicast group, an address this machine
    // does not have, a port in use; std::system_error for the system's other refusals.
    explicit Receiver(const ReceiverOptions& options);
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // Waits up to `timeoutMilliseconds` (-1: for ever) for datagrams, then takes those queued, up
    // to the batch. Returns how many; 0 on the timeout or once stopped. Each Datagram's payload
    // is valid until the next Receive, its time is the kernel's receive time (UTC, nanoseconds)
    // and its destination the address the datagram was sent to, with the bound port.
    // std::system_error when the socket fails.
    [[nodiscard]] std::size_t Receive(int timeoutMilliseconds);
    [[nodiscard]] const Datagram& operator[](std::size_t i) const noexcept;

    // Makes the current or next Receive return 0, and every later one. Safe from another thread
    // and from a signal handler (one write to an eventfd).
    void Stop() noexcept;
    [[nodiscard]] bool Stopped() const noexcept;

    // Datagrams the kernel dropped because the socket's buffer was full, since it was opened
    // (as of the last datagram received).
    [[nodiscard]] std::uint64_t KernelDrops() const noexcept;
    // The buffer size the kernel granted (it doubles the request, and caps it).
    [[nodiscard]] int ReceiveBuffer() const;
    // The bound address and port (the port the system chose when 0 was asked).
    [[nodiscard]] Endpoint Local() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Lumera::capture
