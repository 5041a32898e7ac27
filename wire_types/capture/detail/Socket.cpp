#include "wire_types/capture/detail/Socket.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "wire_types/capture/Address.h"

namespace Lumera::capture::detail {

Descriptor::~Descriptor() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

SocketAddress::SocketAddress(const Endpoint& endpoint, unsigned scope) {
    if (endpoint.v6) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(endpoint.port);
        std::memcpy(&address.sin6_addr, endpoint.address.data(), 16);
        address.sin6_scope_id = scope;
        std::memcpy(&storage_, &address, sizeof address);
        size_ = sizeof address;
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(endpoint.port);
        std::memcpy(&address.sin_addr, endpoint.address.data(), 4);
        std::memcpy(&storage_, &address, sizeof address);
        size_ = sizeof address;
    }
}

Endpoint EndpointOf(const sockaddr_storage& address) noexcept {
    Endpoint endpoint;
    if (address.ss_family == AF_INET6) {
        sockaddr_in6 in{};
        std::memcpy(&in, &address, sizeof in);
        endpoint.v6 = true;
        std::memcpy(endpoint.address.data(), &in.sin6_addr, 16);
        endpoint.port = ntohs(in.sin6_port);
    } else {
        sockaddr_in in{};
        std::memcpy(&in, &address, sizeof in);
        std::memcpy(endpoint.address.data(), &in.sin_addr, 4);
        endpoint.port = ntohs(in.sin_port);
    }
    return endpoint;
}

Descriptor OpenSocket(int family) {
    const int fd = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "socket");
    }
    return Descriptor(fd);
}

Endpoint LocalEndpoint(int fd, bool v6) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::system_error(errno, std::generic_category(), "getsockname");
    }
    Endpoint endpoint = EndpointOf(address);
    endpoint.v6 = v6;
    return endpoint;
}

void BindToDevice(int fd, const std::string& interface) {
    if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interface.c_str(),
                   static_cast<socklen_t>(interface.size())) != 0) {
        throw std::system_error(errno, std::generic_category(), "SO_BINDTODEVICE " + interface);
    }
}

void SetBuffer(int fd, int option, int forceOption, int bytes) {
    // The forced size is the system's to grant to a privileged process only; others get what the
    // cap allows.
    if (setsockopt(fd, SOL_SOCKET, forceOption, &bytes, sizeof bytes) != 0 &&
        setsockopt(fd, SOL_SOCKET, option, &bytes, sizeof bytes) != 0) {
        throw std::system_error(errno, std::generic_category(), "socket buffer size");
    }
}

int GetBuffer(int fd, int option) {
    int bytes = 0;
    socklen_t size = sizeof bytes;
    if (getsockopt(fd, SOL_SOCKET, option, &bytes, &size) != 0) {
        throw std::system_error(errno, std::generic_category(), "socket buffer size");
    }
    return bytes;
}

void ThrowBindError(int error, const std::string& name) {
    switch (error) {
        case EADDRNOTAVAIL:
            throw std::invalid_argument(name + ": not an address of this machine");
        case EADDRINUSE:
            throw std::invalid_argument(name + ": the port is in use");
        case EACCES:
            throw std::invalid_argument(name + ": the port needs privileges");
        default:
            throw std::system_error(error, std::generic_category(), name);
    }
}

void Join(int fd, const Endpoint& group, unsigned interface, const std::optional<Endpoint>& source,
          const std::string& name) {
    const int level = group.v6 ? IPPROTO_IPV6 : IPPROTO_IP;
    int result = 0;
    if (source) {
        group_source_req request{};
        request.gsr_interface = interface;
        request.gsr_group = SocketAddress(group, 0).Storage();
        request.gsr_source = SocketAddress(*source, 0).Storage();
        result = setsockopt(fd, level, MCAST_JOIN_SOURCE_GROUP, &request, sizeof request);
    } else {
        group_req request{};
        request.gr_interface = interface;
        request.gr_group = SocketAddress(group, 0).Storage();
        result = setsockopt(fd, level, MCAST_JOIN_GROUP, &request, sizeof request);
    }
    if (result == 0) {
        return;
    }
    if (errno == ENODEV) {
        throw std::invalid_argument(name + ": no interface routes the group; name the interface");
    }
    throw std::system_error(errno, std::generic_category(), "joining " + name);
}

}  // namespace Lumera::capture::detail
