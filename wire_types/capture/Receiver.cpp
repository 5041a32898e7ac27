#include "wire_types/capture/Receiver.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "wire_types/capture/Address.h"
#include "wire_types/capture/detail/Socket.h"

namespace Lumera::capture {

using detail::Descriptor;
using detail::SocketAddress;

namespace {

// The largest UDP payload over IPv4 or IPv6 without jumbograms, so no datagram is ever cut.
constexpr std::size_t kDatagramRoom = 65536;
// Room for a time stamp, a drop count and a destination address, each aligned.
constexpr std::size_t kControlRoom = CMSG_SPACE(sizeof(timespec)) +
                                     CMSG_SPACE(sizeof(std::uint32_t)) +
                                     CMSG_SPACE(sizeof(in6_pktinfo));

void Enable(int fd, int level, int option, const char* what) {
    const int on = 1;
    if (setsockopt(fd, level, option, &on, sizeof on) != 0) {
        throw std::system_error(errno, std::generic_category(), what);
    }
}

}  // namespace

struct Receiver::State {
    Descriptor socket;
    Descriptor wake;
    std::atomic<bool> stopped{false};
    Endpoint local;
    std::size_t batch = 0;
    std::unique_ptr<unsigned char[]> payloads;
    std::vector<mmsghdr> messages;
    std::vector<iovec> vectors;
    std::vector<sockaddr_storage> senders;
    std::vector<std::array<unsigned char, kControlRoom>> controls;
    std::vector<Datagram> datagrams;
    std::uint32_t lastDropCount = 0;
    std::uint64_t drops = 0;
};

Receiver::Receiver(const ReceiverOptions& options) : state_(std::make_unique<State>()) {
    State& s = *state_;
    const Endpoint& at = options.endpoint;
    const bool group = IsMulticast(at);
    const std::string name = EndpointText(at);
    if (options.source && !group) {
        throw std::invalid_argument(name + ": not a multicast group, so it takes no source");
    }
    if (options.source && options.source->v6 != at.v6) {
        throw std::invalid_argument(name + ": the source " + AddressText(*options.source) +
                                    " is of the other address family");
    }
    const unsigned interface = InterfaceIndex(options.interface);
    const int family = at.v6 ? AF_INET6 : AF_INET;
    s.socket = detail::OpenSocket(family);
    const int fd = s.socket.Get();
    if (at.v6) {
        Enable(fd, IPPROTO_IPV6, IPV6_V6ONLY, "IPV6_V6ONLY");
        Enable(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, "IPV6_RECVPKTINFO");
    } else {
        Enable(fd, IPPROTO_IP, IP_PKTINFO, "IP_PKTINFO");
    }
    Enable(fd, SOL_SOCKET, SO_TIMESTAMPNS, "SO_TIMESTAMPNS");
    Enable(fd, SOL_SOCKET, SO_RXQ_OVFL, "SO_RXQ_OVFL");
    if (group) {
        // Several listeners of one group on one machine is the normal case.
        Enable(fd, SOL_SOCKET, SO_REUSEADDR, "SO_REUSEADDR");
    } else if (interface != 0) {
        detail::BindToDevice(fd, options.interface);
    }
    if (options.receiveBuffer > 0) {
        detail::SetBuffer(fd, SO_RCVBUF, SO_RCVBUFFORCE, options.receiveBuffer);
    }
    // Bound to the group itself, the socket hears that group only, not every group of the port.
    // The interface is the scope of an IPv6 link-local address; others ignore it.
    const SocketAddress address(at, interface);
    if (bind(fd, address.Get(), address.Size()) != 0) {
        detail::ThrowBindError(errno, name);
    }
    if (group) {
        detail::Join(fd, at, interface, options.source, name);
    }
    s.local = detail::LocalEndpoint(fd, at.v6);
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    s.wake = Descriptor(wake);

    s.batch = options.batch == 0 ? 1 : options.batch;
    s.payloads.reset(new unsigned char[s.batch * kDatagramRoom]);
    s.messages.resize(s.batch);
    s.vectors.resize(s.batch);
    s.senders.resize(s.batch);
    s.controls.resize(s.batch);
    s.datagrams.resize(s.batch);
}

Receiver::~Receiver() = default;

std::size_t Receiver::Receive(int timeoutMilliseconds) {
    State& s = *state_;
    if (s.stopped.load(std::memory_order_relaxed)) {
        return 0;
    }
    pollfd waits[2] = {{s.socket.Get(), POLLIN, 0}, {s.wake.Get(), POLLIN, 0}};
    const int ready = poll(waits, 2, timeoutMilliseconds);
    if (ready < 0 && errno != EINTR) {
        throw std::system_error(errno, std::generic_category(), "poll");
    }
    if (ready <= 0 || s.stopped.load(std::memory_order_relaxed) ||
        (waits[0].revents & POLLIN) == 0) {
        return 0;
    }
    for (std::size_t i = 0; i < s.batch; ++i) {
        s.vectors[i] = {s.payloads.get() + i * kDatagramRoom, kDatagramRoom};
        msghdr& header = s.messages[i].msg_hdr;
        header = {};
        header.msg_name = &s.senders[i];
        header.msg_namelen = sizeof(sockaddr_storage);
        header.msg_iov = &s.vectors[i];
        header.msg_iovlen = 1;
        header.msg_control = s.controls[i].data();
        header.msg_controllen = kControlRoom;
    }
    const int got = recvmmsg(s.socket.Get(), s.messages.data(), static_cast<unsigned>(s.batch),
                             MSG_DONTWAIT, nullptr);
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return 0;
        }
        throw std::system_error(errno, std::generic_category(), "recvmmsg");
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i) {
        msghdr& header = s.messages[i].msg_hdr;
        Datagram& datagram = s.datagrams[i];
        datagram = {};
        datagram.payload = s.payloads.get() + i * kDatagramRoom;
        datagram.captured = datagram.length = s.messages[i].msg_len;
        datagram.source = detail::EndpointOf(s.senders[i]);
        datagram.destination = s.local;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec when{};
                std::memcpy(&when, CMSG_DATA(c), sizeof when);
                datagram.seconds = when.tv_sec;
                datagram.nanoseconds = static_cast<std::uint32_t>(when.tv_nsec);
            } else if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
                std::uint32_t count = 0;
                std::memcpy(&count, CMSG_DATA(c), sizeof count);
                // The kernel's count is 32 bits and wraps; the difference never does.
                s.drops += count - s.lastDropCount;
                s.lastDropCount = count;
            } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                std::memcpy(datagram.destination.address.data(), &info.ipi_addr, 4);
            } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
                in6_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                std::memcpy(datagram.destination.address.data(), &info.ipi6_addr, 16);
            }
        }
    }
    return static_cast<std::size_t>(got);
}

const Datagram& Receiver::operator[](std::size_t i) const noexcept {
    return state_->datagrams[i];
}

void Receiver::Stop() noexcept {
    state_->stopped.store(true, std::memory_order_relaxed);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(state_->wake.Get(), &one, sizeof one);
}

bool Receiver::Stopped() const noexcept {
    return state_->stopped.load(std::memory_order_relaxed);
}

std::uint64_t Receiver::KernelDrops() const noexcept {
    return state_->drops;
}

int Receiver::ReceiveBuffer() const {
    return detail::GetBuffer(state_->socket.Get(), SO_RCVBUF);
}

Endpoint Receiver::Local() const {
    return state_->local;
}

}  // namespace Lumera::capture
