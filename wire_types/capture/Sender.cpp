#include "wire_types/capture/Sender.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <sched.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "wire_types/capture/Address.h"
#include "wire_types/capture/detail/Socket.h"

namespace Lumera::capture {

struct Sender::State {
    detail::Descriptor socket;
    detail::SocketAddress to;
    bool v6 = false;
    State(const Endpoint& destination, unsigned scope) : to(destination, scope) {}
};

namespace {

void SetInt(int fd, int level, int option, int value, const char* what) {
    if (setsockopt(fd, level, option, &value, sizeof value) != 0) {
        throw std::system_error(errno, std::generic_category(), what);
    }
}

}  // namespace

Sender::Sender(const SenderOptions& options) {
    const Endpoint& to = options.destination;
    if (options.ttl < 0 || options.ttl > 255) {
        throw std::invalid_argument("TTL " + std::to_string(options.ttl) + ": expected 0 to 255");
    }
    const unsigned interface = InterfaceIndex(options.interface);
    const bool group = IsMulticast(to);
    // The interface is the scope of an IPv6 link-local address or group; others ignore it.
    state_ = std::make_unique<State>(to, interface);
    state_->v6 = to.v6;
    state_->socket = detail::OpenSocket(to.v6 ? AF_INET6 : AF_INET);
    const int fd = state_->socket.Get();
    if (group && to.v6) {
        SetInt(fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, options.ttl, "IPV6_MULTICAST_HOPS");
        SetInt(fd, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, options.loopback ? 1 : 0,
               "IPV6_MULTICAST_LOOP");
        if (interface != 0) {
            SetInt(fd, IPPROTO_IPV6, IPV6_MULTICAST_IF, static_cast<int>(interface),
                   "IPV6_MULTICAST_IF");
        }
    } else if (group) {
        SetInt(fd, IPPROTO_IP, IP_MULTICAST_TTL, options.ttl, "IP_MULTICAST_TTL");
        SetInt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, options.loopback ? 1 : 0, "IP_MULTICAST_LOOP");
        if (interface != 0) {
            ip_mreqn request{};
            request.imr_ifindex = static_cast<int>(interface);
            if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request) != 0) {
                throw std::system_error(errno, std::generic_category(), "IP_MULTICAST_IF");
            }
        }
    } else {
        // A unicast TTL of 0 is no TTL the system takes; 1 is the nearest.
        const int hops = options.ttl == 0 ? 1 : options.ttl;
        SetInt(fd, to.v6 ? IPPROTO_IPV6 : IPPROTO_IP, to.v6 ? IPV6_UNICAST_HOPS : IP_TTL, hops,
               "TTL");
        if (interface != 0) {
            detail::BindToDevice(fd, options.interface);
        }
    }
    if (options.sendBuffer > 0) {
        detail::SetBuffer(fd, SO_SNDBUF, SO_SNDBUFFORCE, options.sendBuffer);
    }
}

Sender::~Sender() = default;

namespace {

// Whether a refused send is tried again: a full queue on the way out (the loopback's especially)
// is waited for, not a loss; an earlier datagram's refusal by an absent listener says nothing
// about this one.
void AfterRefusal(const char* what) {
    if (errno != EINTR && errno != ENOBUFS && errno != EAGAIN && errno != ECONNREFUSED) {
        throw std::system_error(errno, std::generic_category(), what);
    }
    if (errno == ENOBUFS || errno == EAGAIN) {
        sched_yield();
    }
}

}  // namespace

void Sender::Send(const unsigned char* payload, std::size_t length) {
    while (sendto(state_->socket.Get(), payload, length, 0, state_->to.Get(), state_->to.Size()) <
           0) {
        AfterRefusal("send");
    }
}

void Sender::Send(const OutgoingDatagram* datagrams, std::size_t count) {
    constexpr std::size_t kBatch = 64;
    std::array<iovec, kBatch> parts{};
    std::array<mmsghdr, kBatch> messages{};
    while (count != 0) {
        const std::size_t batch = std::min(count, kBatch);
        for (std::size_t i = 0; i < batch; ++i) {
            // sendmmsg reads the buffers only.
            parts[i] = {const_cast<unsigned char*>(datagrams[i].payload), datagrams[i].length};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = const_cast<sockaddr*>(state_->to.Get());
            messages[i].msg_hdr.msg_namelen = state_->to.Size();
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int sent =
            sendmmsg(state_->socket.Get(), messages.data(), static_cast<unsigned>(batch), 0);
        if (sent <= 0) {
            AfterRefusal("send");
            continue;
        }
        datagrams += sent;
        count -= static_cast<std::size_t>(sent);
    }
}

Endpoint Sender::Local() const {
    return detail::LocalEndpoint(state_->socket.Get(), state_->v6);
}

}  // namespace Lumera::capture
