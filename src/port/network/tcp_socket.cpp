#include "tcp_socket.h"

#include "port_failure.h"
#include "socket_system.h"

namespace probelyn {

namespace {

// How long a send may wait for room in the system's send queue.
constexpr std::chrono::milliseconds kSendWait{2000};

}  // namespace

TcpSocket::TcpSocket(const NetworkAddress& address, std::chrono::milliseconds limit,
                     std::stop_token stop)
    : socket_(std::make_unique<SystemSocket>()) {
    const Resolved resolved =
        address.resolved ? *address.resolved : ResolveHost(address.host, address.port, limit, stop);
    if (resolved.addresses.empty()) {
        throw PortFailure(LineError::Network, resolved.error);
    }
    int error = 0;
    for (const std::string& numeric : resolved.addresses) {
        server_ = HostPortText(numeric, address.port);
        error = Attempt(numeric, address.port, limit, stop);
        if (error == 0 || stop.stop_requested()) {
            break;
        }
    }
    if (error != 0) {
        Fail("cannot connect to", error);
    }
    socket_->NoDelay();
}

TcpSocket::~TcpSocket() = default;

int TcpSocket::Attempt(const std::string& address, int port, std::chrono::milliseconds limit,
                       std::stop_token stop) {
    bool pending = false;
    int error = socket_->Connect(address, port, &pending);
    if (error == 0 && pending) {
        error = !socket_->Await(true, limit, stop)
                    ? (stop.stop_requested() ? SystemSocket::Cancelled() : SystemSocket::TimedOut())
                    : socket_->ConnectResult();
    }
    if (error != 0) {
        socket_->Close();
    }
    return error;
}

void TcpSocket::Fail(const std::string& what, int error) const {
    throw PortFailure(LineError::Network, what + " " + server_ + ": " + SystemSocket::Text(error));
}

void TcpSocket::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        int error = 0;
        const long n = socket_->Send(bytes.data(), bytes.size(), &error);
        if (n >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (SystemSocket::WouldBlock(error)) {
            if (!socket_->Await(true, kSendWait, {})) {
                Fail("no room to send to", SystemSocket::TimedOut());
            }
        } else if (!SystemSocket::Interrupted(error)) {
            Fail("cannot send to", error);
        }
    }
}

std::size_t TcpSocket::Read(std::string& into, std::size_t max) {
    char bytes[4096];
    std::size_t taken = 0;
    while (taken < max) {
        int error = 0;
        const long n = socket_->Receive(bytes, std::min(max - taken, sizeof bytes), &error);
        if (n > 0) {
            into.append(bytes, static_cast<std::size_t>(n));
            taken += static_cast<std::size_t>(n);
        } else if (taken > 0) {
            break;  // the end, or a failure, is met again by the next call
        } else if (n == 0) {
            throw PortFailure(LineError::Network,
                              "the server " + server_ + " closed the connection");
        } else if (SystemSocket::WouldBlock(error)) {
            break;
        } else if (!SystemSocket::Interrupted(error)) {
            Fail("the connection broke to", error);
        }
    }
    return taken;
}

bool TcpSocket::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    return socket_->Await(false, std::max(timeout, std::chrono::nanoseconds::zero()), stop);
}

}  // namespace probelyn
