// A real logon exchange: a server thread and the client trade the two packets as bytes over a
// TCP connection on 127.0.0.1, each side decoding what it receives with the library.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>

#include "Demo.h"
#include "Kinds.h"
#include "wire_types/packets/LogonPackets.h"

namespace lmwire {
namespace {

// Nothing on loopback takes this long; the limit only keeps a broken exchange from hanging.
constexpr int kTimeoutMs = 2000;

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

    void SetTimeouts() {
        timeval limit{kTimeoutMs / 1000, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }

    void SendAll(const Bytes& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                Fail("send");
            }
            sent += static_cast<std::size_t>(n);
        }
    }

    // A stream has no packet boundaries: read until the fixed size has arrived.
    Bytes ReceiveExactly(std::size_t size) {
        Bytes bytes(size);
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = recv(fd_, bytes.data() + got, size - got, 0);
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

std::string Serve(Socket& listener) {
    pollfd waiting{listener.fd(), POLLIN, 0};
    if (poll(&waiting, 1, kTimeoutMs) != 1) {
        errno = ETIMEDOUT;
        Fail("accept");
    }
    Socket connection(accept(listener.fd(), nullptr, nullptr));
    connection.SetTimeouts();
    const Bytes request = connection.ReceiveExactly(424);
    std::string log = "server  received " + std::to_string(request.size()) +
                      " bytes and decoded a TCPLogonReconnectPacket:\n" +
                      RenderFields(FindKind("tcp-logon-reconnect").decode(request), "          ");
    Lumera::LogonResponsePacket response(Lumera::errNone);
    response.SetPort(9101);
    const Bytes reply = Encode(response);
    connection.SendAll(reply);
    log += "server  answered with a LogonResponsePacket of " + std::to_string(reply.size()) +
           " bytes\n";
    return log;
}

}  // namespace

std::string DemoHandshake() {
    Socket listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (bind(listener.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.fd(), 1) != 0 ||
        getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Fail("listen on 127.0.0.1");
    }
    const unsigned short port = ntohs(address.sin_port);

    std::string serverLog;
    std::exception_ptr serverError;
    std::thread server([&] {
        try {
            serverLog = Serve(listener);
        } catch (...) {
            serverError = std::current_exception();
        }
    });

    std::string clientLog;
    std::exception_ptr clientError;
    try {
        Socket client(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        client.SetTimeouts();
        const sockaddr_in server_address = Loopback(port);
        if (connect(client.fd(), reinterpret_cast<const sockaddr*>(&server_address),
                    sizeof server_address) != 0) {
            Fail("connect");
        }
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
        client.SendAll(request);
        clientLog = "client  connected to 127.0.0.1:" + std::to_string(port) + " and sent a " +
                    "TCPLogonReconnectPacket of " + std::to_string(request.size()) + " bytes\n";
        const Bytes reply = client.ReceiveExactly(8);
        clientLog += "client  received " + std::to_string(reply.size()) +
                     " bytes and decoded a LogonResponsePacket:\n" +
                     RenderFields(FindKind("logon-response").decode(reply), "          ");
    } catch (...) {
        clientError = std::current_exception();
        // Unblocks a server still waiting for the client.
        shutdown(listener.fd(), SHUT_RDWR);
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
