// A real logon exchange: a server thread and the client trade the two packets as bytes over a
// TCP connection on 127.0.0.1, each side decoding what it receives with the library.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>

#include <fmt/format.h>

#include "demo/Demo.h"
#include "demo/DemoExchange.h"
#include "records/Kinds.h"
#include "wire_types/packets/LogonPackets.h"

namespace lmwire {
namespace {

// Nothing on loopback takes this long; the limit only keeps a broken or obstructed exchange from
// hanging, and holds for the exchange as a whole, however its time is spent.
constexpr std::chrono::seconds kExchangeLimit(3);

using Clock = Deadline::Clock;

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

class Socket {
  public:
    explicit Socket(int fd) : fd_(fd) {
        if (fd_ < 0) {
            Fail("socket");
        }
    }
    ~Socket() { close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

    // Until the socket has something to read (or a connection to accept), or the deadline.
    void WaitReadable(const Deadline& deadline, const char* what) const {
        for (;;) {
            const int ms = deadline.WaitMs(Clock::now());
            if (ms == 0) {
                errno = ETIMEDOUT;
                Fail(what);
            }
            pollfd waiting{fd_, POLLIN, 0};
            const int ready = poll(&waiting, 1, ms);
            if (ready > 0) {
                return;
            }
            if (ready < 0 && errno != EINTR) {
                Fail(what);
            }
        }
    }

    // Sends and connects block at most until the deadline. The kernel reads a zero timeout as
    // none at all, so a deadline already passed is refused here.
    void LimitBlockingCalls(const Deadline& deadline) const {
        const int ms = deadline.WaitMs(Clock::now());
        if (ms == 0) {
            errno = ETIMEDOUT;
            Fail("send");
        }
        const timeval limit{ms / 1000, (ms % 1000) * 1000};
        if (setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
            Fail("setsockopt SO_SNDTIMEO");
        }
    }

    void SendAll(const Bytes& bytes, const Deadline& deadline) {
        LimitBlockingCalls(deadline);
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                Fail("send");
            }
            sent += static_cast<std::size_t>(n);
        }
    }

    // A stream has no packet boundaries: read until the fixed size has arrived, each wait
    // bounded by what is left of the exchange rather than by a fresh timeout of its own.
    Bytes ReceiveExactly(std::size_t size, const Deadline& deadline) {
        Bytes bytes(size);
        std::size_t got = 0;
        while (got < size) {
            WaitReadable(deadline, "recv");
            const ssize_t n = recv(fd_, bytes.data() + got, size - got, MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                continue;
            }
            if (n == 0) {
                errno = ECONNRESET;
            }
            if (n <= 0) {
                Fail("recv");
            }
            got += static_cast<std::size_t>(n);
        }
        return bytes;
    }

  private:
    int fd_;
};

sockaddr_in Loopback(unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

template <class Packet>
Bytes Encode(const Packet& packet) {
    long length = 0;
    const std::unique_ptr<unsigned char[]> buffer(packet.Encode(&length));
    if (!buffer) {
        throw std::bad_alloc();
    }
    return Bytes(buffer.get(), buffer.get() + length);
}

// Any local process can connect to the port while it listens: every connection but the one
// from the client's own address and port is closed at once, and the wait goes on.
std::unique_ptr<Socket> AcceptOwnClient(const Socket& listener, const sockaddr_in& client,
                                        const Deadline& deadline) {
    for (;;) {
        listener.WaitReadable(deadline, "accept");
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        // The listener does not block: a connection gone between poll and accept is no wait.
        const int fd =
            accept4(listener.fd(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ||
                errno == ECONNABORTED) {
                continue;
            }
            Fail("accept");
        }
        auto connection = std::make_unique<Socket>(fd);
        if (length == sizeof peer && IsOwnClient(peer, client)) {
            return connection;
        }
    }
}

std::string Serve(const Socket& listener, const sockaddr_in& client, const Deadline& deadline) {
    const std::unique_ptr<Socket> connection = AcceptOwnClient(listener, client, deadline);
    const Bytes request = connection->ReceiveExactly(424, deadline);
    std::string log = fmt::format(
        "server  received {} bytes and decoded a TCPLogonReconnectPacket:\n{}", request.size(),
        RenderFields(FindKind("tcp-logon-reconnect").decode(request), "          "));
    Lumera::LogonResponsePacket response(Lumera::errNone);
    response.SetPort(9101);
    const Bytes reply = Encode(response);
    connection->SendAll(reply, deadline);
    log += fmt::format("server  answered with a LogonResponsePacket of {} bytes\n", reply.size());
    return log;
}

}  // namespace

std::string DemoHandshake() {
    const Deadline deadline(Clock::now(), kExchangeLimit);
    Socket listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (bind(listener.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.fd(), 4) != 0 ||
        getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Fail("listen on 127.0.0.1");
    }
    const unsigned short port = ntohs(address.sin_port);

    // The client connects before the server accepts (the connection waits in the listen
    // queue), so the server knows from the start which peer is its client.
    Socket client(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    client.LimitBlockingCalls(deadline);
    const sockaddr_in serverAddress = Loopback(port);
    if (connect(client.fd(), reinterpret_cast<const sockaddr*>(&serverAddress),
                sizeof serverAddress) != 0) {
        Fail("connect");
    }
    sockaddr_in clientAddress{};
    socklen_t clientLength = sizeof clientAddress;
    if (getsockname(client.fd(), reinterpret_cast<sockaddr*>(&clientAddress), &clientLength) != 0 ||
        clientLength != sizeof clientAddress) {
        Fail("getsockname of the client");
    }

    std::string serverLog;
    std::exception_ptr serverError;
    std::thread server([&] {
        try {
            serverLog = Serve(listener, clientAddress, deadline);
        } catch (...) {
            serverError = std::current_exception();
        }
    });

    std::string clientLog;
    std::exception_ptr clientError;
    try {
        Lumera::TCPLogonReconnectPacket logon;
        logon.SetAPIName("lmwire demo");
        logon.SetApiVersion("0.1");
        logon.SetUserID("trader7");
        logon.SetGateKeeperSessionID("gk-5f3a9c");
        logon.SetPriceProtocol(Lumera::ppTcp);
        logon.SetPriceLevel(Lumera::plDepth);
        logon.SetSessionType(Lumera::stTrading);
        logon.SetAccountNumber(5001);
        const Bytes request = Encode(logon);
        client.SendAll(request, deadline);
        clientLog = fmt::format(
            "client  connected to 127.0.0.1:{} and sent a TCPLogonReconnectPacket of {} bytes\n",
            port, request.size());
        const Bytes reply = client.ReceiveExactly(8, deadline);
        clientLog += fmt::format(
            "client  received {} bytes and decoded a LogonResponsePacket:\n{}", reply.size(),
            RenderFields(FindKind("logon-response").decode(reply), "          "));
    } catch (...) {
        clientError = std::current_exception();
        // The server stops reading at once rather than at the deadline.
        shutdown(client.fd(), SHUT_RDWR);
    }
    server.join();
    if (serverError) {
        std::rethrow_exception(serverError);
    }
    if (clientError) {
        std::rethrow_exception(clientError);
    }
    // The server's part happens between the client's send and receive.
    const std::size_t firstLine = clientLog.find('\n') + 1;
    return clientLog.substr(0, firstLine) + serverLog + clientLog.substr(firstLine);
}

}  // namespace lmwire
