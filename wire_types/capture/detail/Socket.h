#pragma once

// The socket calls that the receiver and the sender share: addresses to and from the system's
// form, interfaces, buffer sizes, joins, and the refusals that are the caller's input.

#include <netinet/in.h>
#include <sys/socket.h>

#include <optional>
#include <string>

#include "wire_types/capture/Frame.h"

namespace Lumera::capture::detail {

// A descriptor closed with its owner.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor();
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int Get() const noexcept { return fd_; }

  private:
    int fd_ = -1;
};

class SocketAddress {
  public:
    // `scope`: the interface of an IPv6 link-local address or group; 0 for none.
    SocketAddress(const Endpoint& endpoint, unsigned scope);
    [[nodiscard]] const sockaddr* Get() const noexcept {
        return reinterpret_cast<const sockaddr*>(&storage_);
    }
    [[nodiscard]] socklen_t Size() const noexcept { return size_; }
    [[nodiscard]] const sockaddr_storage& Storage() const noexcept { return storage_; }

  private:
    sockaddr_storage storage_{};
    socklen_t size_ = 0;
};

[[nodiscard]] Endpoint EndpointOf(const sockaddr_storage& address) noexcept;
[[nodiscard]] Descriptor OpenSocket(int family);
[[nodiscard]] Endpoint LocalEndpoint(int fd, bool v6);
void BindToDevice(int fd, const std::string& interface);
// SO_RCVBUF or SO_SNDBUF, beyond the system's cap (the FORCE option) where allowed.
void SetBuffer(int fd, int option, int forceOption, int bytes);
[[nodiscard]] int GetBuffer(int fd, int option);
[[noreturn]] void ThrowBindError(int error, const std::string& name);
void Join(int fd, const Endpoint& group, unsigned interface, const std::optional<Endpoint>& source,
          const std::string& name);

}  // namespace Lumera::capture::detail
