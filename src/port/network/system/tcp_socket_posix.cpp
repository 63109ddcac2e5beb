#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "port_failure.h"
#include "socket_system.h"
#include "tcp_socket.h"

namespace probelyn {

namespace {

// How long a send may wait for room in the system's send queue.
constexpr int kSendWaitMs = 2000;

// Waits for the descriptor to be ready for `events`, a stop or the timeout;
// the events that came (0: none).
short AwaitReady(int fd, short events, std::chrono::nanoseconds timeout, int wake,
                 std::stop_token stop) {
    const std::stop_callback onStop(stop, [wake] {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake, &one, sizeof one);
    });
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec limit{static_cast<time_t>(whole.count()),
                         static_cast<long>((timeout - whole).count())};
    pollfd fds[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
    if (::ppoll(fds, 2, &limit, nullptr) == -1 && errno != EINTR) {
        throw PortFailure(LineError::Network, std::strerror(errno));
    }
    return fds[0].revents;
}

}  // namespace

void StartSockets() {}

std::string ResolveFailureText(int error) {
    return ::gai_strerror(error);
}

struct TcpSocket::State {
    ~State() {
        if (fd != -1) {
            ::close(fd);
        }
        ::close(wake);
    }
    // The server as messages name it.
    std::string server;
    int fd = -1;
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);  // readable once a stop comes

    [[noreturn]] void Fail(const std::string& what, int error) const {
        throw PortFailure(LineError::Network, what + " " + server + ": " + std::strerror(error));
    }
    // One address: connected, or the reason it is not.
    int Attempt(const std::string& address, int port, std::chrono::milliseconds limit,
                std::stop_token stop);
};

int TcpSocket::State::Attempt(const std::string& address, int port, std::chrono::milliseconds limit,
                              std::stop_token stop) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return EINVAL;
    }
    fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int error = fd == -1 ? errno : 0;
    if (fd != -1 && ::connect(fd, found->ai_addr, found->ai_addrlen) == -1) {
        error = errno;
    }
    ::freeaddrinfo(found);
    if (error == EINPROGRESS) {
        const short ready = AwaitReady(fd, POLLOUT, limit, wake, stop);
        socklen_t length = sizeof error;
        error = ready == 0 ? (stop.stop_requested() ? ECANCELED : ETIMEDOUT) : 0;
        if (ready != 0) {
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        }
    }
    if (error != 0 && fd != -1) {
        ::close(fd);
        fd = -1;
    }
    return error;
}

TcpSocket::TcpSocket(const std::string& host, int port, std::chrono::milliseconds limit,
                     std::stop_token stop)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    const Resolved resolved = ResolveHost(host, port, limit, stop);
    if (resolved.addresses.empty()) {
        throw PortFailure(LineError::Network, resolved.error);
    }
    int error = 0;
    for (const std::string& address : resolved.addresses) {
        s.server = (address.find(':') != std::string::npos ? "[" + address + "]" : address) + ":" +
                   std::to_string(port);
        error = s.Attempt(address, port, limit, stop);
        if (error == 0 || stop.stop_requested()) {
            break;
        }
    }
    if (error != 0) {
        s.Fail("cannot connect to", error);
    }
    const int on = 1;
    ::setsockopt(s.fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

TcpSocket::~TcpSocket() = default;

void TcpSocket::Send(std::string_view bytes) {
    State& s = *state_;
    while (!bytes.empty()) {
        const ssize_t n = ::send(s.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (errno == EAGAIN) {
            pollfd room{s.fd, POLLOUT, 0};
            if (::poll(&room, 1, kSendWaitMs) == 0) {
                s.Fail("no room to send to", ETIMEDOUT);
            }
        } else if (errno != EINTR) {
            s.Fail("cannot send to", errno);
        }
    }
}

std::size_t TcpSocket::ReceiveInto(std::string& into, std::size_t max) {
    State& s = *state_;
    char bytes[4096];
    std::size_t taken = 0;
    while (taken < max) {
        const ssize_t n = ::recv(s.fd, bytes, std::min(max - taken, sizeof bytes), 0);
        if (n > 0) {
            into.append(bytes, static_cast<std::size_t>(n));
            taken += static_cast<std::size_t>(n);
        } else if (taken > 0) {
            break;  // the end, or a failure, is met again by the next call
        } else if (n == 0) {
            throw PortFailure(LineError::Network,
                              "the server " + s.server + " closed the connection");
        } else if (errno == EAGAIN) {
            break;
        } else if (errno != EINTR) {
            s.Fail("the connection broke to", errno);
        }
    }
    return taken;
}

bool TcpSocket::AwaitReceivable(std::chrono::nanoseconds timeout, std::stop_token stop) {
    State& s = *state_;
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t emptied = ::read(s.wake, &count, sizeof count);
    return (AwaitReady(s.fd, POLLIN, std::max(timeout, std::chrono::nanoseconds::zero()), s.wake,
                       stop) &
            (POLLIN | POLLHUP | POLLERR)) != 0;
}

}  // namespace probelyn
